#include "ContractTest.h"

namespace kadrill::contract {
namespace {

using platform::AccessibleText;
using platform::Container;
using platform::Control;
using platform::MenuItem;
using platform::MenuItemKind;
using platform::MouseButton;
using platform::PictureButton;
using platform::Point;
using platform::Window;

template <class B> class ControlContract : public ContractTest<B> {};
TYPED_TEST_SUITE(ControlContract, Backends, BackendNames);

TYPED_TEST(ControlContract, AButtonClicksByTheLeftButtonOnlyAndTakesTheFocus) {
    auto w = this->shownWindow();
    PictureButton& button = w->addPictureButton(buttonAt(300, 300));
    int clicks = 0;
    button.clicked.setHandler([&] { ++clicks; });
    ASSERT_TRUE(this->backend.activate(*w));

    this->backend.click(button, MouseButton::Right);
    this->backend.click(button, MouseButton::Middle);
    EXPECT_EQ(clicks, 0) << "other buttons are taken and ignored";
    this->backend.click(button, MouseButton::Left);
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(button.hasFocus());
}

TYPED_TEST(ControlContract, SpaceClicksTheButtonWithTheFocus) {
    auto w = this->shownWindow();
    PictureButton& first = w->addPictureButton(buttonAt(300, 300));
    PictureButton& second = w->addPictureButton(buttonAt(1200, 300));
    int firstClicks = 0;
    int secondClicks = 0;
    first.clicked.setHandler([&] { ++firstClicks; });
    second.clicked.setHandler([&] { ++secondClicks; });
    ASSERT_TRUE(this->backend.activate(*w));

    second.setFocus();
    this->backend.pressSpace();
    EXPECT_EQ(secondClicks, 1);
    first.setFocus();
    this->backend.pressSpace();
    EXPECT_EQ(firstClicks, 1);
    EXPECT_EQ(secondClicks, 1);
}

TYPED_TEST(ControlContract, FocusGoesWhereTheProgramPutsItAndLeavesAButtonThatIsHidden) {
    auto w = this->shownWindow();
    PictureButton& first = w->addPictureButton(buttonAt(300, 300));
    platform::Frame& frame = w->addFrame(frameAt({1200, 150, 1500, 1200}));
    PictureButton& inFrame = frame.addPictureButton(buttonAt(150, 300));
    ASSERT_TRUE(this->backend.activate(*w));

    first.setFocus();
    EXPECT_TRUE(first.hasFocus());
    EXPECT_FALSE(inFrame.hasFocus());
    inFrame.setFocus();
    EXPECT_TRUE(inFrame.hasFocus());
    EXPECT_FALSE(first.hasFocus());

    frame.setVisible(false);
    EXPECT_FALSE(inFrame.hasFocus()) << "its frame was hidden";
    first.setFocus();
    first.setVisible(false);
    EXPECT_FALSE(first.hasFocus()) << "it was hidden";
    first.setFocus();
    EXPECT_FALSE(first.hasFocus()) << "a hidden button takes no focus";
}

TYPED_TEST(ControlContract, FocusGivenInAnInactiveWindowArrivesWhenItBecomesActive) {
    auto other = this->shownWindow();
    auto w = this->shownWindow();
    PictureButton& button = w->addPictureButton(buttonAt(300, 300));
    ASSERT_TRUE(this->backend.activate(*other));

    button.setFocus();
    EXPECT_FALSE(button.hasFocus());
    ASSERT_TRUE(this->backend.activate(*w));
    EXPECT_TRUE(button.hasFocus());
}

// Where a button lies, and what is hidden before the user tries to click it.
enum class Place { Window, Frame, Picture };
enum class Hidden { Button, Container, Window };

TYPED_TEST(ControlContract, AButtonTheUserCannotSeeTakesNoClick) {
    for (Place place : {Place::Window, Place::Frame, Place::Picture}) {
        for (Hidden hidden : {Hidden::Button, Hidden::Container, Hidden::Window}) {
            if (place == Place::Window && hidden == Hidden::Container) {
                continue;
            }
            SCOPED_TRACE(testing::Message()
                         << "place " << static_cast<int>(place) << ", hidden " << static_cast<int>(hidden));
            auto w = this->shownWindow();
            Container* container = w.get();
            Control* containerControl = nullptr;
            if (place == Place::Frame) {
                auto& frame = w->addFrame(frameAt({150, 150, 2400, 1200}));
                container = &frame;
                containerControl = &frame;
            } else if (place == Place::Picture) {
                auto& picture = w->addPicture(pictureAt({150, 150, 2400, 1200}));
                container = &picture;
                containerControl = &picture;
            }
            PictureButton& button = container->addPictureButton(buttonAt(300, 300));
            int clicks = 0;
            button.clicked.setHandler([&] { ++clicks; });
            this->backend.click(button, MouseButton::Left);
            ASSERT_EQ(clicks, 1) << "shown, it clicks";

            switch (hidden) {
            case Hidden::Button:
                button.setVisible(false);
                break;
            case Hidden::Container:
                containerControl->setVisible(false);
                break;
            case Hidden::Window:
                w->hide();
                break;
            }
            this->backend.click(button, MouseButton::Left);
            if (hidden != Hidden::Window) {
                ASSERT_TRUE(this->backend.activate(*w));
                button.setFocus();
                this->backend.pressSpace();
            }
            EXPECT_EQ(clicks, 1);
            EXPECT_TRUE(button.isVisible() || hidden == Hidden::Button) << "its own setting is unchanged";
        }
    }
}

TYPED_TEST(ControlContract, ControlsReportTheirOwnVisibilitySettingWhereverTheyLie) {
    auto w = this->backend.windows().createWindow(plainWindow());
    auto& frame = w->addFrame(frameAt({150, 150, 2400, 1200}, false));
    Control* controls[] = {
        &frame.addLabel(labelAt({150, 300, 600, 300}, "午後")),
        &frame.addPictureButton(buttonAt(900, 300)),
        &frame.addPicture(pictureAt({1500, 300, 600, 600})),
        &frame.addLine({.from = {0, 0}, .to = {600, 0}, .color = 0}),
    };
    auto& hiddenLabel = w->addLabel(labelAt({150, 150, 600, 300}, "午前", false));
    EXPECT_FALSE(frame.isVisible());
    EXPECT_FALSE(hiddenLabel.isVisible());
    for (Control* c : controls) {
        EXPECT_TRUE(c->isVisible()) << "in a hidden frame of a hidden window";
        c->setVisible(false);
        EXPECT_FALSE(c->isVisible());
        c->setVisible(true);
        EXPECT_TRUE(c->isVisible());
    }
    this->backend.show(*w);
    frame.setVisible(true);
    hiddenLabel.setVisible(true);
    EXPECT_TRUE(frame.isVisible());
    EXPECT_TRUE(hiddenLabel.isVisible());
}

TYPED_TEST(ControlContract, LabelsAndLinesReadBackWhatTheProgramWrote) {
    auto w = this->backend.windows().createWindow(plainWindow());
    auto& label = w->addLabel(labelAt({150, 150, 600, 300}, "午前"));
    auto& line = w->addLine({.from = {0, 0}, .to = {600, 0}, .color = 4210752});
    EXPECT_EQ(label.text(), "午前");
    EXPECT_EQ(label.foreColor(), 49152U);
    EXPECT_EQ(line.color(), 4210752U);
    label.setText("♪");
    label.setForeColor(4210752);
    line.setColor(49152);
    EXPECT_EQ(label.text(), "♪");
    EXPECT_EQ(label.foreColor(), 4210752U);
    EXPECT_EQ(line.color(), 49152U);

    // What a screen reader reads of a mark, a picture and the client area.
    auto& picture = w->addPicture(pictureAt({900, 150, 600, 600}));
    label.setAccessibleText({"ｱﾗｰﾑ", "点灯"});
    picture.setAccessibleText({"時計の針", "9時5分0秒"});
    w->setAccessibleText({"21時47分10秒", ""});
    EXPECT_EQ(label.accessibleText(), (AccessibleText{"ｱﾗｰﾑ", "点灯"}));
    EXPECT_EQ(picture.accessibleText(), (AccessibleText{"時計の針", "9時5分0秒"}));
    EXPECT_EQ(w->accessibleText(), (AccessibleText{"21時47分10秒", ""}));
}

TYPED_TEST(ControlContract, APressOnALabelIsTheLabelsAloneAndAHiddenLabelTakesNone) {
    auto w = this->shownWindow();
    auto& label = w->addLabel(labelAt({450, 300, 600, 300}, "午前"));
    MouseLog log;
    log.watch(*w, "win", [&] { return clientOrigin(*w); });
    log.watchDown(label, "label", [&] { return clientOrigin(*w) + Point{450, 300}; });

    this->backend.clickLabel(label, MouseButton::Left, {30, 45});
    this->backend.clickLabel(label, MouseButton::Right, {150, 150});
    EXPECT_EQ(log.lines, (std::vector<std::string>{"label down L held 1 at 30,45", "label down R held 2 at 150,150"}));

    log.lines.clear();
    label.setVisible(false);
    this->backend.clickLabel(label, MouseButton::Right, {150, 150});
    for (const std::string& line : log.lines) {
        EXPECT_EQ(line.rfind("label", 0), std::string::npos) << line;
    }
}

TYPED_TEST(ControlContract, AMovedLabelTakesItsPressesWhereItIsNow) {
    auto w = this->shownWindow();
    auto& picture = w->addPicture(pictureAt({300, 150, 2400, 1200}));
    auto& label = picture.addLabel(labelAt({150, 150, 900, 300}, "午後"));
    EXPECT_EQ(label.position(), (Point{150, 150}));
    label.setPosition({600, 450});
    EXPECT_EQ(label.position(), (Point{600, 450}));
    EXPECT_EQ(label.text(), "午後");

    MouseLog log;
    log.watch(picture, "pic", [&] { return clientOrigin(*w) + Point{300, 150}; });
    log.watchDown(label, "label", [&] { return clientOrigin(*w) + Point{300 + 600, 150 + 450}; });
    this->backend.clickLabel(label, MouseButton::Left, {30, 45});
    EXPECT_EQ(log.lines, (std::vector<std::string>{"label down L held 1 at 30,45"}));
}

TYPED_TEST(ControlContract, APictureHasMouseEventsOfItsOwnAndHoldsControls) {
    auto w = this->shownWindow();
    auto& picture = w->addPicture(pictureAt({300, 150, 1800, 1200}));
    PictureButton& button = picture.addPictureButton(buttonAt(150, 150));
    auto& label = picture.addLabel(labelAt({900, 600, 600, 300}, "午後"));
    MouseLog log;
    log.watch(*w, "win", [&] { return clientOrigin(*w); });
    log.watch(picture, "pic", [&] { return clientOrigin(*w) + Point{300, 150}; });
    log.watchDown(label, "label", [&] { return clientOrigin(*w) + Point{300 + 900, 150 + 600}; });
    int clicks = 0;
    button.clicked.setHandler([&] { ++clicks; });

    this->backend.pressMouse(picture, MouseButton::Left, {1200, 150});
    this->backend.moveMouse(picture, {1350, 300});
    this->backend.releaseMouse(picture, MouseButton::Left, {1350, 300});
    this->backend.pressMouse(picture, MouseButton::Right, {75, 1050});
    this->backend.releaseMouse(picture, MouseButton::Right, {75, 1050});
    this->backend.clickLabel(label, MouseButton::Left, {15, 15});
    this->backend.click(button, MouseButton::Left);
    EXPECT_EQ(log.lines, (std::vector<std::string>{
                             "pic down L held 1 at 1200,150",
                             "pic move - held 1 at 1350,300",
                             "pic up L held 0 at 1350,300",
                             "pic down R held 2 at 75,1050",
                             "pic up R held 0 at 75,1050",
                             "label down L held 1 at 15,15",
                         }));
    EXPECT_EQ(clicks, 1);

    log.lines.clear();
    picture.setVisible(false);
    this->backend.pressMouse(picture, MouseButton::Left, {1200, 150});
    this->backend.releaseMouse(picture, MouseButton::Left, {1200, 150});
    for (const std::string& line : log.lines) {
        EXPECT_EQ(line.rfind("pic", 0), std::string::npos) << line;
    }
}

TYPED_TEST(ControlContract, OnlyTheProgramSetsACheckMarkAndAChoiceLeavesItAlone) {
    auto w = this->shownWindow(mainWindow());
    platform::Menu& menu = w->addMenu("表示(&V)");
    MenuItem& item = menu.addItem("12時間表示(&W)", MenuItemKind::Check);
    int chosen = 0;
    bool markWhenChosen = false;
    item.chosen.setHandler([&] {
        ++chosen;
        markWhenChosen = item.isChecked();
    });

    item.setChecked(true);
    EXPECT_EQ(chosen, 0) << "the program's own change raises nothing";
    EXPECT_TRUE(item.isChecked());
    EXPECT_TRUE(this->backend.markShown(item));
    for (bool mark : {true, false}) {
        SCOPED_TRACE(mark ? "checked" : "unchecked");
        item.setChecked(mark);
        chosen = 0;
        this->backend.choose(item);
        EXPECT_EQ(chosen, 1);
        EXPECT_EQ(markWhenChosen, mark);
        EXPECT_EQ(item.isChecked(), mark);
        EXPECT_EQ(this->backend.markShown(item), mark);
    }
}

TYPED_TEST(ControlContract, DisabledItemsAndSeparatorsTakeNoChoice) {
    auto w = this->shownWindow(mainWindow());
    platform::Menu& menu = w->addMenu("表示(&V)");
    MenuItem& command = menu.addItem("ヘルプ(&H)", MenuItemKind::Command);
    MenuItem& separator = menu.addSeparator();
    MenuItem& check = menu.addItem("常に手前(&T)", MenuItemKind::Check);
    int chosen = 0;
    for (MenuItem* item : {&command, &separator, &check}) {
        item->chosen.setHandler([&] { ++chosen; });
    }

    this->backend.choose(separator);
    EXPECT_EQ(chosen, 0);
    for (MenuItem* item : {&command, &check}) {
        chosen = 0;
        item->setEnabled(false);
        EXPECT_FALSE(item->isEnabled());
        this->backend.choose(*item);
        EXPECT_EQ(chosen, 0);
        item->setEnabled(true);
        EXPECT_TRUE(item->isEnabled());
        this->backend.choose(*item);
        EXPECT_EQ(chosen, 1);
    }
    EXPECT_FALSE(check.isChecked());
}

} // namespace
} // namespace kadrill::contract
