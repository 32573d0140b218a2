#include "WatchTestSupport.h"
#include "platform/Controls.h"

#include <gtest/gtest.h>

namespace kadrill::test {
namespace {

using platform::MouseButton;
using platform::Point;

constexpr int kLeft = static_cast<int>(MouseButton::Left);

class DigitalDrag : public ::testing::Test {
public:
    DigitalDrag() {
        Choose(f.main.mnuVisibleMenuBar);
        w().setPosition({3000, 6000});
    }
    MemoryWindow& w() { return f.digitalWindow(); }

    MainFixture f;
};

TEST_F(DigitalDrag, TheGrabbedPointStaysUnderThePointerFromTheFirstMove) {
    w().pressMouse(MouseButton::Left, {3000 + 1200, 6000 + 300}); // on a digit
    w().moveMouse({3000 + 1215, 6000 + 330}, kLeft);
    EXPECT_EQ(w().position(), (Point{3015, 6030}));
    w().moveMouse({9000, 1500}, kLeft);
    EXPECT_EQ(w().position(), (Point{9000 - 1200, 1500 - 300}));
    w().releaseMouse(MouseButton::Left, {9000, 1500});
    w().moveMouse({100, 100}, 0);
    EXPECT_EQ(w().position(), (Point{7800, 1200})) << "no move after the release";
}

TEST_F(DigitalDrag, ADragNeverSticksToThePointer) {
    struct Ending {
        const char* what;
        std::function<void(DigitalDrag&)> end;
    };
    const std::vector<Ending> endings = {
        {"a move without the left button held (a lost release)",
         [](DigitalDrag& t) {
             t.w().moveMouse({4000, 7000}, 0);
         }},
        {"the window deactivated", [](DigitalDrag& t) { t.f.window().activate(); }},
        {"a popup opened by a right press",
         [](DigitalDrag& t) {
             t.w().pressMouse(MouseButton::Right, {3100, 6100});
         }},
        {"the release of another button",
         [](DigitalDrag& t) {
             t.w().releaseMouse(MouseButton::Right, {0, 0});
         }},
    };
    for (const Ending& ending : endings) {
        f.main.window().show(); // the main window shows behind, so it can take activation
        w().show();
        w().activate();
        w().setPosition({3000, 6000});
        w().pressMouse(MouseButton::Left, {3300, 6300});
        ASSERT_TRUE(f.main.digital()->isDragging());
        ending.end(*this);
        EXPECT_FALSE(f.main.digital()->isDragging()) << ending.what;
        w().moveMouse({5000, 5000}, kLeft);
        EXPECT_EQ(w().position(), (Point{3000, 6000})) << ending.what;
    }
}

TEST_F(DigitalDrag, EveryLeftPressStartsAFreshDragWithItsOwnGrabPoint) {
    w().pressMouse(MouseButton::Left, {3100, 6100});
    w().pressMouse(MouseButton::Left, {3500, 6200}); // its release went astray
    w().moveMouse({4500, 7200}, kLeft);
    EXPECT_EQ(w().position(), (Point{4000, 7000}));
}

TEST_F(DigitalDrag, TheMarksTakeTheirPressesAndAmPmOfferTheMenu) {
    asLabel(f.digitalFace().AlarmOn).press(MouseButton::Left);
    EXPECT_FALSE(f.main.digital()->isDragging()) << "no drag starts on a mark";
    Click(f.digitalFace().HyoujiKirikae); // AM and PM on show
    asLabel(f.digitalFace().AM).press(MouseButton::Right);
    w().pressMouse(MouseButton::Right, {3100, 6100});
    ASSERT_EQ(f.desk.windows.popups().size(), 2U);
    EXPECT_EQ(f.desk.windows.popups().back(), f.window().menu("表示(&V)")) << "the main window's display menu";
}

TEST_F(DigitalDrag, TheWindowSystemsOwnMoveIsPreferred) {
    f.desk.windows.setSystemMoveAvailable(true);
    w().pressMouse(MouseButton::Left, {3100, 6100});
    EXPECT_EQ(f.desk.windows.systemMovesStarted(), 1);
    EXPECT_FALSE(f.main.digital()->isDragging());
}

TEST(Digital, ExistsHiddenFromStartUpWithTheSameFaceAndButtons) {
    MainFixture f;
    MemoryWindow& d = f.digitalWindow();
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.props().border, platform::BorderStyle::None);
    EXPECT_FALSE(d.props().menuBar);
    EXPECT_EQ(d.props().clientHeight, 1875);
    EXPECT_EQ(d.props().picture, f.window().props().picture);
    ASSERT_EQ(d.controls().buttons.size(), f.window().controls().buttons.size());
    for (std::size_t i = 0; i < d.controls().buttons.size(); ++i) {
        EXPECT_EQ(d.controls().buttons[i]->props().bounds, f.window().controls().buttons[i]->props().bounds);
        EXPECT_EQ(d.controls().buttons[i]->isVisible(), f.window().controls().buttons[i]->isVisible());
    }
    f.showAt(21, 47, 30);
    EXPECT_EQ(ReadDigits(f.digitalFace(), watch::kLitGreen), "214730") << "kept current while hidden";
}

} // namespace
} // namespace kadrill::test
