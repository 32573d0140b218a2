#include "WatchTestSupport.h"
#include "watch/SevenSegment.h"
#include "watch/WatchFaceLayout.h"

#include <gtest/gtest.h>

namespace kadrill::test {
namespace {

using state::BlankDigit;
using watch::DigitCodes;

// Two watch faces on two windows, as the program has once its second window exists.
class TwoFaces : public ::testing::Test {
protected:
    TwoFaces() {
        watch::loadSegmentPatterns(state);
        state.SegmentColors = {watch::kUnlitBlack, watch::kLitGreen};
        watch::buildWatchFace(*mainWindow, mainFace);
        watch::buildWatchFace(*secondWindow, secondFace);
        countTimer = &mainWindow->addTimer({.interval = 1, .enabled = false});
        twelve = &mainWindow->addMenu("v").addItem("12", platform::MenuItemKind::Check);
        display = {.main = &mainFace, .digital = &secondFace, .CountTimer = countTimer, .mnuVisibleTwelve = twelve};
    }

    platform::memory::MemoryPlatform desk;
    std::unique_ptr<platform::Window> mainWindow = desk.windows.createWindow({});
    std::unique_ptr<platform::Window> secondWindow = desk.windows.createWindow({});
    state::WatchFields state;
    watch::WatchFace mainFace;
    watch::WatchFace secondFace;
    platform::Timer* countTimer = nullptr;
    platform::MenuItem* twelve = nullptr;
    watch::WatchControls display;
};

struct DigitRow {
    DigitCodes codes;
    const char* shown;
};

void PrintTo(const DigitRow& r, std::ostream* os) { *os << '"' << r.shown << '"'; }

class ShowDigitsRows : public TwoFaces, public ::testing::WithParamInterface<DigitRow> {};

TEST_P(ShowDigitsRows, BothFacesShowTheCodes) {
    watch::ShowDigits(state, display, GetParam().codes);
    EXPECT_EQ(ReadDigits(mainFace, watch::kLitGreen), GetParam().shown);
    EXPECT_EQ(ReadDigits(secondFace, watch::kLitGreen), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    EveryCode, ShowDigitsRows,
    ::testing::Values(DigitRow{{0, 1, 2, 3, 4, 5}, "012345"}, DigitRow{{6, 7, 8, 9, state::BlankDigit, 0}, "6789 0"},
                      DigitRow{{state::BlankDigit, state::BlankDigit, state::BlankDigit, state::BlankDigit, state::BlankDigit, state::BlankDigit}, "      "},
                      // Out-of-range codes never come from the program; they must not crash.
                      DigitRow{{-1, 11, 32767, 8, 8, 8}, "   888"}));

TEST_F(TwoFaces, EightLightsAllSegmentsAndOneOnlyTheRightHandPair) {
    watch::ShowDigits(state, display, {8, 1, 8, 1, 8, 1});
    for (int segment = 0; segment < 7; ++segment) {
        EXPECT_EQ(mainFace.digits[0][segment]->color(), watch::kLitGreen);
        const bool rightHand = segment == 2 || segment == 5;
        EXPECT_EQ(mainFace.digits[1][segment]->color(), rightHand ? watch::kLitGreen : watch::kUnlitBlack);
    }
}

TEST_F(TwoFaces, EveryCallWritesAll84ColoursEvenWhenNothingChanged) {
    watch::ShowDigits(state, display, {1, 2, 3, 4, 5, 6});
    watch::ShowDigits(state, display, {1, 2, 3, 4, 5, 6});
    for (const watch::WatchFace* face : {&mainFace, &secondFace}) {
        for (const auto& digit : face->digits) {
            for (platform::LineShape* line : digit) {
                EXPECT_EQ(asLine(line).colorWrites(), 2);
            }
        }
    }
}

TEST_F(TwoFaces, UnlitSegmentsTakeTheCurrentUnlitColour) {
    state.SegmentColors[0] = watch::kUnlitDimGrey;
    watch::ShowDigits(state, display, {state::BlankDigit, 1, state::BlankDigit, state::BlankDigit, state::BlankDigit, state::BlankDigit});
    EXPECT_EQ(secondFace.digits[1][0]->color(), watch::kUnlitDimGrey);
    EXPECT_EQ(secondFace.digits[1][2]->color(), watch::kLitGreen);
    EXPECT_EQ(mainFace.digits[5][6]->color(), watch::kUnlitDimGrey);
}

TEST_F(TwoFaces, HourLookFollowsModeAndOptionAndShowDigitsKeepsHiddenSegmentsHidden) {
    const std::array<int, 5> covered = {0, 1, 3, 4, 6};
    auto hourLook = [&](const watch::WatchFace& face) {
        bool allHidden = true;
        bool allShown = true;
        for (int s : covered) {
            allHidden = allHidden && !face.digits[0][s]->isVisible();
            allShown = allShown && face.digits[0][s]->isVisible();
        }
        EXPECT_TRUE(face.digits[0][2]->isVisible() && face.digits[0][5]->isVisible());
        if (allHidden && face.AM->isVisible() && face.PM->isVisible()) {
            return 12;
        }
        if (allShown && !face.AM->isVisible() && !face.PM->isVisible()) {
            return 24;
        }
        return 0;
    };

    twelve->setChecked(true);
    watch::RefreshHourMode(display);
    EXPECT_EQ(hourLook(mainFace), 12);
    EXPECT_EQ(hourLook(secondFace), 12);

    watch::ShowDigits(state, display, {8, 8, 8, 8, 8, 8});
    EXPECT_EQ(hourLook(mainFace), 12) << "colouring must not show covered segments";

    // Stopwatch mode always has the 24-hour look, whatever the option says.
    countTimer->setEnabled(true);
    watch::RefreshHourMode(display);
    EXPECT_EQ(hourLook(mainFace), 24);
    EXPECT_EQ(hourLook(secondFace), 24);
    EXPECT_EQ(mainFace.digits[0][0]->color(), watch::kLitGreen) << "shown again with the colour last given";
}

TEST(SegmentPatterns, HoldSevenCharactersOfZeroAndOneForElevenCodes) {
    state::WatchFields state;
    watch::loadSegmentPatterns(state);
    EXPECT_EQ(state.SegmentPatterns[0], "1110111");
    EXPECT_EQ(state.SegmentPatterns[4], "0111010");
    EXPECT_EQ(state.SegmentPatterns[7], "1010010");
    EXPECT_EQ(state.SegmentPatterns[state::BlankDigit], "0000000");
}

} // namespace
} // namespace kadrill::test
