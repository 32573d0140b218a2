// How the Qt backend paces the three kinds of timer, measured against the real clock.
#include "NoTimeSetter.h"
#include "platform/qt/QtPlatform.h"
#include "platform/qt/SecondEdgeTimer.h"
#include "platform/x11/X11NativeDesktop.h"

#include <QTest>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <set>

using namespace kadrill::platform;

namespace {

long realtimeSecond() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<long>(now.tv_sec);
}

} // namespace

class QtTimerTest : public QObject {
    Q_OBJECT

private:
    kadrill::test::NoTimeSetter timeSetter;
    std::unique_ptr<qt::QtPlatform> desk;
    std::unique_ptr<Window> window;

    void makeDesk() {
        x11::installNativeDesktop(); // as the program does
        desk = std::make_unique<qt::QtPlatform>(timeSetter);
        window = desk->windows.createWindow(
            {.caption = "Kadrill", .clientWidth = 6000, .clientHeight = 1890, .picture = "face", .icon = "kadrill"});
    }

    // Seconds, of those wholly inside the wait, in which the timer ticked at least once.
    static long secondsTicked(const std::multiset<long>& seconds, long start, long end) {
        long ticked = 0;
        for (long s = start + 1; s < end; ++s) {
            ticked += seconds.count(s) > 0 ? 1 : 0;
        }
        return ticked;
    }

private slots:
    void cleanup() {
        window.reset();
        desk.reset();
        qunsetenv("KADRILL_NO_TIMERFD");
    }

    void displayRateTicksAtAboutTheFrameRateAndNeverAtTheRequestedMillisecond() {
        makeDesk();
        Timer& t = window->addTimer({.interval = 1, .enabled = true, .pacing = TimerPacing::DisplayRate});
        int ticks = 0;
        t.tick.setHandler([&] { ++ticks; });
        QTest::qWait(500);
        // About 31 at 62.5 Hz; a 1 ms timer would give hundreds.
        QVERIFY2(ticks >= 15 && ticks <= 40, QByteArray::number(ticks));
    }

    void aTimerSwitchedToPollingTicksOnlyAtSecondEdgesAndAfterHandlers() {
        makeDesk();
        Timer& t = window->addTimer({.interval = 1, .enabled = true, .pacing = TimerPacing::DisplayRate});
        std::multiset<long> seconds;
        t.tick.setHandler([&] { seconds.insert(realtimeSecond()); });
        QTest::qWait(100);
        t.setPacing(TimerPacing::PollsTimeOfDay);
        QTest::qWait(50); // the tick that comes with the change
        seconds.clear();
        const long start = realtimeSecond();
        QTest::qWait(2200);
        const long end = realtimeSecond();
        QVERIFY2(seconds.size() <= static_cast<std::size_t>(end - start + 1), QByteArray::number(seconds.size()));
        QCOMPARE(secondsTicked(seconds, start, end), end - start - 1);

        t.setPacing(TimerPacing::DisplayRate);
        seconds.clear();
        QTest::qWait(300);
        QVERIFY2(seconds.size() >= 8, QByteArray::number(seconds.size()));
    }

    void withoutTimerfdAnOrdinaryTimerStillTicksEverySecond() {
        qputenv("KADRILL_NO_TIMERFD", "1");
        makeDesk();
        Timer& t = window->addTimer({.interval = 1, .enabled = true, .pacing = TimerPacing::PollsTimeOfDay});
        std::multiset<long> seconds;
        t.tick.setHandler([&] { seconds.insert(realtimeSecond()); });
        QTest::qWait(50);
        seconds.clear();
        const long start = realtimeSecond();
        QTest::qWait(2600);
        const long end = realtimeSecond();
        QCOMPARE(secondsTicked(seconds, start, end), end - start - 1);
        QVERIFY2(seconds.size() <= static_cast<std::size_t>(end - start + 1), "ticks between the edges");
    }
};

QTEST_MAIN(QtTimerTest)
#include "QtTimerTest.moc"
