// The icon of the Explorer command's entries: the emblem of the menu picture (emblem_bitmap.h)
// drawn at any size with smooth edges on a transparent ground, so that it stands on the light and
// on the dark menus of Windows 11 alike. An .ico file holds it at the sizes a menu shows at 100 to
// 300 % scale, each as a 32-bit image with alpha.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "emblem_bitmap.h"

namespace tw::bitmaps {

// The sizes of the icon file's images, in pixels (square): the menu's 16 at 100 %, 20, 24, 32 at
// 200 %, and 48 at 300 %, which the system also scales down for the sizes between.
inline const std::vector<int> kIconSides = {16, 20, 24, 32, 48};

// A pixel with its opacity (0 transparent, 255 opaque), its colour not premultiplied.
struct IconPixel {
    uint8_t red, green, blue, alpha;
};

// The outline of the emblem, and the base line: colours that stand out from a white menu and from
// a dark one by a contrast of 3:1 at least.
constexpr Pixel kIconOutline = kEmblemDarkOrange;
constexpr Pixel kIconBaseLine = {120, 120, 120};

// The emblem drawn `side` pixels wide and high: pixel (x, y), row 0 at the top.
IconPixel EmblemIconPixel(int side, int x, int y);

// The icon as the bytes of an .ico file: a directory of kIconSides entries, then each image as a
// BITMAPINFOHEADER (twice the height: colour and mask), its 32-bit pixels in bottom-up rows, and
// its 1-bit mask (set where the pixel is fully transparent).
std::string EmblemIconFile();

}  // namespace tw::bitmaps
