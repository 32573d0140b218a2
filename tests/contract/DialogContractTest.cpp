// The controls dialogs are made of: text boxes, command and option buttons, lists, and
// what the window does with Enter, Escape, Tab and access keys.
#include "ContractTest.h"

#include <functional>
#include <string>
#include <vector>

namespace kadrill::contract {
namespace {

using platform::CommandButton;
using platform::CommandButtonProperties;
using platform::Frame;
using platform::ListBox;
using platform::ListBoxProperties;
using platform::OptionButton;
using platform::OptionButtonProperties;
using platform::Rect;
using platform::TextBox;
using platform::TextBoxProperties;

/// 400 x 300 pixels: room for a dialog's controls.
platform::WindowProperties dialogWindow() {
    return {.caption = "設定", .clientWidth = 6000, .clientHeight = 4500, .picture = "", .icon = "kadrill"};
}

TextBoxProperties boxAt(Rect bounds, int tabIndex = 0) {
    return {.bounds = bounds, .text = "", .fontName = "ＭＳ Ｐゴシック", .tabIndex = tabIndex, .accessibleName = "時"};
}

CommandButtonProperties buttonAt(Rect bounds, std::string caption, int tabIndex = 0) {
    return {.bounds = bounds, .caption = std::move(caption), .tabIndex = tabIndex};
}

OptionButtonProperties optionAt(Rect bounds, std::string caption, int tabIndex = 0) {
    return {.bounds = bounds, .caption = std::move(caption), .tabIndex = tabIndex};
}

ListBoxProperties listAt(Rect bounds, int tabIndex = 0) {
    return {.bounds = bounds, .tabIndex = tabIndex, .accessibleName = "一覧"};
}

template <class B> class DialogContract : public ContractTest<B> {
protected:
    std::unique_ptr<platform::Window> activeDialog() {
        auto w = this->shownWindow(dialogWindow());
        EXPECT_TRUE(this->backend.activate(*w));
        return w;
    }
};
TYPED_TEST_SUITE(DialogContract, Backends, BackendNames);

/// The events of a text box as lines, with the text the handler saw.
struct BoxLog {
    explicit BoxLog(TextBox& box) {
        box.edited.setHandler([this, &box] { lines.push_back("edited " + box.text()); });
        box.changed.setHandler([this, &box] { lines.push_back("changed " + box.text()); });
        box.clicked.setHandler([this, &box] { lines.push_back(box.hasFocus() ? "clicked, focused" : "clicked"); });
    }
    std::vector<std::string> lines;
};

TYPED_TEST(DialogContract, TheProgramsTextRaisesChangedOnlyWhenItDiffersAndNeverEdited) {
    auto w = this->activeDialog();
    TextBox& box = w->addTextBox(boxAt({300, 300, 1500, 300}));
    BoxLog log(box);

    box.setText("");
    EXPECT_TRUE(log.lines.empty()) << "the box was empty already";
    box.setText("7:30");
    box.setText("7:30");
    box.setText("午前");
    EXPECT_EQ(box.text(), "午前");
    EXPECT_EQ(log.lines, (std::vector<std::string>{"changed 7:30", "changed 午前"}));
}

TYPED_TEST(DialogContract, TheUsersEditsRaiseEditedBeforeChanged) {
    auto w = this->activeDialog();
    TextBox& box = w->addTextBox(boxAt({300, 300, 1500, 300}));
    box.setText("7:3");
    BoxLog log(box);

    this->backend.type(box, "0");
    EXPECT_EQ(log.lines, (std::vector<std::string>{"edited 7:30", "changed 7:30"}));
    log.lines.clear();
    this->backend.replaceText(box, "");
    EXPECT_EQ(box.text(), "");
    EXPECT_EQ(log.lines, (std::vector<std::string>{"edited ", "changed "}));
}

TYPED_TEST(DialogContract, AHandlerMaySetTheTextItIsToldOf) {
    auto w = this->activeDialog();
    TextBox& box = w->addTextBox(boxAt({300, 300, 1500, 300}));
    std::vector<std::string> changes;
    // A box that takes digits only puts the text back as it was.
    box.edited.setHandler([&] {
        if (box.text().find_first_not_of("0123456789") != std::string::npos) {
            box.setText("12");
        }
    });
    box.changed.setHandler([&] { changes.push_back(box.text()); });

    this->backend.type(box, "1");
    this->backend.type(box, "2");
    this->backend.type(box, "x");
    EXPECT_EQ(box.text(), "12");
    ASSERT_FALSE(changes.empty());
    EXPECT_EQ(changes.back(), "12") << "the last change told is the text the box shows";
}

TYPED_TEST(DialogContract, TheMaximumLengthCountsCharactersAndHoldsOnlyWhatTheUserTypes) {
    struct Case {
        const char* name;
        int maxLength;
        const char* before;
        const char* typed;
        const char* after;
    };
    const Case cases[] = {
        {"no limit", 0, "", "abcdef", "abcdef"},
        {"cut at the limit", 3, "", "abcdef", "abc"},
        {"characters, not bytes", 3, "ab", "あいう", "abあ"},
        {"full already", 3, "abc", "d", "abc"},
        {"the program's longer text stays", 3, "abcdef", "g", "abcdef"},
    };
    auto w = this->activeDialog();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TextBox& box = w->addTextBox(boxAt({300, 300, 3000, 300}));
        box.setMaxLength(c.maxLength);
        EXPECT_EQ(box.maxLength(), c.maxLength);
        box.setText(c.before);
        EXPECT_EQ(box.text(), c.before) << "the program is not held to the limit";
        BoxLog log(box);
        this->backend.type(box, c.typed);
        EXPECT_EQ(box.text(), c.after);
        EXPECT_EQ(log.lines.empty(), std::string(c.before) == c.after) << "an edit that changes nothing is no edit";
        box.setVisible(false);
    }
}

TYPED_TEST(DialogContract, ReplacingTheTextIsHeldToTheLimitToo) {
    auto w = this->activeDialog();
    TextBox& box = w->addTextBox(boxAt({300, 300, 3000, 300}));
    box.setText("123456");
    box.setMaxLength(4);
    this->backend.replaceText(box, "あいうえお");
    EXPECT_EQ(box.text(), "あいうえ");
}

TYPED_TEST(DialogContract, AClickIntoABoxGivesItTheFocusFirst) {
    auto w = this->activeDialog();
    TextBox& other = w->addTextBox(boxAt({300, 300, 1500, 300}));
    TextBox& box = w->addTextBox(boxAt({300, 900, 1500, 300}));
    other.setFocus();
    BoxLog log(box);

    this->backend.clickInto(box);
    EXPECT_EQ(log.lines, (std::vector<std::string>{"clicked, focused"}));
    EXPECT_TRUE(box.hasFocus());
    EXPECT_FALSE(other.hasFocus());
}

// Where the focus is when Enter is pressed, and which button takes it.
enum class FocusOn { PlainBox, BoxKeepingEnter, List, CancelButton };

TYPED_TEST(DialogContract, EnterPressesTheFocusedButtonElseTheDefaultUnlessAListOrABoxKeepsIt) {
    struct Case {
        FocusOn focus;
        int defaultClicks;
        int cancelClicks;
    };
    for (const Case c : {Case{FocusOn::PlainBox, 1, 0}, Case{FocusOn::BoxKeepingEnter, 0, 0}, Case{FocusOn::List, 0, 0},
                         Case{FocusOn::CancelButton, 0, 1}}) {
        SCOPED_TRACE(static_cast<int>(c.focus));
        auto w = this->activeDialog();
        TextBox& box = w->addTextBox(boxAt({300, 300, 1500, 300}));
        auto keeping = boxAt({300, 750, 1500, 300});
        keeping.keepsEnter = true;
        TextBox& keeper = w->addTextBox(keeping);
        ListBox& list = w->addListBox(listAt({300, 1200, 1500, 1200}));
        list.addItem("月曜");
        auto ok = buttonAt({4200, 300, 1200, 375}, "OK");
        ok.isDefault = true;
        CommandButton& okButton = w->addCommandButton(ok);
        auto cancel = buttonAt({4200, 900, 1200, 375}, "キャンセル");
        cancel.isCancel = true;
        CommandButton& cancelButton = w->addCommandButton(cancel);
        int okClicks = 0;
        int cancelClicks = 0;
        okButton.clicked.setHandler([&] { ++okClicks; });
        cancelButton.clicked.setHandler([&] { ++cancelClicks; });

        switch (c.focus) {
        case FocusOn::PlainBox:
            box.setFocus();
            break;
        case FocusOn::BoxKeepingEnter:
            keeper.setFocus();
            break;
        case FocusOn::List:
            list.setFocus();
            break;
        case FocusOn::CancelButton:
            cancelButton.setFocus();
            break;
        }
        this->backend.press(Key::Enter);
        EXPECT_EQ(okClicks, c.defaultClicks);
        EXPECT_EQ(cancelClicks, c.cancelClicks);
        EXPECT_TRUE(w->isVisible()) << "nothing closed the window";
    }
}

TYPED_TEST(DialogContract, EscapePressesTheCancelButtonWhereverTheFocusIs) {
    auto w = this->activeDialog();
    TextBox& box = w->addTextBox(boxAt({300, 300, 1500, 300}));
    ListBox& list = w->addListBox(listAt({300, 900, 1500, 1200}));
    auto cancel = buttonAt({4200, 900, 1200, 375}, "ｷｬﾝｾﾙ");
    cancel.isCancel = true;
    CommandButton& cancelButton = w->addCommandButton(cancel);
    int clicks = 0;
    cancelButton.clicked.setHandler([&] { ++clicks; });

    box.setFocus();
    this->backend.press(Key::Escape);
    list.setFocus();
    this->backend.press(Key::Escape);
    EXPECT_EQ(clicks, 2);
}

TYPED_TEST(DialogContract, ADefaultOrCancelButtonThatIsDisabledOrHiddenTakesNoKey) {
    for (const bool hide : {false, true}) {
        SCOPED_TRACE(hide ? "hidden" : "disabled");
        auto w = this->activeDialog();
        TextBox& box = w->addTextBox(boxAt({300, 300, 1500, 300}));
        auto ok = buttonAt({4200, 300, 1200, 375}, "OK");
        ok.isDefault = true;
        auto cancel = buttonAt({4200, 900, 1200, 375}, "ｷｬﾝｾﾙ");
        cancel.isCancel = true;
        CommandButton& okButton = w->addCommandButton(ok);
        CommandButton& cancelButton = w->addCommandButton(cancel);
        int clicks = 0;
        okButton.clicked.setHandler([&] { ++clicks; });
        cancelButton.clicked.setHandler([&] { ++clicks; });
        for (CommandButton* b : {&okButton, &cancelButton}) {
            hide ? b->setVisible(false) : b->setEnabled(false);
        }
        box.setFocus();
        this->backend.press(Key::Enter);
        this->backend.press(Key::Escape);
        EXPECT_EQ(clicks, 0);
    }
}

TYPED_TEST(DialogContract, ACommandButtonClicksByMouseSpaceAndAccessKey) {
    auto w = this->activeDialog();
    TextBox& box = w->addTextBox(boxAt({300, 300, 1500, 300}));
    CommandButton& button = w->addCommandButton(buttonAt({4200, 300, 1200, 375}, "参照(&B)..."));
    int clicks = 0;
    button.clicked.setHandler([&] { ++clicks; });

    this->backend.click(button);
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(button.hasFocus());
    this->backend.pressSpace();
    EXPECT_EQ(clicks, 2);
    box.setFocus();
    this->backend.pressAccessKey('b');
    EXPECT_EQ(clicks, 3);
    this->backend.pressAccessKey('x');
    EXPECT_EQ(clicks, 3) << "no control has that key";
}

// What the user tries on a control, and how to tell that it got through.
template <class B> struct Attempt {
    const char* name;
    std::function<platform::Control&(platform::Container&)> make;
    std::function<void(B&, platform::Control&)> use;
    std::function<bool(platform::Control&)> reached;
};

template <class B> std::vector<Attempt<B>> attempts() {
    return {
        {"text box", [](platform::Container& c) -> platform::Control& { return c.addTextBox(boxAt({150, 300, 1500, 300})); },
         [](B& b, platform::Control& c) { b.type(dynamic_cast<TextBox&>(c), "x"); },
         [](platform::Control& c) { return !dynamic_cast<TextBox&>(c).text().empty(); }},
        {"command button",
         [](platform::Container& c) -> platform::Control& {
             auto& button = c.addCommandButton(buttonAt({150, 300, 1200, 375}, "実行(&R)"));
             button.clicked.setHandler([&button] { button.setVisible(false); }); // marks the click
             return button;
         },
         [](B& b, platform::Control& c) {
             b.click(dynamic_cast<CommandButton&>(c));
             b.pressAccessKey('r');
         },
         [](platform::Control& c) { return !c.isVisible(); }},
        {"option button",
         [](platform::Container& c) -> platform::Control& { return c.addOptionButton(optionAt({150, 300, 1500, 300}, "毎日(&D)")); },
         [](B& b, platform::Control& c) {
             b.click(dynamic_cast<OptionButton&>(c));
             b.pressAccessKey('d');
         },
         [](platform::Control& c) { return dynamic_cast<OptionButton&>(c).isChecked(); }},
        {"list",
         [](platform::Container& c) -> platform::Control& {
             auto& list = c.addListBox(listAt({150, 300, 1500, 900}));
             list.addItem("月曜");
             return list;
         },
         [](B& b, platform::Control& c) { b.clickLine(dynamic_cast<ListBox&>(c), 0); },
         [](platform::Control& c) { return dynamic_cast<ListBox&>(c).currentIndex() >= 0; }},
    };
}

TYPED_TEST(DialogContract, DisabledControlsAndThoseInADisabledFrameTakeNoInput) {
    for (const auto& attempt : attempts<TypeParam>()) {
        for (const bool byFrame : {false, true}) {
            SCOPED_TRACE(std::string(attempt.name) + (byFrame ? ", frame disabled" : ", itself disabled"));
            auto w = this->activeDialog();
            Frame& frame = w->addFrame(frameAt({150, 150, 3000, 2400}));
            platform::Control& control = attempt.make(frame);
            auto& input = dynamic_cast<platform::InputControl&>(control);
            byFrame ? frame.setEnabled(false) : input.setEnabled(false);
            EXPECT_EQ(input.isEnabled(), byFrame) << "a control keeps its own setting";
            EXPECT_EQ(frame.isEnabled(), !byFrame);

            attempt.use(this->backend, control);
            input.setFocus();
            EXPECT_FALSE(input.hasFocus());
            EXPECT_FALSE(attempt.reached(control));

            byFrame ? frame.setEnabled(true) : input.setEnabled(true);
            attempt.use(this->backend, control);
            EXPECT_TRUE(attempt.reached(control)) << "enabled again, it takes input";
        }
    }
}

TYPED_TEST(DialogContract, AControlDisabledInsideAFrameStaysDisabledWhenTheFrameIsEnabled) {
    auto w = this->activeDialog();
    Frame& frame = w->addFrame(frameAt({150, 150, 3000, 2400}));
    CommandButton& button = frame.addCommandButton(buttonAt({150, 300, 1200, 375}, "実行"));
    int clicks = 0;
    button.clicked.setHandler([&] { ++clicks; });
    button.setEnabled(false);
    frame.setEnabled(false);
    frame.setEnabled(true);
    EXPECT_FALSE(button.isEnabled());
    this->backend.click(button);
    EXPECT_EQ(clicks, 0);
}

TYPED_TEST(DialogContract, OptionsOfOneContainerAreOneGroup) {
    auto w = this->activeDialog();
    auto checkedAt = [](Rect r, const char* caption) {
        auto props = optionAt(r, caption);
        props.checked = true;
        return props;
    };
    OptionButton& daily = w->addOptionButton(checkedAt({300, 300, 1500, 300}, "毎日"));
    OptionButton& once = w->addOptionButton(optionAt({300, 750, 1500, 300}, "一回"));
    Frame& frame = w->addFrame(frameAt({2400, 150, 3000, 1800}));
    OptionButton& sound = frame.addOptionButton(checkedAt({150, 300, 1500, 300}, "音"));
    OptionButton& program = frame.addOptionButton(optionAt({150, 750, 1500, 300}, "ﾌﾟﾛｸﾞﾗﾑ"));
    std::vector<std::string> clicks;
    daily.clicked.setHandler([&] { clicks.push_back(daily.isChecked() ? "daily on" : "daily off"); });
    once.clicked.setHandler([&] { clicks.push_back(once.isChecked() ? "once on" : "once off"); });
    sound.clicked.setHandler([&] { clicks.push_back("sound"); });
    program.clicked.setHandler([&] { clicks.push_back("program"); });

    this->backend.click(once);
    EXPECT_TRUE(once.isChecked());
    EXPECT_FALSE(daily.isChecked());
    EXPECT_TRUE(sound.isChecked()) << "the frame's options are a group of their own";
    this->backend.click(once);
    EXPECT_TRUE(once.isChecked()) << "clicking the selected option keeps it selected";
    EXPECT_EQ(clicks, (std::vector<std::string>{"once on", "once on"}));

    clicks.clear();
    program.setChecked(true);
    EXPECT_FALSE(sound.isChecked());
    daily.setChecked(true);
    EXPECT_FALSE(once.isChecked());
    daily.setChecked(false);
    EXPECT_FALSE(daily.isChecked()) << "the program may leave none selected";
    EXPECT_FALSE(once.isChecked());
    EXPECT_TRUE(clicks.empty()) << "the program's selections raise nothing";
}

TYPED_TEST(DialogContract, AnAccessKeySelectsAnOptionAndMovesTheFocusThere) {
    auto w = this->activeDialog();
    TextBox& box = w->addTextBox(boxAt({300, 300, 1500, 300}));
    OptionButton& option = w->addOptionButton(optionAt({300, 900, 1500, 300}, "週末(&W)"));
    int clicks = 0;
    option.clicked.setHandler([&] { ++clicks; });
    box.setFocus();

    this->backend.pressAccessKey('w');
    EXPECT_TRUE(option.isChecked());
    EXPECT_TRUE(option.hasFocus());
    EXPECT_EQ(clicks, 1);
}

/// A list's selection events as the handler saw them.
struct ListLog {
    explicit ListLog(ListBox& list) {
        list.selectionChanged.setHandler([this, &list] { lines.push_back(list.currentIndex()); });
    }
    std::vector<int> lines;
};

TYPED_TEST(DialogContract, AListKeepsItsLinesInOrder) {
    auto w = this->activeDialog();
    ListBox& list = w->addListBox(listAt({300, 300, 3000, 1800}));
    list.addItem("b");
    list.insertItem(0, "a");
    list.insertItem(2, "d");
    list.insertItem(2, "");
    EXPECT_EQ(list.count(), 4);
    EXPECT_EQ((std::vector<std::string>{list.item(0), list.item(1), list.item(2), list.item(3)}),
              (std::vector<std::string>{"a", "b", "", "d"}));
    EXPECT_EQ(list.item(4), "");
    EXPECT_EQ(list.item(-1), "");
    list.removeItem(1);
    list.removeItem(7); // no such line
    EXPECT_EQ(list.count(), 3);
    EXPECT_EQ(list.item(1), "");
    list.clear();
    EXPECT_EQ(list.count(), 0);
}

TYPED_TEST(DialogContract, TheSelectionIsToldOfWheneverItChangesAndOnlyThen) {
    auto w = this->activeDialog();
    ListBox& list = w->addListBox(listAt({300, 300, 3000, 1800}));
    for (const char* line : {"a", "b", "c", "d"}) {
        list.addItem(line);
    }
    ListLog log(list);

    list.setCurrentIndex(2);
    list.setCurrentIndex(2);
    EXPECT_EQ(log.lines, (std::vector<int>{2}));
    list.insertItem(0, "z");
    list.removeItem(0);
    list.removeItem(3);
    EXPECT_EQ(list.currentIndex(), 2) << "the selection moves with its line";
    EXPECT_EQ(log.lines, (std::vector<int>{2})) << "still the same line";
    list.removeItem(2);
    EXPECT_EQ(list.currentIndex(), -1) << "the selected line went";
    list.setCurrentIndex(1);
    list.setCurrentIndex(-1);
    list.setCurrentIndex(0);
    list.setCurrentIndex(9);
    list.setCurrentIndex(1);
    list.clear();
    list.clear();
    EXPECT_EQ(log.lines, (std::vector<int>{2, -1, 1, -1, 0, -1, 1, -1}));
}

TYPED_TEST(DialogContract, TheUserSelectsLinesByMouseAndArrowKeys) {
    auto w = this->activeDialog();
    ListBox& list = w->addListBox(listAt({300, 300, 3000, 1800}));
    for (const char* line : {"月曜", "", "水曜"}) {
        list.addItem(line);
    }
    ListLog log(list);

    this->backend.clickLine(list, 1);
    EXPECT_EQ(list.currentIndex(), 1) << "an empty line is a line too";
    EXPECT_TRUE(list.hasFocus());
    this->backend.clickLine(list, 1);
    this->backend.press(Key::Down);
    this->backend.press(Key::Down);
    this->backend.press(Key::Up);
    EXPECT_EQ(log.lines, (std::vector<int>{1, 2, 1}));

    log.lines.clear();
    list.removeItem(1);
    this->backend.press(Key::Down);
    EXPECT_EQ(log.lines, (std::vector<int>{-1, 0})) << "with none selected the arrows start at the top";
}

TYPED_TEST(DialogContract, ArrowsInAListReachedByTabStartAtTheFirstLine) {
    auto w = this->activeDialog();
    TextBox& box = w->addTextBox(boxAt({300, 300, 1500, 300}, 0));
    ListBox& list = w->addListBox(listAt({300, 900, 3000, 1800}, 1));
    for (const char* line : {"月曜", "火曜", "水曜"}) {
        list.addItem(line);
    }
    ListLog log(list);
    box.setFocus();

    this->backend.press(Key::Tab);
    ASSERT_TRUE(list.hasFocus());
    EXPECT_TRUE(log.lines.empty()) << "the focus alone selects nothing";
    this->backend.press(Key::Down);
    EXPECT_EQ(log.lines, (std::vector<int>{0}));
}

TYPED_TEST(DialogContract, TabVisitsTheControlsByTabIndexAcrossFramesPassingThoseNotUsable) {
    auto w = this->activeDialog();
    Frame& frame = w->addFrame(frameAt({3000, 150, 2700, 3000}));
    TextBox& hour = w->addTextBox(boxAt({300, 300, 1200, 300}, 0));
    CommandButton& cancel = w->addCommandButton(buttonAt({300, 3600, 1200, 375}, "ｷｬﾝｾﾙ", 5));
    OptionButton& daily = frame.addOptionButton(optionAt({150, 300, 1500, 300}, "毎日", 2));
    CommandButton& ok = w->addCommandButton(buttonAt({1800, 3600, 1200, 375}, "OK", 4));
    ListBox& list = frame.addListBox(listAt({150, 900, 2000, 1200}, 3));
    TextBox& minute = w->addTextBox(boxAt({300, 900, 1200, 300}, 1));
    TextBox& hidden = w->addTextBox(boxAt({300, 1500, 1200, 300}, 1));
    TextBox& disabled = w->addTextBox(boxAt({300, 2100, 1200, 300}, 3));
    hidden.setVisible(false);
    disabled.setEnabled(false);
    const std::vector<std::pair<const char*, platform::InputControl*>> controls = {
        {"hour", &hour}, {"minute", &minute}, {"daily", &daily}, {"list", &list},
        {"ok", &ok},     {"cancel", &cancel}, {"hidden", &hidden}, {"disabled", &disabled}};
    auto focused = [&]() -> std::string {
        for (const auto& [name, control] : controls) {
            if (control->hasFocus()) {
                return name;
            }
        }
        return "none";
    };

    hour.setFocus();
    std::vector<std::string> visited{focused()};
    for (int i = 0; i < 6; ++i) {
        this->backend.press(Key::Tab);
        visited.push_back(focused());
    }
    EXPECT_EQ(visited, (std::vector<std::string>{"hour", "minute", "daily", "list", "ok", "cancel", "hour"}));
    this->backend.press(Key::BackTab);
    EXPECT_EQ(focused(), "cancel");

    frame.setEnabled(false);
    minute.setFocus();
    this->backend.press(Key::Tab);
    EXPECT_EQ(focused(), "ok") << "a disabled frame's controls are passed by";
}

TYPED_TEST(DialogContract, APostedFunctionRunsAfterTheHandlerInTheOrderPosted) {
    auto w = this->activeDialog();
    CommandButton& button = w->addCommandButton(buttonAt({300, 300, 1200, 375}, "OK"));
    std::vector<std::string> order;
    button.clicked.setHandler([&] {
        this->backend.app().post([&] {
            order.push_back("first");
            this->backend.app().post([&] { order.push_back("posted by first"); });
        });
        this->backend.app().post([&] { order.push_back("second"); });
        order.push_back("handler done");
    });

    this->backend.click(button);
    EXPECT_TRUE(this->backend.waitUntil([&] { return order.size() == 4; }, 1000));
    EXPECT_EQ(order, (std::vector<std::string>{"handler done", "first", "second", "posted by first"}));
}

TYPED_TEST(DialogContract, ADialogsOwnButtonMayCloseItThroughAPost) {
    auto w = this->activeDialog();
    auto ok = buttonAt({300, 300, 1200, 375}, "OK");
    ok.isDefault = true;
    CommandButton& button = w->addCommandButton(ok);
    button.clicked.setHandler([&] { this->backend.app().post([&] { w.reset(); }); });

    this->backend.press(Key::Enter);
    EXPECT_TRUE(this->backend.waitUntil([&] { return w == nullptr; }, 1000));
}

TYPED_TEST(DialogContract, DrawingAndLineEndsReadBack) {
    auto w = this->activeDialog();
    platform::Picture& picture = w->addPicture(pictureAt({300, 300, 3000, 3000}));
    platform::LineShape& hand = picture.addLine({.from = {1500, 1500}, .to = {1500, 300}, .color = 0});
    EXPECT_EQ(hand.end(), (platform::PointF{1500, 300}));
    hand.setEnd({2012.5f, 987.25f});
    EXPECT_EQ(hand.end(), (platform::PointF{2012.5f, 987.25f}));

    EXPECT_TRUE(picture.drawing().empty());
    picture.drawPoint({150.5f, 300}, platform::kSystemWindowTextColor);
    picture.drawCircle({1500, 1500}, 1350, 255);
    picture.drawPoint({150.5f, 300}, platform::kSystemWindowTextColor);
    using Kind = platform::DrawnMark::Kind;
    EXPECT_EQ(picture.drawing(), (std::vector<platform::DrawnMark>{
                                     {Kind::Point, {150.5f, 300}, 0, platform::kSystemWindowTextColor},
                                     {Kind::Circle, {1500, 1500}, 1350, 255},
                                     {Kind::Point, {150.5f, 300}, 0, platform::kSystemWindowTextColor},
                                 }));
    picture.clearDrawing();
    EXPECT_TRUE(picture.drawing().empty());
}

TYPED_TEST(DialogContract, LabelsAndFramesKeepTheirEnabledSetting) {
    auto w = this->activeDialog();
    auto props = labelAt({300, 300, 1200, 300}, "時刻");
    props.enabled = false;
    platform::Label& label = w->addLabel(props);
    auto frameProps = frameAt({1800, 300, 2400, 1500});
    frameProps.enabled = false;
    Frame& frame = w->addFrame(frameProps);
    platform::Label& inFrame = frame.addLabel(labelAt({150, 300, 1200, 300}, "分"));
    EXPECT_FALSE(label.isEnabled());
    EXPECT_FALSE(frame.isEnabled());
    EXPECT_TRUE(inFrame.isEnabled());
    label.setEnabled(true);
    frame.setEnabled(true);
    EXPECT_TRUE(label.isEnabled());
    EXPECT_TRUE(frame.isEnabled());
}

TYPED_TEST(DialogContract, AGreyedLabelStillTakesThePressesOverIt) {
    auto w = this->activeDialog();
    auto props = labelAt({450, 300, 1200, 300}, "時刻");
    props.enabled = false;
    platform::Label& label = w->addLabel(props);
    MouseLog log;
    log.watch(*w, "win", [&] { return clientOrigin(*w); });
    log.watchDown(label, "label", [&] { return clientOrigin(*w) + platform::Point{450, 300}; });

    this->backend.clickLabel(label, platform::MouseButton::Left, {30, 45});
    EXPECT_EQ(log.lines, (std::vector<std::string>{"label down L held 1 at 30,45"}));
}

TYPED_TEST(DialogContract, APictureFollowsTheMouseOutsideItWhileAButtonIsHeld) {
    for (const auto mb : {platform::MouseButton::Left, platform::MouseButton::Middle}) {
        SCOPED_TRACE(static_cast<int>(mb));
        auto w = this->activeDialog();
        auto& picture = w->addPicture(pictureAt({1500, 1500, 1500, 1500}));
        MouseLog log;
        log.watch(*w, "win", [&] { return clientOrigin(*w); });
        log.watch(picture, "pic", [&] { return clientOrigin(*w) + platform::Point{1500, 1500}; });

        this->backend.pressMouse(picture, mb, {750, 750});
        this->backend.moveMouse(picture, {2250, 750});
        this->backend.moveMouse(picture, {-600, -300});
        this->backend.releaseMouse(picture, mb, {-600, -300});
        const std::string b = mb == platform::MouseButton::Left ? "L" : "M";
        const std::string held = std::to_string(static_cast<int>(mb));
        EXPECT_EQ(log.lines, (std::vector<std::string>{
                                 "pic down " + b + " held " + held + " at 750,750",
                                 "pic move - held " + held + " at 2250,750",
                                 "pic move - held " + held + " at -600,-300",
                                 "pic up " + b + " held 0 at -600,-300",
                             }));
    }
}

TYPED_TEST(DialogContract, AFileDialogGivesThePathTheUserChoseOrNothing) {
    const platform::FileDialogOptions options{
        .title = "設定の読込み",
        .purpose = "settings",
        .initialPath = this->backend.folder() + "/*.alm",
        .filters = {{.caption = "ｱﾗｰﾑ設定ﾌｧｲﾙ ", .patterns = {"*.alm"}}, {.caption = "すべてのﾌｧｲﾙ", .patterns = {"*"}}}};
    const std::string file = this->backend.readableFile();

    this->backend.answerNextFileDialog(file);
    EXPECT_EQ(this->backend.fileDialogs().openFileName(options), file);
    this->backend.answerNextFileDialog("");
    EXPECT_EQ(this->backend.fileDialogs().openFileName(options), "");
    const std::string fresh = this->backend.folder() + TypeParam::kPathSeparator + "新規.alm";
    this->backend.answerNextFileDialog(fresh);
    EXPECT_EQ(this->backend.fileDialogs().saveFileName(options), fresh);
}

TYPED_TEST(DialogContract, EachPurposeStartsWhereItsOwnLastDialogWasLeft) {
    TypeParam& b = this->backend;
    const std::string folder = b.folder();
    const std::string file = b.readableFile();
    const std::string name = file.substr(file.rfind(TypeParam::kPathSeparator) + 1);
    const platform::FileDialogOptions sound{.title = "参照", .purpose = "sound", .initialPath = folder, .filters = {}};
    const platform::FileDialogOptions save{
        .title = "設定の保存", .purpose = "settings", .initialPath = folder + "/無題", .filters = {}};
    const platform::FileDialogOptions load{
        .title = "設定の読込み", .purpose = "settings", .initialPath = folder + "/*.alm", .filters = {}};

    b.answerNextFileDialog("");
    (void)b.fileDialogs().openFileName(load);
    EXPECT_EQ(b.fileDialogStart(), folder + "/") << "a pattern fills in no name";
    b.answerNextFileDialog(file);
    EXPECT_EQ(b.fileDialogs().saveFileName(save), file);
    EXPECT_EQ(b.fileDialogStart(), folder + "/無題");
    b.answerNextFileDialog("");
    (void)b.fileDialogs().openFileName(sound);
    EXPECT_EQ(b.fileDialogStart(), folder + "/") << "another purpose's name is not offered";
    b.answerNextFileDialog("");
    (void)b.fileDialogs().openFileName(load);
    EXPECT_EQ(b.fileDialogStart(), folder + "/" + name);
}

} // namespace
} // namespace kadrill::contract
