#include "SevenSegment.h"

#include "platform/Controls.h"

namespace kadrill::watch {

namespace {

constexpr std::array<const char*, 11> kPatterns = {
    "1110111", "0010010", "1011101", "1011011", "0111010", "1101011",
    "1101111", "1010010", "1111111", "1111011", "0000000",
};

// Segments of the hour tens that the AM and PM marks cover in the 12-hour look.
constexpr std::array<int, 5> kCoveredByMarks = {0, 1, 3, 4, 6};

void applyHourLook(WatchFace& face, bool twelveHour) {
    face.AM->setVisible(twelveHour);
    face.PM->setVisible(twelveHour);
    for (int segment : kCoveredByMarks) {
        face.digits[0][static_cast<std::size_t>(segment)]->setVisible(!twelveHour);
    }
}

// Pattern characters other than "1" count as unlit; the table holds only "0" and "1".
platform::Color segmentColor(const state::WatchFields& state, const std::string& pattern, std::size_t segment) {
    const bool lit = segment < pattern.size() && pattern[segment] == '1';
    return state.SegmentColors[lit ? 1 : 0];
}

} // namespace

void loadSegmentPatterns(state::WatchFields& state) {
    for (std::size_t k = 0; k < kPatterns.size(); ++k) {
        state.SegmentPatterns[k] = kPatterns[k];
    }
}

void ShowDigits(const state::WatchFields& state, const WatchControls& controls, const DigitCodes& codes) {
    for (std::size_t digit = 0; digit < codes.size(); ++digit) {
        // The program only produces 0..10; anything else shows as a blank digit.
        const int code = codes[digit];
        const std::size_t k =
            code >= 0 && code <= state::BlankDigit ? static_cast<std::size_t>(code) : std::size_t{state::BlankDigit};
        const std::string& pattern = state.SegmentPatterns[k];
        for (std::size_t segment = 0; segment < 7; ++segment) {
            const platform::Color color = segmentColor(state, pattern, segment);
            controls.forEachFace([&](WatchFace& face) { face.digits[digit][segment]->setColor(color); });
        }
    }
}

void RefreshHourMode(const WatchControls& controls) {
    const bool twelveHour = !controls.CountTimer->isEnabled() && controls.mnuVisibleTwelve->isChecked();
    controls.forEachFace([&](WatchFace& face) { applyHourLook(face, twelveHour); });
}

void colorMark(const WatchControls& controls, platform::Label* WatchFace::*mark, platform::Color color) {
    controls.forEachFace([&](WatchFace& face) { (face.*mark)->setForeColor(color); });
}

WatchFace& WatchControls::activeFace() const {
    return mnuVisibleMenuBar != nullptr && mnuVisibleMenuBar->isChecked() && digital != nullptr ? *digital : *main;
}

} // namespace kadrill::watch
