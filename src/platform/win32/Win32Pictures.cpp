#include "Win32Pictures.h"

#include "AssetData.h"
#include "Log.h"
#include "Win32Geometry.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <sstream>

namespace kadrill::platform::win32 {

namespace {

std::optional<std::uint32_t> colorOf(std::string_view definition) {
    // "c #RRGGBB", "c None", possibly after other keys ("m", "s"): the "c" value counts.
    std::istringstream words{std::string(definition)};
    std::string key;
    std::string value;
    while (words >> key >> value) {
        if (key != "c") {
            continue;
        }
        if (value == "None" || value == "none") {
            return 0x00000000u;
        }
        if (value.size() == 7 && value[0] == '#') {
            unsigned rgb = 0;
            if (std::sscanf(value.c_str() + 1, "%6x", &rgb) == 1) {
                return 0xFF000000u | rgb;
            }
        }
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace

std::optional<XpmPixels> parseXpm(const char* const* lines) {
    if (lines == nullptr || lines[0] == nullptr) {
        return std::nullopt;
    }
    XpmPixels out;
    int colors = 0;
    int cpp = 0;
    if (std::sscanf(lines[0], "%d %d %d %d", &out.width, &out.height, &colors, &cpp) != 4 || out.width <= 0 ||
        out.height <= 0 || colors <= 0 || cpp <= 0 || cpp > 4) {
        return std::nullopt;
    }
    std::map<std::string, std::uint32_t, std::less<>> palette;
    for (int i = 0; i < colors; ++i) {
        const char* line = lines[1 + i];
        if (line == nullptr || std::strlen(line) < static_cast<std::size_t>(cpp)) {
            return std::nullopt;
        }
        const auto color = colorOf(std::string_view(line + cpp));
        if (!color) {
            return std::nullopt;
        }
        palette[std::string(line, static_cast<std::size_t>(cpp))] = *color;
    }
    out.argb.resize(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height));
    for (int y = 0; y < out.height; ++y) {
        const char* row = lines[1 + colors + y];
        if (row == nullptr || std::strlen(row) < static_cast<std::size_t>(out.width * cpp)) {
            return std::nullopt;
        }
        for (int x = 0; x < out.width; ++x) {
            const auto it = palette.find(std::string_view(row + x * cpp, static_cast<std::size_t>(cpp)));
            if (it == palette.end()) {
                return std::nullopt;
            }
            out.argb[static_cast<std::size_t>(y) * static_cast<std::size_t>(out.width) + static_cast<std::size_t>(x)] =
                it->second;
        }
    }
    return out;
}

namespace {

HBITMAP dibSection(int width, int height, void** bits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0);
}

std::optional<XpmPixels> pixelsOf(std::string_view name) {
    auto pixels = parseXpm(assetXpm(name));
    if (!pixels) {
        logInfo("kadrill.files", "no readable picture named " + std::string(name));
    }
    return pixels;
}

} // namespace

const PictureBitmap* picture(std::string_view name) {
    // Lives as long as the program: pictures are few and shown until the end.
    static std::map<std::string, std::unique_ptr<PictureBitmap>, std::less<>> cache;
    if (auto it = cache.find(name); it != cache.end()) {
        return it->second.get();
    }
    std::unique_ptr<PictureBitmap> made;
    if (const auto pixels = pixelsOf(name)) {
        void* bits = nullptr;
        if (HBITMAP bitmap = dibSection(pixels->width, pixels->height, &bits); bitmap != nullptr) {
            auto* out = static_cast<std::uint32_t*>(bits);
            for (std::size_t i = 0; i < pixels->argb.size(); ++i) {
                // All or nothing: premultiplying is keeping the colour or clearing it.
                out[i] = (pixels->argb[i] >> 24) != 0 ? pixels->argb[i] : 0;
            }
            made = std::make_unique<PictureBitmap>(PictureBitmap{bitmap, pixels->width, pixels->height});
        }
    }
    const PictureBitmap* result = made.get();
    cache.emplace(std::string(name), std::move(made));
    return result;
}

void drawPicture(HDC dc, const PictureBitmap& picture, int x, int y, int dpi) {
    HDC source = ::CreateCompatibleDC(dc);
    HGDIOBJ old = ::SelectObject(source, picture.bitmap);
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    // Pixel art: a larger DPI repeats pixels, it never blurs them.
    ::SetStretchBltMode(dc, COLORONCOLOR);
    ::AlphaBlend(dc, x, y, MulDiv(picture.width, dpi, kDefaultDpi), MulDiv(picture.height, dpi, kDefaultDpi), source, 0,
                 0, picture.width, picture.height, blend);
    ::SelectObject(source, old);
    ::DeleteDC(source);
}

HICON createIcon(const std::string& name, int size) {
    std::optional<XpmPixels> best;
    for (const int candidate : {16, 24, 32, 48, 64}) {
        if (candidate < size && candidate != 64) {
            continue;
        }
        if (auto pixels = parseXpm(assetXpm(name + "-" + std::to_string(candidate)))) {
            best = std::move(pixels);
            break;
        }
    }
    if (!best) {
        best = parseXpm(assetXpm(name));
    }
    if (!best) {
        logInfo("kadrill.files", "no icon named " + name);
        return nullptr;
    }
    void* bits = nullptr;
    HBITMAP color = dibSection(best->width, best->height, &bits);
    if (color == nullptr) {
        return nullptr;
    }
    // Icons take straight alpha; the mask is ignored where the colour has alpha, but needed.
    std::memcpy(bits, best->argb.data(), best->argb.size() * sizeof(std::uint32_t));
    HBITMAP mask = ::CreateBitmap(best->width, best->height, 1, 1, nullptr);
    ICONINFO info{TRUE, 0, 0, mask, color};
    HICON icon = ::CreateIconIndirect(&info);
    ::DeleteObject(mask);
    ::DeleteObject(color);
    return icon;
}

} // namespace kadrill::platform::win32
