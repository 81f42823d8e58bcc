// Writes the menu entries' picture to the .bmp file named on the command line. The result is
// committed as emblem.bmp beside this file, and a host test checks that it is still what this
// program makes.
#include <cstdio>
#include <fstream>

#include "emblem_bitmap.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.bmp\n", argv[0]);
        return 2;
    }
    const std::string bytes = tw::bitmaps::EmblemBitmapFile();
    std::ofstream out(argv[1], std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
