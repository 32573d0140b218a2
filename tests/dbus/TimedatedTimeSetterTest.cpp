#include "BusTestSupport.h"
#include "platform/dbus/TimedatedTimeSetter.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <memory>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace std::chrono_literals;
using kadrill::platform::SetTimeOutcome;
using kadrill::platform::SetTimeResult;
using kadrill::platform::dbus::TimedatedTimeSetter;
using kadrill::testsupport::PrivateSystemBus;
using kadrill::testsupport::TimeServiceMode;

constexpr auto kAnswerWait = 10s;

// The usec asked for must be that local time on the local date of the moment of the call
// (taken before and after it, in case midnight came in between).
::testing::AssertionResult isTodayAt(std::int64_t usec, int hour, int minute, int second, std::time_t before,
                                     std::time_t after) {
    if (usec % 1'000'000 != 0) {
        return ::testing::AssertionFailure() << usec << " has a fraction of a second";
    }
    const std::time_t at = static_cast<std::time_t>(usec / 1'000'000);
    std::tm asked{};
    std::tm dayBefore{};
    std::tm dayAfter{};
    localtime_r(&at, &asked);
    localtime_r(&before, &dayBefore);
    localtime_r(&after, &dayAfter);
    const auto sameDay = [&](const std::tm& day) {
        return std::tie(asked.tm_year, asked.tm_mon, asked.tm_mday) == std::tie(day.tm_year, day.tm_mon, day.tm_mday);
    };
    if (asked.tm_hour != hour || asked.tm_min != minute || asked.tm_sec != second ||
        !(sameDay(dayBefore) || sameDay(dayAfter))) {
        char text[64];
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &asked);
        return ::testing::AssertionFailure() << "asked for " << text << " local time";
    }
    return ::testing::AssertionSuccess();
}

class TimedatedTimeSetterTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string why;
        ASSERT_TRUE(bus().systemBusIsPrivate(&why)) << why;
        bus().startTimeService(); // an earlier test may have ended it
        bus().setMode(TimeServiceMode::Accept);
        bus().clearRecordedCalls();
    }

    static PrivateSystemBus& bus() { return kadrill::testsupport::sharedBus(); }

    // Without a timeout, as the program makes it: on the system bus, with its own timeout.
    std::unique_ptr<TimedatedTimeSetter> makeSetter(std::chrono::milliseconds timeout = 0ms) {
        if (timeout == 0ms) {
            return std::make_unique<TimedatedTimeSetter>([this] { ++clockMoves_; });
        }
        return makeSetter(QDBusConnection::systemBus(), timeout);
    }
    std::unique_ptr<TimedatedTimeSetter> makeSetter(const QDBusConnection& connection,
                                                    std::chrono::milliseconds timeout) {
        return std::make_unique<TimedatedTimeSetter>([this] { ++clockMoves_; }, connection, timeout);
    }

    std::function<void(SetTimeResult)> recordAnswer() {
        return [this](SetTimeResult result) {
            clockMovesBeforeAnswer_.push_back(clockMoves_);
            answers_.push_back(std::move(result));
        };
    }

    // Runs the event loop until `count` answers came, and a little longer to catch extra ones.
    bool waitForAnswers(std::size_t count = 1, std::chrono::milliseconds limit = kAnswerWait) {
        const bool came = QTest::qWaitFor([&] { return answers_.size() >= count; }, static_cast<int>(limit.count()));
        QTest::qWait(100);
        return came;
    }

    bool waitForRecordedCalls(std::size_t count) {
        return QTest::qWaitFor([&] { return bus().recordedCalls().size() >= count; },
                               static_cast<int>(std::chrono::milliseconds(kAnswerWait).count()));
    }

    void expectOutcome(SetTimeOutcome outcome, std::size_t index = 0) {
        ASSERT_LT(index, answers_.size());
        EXPECT_EQ(answers_[index].outcome, outcome);
    }

    int clockMoves_ = 0;
    std::vector<int> clockMovesBeforeAnswer_;
    std::vector<SetTimeResult> answers_;
};

struct AnswerCase {
    const char* what;
    TimeServiceMode mode;
    std::chrono::milliseconds timeout; // 0: the setter's own
    SetTimeOutcome outcome;
    const char* reason; // the service's own words, for an error the program does not know
    int clockMoves;
};

void PrintTo(const AnswerCase& c, std::ostream* out) { *out << c.what; }

class TimedatedTimeSetterAnswers : public TimedatedTimeSetterTest, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(TimedatedTimeSetterAnswers, AsksForTodayAtTheTimeAndReportsTheServicesAnswer) {
    const AnswerCase& c = GetParam();
    bus().setMode(c.mode);
    auto setter = makeSetter(c.timeout);

    const std::time_t before = std::time(nullptr);
    setter->setLocalTimeOfDay(13, 37, 42, recordAnswer());
    EXPECT_TRUE(answers_.empty()) << "done ran within the call";
    ASSERT_TRUE(waitForAnswers());
    const std::time_t after = std::time(nullptr);

    ASSERT_EQ(answers_.size(), 1U);
    EXPECT_EQ(answers_[0].outcome, c.outcome);
    EXPECT_EQ(answers_[0].reason, c.reason);
    EXPECT_EQ(clockMoves_, c.clockMoves);
    EXPECT_EQ(clockMovesBeforeAnswer_[0], c.clockMoves) << "the timers must hear of the new time before done runs";

    const auto calls = bus().recordedCalls();
    ASSERT_EQ(calls.size(), 1U);
    EXPECT_TRUE(isTodayAt(calls[0].usecUtc, 13, 37, 42, before, after));
    EXPECT_FALSE(calls[0].relative);
    EXPECT_TRUE(calls[0].interactive);
    EXPECT_TRUE(calls[0].interactiveAuthorizationAllowed);
}

INSTANTIATE_TEST_SUITE_P(
    ServiceModes, TimedatedTimeSetterAnswers,
    ::testing::Values(
        AnswerCase{"accepted", TimeServiceMode::Accept, 0ms, SetTimeOutcome::Done, "", 1},
        AnswerCase{"automaticSyncOn", TimeServiceMode::AutomaticSyncOn, 0ms, SetTimeOutcome::AutomaticSyncOn, "", 0},
        AnswerCase{"accessDenied", TimeServiceMode::AccessDenied, 0ms, SetTimeOutcome::Denied, "", 0},
        AnswerCase{"passwordNotAsked", TimeServiceMode::PasswordNotAsked, 0ms, SetTimeOutcome::PasswordNotAsked, "", 0},
        AnswerCase{"unknownError", TimeServiceMode::Failed, 0ms, SetTimeOutcome::Failed,
                   kadrill::testsupport::kFakeTimeServiceFailure, 0},
        AnswerCase{"noAnswerInTime", TimeServiceMode::NoReply, 500ms, SetTimeOutcome::NoAnswer, "", 0}),
    [](const auto& named) { return std::string(named.param.what); });

TEST_F(TimedatedTimeSetterTest, FailsWhenNoServiceOwnsTheName) {
    bus().stopTimeService();
    // The bus frees the name once it has seen the connection close, a moment after the
    // process ended; a call before then waits on the dying connection and ends unanswered.
    ASSERT_TRUE(QTest::qWaitFor(
        [] {
            return !QDBusConnection::systemBus().interface()->isServiceRegistered(
                QStringLiteral("org.freedesktop.timedate1"));
        },
        static_cast<int>(std::chrono::milliseconds(kAnswerWait).count())));
    auto setter = makeSetter();
    setter->setLocalTimeOfDay(13, 0, 0, recordAnswer());
    EXPECT_TRUE(answers_.empty()) << "done ran within the call";
    ASSERT_TRUE(waitForAnswers());
    ASSERT_EQ(answers_.size(), 1U);
    expectOutcome(SetTimeOutcome::NoService);
    EXPECT_EQ(clockMoves_, 0);
}

TEST_F(TimedatedTimeSetterTest, FailsAtOnceWhenTheServiceEndsWithoutAnswering) {
    bus().setMode(TimeServiceMode::NoReply);
    auto setter = makeSetter();
    setter->setLocalTimeOfDay(13, 0, 0, recordAnswer());
    ASSERT_TRUE(waitForRecordedCalls(1));
    bus().stopTimeService();
    // Far sooner than the setter's own three minutes.
    ASSERT_TRUE(waitForAnswers(1, 5s));
    expectOutcome(SetTimeOutcome::NoAnswer);
    EXPECT_EQ(clockMoves_, 0);
}

TEST_F(TimedatedTimeSetterTest, FailsWithoutABus) {
    const QString name = QStringLiteral("kadrill-test-no-bus");
    {
        // A socket in the private bus's own directory that nobody listens on.
        const QDBusConnection nowhere = QDBusConnection::connectToBus(
            QString::fromStdString("unix:path=" + bus().directory() + "/nobody_listens"), name);
        ASSERT_FALSE(nowhere.isConnected());
        auto setter = makeSetter(nowhere, TimedatedTimeSetter::kDefaultReplyTimeout);
        setter->setLocalTimeOfDay(13, 0, 0, recordAnswer());
        EXPECT_TRUE(answers_.empty()) << "done ran within the call";
        ASSERT_TRUE(waitForAnswers());
    }
    QDBusConnection::disconnectFromBus(name);
    ASSERT_EQ(answers_.size(), 1U);
    expectOutcome(SetTimeOutcome::NoService);
    EXPECT_EQ(clockMoves_, 0);
}

TEST_F(TimedatedTimeSetterTest, RefusesWhatIsNoTimeOfDayWithoutAskingTheService) {
    auto setter = makeSetter();
    const std::vector<std::tuple<int, int, int>> times{{24, 0, 0}, {-1, 0, 0}, {0, 60, 0}, {0, 0, 60}, {0, 0, -1}};
    for (const auto& [hour, minute, second] : times) {
        setter->setLocalTimeOfDay(hour, minute, second, recordAnswer());
    }
    EXPECT_TRUE(answers_.empty()) << "done ran within the call";
    ASSERT_TRUE(waitForAnswers(times.size()));
    ASSERT_EQ(answers_.size(), times.size());
    for (std::size_t i = 0; i < times.size(); ++i) {
        expectOutcome(SetTimeOutcome::InvalidTime, i);
    }
    EXPECT_EQ(clockMoves_, 0);
    EXPECT_TRUE(bus().recordedCalls().empty());
}

TEST_F(TimedatedTimeSetterTest, AnswersEveryCallInFlight) {
    auto setter = makeSetter();
    setter->setLocalTimeOfDay(13, 0, 0, recordAnswer());
    setter->setLocalTimeOfDay(14, 0, 0, recordAnswer());
    ASSERT_TRUE(waitForAnswers(2));
    ASSERT_EQ(answers_.size(), 2U);
    EXPECT_EQ(answers_[0].outcome, SetTimeOutcome::Done);
    EXPECT_EQ(answers_[1].outcome, SetTimeOutcome::Done);
    EXPECT_EQ(clockMoves_, 2);
    EXPECT_EQ(bus().recordedCalls().size(), 2U);
}

TEST_F(TimedatedTimeSetterTest, DropsTheAnswersOfADestroyedSetter) {
    // Accepted at once: the answer is on its way when the setter goes.
    auto setter = makeSetter();
    setter->setLocalTimeOfDay(13, 0, 0, recordAnswer());
    setter.reset();
    ASSERT_TRUE(waitForRecordedCalls(1));

    // Not answered until the service ends, long after the setter went.
    bus().setMode(TimeServiceMode::NoReply);
    setter = makeSetter();
    setter->setLocalTimeOfDay(14, 0, 0, recordAnswer());
    ASSERT_TRUE(waitForRecordedCalls(2));
    setter.reset();
    bus().stopTimeService();

    QTest::qWait(500);
    EXPECT_TRUE(answers_.empty());
    EXPECT_EQ(clockMoves_, 0);
}

TEST_F(TimedatedTimeSetterTest, MayBeDestroyedFromWithinDone) {
    std::unique_ptr<TimedatedTimeSetter> setter = makeSetter();
    int answers = 0;
    auto destroySetter = [&](SetTimeResult) {
        ++answers;
        setter.reset();
    };
    // Through the service; the second call is still in flight when the setter goes.
    setter->setLocalTimeOfDay(13, 0, 0, destroySetter);
    setter->setLocalTimeOfDay(14, 0, 0, destroySetter);
    ASSERT_TRUE(waitForRecordedCalls(2));
    QTest::qWait(300);
    EXPECT_EQ(answers, 1);

    // Answered without the service.
    setter = makeSetter();
    setter->setLocalTimeOfDay(25, 0, 0, destroySetter);
    setter->setLocalTimeOfDay(26, 0, 0, destroySetter);
    QTest::qWait(300);
    EXPECT_EQ(answers, 2);
}

} // namespace
