#pragma once
// A grab of a window's pixels, as the end-to-end tests read them: plain RGB, no toolkit, no
// window system, so the same reading serves the X11 and the Windows tests.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace e2e {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};
inline std::string toString(Rgb c) {
    return "(" + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + ")";
}

class Image {
public:
    Image(int width, int height) : width_(width), height_(height), pixels_(std::size_t(width) * std::size_t(height)) {}
    int width() const { return width_; }
    int height() const { return height_; }
    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
    Rgb at(int x, int y) const { return pixels_[std::size_t(y) * std::size_t(width_) + std::size_t(x)]; }
    void set(int x, int y, Rgb c) { pixels_[std::size_t(y) * std::size_t(width_) + std::size_t(x)] = c; }
    bool savePpm(const std::filesystem::path& file) const {
        std::ofstream out(file, std::ios::binary);
        out << "P6\n" << width_ << ' ' << height_ << "\n255\n";
        for (const Rgb& p : pixels_)
            out.put(char(p.r)).put(char(p.g)).put(char(p.b));
        return bool(out);
    }

private:
    int width_, height_;
    std::vector<Rgb> pixels_;
};

} // namespace e2e
