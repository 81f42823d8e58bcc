// Inspects the shipped dist/twShellExt_64.dll.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "menu_bitmap_form.h"
#include "pe_checks.h"

namespace tw::pe {
namespace {

class TwShellExtDll : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(Load(TW_DIST_DIR "/twShellExt_64.dll", image, error)) << error;
    }
    Image image;
};

TEST_F(TwShellExtDll, IsA64BitDllImportingOnlySystemDlls) {
    EXPECT_EQ(image.machine, kMachineAmd64);
    EXPECT_NE(image.characteristics & kCharacteristicDll, 0);
    // It starts the helper through the shell.
    EXPECT_TRUE(ImportsOnlySystemDlls(image, "shell32.dll"));
}

TEST_F(TwShellExtDll, ExportsTheServerFunctionsByNameWithTheirOrdinals) {
    std::vector<std::pair<std::string, uint32_t>> exports;
    for (const Export& e : image.exports) {
        exports.emplace_back(e.name, e.ordinal);
    }
    const std::vector<std::pair<std::string, uint32_t>> expected = {
        {"DllCanUnloadNow", 1},
        {"DllGetClassObject", 2},
    };
    EXPECT_EQ(exports, expected);
}

TEST_F(TwShellExtDll, CarriesTheFourMenuBitmapsInUsEnglish) {
    std::ifstream in(TW_EMBLEM_BMP, std::ios::binary);
    const std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(file.size(), 14u);
    const auto bitmaps = image.ResourcesOfType(2u);
    ASSERT_EQ(bitmaps.size(), 4u);
    uint32_t id = 202;
    for (const Resource* bitmap : bitmaps) {
        EXPECT_EQ(bitmap->name.id, id++);
        EXPECT_EQ(bitmap->language, 1033u);
        bitmaps::ExpectMenuBitmapForm(bitmap->bytes);
        // The committed picture without its file header.
        EXPECT_TRUE(bitmap->bytes == file.substr(14)) << bitmap->name.id;
    }
}

}  // namespace
}  // namespace tw::pe
