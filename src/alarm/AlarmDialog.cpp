#include "AlarmDialog.h"

#include "KeyCode.h"
#include "platform/Application.h"
#include "platform/Controls.h"
#include "platform/FileDialogs.h"
#include "platform/FileSystem.h"
#include "platform/KeySender.h"
#include "platform/MessageBoxes.h"
#include "timeset/DialMath.h"

#include <algorithm>
#include <string>
#include <utility>

namespace kadrill::alarm {

namespace {

using platform::MessageButtons;
using platform::MessageIcon;

constexpr const char* kTitle = "Kadrill";
constexpr const char* kNoFileName = "ﾌｧｲﾙ名を入力してください。";
constexpr const char* kSessionChord = "ｼｽﾃﾑ全体に作用するｷｰは送信できません。";

// The characters of a UTF-8 text, each as its own string: every typed character is a key.
std::vector<std::string> characters(const std::string& text) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t n = 1;
        while (i + n < text.size() && (static_cast<unsigned char>(text[i + n]) & 0xC0) == 0x80) {
            ++n;
        }
        out.push_back(text.substr(i, n));
        i += n;
    }
    return out;
}

int boxNumber(const platform::TextBox* box) { return static_cast<int>(timeset::leadingNumber(box->text())); }

} // namespace

AlarmDialog::AlarmDialog(platform::Platform& platform, state::AlarmFields& alarm, state::DialState& dials)
    : platform_(platform), alarm_(alarm), dials_(dials), files_(platform, alarm) {}

void AlarmDialog::Show() {
    if (window_ == nullptr) {
        Load();
    }
    window_->show();
    window_->activate();
}

void AlarmDialog::Load() {
    buildControls();
    dial_->Load();
    for (int k = 0; k < static_cast<int>(alarm_.SpecialKeyTable.size()); ++k) {
        KeyList->addItem(alarm_.SpecialKeyTable[static_cast<std::size_t>(k)].name);
    }
    FillAlarmDialog();
}

void AlarmDialog::buildControls() {
    platform::WindowProperties props;
    props.caption = "ｱﾗｰﾑの設定";
    props.clientWidth = 9030;
    props.clientHeight = 5565;
    props.minimizeButton = false;
    props.icon = "kadrill";
    window_ = platform_.windows.createWindow(props);
    platform::Window& w = *window_;

    // Left column: the dial, the time boxes, armed or not. Right column: what the alarm
    // does. Buttons along the bottom. Tab order follows reading order.
    dial_ = std::make_unique<timeset::Dial>(w, dials_.Alarm, dials_.DialDragButton,
                                            timeset::DialLayout{.frame1 = {240, 240},
                                                                .frame2 = {240, 3375},
                                                                .frame2Caption = "ｱﾗｰﾑ時刻の入力",
                                                                .firstBoxTab = 0,
                                                                .roundMarks = false});

    Frame3 = &w.addFrame({.bounds = {240, 4110, 2895, 615}, .caption = "ｱﾗｰﾑ機能"});
    AlarmSwitch[0] = &Frame3->addOptionButton({.bounds = {240, 255, 1200, 270}, .caption = "有効", .tabIndex = 3});
    AlarmSwitch[1] = &Frame3->addOptionButton({.bounds = {1560, 255, 1200, 270}, .caption = "無効", .tabIndex = 4});

    Frame4 = &w.addFrame({.bounds = {3375, 240, 5415, 1680}, .caption = "ｱﾗｰﾑ動作"});
    AlarmAction[0] = &Frame4->addOptionButton({.bounds = {240, 270, 3000, 270}, .caption = "音を鳴らす", .tabIndex = 5});
    Label3 = &Frame4->addLabel({.bounds = {480, 615, 900, 240}, .text = "ﾌｧｲﾙ名：", .foreColor = platform::kSystemWindowTextColor});
    FileName[0] = &Frame4->addTextBox({.bounds = {1380, 570, 3795, 300}, .tabIndex = 6, .accessibleName = "音のﾌｧｲﾙ名"});
    AlarmAction[1] =
        &Frame4->addOptionButton({.bounds = {240, 960, 1980, 270}, .caption = "ｱﾌﾟﾘｹｰｼｮﾝの起動", .tabIndex = 7});
    // Said before the alarm second, not only at it: on a desktop where no program may
    // type into another (Wayland without an X display) the keys will not be sent.
    keysUnavailableNote = &Frame4->addLabel({.bounds = {2280, 975, 3015, 240},
                                             .text = "この環境ではｷｰを送信できません",
                                             .foreColor = platform::kSystemWindowTextColor,
                                             .visible = false});
    Label4 = &Frame4->addLabel({.bounds = {480, 1305, 900, 240}, .text = "ﾌｧｲﾙ名：", .foreColor = platform::kSystemWindowTextColor});
    FileName[1] =
        &Frame4->addTextBox({.bounds = {1380, 1260, 2655, 300}, .tabIndex = 8, .accessibleName = "ｱﾌﾟﾘｹｰｼｮﾝのﾌｧｲﾙ名"});
    ReferenceButton =
        &Frame4->addCommandButton({.bounds = {4140, 1222, 1035, 375}, .caption = "参照(&R)", .tabIndex = 9});

    Frame5 = &w.addFrame({.bounds = {3375, 2040, 5415, 2805}, .caption = ""});
    Frame6 = &Frame5->addFrame({.bounds = {120, 120, 5175, 2565}, .caption = "ｱﾌﾟﾘｹｰｼｮﾝの動作"});
    Label5 = &Frame6->addLabel({.bounds = {240, 300, 2300, 240}, .text = "ｷｰの入力：", .foreColor = platform::kSystemWindowTextColor});
    KeyInputBox = &Frame6->addTextBox({.bounds = {240, 570, 2300, 300},
                                       .maxLength = static_cast<int>(state::kMaxKeys),
                                       .tabIndex = 10,
                                       .accessibleName = "ｷｰの入力",
                                       // Enter here is a key being thought about, not OK.
                                       .keepsEnter = true});
    Label6 = &Frame6->addLabel({.bounds = {240, 960, 2300, 240}, .text = "特殊なｷｰの選択：", .foreColor = platform::kSystemWindowTextColor});
    KeyList = &Frame6->addListBox({.bounds = {240, 1230, 2300, 1155}, .tabIndex = 11, .accessibleName = "特殊なｷｰの選択"});
    Label7 = &Frame6->addLabel({.bounds = {2760, 300, 2175, 240}, .text = "登録ｷｰﾘｽﾄ：", .foreColor = platform::kSystemWindowTextColor});
    AprActionList =
        &Frame6->addListBox({.bounds = {2760, 570, 2175, 1350}, .tabIndex = 12, .accessibleName = "登録ｷｰﾘｽﾄ"});
    AddKeyButton = &Frame6->addCommandButton(
        {.bounds = {2760, 2010, 1050, 375}, .caption = "ｷｰの追加(&A)", .tabIndex = 13, .enabled = false});
    DeleteKeyButton = &Frame6->addCommandButton(
        {.bounds = {3885, 2010, 1050, 375}, .caption = "ｷｰの削除(&D)", .tabIndex = 14, .enabled = false});

    AlarmClearButton = &w.addCommandButton({.bounds = {240, 4980, 1455, 375}, .caption = "初期化(&C)", .tabIndex = 15});
    AlarmSaveButton =
        &w.addCommandButton({.bounds = {1815, 4980, 1575, 375}, .caption = "設定の保存(&S)", .tabIndex = 16});
    AlarmLoadButton =
        &w.addCommandButton({.bounds = {3510, 4980, 1695, 375}, .caption = "設定の読込み(&L)", .tabIndex = 17});
    AlarmOKButton =
        &w.addCommandButton({.bounds = {6255, 4980, 1215, 375}, .caption = "OK", .tabIndex = 18, .isDefault = true});
    AlarmCancelButton = &w.addCommandButton(
        {.bounds = {7575, 4980, 1215, 375}, .caption = "キャンセル", .tabIndex = 19, .isCancel = true});

    // A key typed just ahead of the close may still reach a control once its window is
    // hidden (Qt queues it for that window); the closed dialog takes nothing more.
    const auto whileOpen = [this](void (AlarmDialog::*handler)()) {
        return [this, handler] {
            if (window_ != nullptr) {
                (this->*handler)();
            }
        };
    };
    AlarmAction[0]->clicked.setHandler(whileOpen(&AlarmDialog::actionClicked));
    AlarmAction[1]->clicked.setHandler(whileOpen(&AlarmDialog::actionClicked));
    ReferenceButton->clicked.setHandler(whileOpen(&AlarmDialog::browse));
    KeyInputBox->clicked.setHandler(whileOpen(&AlarmDialog::keyInputClicked));
    KeyInputBox->changed.setHandler(whileOpen(&AlarmDialog::updateButtons));
    KeyList->selectionChanged.setHandler(whileOpen(&AlarmDialog::keyListChanged));
    AprActionList->selectionChanged.setHandler(whileOpen(&AlarmDialog::listChanged));
    AddKeyButton->clicked.setHandler(whileOpen(&AlarmDialog::addKey));
    DeleteKeyButton->clicked.setHandler(whileOpen(&AlarmDialog::deleteKey));
    AlarmOKButton->clicked.setHandler(whileOpen(&AlarmDialog::ok));
    AlarmCancelButton->clicked.setHandler(whileOpen(&AlarmDialog::cancel));
    AlarmClearButton->clicked.setHandler(whileOpen(&AlarmDialog::clear));
    AlarmSaveButton->clicked.setHandler(whileOpen(&AlarmDialog::save));
    AlarmLoadButton->clicked.setHandler(whileOpen(&AlarmDialog::load));
    w.closed.setHandler([this] { close(); });
}

void AlarmDialog::FillAlarmDialog() {
    AlarmSwitch[alarm_.AlarmEnabled ? 0 : 1]->setChecked(true);
    // Only a hand-edited file could hold another action type, and the reader refuses it;
    // should one get here anyway, the dialog shows the sound.
    AlarmAction[alarm_.AlarmActionType == 1 ? 1 : 0]->setChecked(true);
    actionClicked();
    FileName[0]->setText(alarm_.AlarmSoundFile);
    FileName[1]->setText(alarm_.AlarmProgramFile);
    for (std::size_t i = 0; i < state::kMaxKeys && !alarm_.AlarmKeyNames[i].empty(); ++i) {
        AprActionList->addItem(alarm_.AlarmKeyNames[i]);
        AprActionCodeList.push_back(alarm_.AlarmKeyCodes[i]);
    }
    AprActionList->addItem("");
    dial_->Picture1->clearDrawing();
    dial_->DrawDialTicks();
    state::DialFields& d = dials_.Alarm;
    d.DialHour = alarm_.AlarmTime / 3600;
    d.DialMinute = alarm_.AlarmTime / 60 % 60;
    d.DialSecond = alarm_.AlarmTime % 60;
    dial_->DrawDialHands();
    updateKeyEntry();
    updateButtons();
}

void AlarmDialog::ResetAlarmDialog() {
    AddKeyButton->setEnabled(false);
    DeleteKeyButton->setEnabled(false);
    state::DialFields& d = dials_.Alarm;
    d.DialHour = d.DialMinute = d.DialSecond = 0;
    AlarmSwitch[1]->setChecked(true);
    // The live action type is left alone: a reset commits nothing until OK.
    FileName[0]->setText("");
    FileName[1]->setText("");
    AprActionCodeList.clear();
    AprActionList->clear();
}

bool AlarmDialog::programSelected() const { return AlarmAction[1]->isChecked(); }

void AlarmDialog::actionClicked() {
    const bool program = programSelected();
    ReferenceButton->setEnabled(true);
    FileName[0]->setEnabled(!program);
    Label3->setEnabled(!program);
    FileName[1]->setEnabled(program);
    Label4->setEnabled(program);
    Frame6->setEnabled(program);
    Label7->setEnabled(program);
    AprActionList->setEnabled(program);
    keysUnavailableNote->setVisible(program && !platform_.keys.isAvailable());
    if (!program) {
        KeyList->setCurrentIndex(-1);
        AprActionList->setCurrentIndex(-1);
    }
    updateKeyEntry();
    updateButtons();
}

void AlarmDialog::browse() {
    const bool program = programSelected();
    platform::FileDialogOptions options;
    options.title = "参照";
    // Sounds and programs live in different places: each browse keeps its own folder and
    // name, and neither offers the name of a settings file just saved.
    options.purpose = program ? "program" : "sound";
    options.initialPath = platform_.files.documentsFolder();
    if (program) {
        options.filters = {{"ﾌﾟﾛｸﾞﾗﾑ (*.com;*.exe;*.bat;)", {}, true}, {"すべてのﾌｧｲﾙ", {"*"}, false}};
    } else {
        options.filters = {{"ｻｳﾝﾄﾞﾌｧｲﾙ (*.wav;*.mid)", {"*.wav", "*.mid"}, false}, {"すべてのﾌｧｲﾙ", {"*"}, false}};
    }
    const std::string chosen = platform_.fileDialogs.openFileName(options);
    if (chosen.empty() || window_ == nullptr) {
        return;
    }
    FileName[program ? 1 : 0]->setText(chosen);
}

AlarmSettings AlarmDialog::workingCopy() const {
    AlarmSettings s;
    s.time = (boxNumber(dial_->Hour) * 60 + boxNumber(dial_->Min)) * 60 + boxNumber(dial_->Sec);
    s.enabled = AlarmSwitch[0]->isChecked();
    s.actionType = programSelected() ? 1 : 0;
    s.soundFile = FileName[0]->text();
    s.programFile = FileName[1]->text();
    for (int i = 0; i < keyCount(); ++i) {
        s.keys.push_back({AprActionList->item(i), AprActionCodeList[static_cast<std::size_t>(i)]});
    }
    return s;
}

void AlarmDialog::ok() {
    if (AlarmSwitch[0]->isChecked() &&
        ((programSelected() && FileName[1]->text().empty()) || (!programSelected() && FileName[0]->text().empty()))) {
        platform_.messages.show(kNoFileName, kTitle, MessageIcon::Exclamation, MessageButtons::Ok);
        return;
    }
    if (window_ == nullptr) {
        return; // closed while the message was up
    }
    applySettings(alarm_, workingCopy());
    committed.raise();
    close();
}

void AlarmDialog::cancel() { close(); }

void AlarmDialog::clear() {
    ResetAlarmDialog();
    AprActionList->addItem("");
    dial_->DrawDialHands();
    actionClicked();
}

void AlarmDialog::save() { files_.Save(workingCopy()); }

void AlarmDialog::load() {
    // The file is read whole before anything changes, so a failed load leaves the
    // settings and this dialog exactly as they were.
    if (files_.Load()) {
        refill();
    }
}

bool AlarmDialog::openFile(const std::string& path, AlarmFileCommands::Source source) {
    if (!files_.loadFrom(path, source)) {
        return false;
    }
    refill();
    return true;
}

void AlarmDialog::refill() {
    // The dialog may have been closed while a message box waited.
    if (window_ == nullptr) {
        return;
    }
    ResetAlarmDialog();
    FillAlarmDialog();
}

void AlarmDialog::close() {
    if (window_ == nullptr) {
        return;
    }
    dial_->endDrag();
    window_->hide();
    AprActionCodeList.clear();
    platform::destroyLater(platform_.app, std::move(dial_), std::move(window_));
}

// Key-sequence editing.

bool AlarmDialog::isFull() const { return keyCount() >= static_cast<int>(state::kMaxKeys); }

bool AlarmDialog::keyListRowAddable() const {
    const int k = KeyList->currentIndex();
    // The table's empty row would end the sequence early; it is shown but adds nothing.
    return k >= 0 && k < static_cast<int>(alarm_.SpecialKeyTable.size()) &&
           !alarm_.SpecialKeyTable[static_cast<std::size_t>(k)].name.empty();
}

bool AlarmDialog::canAdd() const {
    return programSelected() && !isFull() && AprActionList->currentIndex() >= 0 &&
           (!KeyInputBox->text().empty() || keyListRowAddable());
}

void AlarmDialog::updateButtons() {
    AddKeyButton->setEnabled(canAdd());
    const int s = AprActionList->currentIndex();
    // The closing line is known by its place, not by being empty.
    DeleteKeyButton->setEnabled(programSelected() && s >= 0 && s < keyCount());
}

void AlarmDialog::updateKeyEntry() {
    const bool open = programSelected() && !isFull();
    Label5->setEnabled(open);
    KeyInputBox->setEnabled(open);
    Label6->setEnabled(open);
    KeyList->setEnabled(open);
    // However the box is reached (click, Tab, typing), it takes no more than still fits.
    KeyInputBox->setMaxLength(std::max(1, static_cast<int>(state::kMaxKeys) - keyCount()));
}

void AlarmDialog::keyInputClicked() {
    if (isFull()) {
        platform_.messages.show("動作ｷｰは、" + std::to_string(state::kMaxKeys) + "個までしか登録できません", kTitle,
                                MessageIcon::None, MessageButtons::Ok);
        return;
    }
    KeyList->setCurrentIndex(-1);
    updateKeyEntry();
    updateButtons();
}

void AlarmDialog::keyListChanged() {
    if (KeyList->currentIndex() >= 0) {
        KeyInputBox->setText("");
    }
    updateButtons();
}

void AlarmDialog::listChanged() { updateButtons(); }

void AlarmDialog::insertKey(int at, const std::string& name, const std::string& code) {
    AprActionCodeList.insert(AprActionCodeList.begin() + at, code);
    AprActionList->insertItem(at, name);
}

void AlarmDialog::addKey() {
    if (!canAdd()) {
        return;
    }
    const std::string typed = KeyInputBox->text();
    if (!typed.empty()) {
        for (const std::string& c : characters(typed)) {
            if (isFull()) {
                break; // only what fits goes in
            }
            insertKey(AprActionList->currentIndex(), c, "{" + c + "}");
        }
        KeyInputBox->setText("");
    } else {
        const state::SpecialKey& key = alarm_.SpecialKeyTable[static_cast<std::size_t>(KeyList->currentIndex())];
        // The alarm would refuse to send the whole sequence for it: say so now, not at
        // the alarm's second.
        if (isSessionChordCode(key.code)) {
            platform_.messages.show(kSessionChord, kTitle, MessageIcon::Exclamation, MessageButtons::Ok);
            return;
        }
        insertKey(AprActionList->currentIndex(), key.name, key.code);
    }
    if (isFull()) {
        platform_.messages.show("登録ｷｰは、登録できる最大個数の" + std::to_string(state::kMaxKeys) + "個になりました。", kTitle,
                                MessageIcon::None, MessageButtons::Ok);
        if (window_ == nullptr) {
            return;
        }
    }
    updateKeyEntry();
    updateButtons();
}

void AlarmDialog::deleteKey() {
    const int s = AprActionList->currentIndex();
    if (!programSelected() || s < 0 || s >= keyCount()) {
        return;
    }
    AprActionCodeList.erase(AprActionCodeList.begin() + s);
    AprActionList->removeItem(s);
    AprActionList->setCurrentIndex(s);
    updateKeyEntry();
    updateButtons();
    if (keyCount() == 0) {
        AddKeyButton->setEnabled(false);
        DeleteKeyButton->setEnabled(false);
    }
}

} // namespace kadrill::alarm
