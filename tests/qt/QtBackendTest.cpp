#include "NoTimeSetter.h"
#include "platform/qt/QtControls.h"
#include "platform/qt/QtFileSystem.h"
#include "platform/qt/QtPlatform.h"
#include "platform/qt/QtProgramStarter.h"
#include "platform/qt/QtSurface.h"
#include "platform/qt/QtWindow.h"
#include "platform/x11/X11NativeDesktop.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

using namespace kadrill::platform;

namespace {

long realtimeSecond() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<long>(now.tv_sec);
}

} // namespace

class QtBackendTest : public QObject {
    Q_OBJECT

private:
    kadrill::test::NoTimeSetter timeSetter;
    std::unique_ptr<qt::QtPlatform> desk;
    std::unique_ptr<Window> window;

    qt::QtWindow& qtWindow() { return dynamic_cast<qt::QtWindow&>(*window); }

private slots:
    void init() {
        x11::installNativeDesktop(); // as the program does
        desk = std::make_unique<qt::QtPlatform>(timeSetter);
        window = desk->windows.createWindow({.caption = "Kadrill",
                                             .clientWidth = 6000,
                                             .clientHeight = 1890,
                                             .menuBar = true,
                                             .picture = "face",
                                             .icon = "kadrill"});
    }

    void cleanup() {
        window.reset();
        desk.reset();
    }

    void clientAreaIsTwipsOverFifteenTimesThePixelRatio() {
        PictureButton& button = window->addPictureButton(
            {.bounds = {1463, 1485, 615, 300}, .picture = "btn-lap", .toolTip = "", .tabIndex = 0, .visible = true});
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(qtWindow().widget()));
        QWidget* canvas = qtWindow().surface();
        QCOMPARE(canvas->size(), QSize(400, 126));
        const QPixmap shot = canvas->grab();
        QCOMPARE(shot.size(), QSize(400, 126) * shot.devicePixelRatio());
        QVERIFY(!qtWindow().widget()->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        // Controls too, rounded to the nearest pixel.
        QCOMPARE(dynamic_cast<qt::QtPictureButton&>(button).widget()->geometry(), QRect(98, 99, 41, 20));
    }

    // Input already queued for a window when it hides (a second quick click on a dialog's
    // OK that closed it) must not reach its controls: the program has let go of them.
    void inputQueuedForAWindowThatHidMeanwhileReachesNothing() {
        CommandButton& ok = window->addCommandButton({.bounds = {150, 150, 1215, 375}, .caption = "OK"});
        int clicks = 0;
        ok.clicked.setHandler([&] { ++clicks; });
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(qtWindow().widget()));
        QWidget* button = dynamic_cast<qt::QtCommandButton&>(ok).widget();
        QWindow* handle = qtWindow().widget()->windowHandle();
        const QPoint at = button->mapTo(qtWindow().widget(), button->rect().center());
        QTest::mouseClick(handle, Qt::LeftButton, {}, at);
        QCOMPARE(clicks, 1);
        window->hide();
        QTest::mouseClick(handle, Qt::LeftButton, {}, at);
        button->setFocus();
        QTest::keyClick(handle, Qt::Key_Space);
        QCOMPARE(clicks, 1);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(qtWindow().widget()));
        QTest::mouseClick(handle, Qt::LeftButton, {}, at);
        QCOMPARE(clicks, 2);
    }

    // Help and sound come from modules loaded on first use; without them the feature fails
    // as it does with no help files or no audio device, and nothing crashes.
    // A control's own inner loop (a drag of its selected text) handles the close of its window:
    // the window may go only once that loop has ended and the control's code returned.
    void postedWorkWaitsOutAnInnerEventLoop() {
        std::vector<std::string> order;
        QEventLoop outer;
        QTimer::singleShot(0, [&] {
            QEventLoop inner;
            QTimer::singleShot(0, [&] {
                desk->app.post([&] { order.push_back("first posted"); });
                desk->app.post([&] { order.push_back("second posted"); });
                QTimer::singleShot(200, &inner, &QEventLoop::quit);
            });
            inner.exec();
            order.push_back("inner loop ended");
            QTimer::singleShot(300, &outer, &QEventLoop::quit);
        });
        outer.exec();
        QCOMPARE(order, (std::vector<std::string>{"inner loop ended", "first posted", "second posted"}));
    }

    void aWindowWithoutAMaximiseButtonStaysUnmaximised() {
        window->show();
        const QSize size = qtWindow().widget()->size();
        qtWindow().widget()->setWindowState(Qt::WindowMaximized); // Qt's own title bar on Wayland
        QTRY_VERIFY(!qtWindow().widget()->windowState().testFlag(Qt::WindowMaximized));
        QCOMPARE(qtWindow().widget()->size(), size);
    }

    void aMissingModuleIsToldAsAMissingPart() {
        const QString nowhere = QStringLiteral("/nonexistent/kadrill-module.so");
        qt::FirstUseMediaControl media({}, nowhere);
        QCOMPARE(media.open("alarm.wav"), MediaError::NoModule);
        QCOMPARE(media.play(), MediaError::NoModule);
        media.close();
        qt::FirstUseHelp help(QCoreApplication::applicationFilePath(), nowhere);
        const HelpResult shown = help.showKeywordSearch();
        QCOMPARE(shown.status, HelpResult::Status::Failed);
        QCOMPARE(shown.error, std::string("ヘルプを開けません。ヘルプの表示に必要な部品が見つかりません。"));
    }

    void linesPaintInTheirExactColourAndVanishWhenHidden() {
        LineShape& line = window->addLine({.from = {5040, 240}, .to = {5280, 240}, .thicknessPixels = 6, .color = 0});
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(qtWindow().widget()));
        QWidget* canvas = qtWindow().surface();
        auto pixelAt = [canvas](int x, int y) {
            const QImage img = canvas->grab().toImage();
            const qreal dpr = img.devicePixelRatio();
            return img.pixelColor(static_cast<int>(x * dpr), static_cast<int>(y * dpr));
        };
        // Midpoint of the segment, 352 / 16 in face pixels; also one pixel off the axis,
        // still inside the 6-pixel stroke.
        line.setColor(49152);
        QCOMPARE(pixelAt(352, 16), QColor(0, 192, 0));
        QCOMPARE(pixelAt(352, 17), QColor(0, 192, 0));
        line.setColor(4210752);
        QCOMPARE(pixelAt(352, 16), QColor(64, 64, 64));
        line.setVisible(false);
        QCOMPARE(pixelAt(352, 16), QColor(0, 0, 0));
        // The colon dots of the face picture are part of the artwork.
        QCOMPARE(pixelAt(153, 25), QColor(0, 191, 0));
    }

    void pollingTimerTicksOnEnableAtSecondEdgesAndRightAfterOtherHandlers() {
        Timer& poll = window->addTimer({.interval = 1, .enabled = false, .pacing = TimerPacing::PollsTimeOfDay});
        PictureButton& button = window->addPictureButton(
            {.bounds = {1463, 1485, 615, 300}, .picture = "btn-mode", .toolTip = "", .tabIndex = 0, .visible = true});
        int ticks = 0;
        std::vector<long> seconds;
        poll.tick.setHandler([&] {
            ++ticks;
            seconds.push_back(realtimeSecond());
        });
        int ticksSeenByClick = -1;
        button.clicked.setHandler([&] { ticksSeenByClick = ticks; });
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(qtWindow().widget()));

        QTest::qWait(50);
        QCOMPARE(ticks, 0); // disabled: no tick at all

        poll.setEnabled(true);
        QTRY_COMPARE_WITH_TIMEOUT(ticks, 1, 200); // first tick at once, not at the next edge

        const int before = ticks;
        QTest::mouseClick(dynamic_cast<qt::QtPictureButton&>(button).widget(), Qt::LeftButton);
        QCOMPARE(ticksSeenByClick, before);
        QCOMPARE(ticks, before + 1); // ticked within the click's own turn of the loop

        // Across two and a half seconds every edge ticks once: no second is skipped.
        seconds.clear();
        const long start = realtimeSecond();
        QTest::qWait(2500);
        const long end = realtimeSecond();
        // An edge that passed just before `end` was read may not have been handled yet.
        QTest::qWait(300);
        long edges = 0;
        for (long s = start + 1; s <= end; ++s) {
            edges += std::count(seconds.begin(), seconds.end(), s) >= 1 ? 1 : 0;
        }
        QCOMPARE(edges, end - start);

        poll.setEnabled(false);
        const int stopped = ticks;
        QTest::qWait(1200);
        QCOMPARE(ticks, stopped);
    }

    void aNamedPipeIsNoFileAndAskingNeverBlocks() {
        QTemporaryDir dir;
        const std::string pipe = dir.filePath(QStringLiteral("pipe")).toStdString();
        QCOMPARE(::mkfifo(pipe.c_str(), 0600), 0);
        // Opening a pipe for reading would wait for a writer; the question must not.
        QVERIFY(!qt::QtFileSystem().isReadableFile(pipe));
    }

    void aBareProgramNameIsTheFileInTheWorkingFolderNeverOneInPath() {
        // The same name in the working folder and on PATH; each leaves its own mark.
        QTemporaryDir here;
        QTemporaryDir onPath;
        const QString mark = here.filePath(QStringLiteral("started"));
        for (QTemporaryDir* dir : {&here, &onPath}) {
            QFile script(dir->filePath(QStringLiteral("wake-up")));
            QVERIFY(script.open(QIODevice::WriteOnly));
            script.write(
                QStringLiteral("#!/bin/sh\necho %1 > '%2'\n").arg(dir == &here ? "here" : "path", mark).toUtf8());
            script.close();
            script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
        }
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", onPath.path().toLocal8Bit() + ":" + path);
        const QString folder = QDir::currentPath();
        QDir::setCurrent(here.path());
        const StartResult started = desk->programs.start("wake-up");
        QDir::setCurrent(folder);
        qputenv("PATH", path);
        QCOMPARE(started.status, StartResult::Status::Started);
        QFile marked(mark);
        QTRY_VERIFY_WITH_TIMEOUT(marked.size() > 0, 10000);
        QVERIFY(marked.open(QIODevice::ReadOnly));
        QCOMPARE(marked.readAll().trimmed(), QByteArray("here"));
    }

    void aPicturesTransparentPixelsShowItsFramesGroundNotThePictureBeneath() {
        auto dialog = desk->windows.createWindow({.caption = "ﾗｰﾒﾝﾀｲﾏｰ",
                                                  .clientWidth = 4815,
                                                  .clientHeight = 2895,
                                                  .menuBar = false,
                                                  .picture = "",
                                                  .icon = "kadrill"});
        Frame& frame = dialog->addFrame({.bounds = {120, 120, 4575, 2055}, .caption = ""});
        const Rect place{120, 360, 1485, 1485};
        frame.addPicture(
            {.bounds = place, .picture = "", .backColor = rgb(255, 0, 0), .border = false, .visible = true});
        Picture& over = frame.addPicture(
            {.bounds = place, .picture = "noodle-cup", .backColor = rgb(255, 0, 0), .border = false, .visible = true});
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dynamic_cast<qt::QtWindow&>(*dialog).widget()));

        auto pixel = [](QWidget* w, int x, int y) {
            const QImage img = w->grab().toImage();
            const qreal dpr = img.devicePixelRatio();
            return img.pixelColor(static_cast<int>(x * dpr), static_cast<int>(y * dpr));
        };
        // The corner of the picture is transparent; a bare spot of the frame shows its ground.
        const QColor ground = pixel(dynamic_cast<qt::QtFrame&>(frame).widget(), 200, 100);
        const QColor corner = pixel(dynamic_cast<qt::QtPicture&>(over).widget(), 2, 2);
        QCOMPARE(corner, ground);
        QVERIFY(corner != QColor(255, 0, 0));
        // Drawn pixels are the picture's own: the red band of the cup.
        QCOMPARE(pixel(dynamic_cast<qt::QtPicture&>(over).widget(), 30, 62), QColor(0xD7, 0x32, 0x2B));
    }

    void aLongLabelWrapsAtItsWidth() {
        Label& label = window->addLabel({.bounds = {240, 240, 2055, 870},
                                         .text = "かためが好みならそろそろいいんじゃないかな。",
                                         .fontName = "ＭＳ Ｐゴシック",
                                         .fontPoints = 12,
                                         .foreColor = 0xFFFFFF});
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(qtWindow().widget()));
        const QImage img = dynamic_cast<qt::QtLabel&>(label).widget()->grab().toImage();
        const qreal dpr = img.devicePixelRatio();
        // Ink (the white text) on each of three lines of 16-pixel text.
        for (int line = 0; line < 3; ++line) {
            bool ink = false;
            for (int y = line * 18 + 4; y < line * 18 + 14 && !ink; ++y) {
                for (int x = 0; x < 60 && !ink; ++x) {
                    ink = img.pixelColor(static_cast<int>(x * dpr), static_cast<int>(y * dpr)).lightness() > 200;
                }
            }
            QVERIFY2(ink, qPrintable(QStringLiteral("no text on line %1").arg(line + 1)));
        }
    }

    void labelsUseTheSubstitutedJapaneseFont() {
        Label& mark = window->addLabel({.bounds = {240, 240, 240, 240},
                                        .text = "♪",
                                        .fontName = "ＭＳ Ｐゴシック",
                                        .fontPoints = 12,
                                        .foreColor = 49152});
        auto* widget = dynamic_cast<qt::QtLabel&>(mark).widget();
        QCOMPARE(QFontInfo(widget->font()).family(), QStringLiteral("IPAPGothic"));
        QCOMPARE(widget->font().pixelSize(), 16);
        QCOMPARE(widget->palette().color(QPalette::WindowText), QColor(0, 192, 0));
        QCOMPARE(mark.text(), std::string("♪"));
    }

    // Off X11 (here offscreen, as on Wayland) a minimise cannot be taken back once the
    // window is shown with it: brought back from hiding, it comes back unminimised.
    void aWindowHiddenMinimisedIsShownNormalOffX11() {
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(qtWindow().widget()));
        window->setWindowState(WindowState::Minimized);
        window->hide();
        window->show();
        QCOMPARE(window->windowState(), WindowState::Normal);
        QVERIFY(window->isVisible());
    }

    // A started program is steered to X11 only where an X display is at hand: steered
    // without one, or stripped of its only display, it could open no window at all.
    void programEnvironment_data() {
        QTest::addColumn<QString>("wayland");
        QTest::addColumn<QString>("x11");
        QTest::addColumn<bool>("steered");
        QTest::newRow("both") << "wayland-0"
                              << ":1" << true;
        QTest::newRow("wayland alone") << "wayland-0"
                                       << "" << false;
        QTest::newRow("x11 alone") << ""
                                   << ":1" << false;
    }
    void programEnvironment() {
        QFETCH(QString, wayland);
        QFETCH(QString, x11);
        QFETCH(bool, steered);
        QProcessEnvironment session;
        session.insert(QStringLiteral("HOME"), QStringLiteral("/home/u"));
        session.insert(QStringLiteral("PULSE_PROP_media.role"), QStringLiteral("event"));
        if (!wayland.isEmpty()) {
            session.insert(QStringLiteral("WAYLAND_DISPLAY"), wayland);
        }
        if (!x11.isEmpty()) {
            session.insert(QStringLiteral("DISPLAY"), x11);
        }
        const QProcessEnvironment env = qt::programEnvironment(session);
        QCOMPARE(env.value(QStringLiteral("HOME")), QStringLiteral("/home/u"));
        QVERIFY2(!env.contains(QStringLiteral("PULSE_PROP_media.role")), "Kadrill's sound stream role is its own");
        QCOMPARE(env.value(QStringLiteral("DISPLAY")), x11);
        QCOMPARE(env.contains(QStringLiteral("WAYLAND_DISPLAY")), !wayland.isEmpty() && !steered);
        QCOMPARE(env.value(QStringLiteral("QT_QPA_PLATFORM")), steered ? QStringLiteral("xcb") : QString());
        QCOMPARE(env.value(QStringLiteral("GDK_BACKEND")), steered ? QStringLiteral("x11") : QString());
    }
};

QTEST_MAIN(QtBackendTest)
#include "QtBackendTest.moc"
