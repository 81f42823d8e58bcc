#include "emblem_icon.h"

#include <algorithm>
#include <cmath>

namespace tw::bitmaps {
namespace {

// The picture is drawn in the 16 x 16 units of the menu bitmap, pixel (x, y) of which covers the
// square from (x, y) to (x + 1, y + 1); an icon of another size scales it.
constexpr double kUnits = 16.0;
// Samples per pixel along each axis: a pixel's opacity is the share of its samples inside the
// picture, its colour their mean.
constexpr int kSamples = 4;

struct Point {
    double x, y;
};

// The emblem: a disc with a darker rim, around a white upward arrow.
constexpr Point kCentre = {8.0, 7.0};
constexpr double kRadius = 5.6;
constexpr double kRimInside = 4.5;

// Which side of the line from `a` to `b` the point is on.
double Side(Point a, Point b, Point p) {
    return (b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x);
}

bool InArrow(Point p) {
    const Point apex = {8.0, 2.5};
    const Point left = {4.6, 6.1};
    const Point right = {11.4, 6.1};
    const bool inHead =
        Side(apex, left, p) <= 0 && Side(left, right, p) <= 0 && Side(right, apex, p) <= 0;
    const bool inShaft = p.x >= 7.0 && p.x <= 9.0 && p.y >= 6.0 && p.y <= 10.2;
    return inHead || inShaft;
}

// Units 14 to 15 down and 1 to 15 across, in whole pixels of an icon `side` pixels wide, so that
// the line stays sharp at every size.
bool InBaseLine(Point p, int side) {
    const double pixel = kUnits / side;
    const double top = std::round(14.0 / pixel) * pixel;
    const double bottom = top + std::max(1.0, std::round(1.0 / pixel)) * pixel;
    const double left = std::round(1.0 / pixel) * pixel;
    const double right = std::round(15.0 / pixel) * pixel;
    return p.y >= top && p.y < bottom && p.x >= left && p.x < right;
}

// The colour of the picture at `p` in an icon `side` pixels wide, false where the ground shows.
bool ColourAt(Point p, int side, Pixel* colour) {
    if (InBaseLine(p, side)) {
        *colour = kIconBaseLine;
        return true;
    }
    const double distance = std::hypot(p.x - kCentre.x, p.y - kCentre.y);
    if (distance > kRadius) {
        return false;
    }
    if (InArrow(p)) {
        *colour = kEmblemWhite;
    } else {
        *colour = distance > kRimInside ? kIconOutline : kEmblemOrange;
    }
    return true;
}

uint8_t Mean(int sum, int count) {
    return static_cast<uint8_t>((sum + count / 2) / count);
}

}  // namespace

IconPixel EmblemIconPixel(int side, int x, int y) {
    const double scale = kUnits / side;
    int covered = 0, red = 0, green = 0, blue = 0;
    for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
            const Point p = {(x + (sx + 0.5) / kSamples) * scale,
                             (y + (sy + 0.5) / kSamples) * scale};
            Pixel colour = {};
            if (ColourAt(p, side, &colour)) {
                ++covered;
                red += colour.red;
                green += colour.green;
                blue += colour.blue;
            }
        }
    }
    if (covered == 0) {
        return {0, 0, 0, 0};
    }
    return {Mean(red, covered), Mean(green, covered), Mean(blue, covered),
            Mean(255 * covered, kSamples * kSamples)};
}

std::string EmblemIconFile() {
    constexpr uint32_t kDirectoryEntry = 16;
    constexpr uint32_t kInfoHeader = 40;
    std::string directory, images;
    PutLe(directory, 0, 2);  // reserved
    PutLe(directory, 1, 2);  // an icon, not a cursor
    PutLe(directory, static_cast<uint32_t>(kIconSides.size()), 2);
    uint32_t offset = 6 + kDirectoryEntry * static_cast<uint32_t>(kIconSides.size());
    for (const int side : kIconSides) {
        const uint32_t s = static_cast<uint32_t>(side);
        const uint32_t maskRow = (s + 31) / 32 * 4;  // one bit a pixel, rows of whole DWORDs
        const uint32_t size = kInfoHeader + s * s * 4 + maskRow * s;
        // The directory entry: a side of 256 would be written as 0.
        PutLe(directory, s, 1);
        PutLe(directory, s, 1);
        PutLe(directory, 0, 1);  // no palette
        PutLe(directory, 0, 1);
        PutLe(directory, 1, 2);   // planes
        PutLe(directory, 32, 2);  // bits per pixel
        PutLe(directory, size, 4);
        PutLe(directory, offset, 4);
        offset += size;

        // BITMAPINFOHEADER: the height counts the colour and the mask rows; BI_RGB.
        PutLe(images, kInfoHeader, 4);
        PutLe(images, s, 4);
        PutLe(images, 2 * s, 4);
        PutLe(images, 1, 2);
        PutLe(images, 32, 2);
        PutLe(images, 0, 4);
        PutLe(images, s * s * 4 + maskRow * s, 4);
        for (int i = 0; i < 4; ++i) {
            PutLe(images, 0, 4);
        }
        for (int y = side - 1; y >= 0; --y) {
            for (int x = 0; x < side; ++x) {
                const IconPixel p = EmblemIconPixel(side, x, y);
                images += static_cast<char>(p.blue);
                images += static_cast<char>(p.green);
                images += static_cast<char>(p.red);
                images += static_cast<char>(p.alpha);
            }
        }
        for (int y = side - 1; y >= 0; --y) {
            std::string row(maskRow, '\0');
            for (int x = 0; x < side; ++x) {
                if (EmblemIconPixel(side, x, y).alpha == 0) {
                    row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
                }
            }
            images += row;
        }
    }
    return directory + images;
}

}  // namespace tw::bitmaps
