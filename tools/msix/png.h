// A PNG file of 8-bit RGBA pixels (colour type 6, no interlacing), the form of the package's logos.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tw::msix {

struct Rgba {
    uint8_t red, green, blue, alpha;
};

// `pixels` holds `width` * `height` pixels, row by row from the top. Empty when the sizes do not
// match or zlib fails.
std::string PngFile(int width, int height, const std::vector<Rgba>& pixels);

}  // namespace tw::msix
