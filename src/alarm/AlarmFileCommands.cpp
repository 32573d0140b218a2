#include "AlarmFileCommands.h"

#include "AlmFile.h"
#include "KeyCode.h"
#include "platform/FileDialogs.h"
#include "platform/FileSystem.h"
#include "platform/MessageBoxes.h"
#include "platform/Platform.h"

#include <algorithm>
#include <string>
#include <variant>

namespace kadrill::alarm {

namespace {

using platform::FileKind;
using platform::MessageAnswer;
using platform::MessageButtons;
using platform::MessageIcon;

constexpr const char* kTitle = "Kadrill";
constexpr const char* kSettingsPurpose = "settings";
constexpr const char* kNotAlarmFile = "指定されたﾌｧｲﾙはｱﾗｰﾑの設定ﾌｧｲﾙとして読込めません。";

platform::FileDialogOptions dialogOptions(const platform::FileSystem& files, const char* title, const char* fileName) {
    // The documents folder, not the program's: an installed program's folder is not the
    // user's to write in.
    return {title, kSettingsPurpose, files.documentsFolder() + "/" + fileName, {{"ｱﾗｰﾑ設定ﾌｧｲﾙ ", {"*.alm"}}}};
}

/// Why a save failed, in the words the user reads under the failure message.
const char* saveFailureReason(SaveOutcome outcome) {
    switch (outcome) {
    case SaveOutcome::Saved:
        break;
    case SaveOutcome::Unencodable:
        return "ｼﾌﾄJISで保存できない文字が含まれています。";
    case SaveOutcome::FolderNotWritable:
        return "保存先のﾌｫﾙﾀﾞに書き込む権限がありません。";
    case SaveOutcome::NoFolder:
        return "保存先のﾌｫﾙﾀﾞが見つかりません。";
    case SaveOutcome::DiskFull:
        return "ﾃﾞｨｽｸの空き容量が足りません。";
    case SaveOutcome::FileReadOnly:
        return "ﾌｧｲﾙが読み取り専用です。";
    case SaveOutcome::NotAFile:
        return "指定された名前はﾌｧｲﾙではありません。";
    case SaveOutcome::NoReservation:
        return "保存先ではﾌｧｲﾙを安全に上書きできないため、元のﾌｧｲﾙはそのままです。";
    case SaveOutcome::Incomplete:
        return "書き込みが途中で失敗したため、ﾌｧｲﾙの内容が不完全な可能性があります。";
    case SaveOutcome::WriteFailed:
        break;
    }
    return "ﾌｧｲﾙを書き込めませんでした。";
}

bool holdsSessionChord(const AlarmSettings& settings) {
    return std::any_of(settings.keys.begin(), settings.keys.end(), [](const KeyEntry& key) {
        const auto parsed = parseKeyCode(key.code);
        const auto* stroke = std::get_if<platform::KeyStroke>(&parsed);
        return stroke != nullptr && isSessionChord(*stroke);
    });
}

} // namespace

AlarmFileCommands::AlarmFileCommands(platform::Platform& platform, state::AlarmFields& live)
    : platform_(platform), live_(live) {}

bool AlarmFileCommands::Save(AlarmSettings workingCopy) {
    const std::string path = platform_.fileDialogs.saveFileName(dialogOptions(platform_.files, "設定の保存", "無題"));
    if (path.empty()) {
        return false;
    }
    // Also a file the user may not read is worth a question before it is replaced.
    if (platform_.files.status(path).kind == FileKind::Regular) {
        const MessageAnswer answer = platform_.messages.show("指定されたﾌｧｲﾙは既に存在します。上書きしますか。", kTitle,
                                                             MessageIcon::Exclamation, MessageButtons::YesNo);
        if (answer != MessageAnswer::Yes) {
            platform_.messages.show("ｱﾗｰﾑの設定の保存はｷｬﾝｾﾙされました。", kTitle, MessageIcon::Information);
            return false;
        }
    }
    const SaveOutcome outcome = saveAlmFile(platform_.files, path, workingCopy);
    if (outcome == SaveOutcome::Saved) {
        lastFile_ = path;
        platform_.messages.show("ｱﾗｰﾑの設定を保存しました。", kTitle, MessageIcon::Information);
        return true;
    }
    // Never unseen: the user asked for these settings to be kept and must know they were not.
    platform_.messages.show(std::string("ｱﾗｰﾑの設定を保存できませんでした。\n") + saveFailureReason(outcome), kTitle,
                            MessageIcon::Exclamation);
    return false;
}

std::optional<AlarmSettings> AlarmFileCommands::Load() {
    const std::string path =
        platform_.fileDialogs.openFileName(dialogOptions(platform_.files, "設定の読込み", "*.alm"));
    if (path.empty()) {
        return std::nullopt;
    }
    return loadFrom(path, Source::Dialog);
}

std::optional<AlarmSettings> AlarmFileCommands::loadFrom(const std::string& path, Source source) {
    const platform::FileStatus status = platform_.files.status(path);
    if (status.kind == FileKind::Folder || status.kind == FileKind::Other) {
        // There is something at the path, so "does not exist" would be untrue.
        platform_.messages.show("指定されたﾌｧｲﾙは通常のﾌｧｲﾙではないため、読込めません。", kTitle,
                                MessageIcon::Exclamation);
        platform_.messages.show("ｱﾗｰﾑの設定の読込みはｷｬﾝｾﾙされました。", kTitle, MessageIcon::Information);
        return std::nullopt;
    }
    if (!status.readable) {
        platform_.messages.show("指定されたﾌｧｲﾙは存在しません。", kTitle, MessageIcon::Exclamation);
        platform_.messages.show("ｱﾗｰﾑの設定の読込みはｷｬﾝｾﾙされました。", kTitle, MessageIcon::Information);
        return std::nullopt;
    }
    // The whole file is checked before anything changes: a bad file leaves the alarm as it was.
    std::optional<AlmContents> loaded = loadAlmFile(platform_.files, path);
    if (!loaded) {
        // In the dialog the missing confirmation tells; a file opened from outside has no
        // dialog to show it, and an alarm that silently is not set would not ring.
        if (source != Source::Dialog) {
            platform_.messages.show(kNotAlarmFile, kTitle, MessageIcon::Exclamation);
            platform_.messages.show("ｱﾗｰﾑの設定の読込みはｷｬﾝｾﾙされました。", kTitle, MessageIcon::Information);
        }
        return std::nullopt;
    }
    applySettings(live_, loaded->settings);
    lastFile_ = path;
    std::string notes;
    if (loaded->keysLeftOut) {
        // A later save would drop them for good, so the user hears of them now.
        notes += "\n登録ｷｰが500個を超えているため、501個目以降のｷｰは読込んでいません。"
                 "このまま保存すると、それらのｷｰは失われます。";
    }
    if (holdsSessionChord(loaded->settings)) {
        notes += "\nｼｽﾃﾑ全体に作用するｷｰが含まれています。ｱﾗｰﾑはこのｷｰを送信しません。";
    }
    // At start (at login, say) a plain confirmation would only be in the way; what was
    // left out is still told.
    if (source != Source::StartUp || !notes.empty()) {
        platform_.messages.show("ｱﾗｰﾑの設定を読込みました。" + notes, kTitle, MessageIcon::Information);
    }
    return std::move(loaded->settings);
}

} // namespace kadrill::alarm
