// A picture's drawing and lines, read back pixel by pixel from what Qt paints. Run at a
// device pixel ratio of 1 and of 2: a point must stay one device pixel and a line must end
// where its twips say at either.
#include "NoTimeSetter.h"
#include "platform/qt/QtContainer.h"
#include "platform/qt/QtPlatform.h"
#include "platform/qt/QtWindow.h"
#include "platform/x11/X11NativeDesktop.h"

#include <QTest>

#include <cmath>
#include <memory>

using namespace kadrill::platform;

namespace {

const QColor kWhite(255, 255, 255);
const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);
constexpr Color kRedColor = rgb(255, 0, 0);
constexpr Color kBlueColor = rgb(0, 0, 255);

} // namespace

class QtDrawingTest : public QObject {
    Q_OBJECT

private:
    kadrill::test::NoTimeSetter timeSetter;
    std::unique_ptr<qt::QtPlatform> desk;
    std::unique_ptr<Window> window;
    Picture* picture = nullptr;
    qreal ratio = 1;

    /// What the picture shows, in device pixels.
    QImage shot() const {
        QWidget* widget = dynamic_cast<qt::QtPicture&>(*picture).widget();
        QTest::qWait(0);
        return widget->grab().toImage();
    }
    /// The device pixel that a point at logical pixel (x, y) falls in.
    QPoint device(double x, double y) const {
        return {static_cast<int>(std::floor(x * ratio)), static_cast<int>(std::floor(y * ratio))};
    }
    static int countOf(const QImage& image, const QColor& color) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                n += image.pixelColor(x, y) == color ? 1 : 0;
            }
        }
        return n;
    }

private slots:
    void init() {
        x11::installNativeDesktop(); // as the program does
        desk = std::make_unique<qt::QtPlatform>(timeSetter);
        window = desk->windows.createWindow(
            {.caption = "Kadrill", .clientWidth = 3300, .clientHeight = 3300, .picture = "", .icon = "kadrill"});
        // 200 x 200 logical pixels of plain white.
        picture = &window->addPicture({.bounds = {150, 150, 3000, 3000}, .picture = "", .backColor = 0xFFFFFF});
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(dynamic_cast<qt::QtWindow&>(*window).widget()));
        ratio = shot().devicePixelRatio();
    }

    void cleanup() {
        window.reset();
        desk.reset();
    }

    void aPointIsExactlyOneDevicePixel_data() {
        QTest::addColumn<float>("x");
        QTest::addColumn<float>("y");
        QTest::newRow("on a pixel") << 1500.0f << 750.0f;
        // Half a logical pixel on: a device pixel of its own at ratio 2.
        QTest::newRow("half way") << 1507.5f << 757.5f;
        QTest::newRow("top left corner") << 0.0f << 0.0f;
    }
    void aPointIsExactlyOneDevicePixel() {
        QFETCH(float, x);
        QFETCH(float, y);
        picture->drawPoint({x, y}, kRedColor);
        const QImage image = shot();
        const QPoint at = device(x / 15.0, y / 15.0);
        QCOMPARE(image.pixelColor(at), kRed);
        QCOMPARE(countOf(image, kRed), 1);
    }

    void aCircleIsAOnePixelOutlineAroundItsCentre() {
        // Radius 40 logical pixels around (100, 100).
        picture->drawCircle({1500, 1500}, 600, kBlueColor);
        const QImage image = shot();
        const QPoint centre = device(100, 100);
        const int radius = static_cast<int>(40 * ratio);
        QCOMPARE(image.pixelColor(centre), kWhite);
        // Along the row through the centre, the outline is one pixel on each side.
        int lit = 0;
        int first = -1;
        for (int x = centre.x(); x < image.width(); ++x) {
            if (image.pixelColor(x, centre.y()) == kBlue) {
                ++lit;
                first = first < 0 ? x : first;
            }
        }
        QCOMPARE(lit, 1);
        QVERIFY2(std::abs(first - (centre.x() + radius)) <= 1, qPrintable(QString::number(first)));
        QVERIFY(image.pixelColor(centre.x(), centre.y() - radius) == kBlue ||
                image.pixelColor(centre.x(), centre.y() - radius - 1) == kBlue);
    }

    void drawingLiesBeneathLinesAndGoesWhenCleared() {
        picture->drawPoint({1500, 2400}, kRedColor);
        picture->drawPoint({450, 450}, kRedColor);
        picture->addLine({.from = {300, 2400}, .to = {2700, 2400}, .thicknessPixels = 3, .color = kBlueColor});
        QImage image = shot();
        QCOMPARE(image.pixelColor(device(100, 160)), kBlue);
        QCOMPARE(image.pixelColor(device(30, 30)), kRed);
        picture->clearDrawing();
        image = shot();
        QCOMPARE(countOf(image, kRed), 0);
        QCOMPARE(image.pixelColor(device(100, 160)), kBlue);
    }

    void aLineEndsWhereItsTwipsSayAndMovesWithoutATrail() {
        // A three-pixel line along y = 160 from x = 20 to x = 180 (logical pixels).
        LineShape& line =
            picture->addLine({.from = {300, 2400}, .to = {2700, 2400}, .thicknessPixels = 3, .color = kBlueColor});
        QImage image = shot();
        QCOMPARE(image.pixelColor(device(20, 160)), kBlue);
        QCOMPARE(image.pixelColor(device(180, 160)), kBlue);
        QCOMPARE(image.pixelColor(device(17, 160)), kWhite);
        QCOMPARE(image.pixelColor(device(183, 160)), kWhite);

        // Turned to end at (100.5, 60.5): a hand of a clock.
        line.setEnd({1507.5f, 907.5f});
        image = shot();
        QCOMPARE(image.pixelColor(device(150, 160)), kWhite);
        QCOMPARE(image.pixelColor(device(180, 160)), kWhite);
        QCOMPARE(image.pixelColor(device(100.5, 60.5)), kBlue);
        QCOMPARE(image.pixelColor(device(100.5, 56)), kWhite);
        QCOMPARE(image.pixelColor(device(20, 160)), kBlue); // the start stays
    }

    void theDesktopsColoursComeFromThePalette() {
        QWidget* top = dynamic_cast<qt::QtWindow&>(*window).widget();
        QPalette palette = top->palette();
        palette.setColor(QPalette::Window, QColor(10, 20, 30));
        palette.setColor(QPalette::WindowText, QColor(40, 50, 60));
        top->setPalette(palette);
        Picture& dial = window->addPicture(
            {.bounds = {1500, 1500, 1500, 1500}, .picture = "", .backColor = kSystemMenuColor});
        dial.drawPoint({750, 750}, kSystemWindowTextColor);
        dial.addLine({.from = {150, 150}, .to = {1350, 150}, .thicknessPixels = 3, .color = kSystemWindowTextColor});
        QWidget* widget = dynamic_cast<qt::QtPicture&>(dial).widget();
        widget->show();
        QTest::qWait(0);
        const QImage image = widget->grab().toImage();
        QCOMPARE(image.pixelColor(device(30, 30)), QColor(10, 20, 30));
        QCOMPARE(image.pixelColor(device(50, 50)), QColor(40, 50, 60));
        QCOMPARE(image.pixelColor(device(50, 10)), QColor(40, 50, 60));
    }
};

QTEST_MAIN(QtDrawingTest)
#include "QtDrawingTest.moc"
