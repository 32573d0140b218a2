#pragma once

#include <cstdint>

namespace kadrill::platform {

// A 24-bit colour with red in the low byte, green in the middle byte and blue in
// the high byte: 49152 is pure green 192, 4210752 is grey 64.
using Color = std::uint32_t;

// Colours with the high bit set name one of the desktop's own colours, which the backend
// takes from its palette when it draws: the dial follows the user's theme.
inline constexpr Color kSystemColorFlag = 0x80000000u;
inline constexpr Color kSystemMenuColor = kSystemColorFlag | 4;       ///< menu background
inline constexpr Color kSystemWindowTextColor = kSystemColorFlag | 8; ///< text in windows
inline constexpr Color kSystemButtonFaceColor = kSystemColorFlag | 15; ///< dialog background
constexpr bool isSystemColor(Color c) { return (c & kSystemColorFlag) != 0; }

constexpr Color rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return Color{r} | (Color{g} << 8) | (Color{b} << 16);
}
constexpr std::uint8_t redOf(Color c) { return static_cast<std::uint8_t>(c & 0xFF); }
constexpr std::uint8_t greenOf(Color c) { return static_cast<std::uint8_t>((c >> 8) & 0xFF); }
constexpr std::uint8_t blueOf(Color c) { return static_cast<std::uint8_t>((c >> 16) & 0xFF); }

} // namespace kadrill::platform
