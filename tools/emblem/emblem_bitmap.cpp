#include "emblem_bitmap.h"

#include <cmath>

namespace tw::bitmaps {
namespace {

constexpr Pixel kWhite = kEmblemWhite;
constexpr Pixel kOrange = kEmblemOrange;
constexpr Pixel kDarkOrange = kEmblemDarkOrange;
constexpr Pixel kGrey = kEmblemGrey;

// The white arrow inside the emblem: a head of three widening rows, then a two-pixel shaft.
bool InArrow(int x, int y) {
    if (y == 3) {
        return x == 7 || x == 8;
    }
    if (y == 4) {
        return x >= 6 && x <= 9;
    }
    if (y == 5) {
        return x >= 5 && x <= 10;
    }
    return y >= 6 && y <= 9 && (x == 7 || x == 8);
}

void Put16(std::string& out, uint16_t value) {
    PutLe(out, value, 2);
}

void Put32(std::string& out, uint32_t value) {
    PutLe(out, value, 4);
}

}  // namespace

void PutLe(std::string& out, uint32_t value, int size) {
    for (int i = 0; i < size; ++i) {
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

Pixel EmblemPixel(int x, int y) {
    if (y == 14 && x >= 1 && x <= 14) {
        return kGrey;
    }
    const double dx = x - 7.5;
    const double dy = y - 6.5;
    const double distance = std::sqrt(dx * dx + dy * dy);
    if (distance > 5.6) {
        return kWhite;
    }
    if (InArrow(x, y)) {
        return kWhite;
    }
    return distance > 4.9 ? kDarkOrange : kOrange;
}

std::string EmblemBitmapFile() {
    constexpr uint32_t kHeaderSize = 14 + 40;
    constexpr uint32_t kPixelBytes = kSide * kSide * 4;
    std::string out;
    // File header.
    out += "BM";
    Put32(out, kHeaderSize + kPixelBytes);
    Put32(out, 0);
    Put32(out, kHeaderSize);
    // BITMAPINFOHEADER: a positive height means bottom-up rows; compression 0 is BI_RGB.
    Put32(out, 40);
    Put32(out, kSide);
    Put32(out, kSide);
    Put16(out, 1);
    Put16(out, 32);
    Put32(out, 0);
    Put32(out, kPixelBytes);
    Put32(out, 2835);  // 72 dots per inch
    Put32(out, 2835);
    Put32(out, 0);
    Put32(out, 0);
    for (int y = kSide - 1; y >= 0; --y) {
        for (int x = 0; x < kSide; ++x) {
            const Pixel p = EmblemPixel(x, y);
            out += static_cast<char>(p.blue);
            out += static_cast<char>(p.green);
            out += static_cast<char>(p.red);
            out += static_cast<char>(255);
        }
    }
    return out;
}

}  // namespace tw::bitmaps
