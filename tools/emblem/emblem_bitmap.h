// The picture of the context-menu entries: an orange emblem with a white upward arrow on a white
// ground above a grey base line. 16 x 16 pixels, 32 bits per pixel (blue, green, red, alpha; alpha
// 255 everywhere), uncompressed, bottom-up rows: the form the menu bitmaps take.
#pragma once

#include <cstdint>
#include <string>

namespace tw::bitmaps {

constexpr int kSide = 16;

struct Pixel {
    uint8_t red, green, blue;
};

// The picture's pixel at column x, row y (row 0 at the top).
Pixel EmblemPixel(int x, int y);

// The whole picture as the bytes of a .bmp file (file header, BITMAPINFOHEADER, pixels).
std::string EmblemBitmapFile();

}  // namespace tw::bitmaps
