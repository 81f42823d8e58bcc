// Test helper: checks that a device-independent bitmap (BITMAPINFOHEADER and pixels, the form a
// bitmap resource stores) has the form of the menu pictures: 16 x 16, 32 bits per pixel,
// uncompressed, bottom-up, alpha 255 in every pixel.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace tw::bitmaps {

inline uint32_t ReadLe(const std::string& bytes, size_t at, int size) {
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i) {
        value = (value << 8) | static_cast<uint8_t>(bytes[at + i]);
    }
    return value;
}

inline void ExpectMenuBitmapForm(const std::string& dib) {
    ASSERT_EQ(dib.size(), 40u + 16 * 16 * 4);
    EXPECT_EQ(ReadLe(dib, 0, 4), 40u);                       // BITMAPINFOHEADER
    EXPECT_EQ(static_cast<int32_t>(ReadLe(dib, 4, 4)), 16);  // width
    EXPECT_EQ(static_cast<int32_t>(ReadLe(dib, 8, 4)), 16);  // height > 0: bottom-up rows
    EXPECT_EQ(ReadLe(dib, 12, 2), 1u);                       // planes
    EXPECT_EQ(ReadLe(dib, 14, 2), 32u);                      // bits per pixel
    EXPECT_EQ(ReadLe(dib, 16, 4), 0u);                       // BI_RGB: uncompressed
    EXPECT_EQ(ReadLe(dib, 32, 4), 0u);                       // no colour table
    int opaque = 0;
    for (size_t pixel = 40; pixel < dib.size(); pixel += 4) {
        opaque += static_cast<uint8_t>(dib[pixel + 3]) == 255 ? 1 : 0;
    }
    EXPECT_EQ(opaque, 16 * 16);
}

}  // namespace tw::bitmaps
