#include "platform/TimeOfDay.h"

#include <gtest/gtest.h>

namespace kadrill::test {
namespace {

using platform::TimeOfDay;

TEST(TimeOfDay, HourHasNoLeadingZeroMinutesAndSecondsAlwaysTwoDigits) {
    struct Row {
        TimeOfDay time;
        const char* text;
    };
    for (const Row& r : {Row{{0, 0, 0}, "0:00:00"}, Row{{9, 5, 3}, "9:05:03"}, Row{{10, 0, 9}, "10:00:09"},
                         Row{{21, 5, 3}, "21:05:03"}, Row{{23, 59, 59}, "23:59:59"}}) {
        EXPECT_EQ(platform::formatTimeText(r.time), r.text);
    }
}

TEST(TimeOfDay, MillisecondsOfTheDayWrapAroundMidnightBothWays) {
    EXPECT_EQ(TimeOfDay::ofMs(0), (TimeOfDay{0, 0, 0}));
    EXPECT_EQ(TimeOfDay::ofMs(86'399'999), (TimeOfDay{23, 59, 59}));
    EXPECT_EQ(TimeOfDay::ofMs(86'400'000), (TimeOfDay{0, 0, 0}));
    EXPECT_EQ(TimeOfDay::ofMs(-1), (TimeOfDay{23, 59, 59}));
    EXPECT_EQ(TimeOfDay::ofMs(3 * 86'400'000LL + 45'296'000), (TimeOfDay{12, 34, 56}));
    EXPECT_EQ(TimeOfDay::ofSecond(-1), (TimeOfDay{23, 59, 59}));
}

} // namespace
} // namespace kadrill::test
