#include "pe_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>

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

// Little-endian writes into a file being made, which grows as needed.
void Put16(std::string& file, size_t at, uint32_t v) {
    if (file.size() < at + 2)
        file.resize(at + 2);
    file[at] = static_cast<char>(v);
    file[at + 1] = static_cast<char>(v >> 8);
}
void Put32(std::string& file, size_t at, uint32_t v) {
    Put16(file, at, v & 0xFFFF);
    Put16(file, at + 2, v >> 16);
}

constexpr uint32_t kSectionRva = 0x1000;

// A PE32+ file whose one section, at kSectionRva, holds `content`, with the data directories
// `directories` (index: 0 exports, 1 imports, 2 resources) at offsets into it. `emptySections`
// empty sections come before it in the table, for every address to be looked up through.
std::string TestPe(const std::string& content, const std::map<int, uint32_t>& directories,
                   uint16_t emptySections = 0) {
    std::string file(0x40, '\0');
    file[0] = 'M';
    file[1] = 'Z';
    Put32(file, 0x3C, 0x40);
    Put32(file, 0x40, 0x4550);  // "PE\0\0"
    Put16(file, 0x44, kMachineAmd64);
    Put16(file, 0x46, emptySections + 1u);
    Put16(file, 0x54, 0xF0);   // size of the optional header
    Put16(file, 0x58, 0x20B);  // PE32+
    Put16(file, 0x58 + 68, kSubsystemGui);
    Put32(file, 0x58 + 108, 16);  // data directories
    for (const auto& [index, offset] : directories) {
        Put32(file, 0x58 + 112 + 8 * index, kSectionRva + offset);
        Put32(file, 0x58 + 112 + 8 * index + 4, static_cast<uint32_t>(content.size() - offset));
    }
    const size_t table = 0x58 + 0xF0;
    for (uint32_t i = 0; i < emptySections; ++i) {
        Put32(file, table + 40 * i + 12, 0x100000 + 0x1000 * i);
    }
    const size_t section = table + 40ull * emptySections;
    const uint32_t raw = (section + 40 + 0x1FF) & ~0x1FFu;
    Put32(file, section + 8, static_cast<uint32_t>(content.size()));
    Put32(file, section + 12, kSectionRva);
    Put32(file, section + 16, static_cast<uint32_t>(content.size()));
    Put32(file, section + 20, raw);
    file.resize(raw);
    return file + content;
}

// A resource tree with `fanOut` entries at each of its three levels, all pointing to the same
// directory of the next level, and at the last level to one data entry of `dataSize` bytes: a tree
// that names one resource fanOut^3 times. With `typeName`, the first level has one entry, named by
// it, and the last level one entry: fanOut resources of that type.
std::string SharedResourceTree(uint16_t fanOut, uint32_t dataSize,
                               const std::u16string& typeName = u"") {
    const uint32_t directorySize = 16 + 8u * fanOut;
    const uint32_t dataEntry = 3 * directorySize;
    const uint32_t name = dataEntry + 16 + std::max<uint32_t>(dataSize, 1);
    std::string content;
    for (uint32_t level = 0; level < 3; ++level) {
        const size_t directory = level * directorySize;
        const bool named = level == 0 && !typeName.empty();
        const uint16_t entries = !typeName.empty() && level != 1 ? 1 : fanOut;
        Put16(content, directory + (named ? 12 : 14), entries);
        for (uint32_t i = 0; i < entries; ++i) {
            Put32(content, directory + 16 + 8 * i, named ? 0x80000000u | name : i + 1);
            Put32(content, directory + 20 + 8 * i,
                  level < 2 ? 0x80000000u | (level + 1) * directorySize : dataEntry);
        }
    }
    Put32(content, dataEntry, kSectionRva + dataEntry + 16);
    Put32(content, dataEntry + 4, dataSize);
    content.resize(name);
    if (!typeName.empty()) {
        Put16(content, name, static_cast<uint32_t>(typeName.size()));
        for (size_t i = 0; i < typeName.size(); ++i) {
            Put16(content, name + 2 + 2 * i, typeName[i]);
        }
    }
    return TestPe(content, {{2, 0}});
}

// An import table of `count` descriptors that all name the one DLL name of `nameLength` bytes.
std::string SharedImportName(uint32_t count, uint32_t nameLength) {
    std::string content;
    const uint32_t name = 20 * (count + 1);
    for (uint32_t i = 0; i < count; ++i) {
        Put32(content, 20 * i, 1);  // lookup table
        Put32(content, 20 * i + 12, kSectionRva + name);
        Put32(content, 20 * i + 16, 1);  // address table
    }
    content.resize(name);
    return TestPe(content + std::string(nameLength, 'a') + '\0', {{1, 0}});
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
}

// Time and memory stay proportional to the file, whatever its tables point at: what would take
// work or output quadratic in the file's size is refused, what a real binary holds is read.
TEST(PeImage, WorkAndMemoryAreBoundedByTheFileSize) {
    const std::string bounded = "the file's tables ask for more than its size allows";
    const std::u16string longName(65535, u'\u4E00');  // three bytes each in UTF-8
    struct Case {
        const char* what;
        std::string file;
        size_t items;  // of imports or resources, when it is read; 0 when refused
    };
    const Case cases[] = {
        {"a million empty resources from a file of 2 KB", SharedResourceTree(100, 0), 0},
        {"2,000 import descriptors naming one name of 16,000 bytes (32 MB from 56 KB)",
         SharedImportName(2000, 16000), 0},
        {"3 import descriptors naming that name", SharedImportName(3, 16000), 3},
        {"a type name of 65,535 units copied into 1,000 entries (200 MB from 140 KB)",
         SharedResourceTree(1000, 1, longName), 0},
        {"that name in 2 entries", SharedResourceTree(2, 1, longName), 2},
        {"5,000 sections looked through for each of 5,000 imports",
         [] {
             std::string file = SharedImportName(5000, 1);
             const std::string content = file.substr(0x200);
             std::map<int, uint32_t> imports = {{1, 0}};
             return TestPe(content, imports, 5000);
         }(),
         0},
        {"5,000 sections and 3 imports",
         TestPe(SharedImportName(3, 1).substr(0x200), {{1, 0}}, 5000), 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Image image;
        std::string error;
        const bool read = Parse(c.file, image, error);
        EXPECT_EQ(read, c.items != 0) << error;
        if (!read) {
            EXPECT_EQ(error.compare(0, bounded.size(), bounded), 0) << error;
            continue;
        }
        EXPECT_EQ(image.importedDlls.size() + image.resources.size(), c.items);
        for (const Resource& resource : image.resources) {
            EXPECT_EQ(resource.type.name.size(), 3 * longName.size());
        }
    }
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
