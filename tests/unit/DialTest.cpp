#include "timeset/Dial.h"
#include "timeset/DialMath.h"

#include "memory/MemoryPlatform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace kadrill::timeset {
namespace {

using platform::MouseButton;
using platform::Point;
using platform::memory::MemoryPicture;
using platform::memory::MemoryTextBox;

// A pointer position whose direction from the centre is the given dial value.
Point toward(double value, double length = 900) {
    const platform::PointF p = handEnd(1320, 1320, value / 60.0, length);
    return {static_cast<int>(std::lround(p.x)), static_cast<int>(std::lround(p.y))};
}

struct PointerCase {
    const char* name;
    Point at;
    int value;
};

class DialValueTable : public testing::TestWithParam<PointerCase> {};

TEST_P(DialValueTable, ThePointerDirectionGivesTheValue) {
    EXPECT_EQ(dialValue(GetParam().at.x, GetParam().at.y, 1320, 1320), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Dial, DialValueTable,
                         testing::Values(PointerCase{"Up", {1320, 100}, 0}, PointerCase{"Right", {2600, 1320}, 15},
                                         PointerCase{"Down", {1320, 2600}, 30}, PointerCase{"Left", {40, 1320}, 45},
                                         PointerCase{"Centre", {1320, 1320}, 0},
                                         PointerCase{"JustLeftOfTwelve", {1319, 100}, 59},
                                         PointerCase{"TwentyPast", toward(20), 20}, PointerCase{"FiftyOne", toward(51), 51}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(DialMath, NumbersAreReadAsTheLeadingNumberRoundedHalfToEven) {
    const struct {
        const char* text;
        long long value;
    } rows[] = {{"7", 7}, {"  7abc", 7}, {"", 0}, {"abc", 0}, {"05", 5}, {"2.5", 2}, {"3.5", 4},
                {"-1", -1}, {"+3", 3}, {".5", 0}, {"1.51", 2}, {"99999999999999999999999", 0}};
    for (const auto& row : rows) {
        if (std::string(row.text) == "99999999999999999999999") {
            EXPECT_GT(leadingNumber(row.text), 59) << "a huge number must stay out of range";
        } else {
            EXPECT_EQ(leadingNumber(row.text), row.value) << '"' << row.text << '"';
        }
    }
}

class DialFixture : public testing::Test {
protected:
    DialFixture() {
        platform::WindowProperties props;
        props.clientWidth = 5295;
        props.clientHeight = 3255;
        window = desk.windows.createWindow(props);
        dial = std::make_unique<Dial>(*window, fields, dragButton,
                                      DialLayout{.frame1 = {120, 120}, .frame2 = {3360, 120}, .frame2Caption = "時刻の入力"});
        dial->Load();
        window->show();
        window->activate();
    }

    void setTime(int h, int m, int s, int quadrant) {
        fields.DialHour = h;
        fields.DialMinute = m;
        fields.DialSecond = s;
        fields.DialLastQuadrant = static_cast<std::int16_t>(quadrant);
        dial->DrawDialHands();
    }

    MemoryPicture& picture() { return static_cast<MemoryPicture&>(*dial->Picture1); }
    MemoryTextBox& box(platform::TextBox* b) { return static_cast<MemoryTextBox&>(*b); }
    std::string boxes() { return dial->Hour->text() + ":" + dial->Min->text() + ":" + dial->Sec->text(); }

    // A drag through the given dial values with one button.
    void drag(MouseButton button, std::vector<double> values) {
        picture().pressMouse(button, toward(values.front()));
        for (double v : values) {
            picture().moveMouse(toward(v), static_cast<int>(button));
        }
        picture().releaseMouse(button, toward(values.back()));
    }

    platform::memory::MemoryPlatform desk;
    std::unique_ptr<platform::Window> window;
    state::DialFields fields;
    std::int16_t dragButton = 0;
    std::unique_ptr<Dial> dial;
};

struct CarryCase {
    const char* name;
    int h, m, s, quadrant;
    MouseButton button;
    std::vector<double> path;
    const char* boxes;
};

class DialCarries : public DialFixture, public testing::WithParamInterface<CarryCase> {};

TEST_P(DialCarries, SweepingPastTwelveCarriesIntoTheNextUnit) {
    const CarryCase& c = GetParam();
    setTime(c.h, c.m, c.s, c.quadrant);
    drag(c.button, c.path);
    EXPECT_EQ(boxes(), c.boxes);
    EXPECT_EQ(dragButton, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Dial, DialCarries,
    testing::Values(
        CarryCase{"MinuteClockwiseAtMidnight", 23, 59, 0, 4, MouseButton::Left, {58, 2}, "0:2:0"},
        CarryCase{"MinuteAnticlockwiseAtMidnight", 0, 5, 0, 1, MouseButton::Left, {3, 57}, "23:57:0"},
        CarryCase{"MinuteClockwiseMidday", 10, 50, 0, 4, MouseButton::Left, {55, 1}, "11:1:0"},
        CarryCase{"SecondClockwisePastTheHour", 10, 59, 55, 4, MouseButton::Right, {57, 3}, "11:0:3"},
        CarryCase{"SecondClockwiseAtMidnight", 23, 59, 50, 4, MouseButton::Right, {56, 4}, "0:0:4"},
        CarryCase{"SecondAnticlockwiseAtMidnight", 0, 0, 5, 1, MouseButton::Right, {2, 58}, "23:59:58"},
        CarryCase{"SecondClockwiseWithinTheHour", 8, 14, 40, 4, MouseButton::Right, {59, 6}, "8:15:6"},
        CarryCase{"JumpFromQuadrantThreeCarriesNothing", 23, 59, 0, 4, MouseButton::Left, {40, 5}, "23:5:0"},
        CarryCase{"MiddleButtonChangesNothing", 9, 30, 0, 1, MouseButton::Middle, {10, 50, 5}, "9:30:0"},
        CarryCase{"BackAndForthStaysPut", 12, 0, 0, 1, MouseButton::Left, {5, 55, 5}, "12:5:0"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(DialFixture, TheHandsFollowTheValues) {
    setTime(13, 0, 0, 1);
    const platform::PointF thirteen = dial->Hand[1]->end();
    setTime(1, 0, 0, 1);
    EXPECT_EQ(dial->Hand[1]->end(), thirteen) << "13:00 points like 1:00";
    EXPECT_NEAR(thirteen.x, 1320 + 840 * std::sin(2 * kDialPi / 12), 0.01);

    setTime(6, 15, 30, 1);
    EXPECT_NEAR(dial->Hand[0]->end().x, 1320 + 1200 * std::sin(2 * kDialPi * (15.5 / 60)), 0.01)
        << "the minute hand creeps with the seconds";
    EXPECT_NEAR(dial->Hand[2]->end().y, 1320 + 1200, 0.01) << "30 seconds points straight down";
    for (auto* hand : dial->Hand) {
        EXPECT_TRUE(hand->isVisible());
    }
}

TEST_F(DialFixture, HandsStayHiddenUntilFirstDrawn) {
    for (auto* hand : dial->Hand) {
        EXPECT_FALSE(hand->isVisible());
    }
}

TEST_F(DialFixture, BoxesRefuseOutOfRangeAndNormaliseWhatTheyAccept) {
    setTime(9, 5, 7, 1);
    const struct {
        int which; // 0 hour, 1 minute, 2 second
        const char* typed;
        const char* boxes;
    } rows[] = {{0, "24", "9:5:7"},      {1, "60", "9:5:7"},     {2, "-1", "9:5:7"},
                {0, "  7abc", "7:5:7"},  {1, "", "7:0:7"},       {2, "05", "7:0:5"},
                {0, "23", "23:0:5"},     {1, "59.5", "23:0:5"} /* rounds to 60 */,
                {1, "59", "23:59:5"},    {2, "58.5", "23:59:58"} /* half to even */,
                {0, "123456789012345678901234", "23:59:58"}};
    for (const auto& row : rows) {
        platform::TextBox* target = row.which == 0 ? dial->Hour : row.which == 1 ? dial->Min : dial->Sec;
        box(target).replaceAll(row.typed);
        EXPECT_EQ(boxes(), row.boxes) << "typed " << '"' << row.typed << '"';
    }
    EXPECT_EQ(fields.DialHour, 23);
    EXPECT_EQ(fields.DialMinute, 59);
    EXPECT_EQ(fields.DialSecond, 58);
}

TEST_F(DialFixture, TheMarksAreTwelveCirclesAndFortyEightDotsOnTheLongHandsCircle) {
    dial->DrawDialTicks();
    const auto marks = picture().drawing();
    ASSERT_EQ(marks.size(), 60U);
    int circles = 0;
    for (std::size_t a = 0; a < marks.size(); ++a) {
        const bool hour = a % 5 == 0;
        circles += marks[a].kind == platform::DrawnMark::Kind::Circle ? 1 : 0;
        EXPECT_EQ(marks[a].kind == platform::DrawnMark::Kind::Circle, hour) << a;
        EXPECT_NEAR(std::hypot(marks[a].at.x - 1320, marks[a].at.y - 1320), 1200, 1.0) << a;
        EXPECT_EQ(marks[a].at.x, std::round(marks[a].at.x)) << "the set-time dial rounds its marks";
    }
    EXPECT_EQ(circles, 12);
    EXPECT_EQ(marks[15].at, (platform::PointF{2520, 1320}));
}

} // namespace
} // namespace kadrill::timeset
