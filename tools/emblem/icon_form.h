// Test helper: reads the images of an .ico file and checks that an image has the form of the
// Explorer command's icon: a BITMAPINFOHEADER of twice its height, 32-bit pixels in bottom-up rows
// with smooth edges (opacities between 0 and 255), a mask that is set exactly where a pixel is
// fully transparent, transparent corners, and an outline that stands out from a white and from a
// dark menu.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "menu_bitmap_form.h"

namespace tw::bitmaps {

struct IconImage {
    int side = 0;     // as the directory gives it
    std::string dib;  // the image as a resource holds it: header, pixels, mask
};

// The images of an .ico file in directory order; empty when the file is not one.
inline std::vector<IconImage> IconImages(const std::string& file) {
    std::vector<IconImage> images;
    if (file.size() < 6 || ReadLe(file, 0, 2) != 0 || ReadLe(file, 2, 2) != 1) {
        return images;
    }
    const size_t count = ReadLe(file, 4, 2);
    for (size_t i = 0; i < count; ++i) {
        const size_t entry = 6 + 16 * i;
        if (entry + 16 > file.size()) {
            return {};
        }
        const size_t size = ReadLe(file, entry + 8, 4);
        const size_t offset = ReadLe(file, entry + 12, 4);
        if (offset > file.size() || size > file.size() - offset) {
            return {};
        }
        const int side = static_cast<int>(ReadLe(file, entry, 1));
        images.push_back({side == 0 ? 256 : side, file.substr(offset, size)});
    }
    return images;
}

// The relative luminance of a colour (sRGB), and the contrast ratio of two luminances.
inline double Luminance(int red, int green, int blue) {
    const auto linear = [](int c) {
        const double v = c / 255.0;
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(red) + 0.7152 * linear(green) + 0.0722 * linear(blue);
}
inline double Contrast(double a, double b) {
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

inline void ExpectIconImageForm(const IconImage& image) {
    const std::string& dib = image.dib;
    const uint32_t side = static_cast<uint32_t>(image.side);
    const uint32_t maskRow = (side + 31) / 32 * 4;
    ASSERT_EQ(dib.size(), 40 + side * side * 4 + maskRow * side) << side;
    EXPECT_EQ(ReadLe(dib, 0, 4), 40u);
    EXPECT_EQ(ReadLe(dib, 4, 4), side);
    EXPECT_EQ(ReadLe(dib, 8, 4), 2 * side);  // colour rows and mask rows
    EXPECT_EQ(ReadLe(dib, 12, 2), 1u);
    EXPECT_EQ(ReadLe(dib, 14, 2), 32u);
    EXPECT_EQ(ReadLe(dib, 16, 4), 0u);
    // Pixel (x, y), row 0 at the top: blue, green, red, alpha.
    const auto pixel = [&](uint32_t x, uint32_t y) {
        return dib.substr(40 + ((side - 1 - y) * side + x) * 4, 4);
    };
    const auto alpha = [&](uint32_t x, uint32_t y) { return static_cast<uint8_t>(pixel(x, y)[3]); };
    int partial = 0, opaque = 0;
    for (uint32_t y = 0; y < side; ++y) {
        for (uint32_t x = 0; x < side; ++x) {
            partial += alpha(x, y) != 0 && alpha(x, y) != 255 ? 1 : 0;
            opaque += alpha(x, y) == 255 ? 1 : 0;
            const uint8_t maskByte =
                static_cast<uint8_t>(dib[40 + side * side * 4 + (side - 1 - y) * maskRow + x / 8]);
            EXPECT_EQ((maskByte & (0x80 >> (x % 8))) != 0, alpha(x, y) == 0)
                << side << ": mask at " << x << "," << y;
        }
    }
    EXPECT_GT(partial, 0) << side;
    EXPECT_GT(opaque, static_cast<int>(side * side / 4)) << side;
    for (uint32_t corner : {0u, side - 1}) {
        EXPECT_EQ(alpha(corner, 0), 0) << side;
        EXPECT_EQ(alpha(corner, side - 1), 0) << side;
    }
    // Across the emblem's middle, the first opaque pixel from either side is its outline: it
    // stands out by 3:1 at least from a white menu and from a dark one (Windows 11's, about
    // #2C2C2C).
    const uint32_t middle = side * 7 / 16;
    for (const bool fromLeft : {true, false}) {
        for (uint32_t step = 0; step < side; ++step) {
            const uint32_t x = fromLeft ? step : side - 1 - step;
            if (alpha(x, middle) != 255) {
                continue;
            }
            const std::string p = pixel(x, middle);
            const double outline = Luminance(static_cast<uint8_t>(p[2]), static_cast<uint8_t>(p[1]),
                                             static_cast<uint8_t>(p[0]));
            EXPECT_GE(Contrast(outline, Luminance(255, 255, 255)), 3.0) << side << " at " << x;
            EXPECT_GE(Contrast(outline, Luminance(44, 44, 44)), 3.0) << side << " at " << x;
            break;
        }
    }
}

}  // namespace tw::bitmaps
