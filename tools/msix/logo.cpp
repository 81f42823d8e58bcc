#include "logo.h"

#include "emblem_bitmap.h"

namespace tw::msix {
namespace {

using bitmaps::kSide;

bool IsWhite(const bitmaps::Pixel& p) {
    return p.red == 255 && p.green == 255 && p.blue == 255;
}

// The emblem's pixels that belong to its ground: white pixels that reach the picture's edge
// through white pixels.
std::vector<bool> Ground() {
    std::vector<bool> ground(kSide * kSide, false);
    std::vector<int> pending;
    for (int i = 0; i < kSide; ++i) {
        pending.insert(pending.end(),
                       {i, kSide * (kSide - 1) + i, kSide * i, kSide * i + kSide - 1});
    }
    while (!pending.empty()) {
        const int at = pending.back();
        pending.pop_back();
        const int x = at % kSide, y = at / kSide;
        if (ground[at] || !IsWhite(bitmaps::EmblemPixel(x, y))) {
            continue;
        }
        ground[at] = true;
        if (x > 0) {
            pending.push_back(at - 1);
        }
        if (x < kSide - 1) {
            pending.push_back(at + 1);
        }
        if (y > 0) {
            pending.push_back(at - kSide);
        }
        if (y < kSide - 1) {
            pending.push_back(at + kSide);
        }
    }
    return ground;
}

}  // namespace

std::vector<Rgba> LogoPixels(int side) {
    std::vector<Rgba> pixels(static_cast<size_t>(side) * side, Rgba{0, 0, 0, 0});
    const int scale = side / kSide;
    if (scale < 1) {
        return pixels;
    }
    const int margin = (side - scale * kSide) / 2;
    const std::vector<bool> ground = Ground();
    for (int y = 0; y < kSide * scale; ++y) {
        for (int x = 0; x < kSide * scale; ++x) {
            const int ex = x / scale, ey = y / scale;
            if (ground[ey * kSide + ex]) {
                continue;
            }
            const bitmaps::Pixel p = bitmaps::EmblemPixel(ex, ey);
            pixels[static_cast<size_t>(y + margin) * side + x + margin] = {p.red, p.green, p.blue,
                                                                           255};
        }
    }
    return pixels;
}

}  // namespace tw::msix
