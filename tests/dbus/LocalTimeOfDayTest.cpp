#include "platform/dbus/LocalTimeOfDay.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <ostream>
#include <string>
#include <tuple>

namespace {

using kadrill::platform::dbus::usecForLocalTimeOfDay;

std::time_t utc(int year, int month, int day, int hour, int minute, int second) {
    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = hour;
    fields.tm_min = minute;
    fields.tm_sec = second;
    return timegm(&fields);
}

// Puts the zone back afterwards: other tests in the program read local time too.
class InTimeZone {
public:
    explicit InTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) {
            old_ = old;
        }
        ::setenv("TZ", zone, 1);
        tzset();
    }
    ~InTimeZone() {
        if (old_) {
            ::setenv("TZ", old_->c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        tzset();
    }
    InTimeZone(const InTimeZone&) = delete;
    InTimeZone& operator=(const InTimeZone&) = delete;

private:
    std::optional<std::string> old_;
};

struct Case {
    const char* what;
    const char* zone;
    std::time_t now;
    int hour, minute, second;
    std::time_t expected;
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.what; }

class LocalTimeOfDay : public ::testing::TestWithParam<Case> {};

TEST_P(LocalTimeOfDay, IsThatTimeOnTodaysLocalDate) {
    const Case& c = GetParam();
    InTimeZone zone(c.zone);
    EXPECT_EQ(usecForLocalTimeOfDay(c.now, c.hour, c.minute, c.second), std::int64_t{c.expected} * 1'000'000);
}

INSTANTIATE_TEST_SUITE_P(
    ChangesOfSummerTime, LocalTimeOfDay,
    ::testing::Values(
        // The local date, not the UTC one: at 00:30 CET it is already the 31st in Berlin.
        Case{"springDayBeforeTheChange", "Europe/Berlin", utc(2024, 3, 30, 23, 30, 0), 12, 0, 0,
             utc(2024, 3, 31, 10, 0, 0)},
        // Asked after the change for an hour before it: winter time again.
        Case{"springDayAfterTheChange", "Europe/Berlin", utc(2024, 3, 31, 10, 0, 0), 0, 30, 0,
             utc(2024, 3, 30, 23, 30, 0)},
        // 02:30 does not exist that day; mktime reads it as winter time, i.e. 03:30 CEST.
        Case{"springSkippedHour", "Europe/Berlin", utc(2024, 3, 31, 10, 0, 0), 2, 30, 0, utc(2024, 3, 31, 1, 30, 0)},
        // 02:30 comes twice; mktime takes the second, in winter time, whichever side asks.
        Case{"autumnRepeatedHourAskedInSummerTime", "Europe/Berlin", utc(2024, 10, 26, 22, 30, 0), 2, 30, 0,
             utc(2024, 10, 27, 1, 30, 0)},
        Case{"autumnRepeatedHourAskedInWinterTime", "Europe/Berlin", utc(2024, 10, 27, 10, 0, 0), 2, 30, 0,
             utc(2024, 10, 27, 1, 30, 0)},
        Case{"autumnLastSecondOfTheDay", "Europe/Berlin", utc(2024, 10, 26, 22, 30, 0), 23, 59, 59,
             utc(2024, 10, 27, 22, 59, 59)},
        Case{"autumnHourBeforeTheChange", "Europe/Berlin", utc(2024, 10, 27, 12, 0, 0), 1, 0, 0,
             utc(2024, 10, 26, 23, 0, 0)},
        Case{"summerMidnight", "Europe/Berlin", utc(2024, 7, 15, 6, 0, 0), 0, 0, 0, utc(2024, 7, 14, 22, 0, 0)},
        // A half-hour change of summer time.
        Case{"halfHourChange", "Australia/Lord_Howe", utc(2024, 4, 6, 13, 15, 0), 12, 0, 0, utc(2024, 4, 7, 1, 30, 0)},
        // West of Greenwich the local date lags the UTC one.
        Case{"westOfGreenwich", "America/New_York", utc(2024, 7, 15, 2, 0, 0), 12, 0, 0, utc(2024, 7, 14, 16, 0, 0)}),
    [](const auto& named) { return std::string(named.param.what); });

TEST(LocalTimeOfDayRange, RefusesWhatIsNoTimeOfDay) {
    InTimeZone zone("Europe/Berlin");
    const std::time_t now = utc(2024, 7, 15, 6, 0, 0);
    // mktime would carry these into the next hour or day and set another time.
    for (const auto& [hour, minute, second] : {std::tuple{24, 0, 0}, std::tuple{-1, 0, 0}, std::tuple{0, 60, 0},
                                               std::tuple{0, -1, 0}, std::tuple{0, 0, 60}, std::tuple{0, 0, -1}}) {
        EXPECT_EQ(usecForLocalTimeOfDay(now, hour, minute, second), std::nullopt)
            << hour << ":" << minute << ":" << second;
    }
    EXPECT_EQ(usecForLocalTimeOfDay(now, 23, 59, 59), std::int64_t{utc(2024, 7, 15, 21, 59, 59)} * 1'000'000);
}

} // namespace
