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

// The picture's colours: the emblem, its rim and the arrow, the base line; white also the ground.
constexpr Pixel kEmblemWhite = {255, 255, 255};
constexpr Pixel kEmblemOrange = {245, 130, 20};
constexpr Pixel kEmblemDarkOrange = {200, 95, 10};
constexpr Pixel kEmblemGrey = {150, 150, 150};

// The picture's pixel at column x, row y (row 0 at the top).
Pixel EmblemPixel(int x, int y);

// Appends `value` as `size` bytes, the least significant first: the byte order of .bmp and .ico
// files.
void PutLe(std::string& out, uint32_t value, int size);

// The whole picture as the bytes of a .bmp file (file header, BITMAPINFOHEADER, pixels).
std::string EmblemBitmapFile();

}  // namespace tw::bitmaps
