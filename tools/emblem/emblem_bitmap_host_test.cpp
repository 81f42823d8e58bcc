// The committed picture of the menu entries: the form the menu bitmaps take, and still exactly
// what the generator makes.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <tuple>

#include "emblem_bitmap.h"
#include "menu_bitmap_form.h"

namespace tw::bitmaps {
namespace {

std::string ReadFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(EmblemBitmap, CommittedFileIsAMenuBitmapMadeByTheGenerator) {
    const std::string file = ReadFile(TW_EMBLEM_BMP);
    ASSERT_GT(file.size(), 14u);
    EXPECT_EQ(file.substr(0, 2), "BM");
    EXPECT_EQ(ReadLe(file, 2, 4), file.size());
    EXPECT_EQ(ReadLe(file, 10, 4), 54u);  // pixels right after the two headers
    ExpectMenuBitmapForm(file.substr(14));
    EXPECT_TRUE(file == EmblemBitmapFile())
        << "emblem.bmp differs from what make_emblem_bitmap makes; regenerate it";
}

TEST(EmblemBitmap, OrangeEmblemOnWhiteAboveAGreyLine) {
    std::set<std::tuple<int, int, int>> colours;
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            const Pixel p = EmblemPixel(x, y);
            colours.insert({p.red, p.green, p.blue});
        }
    }
    EXPECT_EQ(colours.size(), 4u);  // white, two oranges, grey
    const Pixel corner = EmblemPixel(0, 0);
    EXPECT_EQ(std::make_tuple(corner.red, corner.green, corner.blue),
              std::make_tuple(255, 255, 255));
    const Pixel line = EmblemPixel(7, 14);
    EXPECT_TRUE(line.red == line.green && line.green == line.blue && line.red < 255);
    const Pixel emblem = EmblemPixel(4, 7);
    EXPECT_GT(emblem.red, emblem.green);
    EXPECT_GT(emblem.green, emblem.blue);
}

}  // namespace
}  // namespace tw::bitmaps
