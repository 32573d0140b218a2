#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kadrill::platform::win32 {

/// One of the program's pictures as a 32-bit top-down DIB section with premultiplied alpha
/// (transparent where the picture says "None"), for AlphaBlend.
struct PictureBitmap {
    HBITMAP bitmap = nullptr;
    int width = 0;
    int height = 0;
};

/// The picture of that name, read once from the XPM compiled into the program and kept for
/// the rest of the run; null for an unknown or unreadable picture (which is logged).
const PictureBitmap* picture(std::string_view name);

/// Draws the picture with its top-left at (x, y), scaled by whole pixels from 96 dpi to
/// the DPI, over what the DC shows there.
void drawPicture(HDC dc, const PictureBitmap& picture, int x, int y, int dpi);

/// The icon of that name at the size wanted: the picture "name-SIZE" nearest above it
/// (kadrill-16, kadrill-32...), else the picture of that very name. Owned by the caller.
HICON createIcon(const std::string& name, int size);

struct XpmPixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb; ///< straight alpha, 0xAARRGGBB, top row first
};

/// Reads the XPM text of the compiled-in pictures: a header "width height colours
/// chars-per-pixel", colours as "<chars> c #RRGGBB" or "c None", then the rows. Empty for
/// text it cannot read.
std::optional<XpmPixels> parseXpm(const char* const* lines);

} // namespace kadrill::platform::win32
