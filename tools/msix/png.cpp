#include "png.h"

#include <zlib.h>

namespace tw::msix {
namespace {

void Put32(std::string& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out += static_cast<char>((value >> shift) & 0xFF);
    }
}

// A chunk: length, type, data, and the CRC of type and data.
void Chunk(std::string& out, const char* type, const std::string& data) {
    Put32(out, static_cast<uint32_t>(data.size()));
    const std::string typed = std::string(type, 4) + data;
    out += typed;
    Put32(out, static_cast<uint32_t>(
                   crc32(0, reinterpret_cast<const Bytef*>(typed.data()), typed.size())));
}

}  // namespace

std::string PngFile(int width, int height, const std::vector<Rgba>& pixels) {
    if (width <= 0 || height <= 0 ||
        pixels.size() != static_cast<size_t>(width) * static_cast<size_t>(height)) {
        return {};
    }
    // Each row: filter type 0 (none), then its pixels.
    std::string rows;
    for (int y = 0; y < height; ++y) {
        rows += '\0';
        for (int x = 0; x < width; ++x) {
            const Rgba& p = pixels[static_cast<size_t>(y) * width + x];
            rows += static_cast<char>(p.red);
            rows += static_cast<char>(p.green);
            rows += static_cast<char>(p.blue);
            rows += static_cast<char>(p.alpha);
        }
    }
    uLongf packedSize = compressBound(rows.size());
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(&packed[0]), &packedSize,
                  reinterpret_cast<const Bytef*>(rows.data()), rows.size(),
                  Z_BEST_COMPRESSION) != Z_OK) {
        return {};
    }
    packed.resize(packedSize);

    std::string header;
    Put32(header, static_cast<uint32_t>(width));
    Put32(header, static_cast<uint32_t>(height));
    header += '\x08';  // bits per channel
    header += '\x06';  // colour type: RGB with alpha
    header += '\0';    // compression: deflate
    header += '\0';    // filtering: adaptive (each row says its filter)
    header += '\0';    // no interlacing
    std::string file = "\x89PNG\r\n\x1a\n";
    Chunk(file, "IHDR", header);
    Chunk(file, "IDAT", packed);
    Chunk(file, "IEND", "");
    return file;
}

}  // namespace tw::msix
