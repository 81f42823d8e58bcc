#include "pe_image.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace tw::pe {
namespace {

// A damaged binary must be refused, never read past its end: parse every prefix of a real one.
TEST(PeImage, RefusesTruncatedFilesWithoutReadingPastTheEnd) {
    std::ifstream file(TW_DIST_DIR "/TwUninstall.exe", std::ios::binary);
    ASSERT_TRUE(file) << "run `make dist` first";
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

TEST(PeImage, SystemDllsAreMatchedWithoutRegardToCase) {
    EXPECT_TRUE(IsSystemDll("KERNEL32.dll"));
    EXPECT_TRUE(IsSystemDll("shell32.DLL"));
    EXPECT_FALSE(IsSystemDll("libstdc++-6.dll"));
    EXPECT_FALSE(IsSystemDll("libwinpthread-1.dll"));
    EXPECT_FALSE(IsSystemDll("libgcc_s_dw2-1.dll"));
}

}  // namespace
}  // namespace tw::pe
