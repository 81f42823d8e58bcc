// The committed icon of the Explorer command: still exactly what the generator makes, at every size
// the menu needs, each image in the icon's form and legible on light and dark menus.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "emblem_icon.h"
#include "icon_form.h"

namespace tw::bitmaps {
namespace {

TEST(EmblemIcon, CommittedFileIsTheIconTheGeneratorMakes) {
    std::ifstream in(TW_EMBLEM_ICO, std::ios::binary);
    const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(file == EmblemIconFile())
        << "emblem.ico differs from what make_emblem_bitmap makes; regenerate it";
    const std::vector<IconImage> images = IconImages(file);
    ASSERT_EQ(images.size(), kIconSides.size());
    for (size_t i = 0; i < images.size(); ++i) {
        EXPECT_EQ(images[i].side, kIconSides[i]);
        ExpectIconImageForm(images[i]);
    }
    EXPECT_EQ(kIconSides.front(), 16);
    EXPECT_EQ(kIconSides.back(), 48);
}

// The same emblem as the menu bitmap at every size: orange with a white arrow, a grey base line,
// nothing drawn around them.
TEST(EmblemIcon, TheMenuPicturesEmblemAtEverySize) {
    for (const int side : kIconSides) {
        const auto at = [side](double x, double y) {
            return EmblemIconPixel(side, static_cast<int>(x * side / 16),
                                   static_cast<int>(y * side / 16));
        };
        const IconPixel emblem = at(4.5, 8.5);
        EXPECT_EQ(emblem.alpha, 255) << side;
        EXPECT_EQ(emblem.red, kEmblemOrange.red) << side;
        EXPECT_EQ(emblem.green, kEmblemOrange.green) << side;
        const IconPixel arrow = at(8.0, 8.0);
        EXPECT_EQ(arrow.alpha, 255) << side;
        EXPECT_EQ(arrow.red + arrow.green + arrow.blue, 3 * 255) << side;
        // The base line is whole pixels: the lowest drawn pixel of the middle column.
        int lowest = side - 1;
        while (lowest > 0 && EmblemIconPixel(side, side / 2, lowest).alpha == 0) {
            --lowest;
        }
        const IconPixel line = EmblemIconPixel(side, side / 2, lowest);
        EXPECT_EQ(line.alpha, 255) << side;
        EXPECT_EQ(line.red, kIconBaseLine.red) << side;
        EXPECT_EQ(lowest, (15 * side + 15) / 16 - 1) << side;
        EXPECT_EQ(at(0.5, 7.0).alpha, 0) << side;   // left of the emblem
        EXPECT_EQ(at(8.0, 13.5).alpha, 0) << side;  // between the emblem and the line
    }
}

}  // namespace
}  // namespace tw::bitmaps
