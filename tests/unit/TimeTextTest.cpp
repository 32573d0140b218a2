#include "platform/TimeText.h"

#include <gtest/gtest.h>

namespace kadrill::test {
namespace {

TEST(TimeText, HourHasNoLeadingZeroMinutesAndSecondsAlwaysTwoDigits) {
    struct Row {
        int h, m, s;
        const char* text;
    };
    for (const Row& r : {Row{0, 0, 0, "0:00:00"}, Row{9, 5, 3, "9:05:03"}, Row{10, 0, 9, "10:00:09"},
                         Row{21, 5, 3, "21:05:03"}, Row{23, 59, 59, "23:59:59"}}) {
        EXPECT_EQ(platform::formatTimeText(r.h, r.m, r.s), r.text);
    }
}

TEST(TimeText, MillisecondsOfTheDayWrapAroundMidnightBothWays) {
    EXPECT_EQ(platform::timeTextOfDayMs(0), "0:00:00");
    EXPECT_EQ(platform::timeTextOfDayMs(86'399'999), "23:59:59");
    EXPECT_EQ(platform::timeTextOfDayMs(86'400'000), "0:00:00");
    EXPECT_EQ(platform::timeTextOfDayMs(-1), "23:59:59");
    EXPECT_EQ(platform::timeTextOfDayMs(3 * 86'400'000LL + 45'296'000), "12:34:56");
}

} // namespace
} // namespace kadrill::test
