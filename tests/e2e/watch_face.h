#pragma once
// Reads the clock face out of a window grab the way a person would: by which
// segments are lit, not by asking the program.

#include "image.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace e2e::face {

inline constexpr Rgb kLit{0, 192, 0};
inline constexpr Rgb kColonDot{0, 191, 0};
inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr int kWidth = 400;
inline constexpr int kHeight = 126;
// Rows that hold the digits, the marks and the buttons.
inline constexpr int kReadableHeight = 120;

struct Point {
    int x = 0, y = 0;
};

// Where the watch's controls sit on the face, in face pixels (centres).
inline constexpr Point kModeButton{118, 109};
inline constexpr Point kSetButton{159, 109};         // opens the set-time dialog
inline constexpr Point kAlarmButton{200, 109};       // opens the alarm dialog
inline constexpr Point kLeftSharedButton{241, 109};  // display switch, Start, Stop
inline constexpr Point kRightSharedButton{282, 109}; // alarm on/off, Reset, Lap
inline constexpr Point kBareFace{385, 60};           // right of the digits, no control
// The AM and PM marks: a lit mark has lit pixels inside its box.
inline constexpr Point kAmBox{32, 8};
inline constexpr Point kPmBox{32, 48};
inline constexpr Point kMarkBoxSize{41, 25};
// The ♪ mark, lit while an alarm is armed: its own small box, clear of AM and the digits.
inline constexpr Point kAlarmMarkBox{16, 16};
inline constexpr Point kAlarmMarkBoxSize{16, 16};

// Top-left corner of the face inside a window grab, found by its four colon
// dots so the menu bar height does not matter.
std::optional<Point> locate(const Image& window);

// Six characters, hour tens first: '0'..'9', ' ' for a dark digit, '?' when
// the segments form no digit or one is only partly lit.
std::string readDigits(const Image& window, Point face);

// Value of a two-digit field such as "05" or " 9"; nullopt if unreadable.
std::optional<int> fieldValue(std::string_view twoDigits);

// Whether the mark whose box starts at `box` shows any lit pixel.
bool markLit(const Image& image, Point face, Point box, Point boxSize = kMarkBoxSize);

// Pixels breaking the drawing rules: colon dots not exactly the dot colour,
// anything around a segment other than the lit colour or black (smoothing or
// scaling would smear in in-between shades). At most `limit` are described.
std::vector<std::string> colourFaults(const Image& window, Point face, std::size_t limit = 12);

} // namespace e2e::face
