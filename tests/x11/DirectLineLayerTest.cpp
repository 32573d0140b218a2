// The direct line layer on a real X server: what it leaves on the screen, read back with
// XGetImage, at one and at two device pixels per pixel.
#include "platform/x11/DirectLineLayer.h"

// Qt and GoogleTest before Xlib: Xlib's macros (Bool, Status, None) break their headers.
#include <QApplication>
#include <QPainter>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include "DirectLayerTests.h"

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

using kadrill::platform::x11::DirectLineLayer;

namespace {

constexpr QRgb kGreen = qRgb(0, 192, 0);
constexpr QRgb kGrey = qRgb(64, 64, 64);
constexpr QRgb kFloor = qRgb(20, 30, 40); // the background under the lines

class DirectLineLayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        host_ = std::make_unique<QWidget>();
        host_->setFixedSize(200, 100);
        host_->setWindowTitle(QStringLiteral("layer-test"));
        host_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(host_.get()));
        ratio_ = host_->devicePixelRatioF();
    }

    std::unique_ptr<DirectLineLayer> makeLayer(QRect area) {
        QImage underneath(area.size() * ratio_, QImage::Format_RGB32);
        underneath.setDevicePixelRatio(ratio_);
        underneath.fill(kFloor);
        return DirectLineLayer::create(host_.get(), area, underneath);
    }

    // The colour on the screen at a logical point of the host, once drawn and sent.
    QRgb at(QPoint logical) {
        DirectLineLayer::flushAll();
        QTest::qWait(30);
        const auto image = server->grab(static_cast<Window>(host_->winId()));
        if (!image) {
            return 0;
        }
        const e2e::Rgb c = image->at(static_cast<int>(logical.x() * ratio_), static_cast<int>(logical.y() * ratio_));
        return qRgb(c.r, c.g, c.b);
    }

    static QPolygonF square(int x, int y, int size) { return QPolygonF(QRectF(x, y, size, size)); }

    std::unique_ptr<QWidget> host_;
    qreal ratio_ = 1;
};

TEST_F(DirectLineLayerTest, DrawsRecoloursHidesAndShowsLinesOverItsBackground) {
    auto layer = makeLayer(QRect(20, 10, 160, 80));
    ASSERT_TRUE(layer) << "no layer on an ordinary 24-bit X screen";
    const int a = layer->addLine(square(40, 20, 20), kGreen, true);
    const int b = layer->addLine(square(100, 40, 20), kGreen, false);
    EXPECT_EQ(at({50, 30}), kGreen);
    EXPECT_EQ(at({110, 50}), kFloor) << "a hidden line is not drawn";
    EXPECT_EQ(at({30, 80}), kFloor);
    EXPECT_NE(at({10, 5}), kFloor) << "the layer stays within its area";

    layer->setLine(a, kGrey, true);
    layer->setLine(b, kGreen, true);
    EXPECT_EQ(at({50, 30}), kGrey);
    EXPECT_EQ(at({110, 50}), kGreen);

    layer->setLine(a, kGrey, false);
    EXPECT_EQ(at({50, 30}), kFloor) << "hiding a line gives its place back to the background";
    EXPECT_EQ(at({110, 50}), kGreen);
}

TEST_F(DirectLineLayerTest, AMovedLineLeavesNothingWhereItWas) {
    auto layer = makeLayer(QRect(20, 10, 160, 80));
    ASSERT_TRUE(layer);
    const int moving = layer->addLine(square(40, 20, 20), kGreen, true);
    layer->addLine(square(55, 50, 20), kGrey, true); // under part of where the line goes
    layer->moveLine(moving, square(60, 40, 20));
    EXPECT_EQ(at({45, 25}), kFloor) << "its old place shows the background again";
    EXPECT_EQ(at({70, 45}), kGreen);
    EXPECT_EQ(at({70, 65}), kGrey) << "the other line is still drawn where they do not overlap";

    layer->setLine(moving, kGreen, false);
    layer->moveLine(moving, square(40, 20, 20));
    EXPECT_EQ(at({45, 25}), kFloor) << "a hidden line moves unseen";
}

TEST_F(DirectLineLayerTest, ComesBackWholeAfterTheWindowWasHidden) {
    auto layer = makeLayer(QRect(20, 10, 160, 80));
    ASSERT_TRUE(layer);
    layer->addLine(square(40, 20, 20), kGreen, true);
    host_->hide();
    QTest::qWait(50);
    host_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(host_.get()));
    EXPECT_TRUE(QTest::qWaitFor([&] { return at({50, 30}) == kGreen; }, 2000)) << "not redrawn on exposure";
    EXPECT_EQ(at({30, 80}), kFloor);
}

TEST_F(DirectLineLayerTest, FollowsItsWindowToANewNativeHandle) {
    for (const bool withLines : {true, false}) { // a layer of lines, and a still picture
        SCOPED_TRACE(withLines ? "lines" : "picture");
        auto layer = makeLayer(QRect(20, 10, 160, 80));
        ASSERT_TRUE(layer);
        const int a = withLines ? layer->addLine(square(40, 20, 20), kGreen, true) : -1;
        const int b = withLines ? layer->addLine(square(100, 40, 20), kGreen, false) : -1;
        const WId was = host_->winId();
        host_->windowHandle()->destroy();
        if (withLines) {
            layer->setLine(b, kGreen, true); // while there is no window to draw on
            DirectLineLayer::flushAll();
        }
        host_->windowHandle()->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(host_.get()));
        ASSERT_NE(host_->winId(), was);
        EXPECT_TRUE(QTest::qWaitFor([&] { return at({30, 80}) == kFloor; }, 2000)) << "the background is gone";
        if (withLines) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return at({50, 30}) == kGreen; }, 2000)) << "not drawn again";
            EXPECT_EQ(at({110, 50}), kGreen) << "a change made without a window is lost";
            layer->setLine(a, kGrey, true);
            EXPECT_EQ(at({50, 30}), kGrey);
        }
    }
}

TEST_F(DirectLineLayerTest, PressesGoThroughToTheWindowBeneath) {
    auto layer = makeLayer(QRect(20, 10, 160, 80));
    ASSERT_TRUE(layer);
    struct Catcher : QObject {
        int presses = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            presses += e->type() == QEvent::MouseButtonPress ? 1 : 0;
            return false;
        }
    } catcher;
    host_->installEventFilter(&catcher);
    const QPoint global = host_->mapToGlobal(QPoint(50, 30));
    server->click(static_cast<int>(global.x() * ratio_), static_cast<int>(global.y() * ratio_));
    EXPECT_TRUE(QTest::qWaitFor([&] { return catcher.presses == 1; }, 2000));
}

} // namespace

// The Xvfb and the application live for the whole run: Qt connects to one display once.
e2e::XServer* server = nullptr;

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    e2e::XServer x;
    server = &x;
    setenv("DISPLAY", x.displayName().c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
