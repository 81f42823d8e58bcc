#include "pe_fuzz_target.h"

#include <string>

#include "fuzz_support.h"
#include "pe_image.h"

namespace tw::fuzz {
namespace {

// The bytes of every string an image holds.
uint64_t HeldBytes(const pe::Image& image) {
    uint64_t bytes = 0;
    for (const std::string& dll : image.importedDlls) {
        bytes += dll.size();
    }
    for (const pe::Export& e : image.exports) {
        bytes += e.name.size();
    }
    for (const pe::Resource& r : image.resources) {
        bytes += r.type.name.size() + r.name.name.size() + r.bytes.size();
    }
    return bytes;
}

void CheckVersion(const std::string& bytes) {
    pe::VersionInfo info;
    std::string error;
    Check(pe::ParseVersion(bytes, info, error) || !error.empty(),
          "a version resource that cannot be read says why");
}

}  // namespace

int FuzzPeImage(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    pe::Image image;
    std::string error;
    if (!pe::Parse(bytes, image, error)) {
        Check(!error.empty(), "a file that cannot be read says why");
    } else {
        Check(HeldBytes(image) <= pe::kUnitsPerByte * size + pe::kFloorUnits,
              "what a file gives is bounded by its size");
        for (const pe::Resource* version : image.ResourcesOfType(16)) {
            CheckVersion(version->bytes);
        }
    }
    CheckVersion(bytes);
    return 0;
}

}  // namespace tw::fuzz
