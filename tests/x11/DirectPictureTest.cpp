// Still pictures that the X server shows by itself: what reaches the screen, read back with
// XGetImage, when they are stacked, shown, hidden, covered by what Qt draws or drawn on,
// at one and at two device pixels per pixel.
#include "NoTimeSetter.h"
#include "platform/qt/QtContainer.h"
#include "platform/qt/QtPlatform.h"
#include "platform/qt/QtWindow.h"
#include "platform/x11/DirectLineLayer.h"
#include "platform/x11/X11NativeDesktop.h"

// Qt and GoogleTest before Xlib: Xlib's macros (Bool, Status, None) break their headers.
#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

#include "DirectLayerTests.h"

#include <memory>

namespace platform = kadrill::platform;
namespace qt = kadrill::platform::qt;
namespace x11 = kadrill::platform::x11;
using platform::Color;
using platform::Frame;
using platform::MouseEvent;
using platform::Picture;
using platform::Rect;
using platform::rgb;

namespace {

constexpr Color kRed = rgb(255, 0, 0);
constexpr Color kBlue = rgb(0, 0, 255);
constexpr Color kGreen = rgb(0, 160, 0);
constexpr Color kWhite = rgb(255, 255, 255);

// Counts the widgets Qt paints: a picture the server shows costs none when it comes and
// goes. (Where it leaves bare window, Qt only copies back what it painted before.)
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject* o, QEvent* e) override {
        paints += e->type() == QEvent::Paint && o->isWidgetType() ? 1 : 0;
        return false;
    }
};

class DirectPictureTest : public ::testing::Test {
protected:
    void SetUp() override {
        x11::installNativeDesktop(); // as the program does
        desk_ = std::make_unique<qt::QtPlatform>(timeSetter_);
        // 200 x 140 pixels; the frame at (10, 10), so a picture at twips (x, y) in it lies
        // at pixels (10 + x / 15, 10 + y / 15) of the window.
        window_ = desk_->windows.createWindow(
            {.caption = "pictures", .clientWidth = 3000, .clientHeight = 2100, .picture = "", .icon = "kadrill"});
        frame_ = &window_->addFrame({.bounds = {150, 150, 2700, 1800}, .caption = ""});
    }

    void TearDown() override {
        window_.reset();
        desk_.reset();
    }

    Picture& picture(Rect bounds, Color color, bool visible = true) {
        return frame_->addPicture({.bounds = bounds, .picture = "", .backColor = color, .visible = visible});
    }

    void show() {
        window_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(widget()));
        ratio_ = widget()->devicePixelRatioF();
    }

    QWidget* widget() const { return dynamic_cast<qt::QtWindow&>(*window_).widget(); }
    static bool direct(Picture& p) { return dynamic_cast<qt::QtPicture&>(p).widget()->showsDirect(); }

    // The colour on the screen at a logical pixel of the window, once everything is sent:
    // what the dispatcher does after each of the program's handlers.
    Color at(int x, int y) {
        x11::DirectLineLayer::flushAll();
        QTest::qWait(40);
        const auto image = server->grab(static_cast<::Window>(widget()->winId()));
        if (!image) {
            return 0xFFFFFFFF;
        }
        const e2e::Rgb c = image->at(static_cast<int>(x * ratio_), static_cast<int>(y * ratio_));
        return rgb(c.r, c.g, c.b);
    }

    // A press at a logical pixel of the window, as the user gives it.
    void press(int x, int y) {
        const QPoint global = widget()->mapToGlobal(QPoint(x, y));
        server->click(static_cast<int>(global.x() * ratio_), static_cast<int>(global.y() * ratio_));
        QTest::qWait(80);
    }

    kadrill::test::NoTimeSetter timeSetter_;
    std::unique_ptr<qt::QtPlatform> desk_;
    std::unique_ptr<platform::Window> window_;
    Frame* frame_ = nullptr;
    qreal ratio_ = 1;
};

TEST_F(DirectPictureTest, StackedPicturesTakeTurnsWithoutAQtRepaint) {
    Picture& under = picture({300, 300, 900, 900}, kRed);        // pixels 30..90
    Picture& over = picture({300, 300, 900, 900}, kBlue, false); // the same place, hidden
    Picture& corner = picture({1050, 1050, 600, 600}, kGreen);   // 80..120, over both
    show();
    for (Picture* p : {&under, &over, &corner}) {
        EXPECT_TRUE(direct(*p)) << "nothing Qt draws lies over it";
    }
    EXPECT_EQ(at(50, 50), kRed);
    EXPECT_EQ(at(85, 85), kGreen) << "the picture made later lies over the earlier ones";
    const Color ground = at(50, 110);
    EXPECT_NE(ground, kRed);

    PaintCounter counter;
    qApp->installEventFilter(&counter);
    over.setVisible(true);
    EXPECT_EQ(at(50, 50), kBlue);
    EXPECT_EQ(at(85, 85), kGreen) << "a picture shown again keeps its place in the stack";
    over.setVisible(false);
    EXPECT_EQ(at(50, 50), kRed);
    under.setVisible(false);
    EXPECT_EQ(at(50, 50), ground) << "a hidden picture gives its place back to the frame's ground";
    EXPECT_EQ(at(85, 85), kGreen);
    qApp->removeEventFilter(&counter);
    EXPECT_EQ(counter.paints, 0);
    EXPECT_FALSE(under.isVisible());
    EXPECT_FALSE(over.isVisible());
    EXPECT_TRUE(corner.isVisible());
}

TEST_F(DirectPictureTest, APictureUnderSomethingQtDrawsStaysWithQt) {
    Picture& labelled = picture({300, 300, 900, 900}, kRed);
    labelled.addLabel({.bounds = {0, 0, 900, 300}, .text = "午後"});
    // Three in a row, each partly over the one before: a picture, another, a label.
    Picture& bottom = picture({1050, 300, 600, 600}, kBlue);
    Picture& middle = picture({1350, 450, 600, 600}, kWhite);
    frame_->addLabel({.bounds = {1800, 900, 300, 300}, .text = "午前"});
    Picture& free = picture({2100, 1350, 300, 300}, kGreen);
    show();
    EXPECT_FALSE(direct(labelled)) << "it holds a control";
    EXPECT_FALSE(direct(middle)) << "a label lies over it";
    EXPECT_FALSE(direct(bottom)) << "a picture Qt draws lies over it";
    EXPECT_TRUE(direct(free));
    EXPECT_EQ(at(35, 60), kRed);
    EXPECT_EQ(at(85, 40), kBlue);
    EXPECT_EQ(at(115, 70), kWhite) << "the later picture still lies over the earlier one";
    EXPECT_EQ(at(155, 105), kGreen);
}

TEST_F(DirectPictureTest, DrawingOnAPictureOrAddingToItGivesItBackToQt) {
    Picture& drawnOn = picture({300, 300, 900, 900}, kRed);
    Picture& addedTo = picture({1500, 300, 900, 900}, kBlue, false);
    show();
    ASSERT_TRUE(direct(drawnOn));
    ASSERT_TRUE(direct(addedTo));

    drawnOn.drawPoint({450, 450}, kGreen); // pixel (60, 60) of the window
    EXPECT_FALSE(direct(drawnOn));
    EXPECT_EQ(at(60, 60), kGreen);
    EXPECT_EQ(at(40, 40), kRed);

    addedTo.addLabel({.bounds = {0, 0, 300, 300}, .text = ""});
    EXPECT_FALSE(direct(addedTo));
    EXPECT_FALSE(addedTo.isVisible()) << "it keeps what the program set";
    EXPECT_NE(at(150, 60), kBlue);
    addedTo.setVisible(true);
    EXPECT_EQ(at(150, 60), kBlue);
}

TEST_F(DirectPictureTest, AHiddenFrameHidesThePicturesInIt) {
    Picture& p = picture({300, 300, 900, 900}, kRed);
    show();
    ASSERT_TRUE(direct(p));
    frame_->setVisible(false);
    EXPECT_NE(at(50, 50), kRed);
    EXPECT_TRUE(p.isVisible()) << "its own setting is kept";
    frame_->setVisible(true);
    EXPECT_EQ(at(50, 50), kRed);

    // And the window hidden and shown again.
    window_->hide();
    QTest::qWait(50);
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(widget()));
    EXPECT_EQ(at(50, 50), kRed);
}

TEST_F(DirectPictureTest, PressesReachAShownPictureAndPassAHiddenOne) {
    Picture& p = picture({300, 300, 900, 900}, kRed);
    int onPicture = 0;
    int onWindow = 0;
    p.mouseDown.setHandler([&](const MouseEvent&) { ++onPicture; });
    window_->mouseDown.setHandler([&](const MouseEvent&) { ++onWindow; });
    show();
    ASSERT_TRUE(direct(p));
    press(50, 50);
    EXPECT_EQ(onPicture, 1);
    p.setVisible(false);
    EXPECT_EQ(onWindow, 0);
    press(50, 50);
    EXPECT_EQ(onPicture, 1) << "a hidden picture takes no press";
    EXPECT_EQ(onWindow, 1) << "what lies beneath takes it";
}

} // namespace
