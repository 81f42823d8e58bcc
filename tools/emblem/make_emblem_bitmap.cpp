// Writes the product's picture to the file named on the command line: the menu entries' bitmap for
// a name ending in .bmp, the Explorer command's icon for one ending in .ico. The results are
// committed as shellext/server/bitmaps/emblem.bmp and emblem.ico, and host tests check that they
// are still what this program makes.
#include <cstdio>
#include <fstream>
#include <string>

#include "emblem_bitmap.h"
#include "emblem_icon.h"

namespace {

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string name = argc == 2 ? argv[1] : "";
    const bool icon = EndsWith(name, ".ico");
    if (!icon && !EndsWith(name, ".bmp")) {
        std::fprintf(stderr, "usage: %s OUTPUT.bmp | OUTPUT.ico\n", argv[0]);
        return 2;
    }
    const std::string bytes =
        icon ? tw::bitmaps::EmblemIconFile() : tw::bitmaps::EmblemBitmapFile();
    std::ofstream out(name, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", name.c_str());
        return 1;
    }
    return 0;
}
