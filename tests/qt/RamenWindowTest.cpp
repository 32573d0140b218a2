// The ramen timer on real Qt widgets, offscreen, at one and two device pixels per pixel:
// its window as built, every remark read whole inside the bubble, and the access keys.
// Its time comes from a fake clock, stepped a second at a time.
#include "NoTimeSetter.h"
#include "memory/MemoryClock.h"
#include "platform/qt/QtContainer.h"
#include "platform/qt/QtControls.h"
#include "platform/qt/QtPlatform.h"
#include "platform/qt/QtWindow.h"
#include "platform/x11/X11NativeDesktop.h"
#include "ramen/NoodleTimer.h"

#include <QLabel>
#include <QTest>

#include <memory>
#include <set>
#include <string>

using namespace kadrill;
using namespace kadrill::platform;

class RamenWindowTest : public QObject {
    Q_OBJECT

private:
    test::NoTimeSetter timeSetter;
    memory::FakeClock clock;
    std::unique_ptr<qt::QtPlatform> desk;
    std::unique_ptr<Platform> platform;
    state::NoodleFields fields;
    std::unique_ptr<ramen::NoodleTimer> timer;

    QWidget* window() const { return dynamic_cast<qt::QtWindow&>(*timer->window()).widget(); }
    QWidget* bubble() const { return dynamic_cast<qt::QtPicture&>(*timer->Picture[5]).widget(); }
    QLabel* label() const { return dynamic_cast<qt::QtLabel&>(*timer->Label1).widget(); }

    /// A second passes; the timer steps as it does after any handler.
    void second() {
        clock.advance(1000);
        desk->dispatcher.run([] {});
    }

    /// The bubble's words lie whole on its white: none of their ink falls outside the
    /// white interior, and the wrapped text needs no more height than the label has.
    void checkTheBubble() {
        const std::string text = timer->Label1->text();
        QVERIFY2(label()->heightForWidth(label()->width()) <= label()->height(), text.c_str());
        const QImage withText = bubble()->grab().toImage();
        timer->Label1->setText("");
        const QImage bare = bubble()->grab().toImage();
        timer->Label1->setText(text);
        int ink = 0;
        for (int y = 0; y < bare.height(); ++y) {
            for (int x = 0; x < bare.width(); ++x) {
                if (withText.pixel(x, y) != bare.pixel(x, y)) {
                    ++ink;
                    QVERIFY2(bare.pixelColor(x, y) == QColor(Qt::white),
                             qPrintable(QStringLiteral("%1: ink off the white at %2,%3")
                                            .arg(QString::fromStdString(text))
                                            .arg(x)
                                            .arg(y)));
                }
            }
        }
        QVERIFY2(ink > 50, text.c_str());
    }

private slots:
    void init() {
        x11::installNativeDesktop(); // as the program does
        desk = std::make_unique<qt::QtPlatform>(timeSetter);
        platform = std::make_unique<Platform>(Platform{desk->windows, clock, desk->tray, desk->media, desk->messages,
                                                       desk->help, desk->app, desk->files, desk->fileDialogs,
                                                       desk->programs, desk->keys, timeSetter, desk->autostart});
        clock.setTimeOfDay(12, 0, 0, 300);
        timer = std::make_unique<ramen::NoodleTimer>(*platform, fields);
        timer->Show();
        QVERIFY(QTest::qWaitForWindowExposed(window()));
    }

    void cleanup() {
        timer.reset();
        platform.reset();
        desk.reset();
    }

    void theWindowAsBuilt() {
        QCOMPARE(window()->windowTitle(), QStringLiteral("ﾗｰﾒﾝﾀｲﾏｰ"));
        // 4815 x 2895 twips of client area, fixed.
        QCOMPARE(window()->size(), QSize(321, 193));
        QCOMPARE(window()->minimumSize(), window()->maximumSize());
        QVERIFY(window()->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!window()->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        QCOMPARE(bubble()->size(), QSize(182, 91));
        QCOMPARE(dynamic_cast<qt::QtCommandButton&>(*timer->StartButton).widget()->text(), QStringLiteral("開始(&S)"));
        QCOMPARE(dynamic_cast<qt::QtCommandButton&>(*timer->ResetButton).widget()->text(),
                 QStringLiteral("リセット(&R)"));
        QCOMPARE(dynamic_cast<qt::QtCommandButton&>(*timer->EndButton).widget()->text(), QStringLiteral("終了(&E)"));
    }

    void everyRemarkFitsItsBubble() {
        std::set<std::string> seen;
        auto look = [&] {
            if (timer->Picture[5]->isVisible() && seen.insert(timer->Label1->text()).second) {
                checkTheBubble();
            }
        };
        for (int s = 0; s < 12; ++s) { // the two hints
            second();
            look();
        }
        desk->dispatcher.deliver(timer->StartButton->clicked);
        for (int s = 0; s <= 181; ++s) {
            second();
            look();
        }
        QCOMPARE(seen.size(), std::size_t{6});
    }

    void theAccessKeysPressTheButtons() {
        window()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window()));
        QTest::keyClick(window(), Qt::Key_S, Qt::AltModifier);
        QTRY_VERIFY(fields.NoodleRunning);
        QVERIFY(!timer->StartButton->isEnabled());
        QTest::keyClick(window(), Qt::Key_R, Qt::AltModifier);
        QTRY_VERIFY(!fields.NoodleRunning);
        QTest::keyClick(window(), Qt::Key_E, Qt::AltModifier);
        QTRY_VERIFY(!timer->isOpen());
    }
};

QTEST_MAIN(RamenWindowTest)
#include "RamenWindowTest.moc"
