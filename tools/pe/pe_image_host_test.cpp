#include "pe_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

namespace tw::pe {
namespace {

// A damaged binary must be refused, never read past its end: parse every prefix of a real one.
TEST(PeImage, RefusesTruncatedFilesWithoutReadingPastTheEnd) {
    std::ifstream file(TW_DIST_DIR "/TwUninstall.exe", std::ios::binary);
    if (!file) {
        GTEST_SKIP() << "dist/TwUninstall.exe is not there: make dist makes it";
    }
    const std::string bytes((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    Image image;
    std::string error;
    ASSERT_TRUE(Parse(bytes, image, error)) << error;
    const size_t step = bytes.size() / 997 + 1;
    size_t refused = 0;
    for (size_t length = 0; length + 1 < bytes.size(); length += step) {
        Image partial;
        if (!Parse(bytes.substr(0, length), partial, error)) {
            ++refused;
            continue;
        }
        // A cut that leaves every table whole reads the same; nothing is ever half read.
        ASSERT_EQ(partial.resources.size(), image.resources.size()) << length;
        for (size_t i = 0; i < image.resources.size(); ++i) {
            EXPECT_EQ(partial.resources[i].bytes, image.resources[i].bytes) << length;
        }
    }
    EXPECT_GT(refused, 0u);
    EXPECT_FALSE(Parse(std::string("MZ"), image, error));
    EXPECT_FALSE(Parse(std::string(), image, error));
}

// A PE32+ file with one section whose resource tree has `fanOut` entries at each of its three
// levels, all pointing to the same directory of the next level, and at the last level to one data
// entry of `dataSize` bytes: a tree that names one resource fanOut^3 times.
std::string SharedResourceTree(uint16_t fanOut, uint32_t dataSize) {
    std::string file(0x200, '\0');
    auto put16 = [&](size_t at, uint32_t v) {
        if (file.size() < at + 2)
            file.resize(at + 2);
        file[at] = static_cast<char>(v);
        file[at + 1] = static_cast<char>(v >> 8);
    };
    auto put32 = [&](size_t at, uint32_t v) {
        put16(at, v & 0xFFFF);
        put16(at + 2, v >> 16);
    };
    file[0] = 'M';
    file[1] = 'Z';
    put32(0x3C, 0x40);
    put32(0x40, 0x4550);         // "PE\0\0"
    put16(0x44, kMachineAmd64);  // COFF header
    put16(0x46, 1);              // one section
    put16(0x54, 0xF0);           // size of the optional header
    put16(0x58, 0x20B);          // PE32+
    put16(0x58 + 68, kSubsystemGui);
    put32(0x58 + 108, 16);  // data directories
    const uint32_t sectionRva = 0x1000, sectionRaw = 0x200;
    const uint32_t directorySize = 16 + 8u * fanOut;
    const uint32_t dataEntry = 3 * directorySize;
    const uint32_t sectionSize = dataEntry + 16 + std::max<uint32_t>(dataSize, 1);
    put32(0x58 + 112 + 8 * 2, sectionRva);  // the resource directory
    put32(0x58 + 112 + 8 * 2 + 4, sectionSize);
    const size_t section = 0x58 + 0xF0;
    put32(section + 8, sectionSize);
    put32(section + 12, sectionRva);
    put32(section + 16, sectionSize);
    put32(section + 20, sectionRaw);
    for (uint32_t level = 0; level < 3; ++level) {
        const size_t directory = sectionRaw + level * directorySize;
        put16(directory + 14, fanOut);
        for (uint32_t i = 0; i < fanOut; ++i) {
            put32(directory + 16 + 8 * i, i + 1);
            put32(directory + 20 + 8 * i,
                  level < 2 ? 0x80000000u | (level + 1) * directorySize : dataEntry);
        }
    }
    put32(sectionRaw + dataEntry, sectionRva + dataEntry + 16);
    put32(sectionRaw + dataEntry + 4, dataSize);
    file.resize(sectionRaw + sectionSize);
    return file;
}

TEST(PeImage, RefusesAResourceTreeThatNamesTheSameDataOverAndOver) {
    Image image;
    std::string error;
    // Two names of one byte each: a tree that could be real.
    ASSERT_TRUE(Parse(SharedResourceTree(2, 1), image, error)) << error;
    EXPECT_EQ(image.resources.size(), 8u);
    // 64 copies of a resource larger than a 64th of the file.
    EXPECT_FALSE(Parse(SharedResourceTree(4, 4096), image, error));
    EXPECT_EQ(error, "resource data larger than the file");
    // A million empty resources from a file of a few kilobytes.
    EXPECT_FALSE(Parse(SharedResourceTree(100, 0), image, error));
    EXPECT_EQ(error, "too many resource entries");
}

TEST(PeImage, SystemDllsAreMatchedWithoutRegardToCase) {
    EXPECT_TRUE(IsSystemDll("KERNEL32.dll"));
    EXPECT_TRUE(IsSystemDll("shell32.DLL"));
    EXPECT_FALSE(IsSystemDll("libstdc++-6.dll"));
    EXPECT_FALSE(IsSystemDll("libwinpthread-1.dll"));
    EXPECT_FALSE(IsSystemDll("libgcc_s_dw2-1.dll"));
}

}  // namespace
}  // namespace tw::pe
