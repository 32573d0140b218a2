#include "ContractTest.h"

namespace kadrill::contract {
namespace {

using platform::MouseButton;
using platform::Point;
using platform::Rect;
using platform::WindowState;

template <class B> class WindowContract : public ContractTest<B> {};
TYPED_TEST_SUITE(WindowContract, Backends, BackendNames);

TYPED_TEST(WindowContract, StartsHiddenAndShowsAndHidesOnRequest) {
    auto w = this->backend.windows().createWindow(plainWindow());
    EXPECT_FALSE(w->isVisible());
    this->backend.show(*w);
    EXPECT_TRUE(w->isVisible());
    w->hide();
    EXPECT_FALSE(w->isVisible());
    this->backend.show(*w);
    EXPECT_TRUE(w->isVisible());
}

TYPED_TEST(WindowContract, PositionRoundTripsInTwipsAndTheFrameStartsThere) {
    auto w = this->backend.windows().createWindow(plainWindow());
    auto expectAt = [&](Point at) {
        // A window manager places and frames the window in its own time.
        (void)this->backend.waitUntil(
            [&] { return w->position() == at && (Point{w->frameRect().left, w->frameRect().top}) == at; }, 2000);
        EXPECT_EQ(w->position(), at);
        const Rect frame = w->frameRect();
        EXPECT_EQ((Point{frame.left, frame.top}), at);
    };
    w->setPosition({1500, 2250});
    expectAt({1500, 2250});
    this->backend.show(*w);
    expectAt({1500, 2250});
    w->setPosition({3000, 4500});
    expectAt({3000, 4500});

    // The frame holds the client area where the offset says it is.
    const Point offset = w->clientOffset().value_or(Point{-1, -1});
    const Rect frame = w->frameRect();
    EXPECT_GE(frame.width, offset.x + plainWindow().clientWidth);
    EXPECT_GE(frame.height, offset.y + plainWindow().clientHeight);
    const Rect area = w->availableArea();
    EXPECT_GT(area.width, 0);
    EXPECT_GT(area.height, 0);
}

TYPED_TEST(WindowContract, ClientOffsetIsUnknownUntilFirstShownThenKeptWhileHidden) {
    auto plain = this->backend.windows().createWindow(plainWindow());
    auto withMenu = this->backend.windows().createWindow(mainWindow());
    withMenu->addMenu("表示(&V)").addItem("12時間表示(&W)", platform::MenuItemKind::Check);
    auto frameless = this->backend.windows().createWindow({.caption = "Kadrill",
                                                           .clientWidth = 3000,
                                                           .clientHeight = 1500,
                                                           .border = platform::BorderStyle::None,
                                                           .picture = "",
                                                           .icon = "kadrill"});
    for (auto* w : {plain.get(), withMenu.get(), frameless.get()}) {
        EXPECT_FALSE(w->clientOffset().has_value());
        this->backend.show(*w);
        ASSERT_TRUE(w->clientOffset().has_value());
    }
    EXPECT_EQ(*frameless->clientOffset(), (Point{0, 0}));
    EXPECT_GE(plain->clientOffset()->x, 0);
    EXPECT_GT(plain->clientOffset()->y, 0) << "a title bar";
    EXPECT_EQ(withMenu->clientOffset()->x, plain->clientOffset()->x);
    EXPECT_GT(withMenu->clientOffset()->y, plain->clientOffset()->y) << "the menu bar lies above the client area";

    const Point shown = *plain->clientOffset();
    plain->hide();
    EXPECT_EQ(plain->clientOffset(), shown);
}

TYPED_TEST(WindowContract, SetWindowStateRaisesStateChangedOnlyWhenTheStateChanges) {
    struct Step {
        WindowState to;
        int raised;
    };
    const Step steps[] = {{WindowState::Normal, 0}, {WindowState::Minimized, 1}, {WindowState::Minimized, 0},
                          {WindowState::Normal, 1}, {WindowState::Normal, 0},    {WindowState::Minimized, 1},
                          {WindowState::Normal, 1}};
    auto w = this->shownWindow();
    int changes = 0;
    w->stateChanged.setHandler([&] { ++changes; });
    int step = 0;
    for (const Step& s : steps) {
        SCOPED_TRACE(step++);
        changes = 0;
        w->setWindowState(s.to);
        this->backend.wait(20);
        EXPECT_EQ(changes, s.raised);
        EXPECT_EQ(w->windowState(), s.to);
    }
}

TYPED_TEST(WindowContract, TheMenuKeyAndShiftF10AskForTheContextMenuOnceEach) {
    auto w = this->shownWindow();
    w->addPictureButton(buttonAt(150, 150)).setFocus(); // a button takes neither key
    ASSERT_TRUE(this->backend.activate(*w));
    int asked = 0;
    w->contextMenuKey.setHandler([&] { ++asked; });
    this->backend.press(Key::Menu);
    EXPECT_EQ(asked, 1);
    this->backend.press(Key::ShiftF10);
    EXPECT_EQ(asked, 2);
}

TYPED_TEST(WindowContract, TheCloseBoxRaisesClosedOnceHoweverOftenAndHidesTheWindow) {
    auto w = this->shownWindow();
    int closed = 0;
    bool visibleInHandler = false;
    w->closed.setHandler([&] {
        ++closed;
        visibleInHandler = w->isVisible();
    });
    this->backend.closeByBox(*w);
    EXPECT_EQ(closed, 1);
    EXPECT_TRUE(visibleInHandler) << "the handler runs before the window goes";
    EXPECT_FALSE(w->isVisible());

    this->backend.show(*w);
    this->backend.closeByBox(*w);
    EXPECT_EQ(closed, 1);
    EXPECT_FALSE(w->isVisible());
}

TYPED_TEST(WindowContract, AttentionIsAskedOfAWindowOutOfFocusUntilItIsActivated) {
    auto w = this->shownWindow();
    auto other = this->shownWindow();
    other->setPosition({6000, 6000});
    ASSERT_TRUE(this->backend.activate(*w));
    w->requestAttention();
    EXPECT_FALSE(w->isDemandingAttention()) << "the active window has the user's eye already";

    ASSERT_TRUE(this->backend.activate(*other));
    w->requestAttention();
    EXPECT_TRUE(w->isDemandingAttention());
    this->backend.wait(100);
    EXPECT_TRUE(w->isDemandingAttention()) << "the request stands until the user comes";
    EXPECT_FALSE(other->isDemandingAttention());

    ASSERT_TRUE(this->backend.activate(*w));
    EXPECT_FALSE(w->isDemandingAttention());
    ASSERT_TRUE(this->backend.activate(*other));
    EXPECT_FALSE(w->isDemandingAttention()) << "answered once, it does not come back";
}

TYPED_TEST(WindowContract, MouseOverTheBareClientAreaReportsButtonsHeldAndPositions) {
    auto w = this->shownWindow();
    // Lines take no mouse input: a press on one reaches the window.
    w->addLine({.from = {1500, 0}, .to = {1500, 1500}, .thicknessPixels = 6, .color = 0xFFFFFF});
    MouseLog log;
    log.watch(*w, "win", [&] { return clientOrigin(*w); });

    this->backend.pressMouse(*w, MouseButton::Left, {300, 450});
    this->backend.moveMouse(*w, {600, 600});
    this->backend.releaseMouse(*w, MouseButton::Left, {600, 600});
    this->backend.pressMouse(*w, MouseButton::Right, {1500, 750});
    this->backend.releaseMouse(*w, MouseButton::Right, {1500, 750});
    EXPECT_EQ(log.lines, (std::vector<std::string>{
                             "win down L held 1 at 300,450",
                             "win move - held 1 at 600,600",
                             "win up L held 0 at 600,600",
                             "win down R held 2 at 1500,750",
                             "win up R held 0 at 1500,750",
                         }));
}

TYPED_TEST(WindowContract, ActivatingAnotherWindowOrHidingTheActiveOneDeactivatesIt) {
    auto first = this->shownWindow();
    auto second = this->shownWindow();
    second->setPosition({6000, 6000});
    int firstLost = 0;
    int secondLost = 0;
    first->deactivated.setHandler([&] { ++firstLost; });
    second->deactivated.setHandler([&] { ++secondLost; });

    ASSERT_TRUE(this->backend.activate(*first));
    firstLost = secondLost = 0;
    ASSERT_TRUE(this->backend.activate(*second));
    EXPECT_EQ(firstLost, 1);
    EXPECT_EQ(secondLost, 0);

    second->hide();
    this->backend.waitUntil([&] { return secondLost > 0; }, 500);
    EXPECT_EQ(secondLost, 1);
}

} // namespace
} // namespace kadrill::contract
