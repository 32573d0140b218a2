#include "watch_face.h"

#include <array>

namespace e2e::face {
namespace {

// A segment is a 6 px stroke centred on this path; x is relative to the
// digit's left edge.
struct Segment {
    int x1, y1, x2, y2;
};
constexpr std::array<Segment, 7> kSegments{{
    {8, 16, 24, 16},  // top
    {0, 16, 0, 40},   // upper left
    {32, 16, 32, 40}, // upper right
    {8, 44, 24, 44},  // middle
    {0, 48, 0, 72},   // lower left
    {32, 48, 32, 72}, // lower right
    {8, 72, 24, 72},  // bottom
}};
constexpr std::array<int, 6> kDigitLeft{56, 104, 168, 216, 280, 328};
constexpr std::array<std::string_view, 10> kPatterns{"1110111", "0010010", "1011101", "1011011", "0111010",
                                                     "1101011", "1101111", "1010010", "1111111", "1111011"};
constexpr std::array<Point, 4> kColonDots{{{150, 22}, {262, 22}, {150, 58}, {262, 58}}};
constexpr int kDotSize = 8;

bool greenish(Rgb c) { return c.g >= 128 && c.r < 64 && c.b < 64; }

bool blockIs(const Image& image, int x0, int y0, bool (*test)(Rgb)) {
    for (int y = y0; y < y0 + kDotSize; ++y)
        for (int x = x0; x < x0 + kDotSize; ++x)
            if (!image.contains(x, y) || !test(image.at(x, y)))
                return false;
    return true;
}

// '1' lit, '0' dark, '?' mixed. Samples a few pixels near the middle of the
// path, well inside the stroke whichever way the painter rounds its edges.
char segmentState(const Image& image, Point face, int left, const Segment& s) {
    const bool horizontal = s.y1 == s.y2;
    const int mx = face.x + left + (s.x1 + s.x2) / 2;
    const int my = face.y + (s.y1 + s.y2) / 2;
    int lit = 0, dark = 0, samples = 0;
    for (int along : {-2, 0, 2})
        for (int across : {-1, 0, 1}) {
            const int x = mx + (horizontal ? along : across);
            const int y = my + (horizontal ? across : along);
            const Rgb c = image.at(x, y);
            lit += c == kLit;
            dark += c == kBlack;
            ++samples;
        }
    return lit == samples ? '1' : dark == samples ? '0' : '?';
}

} // namespace

std::optional<Point> locate(const Image& window) {
    const Point first = kColonDots[0];
    for (int y = 0; y + kDotSize <= window.height(); ++y)
        for (int x = 0; x + kDotSize <= window.width(); ++x) {
            if (!greenish(window.at(x, y)))
                continue;
            // Only a dot's own top-left corner has nothing green left of or above it.
            if ((x > 0 && greenish(window.at(x - 1, y))) || (y > 0 && greenish(window.at(x, y - 1))))
                continue;
            const Point face{x - first.x, y - first.y};
            // The frameless window cuts the face's last row; everything read lies above it.
            if (!window.contains(face.x, face.y) || !window.contains(face.x + kWidth - 1, face.y + kReadableHeight - 1))
                continue;
            bool allDots = true;
            for (const Point dot : kColonDots)
                allDots = allDots && blockIs(window, face.x + dot.x, face.y + dot.y, greenish);
            if (allDots)
                return face;
        }
    return std::nullopt;
}

std::string readDigits(const Image& window, Point face) {
    std::string digits;
    for (int left : kDigitLeft) {
        std::string pattern;
        for (const Segment& s : kSegments)
            pattern += segmentState(window, face, left, s);
        char digit = '?';
        if (pattern == "0000000")
            digit = ' ';
        for (std::size_t d = 0; d < kPatterns.size(); ++d)
            if (pattern == kPatterns[d])
                digit = char('0' + d);
        digits += digit;
    }
    return digits;
}

std::optional<int> fieldValue(std::string_view twoDigits) {
    if (twoDigits.size() != 2 || twoDigits[1] < '0' || twoDigits[1] > '9')
        return std::nullopt;
    if (twoDigits[0] == ' ')
        return twoDigits[1] - '0';
    if (twoDigits[0] < '0' || twoDigits[0] > '9')
        return std::nullopt;
    return (twoDigits[0] - '0') * 10 + (twoDigits[1] - '0');
}

bool markLit(const Image& image, Point face, Point box, Point boxSize) {
    for (int y = box.y; y < box.y + boxSize.y; ++y)
        for (int x = box.x; x < box.x + boxSize.x; ++x)
            if (image.contains(face.x + x, face.y + y) && image.at(face.x + x, face.y + y) == kLit)
                return true;
    return false;
}

std::vector<std::string> colourFaults(const Image& window, Point face, std::size_t limit) {
    std::vector<std::string> faults;
    std::size_t total = 0;
    auto note = [&](int x, int y, Rgb c, const char* expected) {
        if (++total <= limit)
            faults.push_back("face (" + std::to_string(x) + "," + std::to_string(y) + ") is " + toString(c) +
                             ", want " + expected);
    };
    for (const Point dot : kColonDots)
        for (int y = dot.y; y < dot.y + kDotSize; ++y)
            for (int x = dot.x; x < dot.x + kDotSize; ++x)
                if (const Rgb c = window.at(face.x + x, face.y + y); c != kColonDot)
                    note(x, y, c, "the colon colour");

    // The stroke covers 3 px either side of the path; one more pixel of margin
    // catches a smoothed edge.
    constexpr int kReach = 4;
    std::vector<bool> nearSegment(std::size_t(kWidth) * kHeight);
    for (int left : kDigitLeft)
        for (const Segment& s : kSegments)
            for (int y = s.y1 - kReach; y <= s.y2 + kReach; ++y)
                for (int x = left + s.x1 - kReach; x <= left + s.x2 + kReach; ++x)
                    nearSegment[std::size_t(y) * kWidth + std::size_t(x)] = true;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            if (nearSegment[std::size_t(y) * kWidth + std::size_t(x)])
                if (const Rgb c = window.at(face.x + x, face.y + y); c != kLit && c != kBlack)
                    note(x, y, c, "lit or black");
    if (total > limit)
        faults.push_back("... " + std::to_string(total - limit) + " more");
    return faults;
}

} // namespace e2e::face
