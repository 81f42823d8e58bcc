// Inspects the shipped dist/twShellExt_64.dll.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "icon_form.h"
#include "menu_bitmap_form.h"
#include "pe_checks.h"
#include "resource_ids.h"

namespace tw::pe {
namespace {

class TwShellExtDll : public ShippedBinaryTest {
  protected:
    TwShellExtDll() : ShippedBinaryTest("twShellExt_64.dll") {}
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
        {"DllRegisterServer", 3},
        {"DllUnregisterServer", 4},
    };
    EXPECT_EQ(exports, expected);
}

std::string FileBytes(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST_F(TwShellExtDll, CarriesTheFourMenuBitmapsInUsEnglish) {
    const std::string file = FileBytes(TW_EMBLEM_BMP);
    ASSERT_GT(file.size(), 14u);
    const auto bitmaps = image.ResourcesOfType(2u);
    ASSERT_EQ(bitmaps.size(), 4u);
    const uint32_t ids[] = {TW_IDB_RESTORE_FILE, TW_IDB_BACKUP_FOLDER, TW_IDB_BACKUP_FILE,
                            TW_IDB_SHOW_BACKUPS};
    for (size_t i = 0; i < bitmaps.size(); ++i) {
        const Resource* bitmap = bitmaps[i];
        EXPECT_EQ(bitmap->name.id, ids[i]);
        EXPECT_EQ(bitmap->language, 1033u);
        bitmaps::ExpectMenuBitmapForm(bitmap->bytes);
        // The committed picture without its file header.
        EXPECT_TRUE(bitmap->bytes == file.substr(14)) << bitmap->name.id;
    }
}

// The icon group that the Explorer command names: a directory (GRPICONDIR) of the committed icon's
// images, each an icon resource (type 3) holding that image's bytes.
TEST_F(TwShellExtDll, CarriesTheExplorerCommandsIconAtEverySize) {
    const std::vector<bitmaps::IconImage> file = bitmaps::IconImages(FileBytes(TW_EMBLEM_ICO));
    ASSERT_FALSE(file.empty());
    const auto groups = image.ResourcesOfType(14u);
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0]->name.id, static_cast<uint32_t>(TW_IDI_EXPLORER_COMMAND));
    EXPECT_EQ(groups[0]->language, 1033u);
    const std::string& group = groups[0]->bytes;
    ASSERT_EQ(group.size(), 6 + 14 * file.size());
    EXPECT_EQ(bitmaps::ReadLe(group, 2, 2), 1u);
    EXPECT_EQ(bitmaps::ReadLe(group, 4, 2), file.size());
    const auto icons = image.ResourcesOfType(3u);
    ASSERT_EQ(icons.size(), file.size());
    for (size_t i = 0; i < file.size(); ++i) {
        const size_t entry = 6 + 14 * i;
        EXPECT_EQ(bitmaps::ReadLe(group, entry, 1), static_cast<uint32_t>(file[i].side));
        EXPECT_EQ(bitmaps::ReadLe(group, entry + 6, 2), 32u);
        EXPECT_EQ(bitmaps::ReadLe(group, entry + 8, 4), file[i].dib.size());
        const uint32_t id = bitmaps::ReadLe(group, entry + 12, 2);
        const Resource* icon = nullptr;
        for (const Resource* r : icons) {
            icon = r->name.id == id ? r : icon;
        }
        ASSERT_NE(icon, nullptr) << id;
        EXPECT_EQ(icon->language, 1033u);
        EXPECT_TRUE(icon->bytes == file[i].dib) << file[i].side;
        bitmaps::ExpectIconImageForm({file[i].side, icon->bytes});
    }
}

// String `index` (0 to 15) of a string table block: UTF-16 texts, each after its length.
std::string BlockString(const std::string& block, size_t index) {
    size_t at = 0;
    for (size_t i = 0;; ++i) {
        if (at + 2 > block.size()) {
            return "(past the block)";
        }
        const size_t length = static_cast<unsigned char>(block[at]) |
                              static_cast<size_t>(static_cast<unsigned char>(block[at + 1])) << 8;
        at += 2;
        if (i == index) {
            std::string text;
            for (size_t c = 0; c < length && at + 2 * c + 1 < block.size(); ++c) {
                text += block[at + 2 * c + 1] == 0 ? block[at + 2 * c] : '?';
            }
            return text;
        }
        at += 2 * length;
    }
}

TEST_F(TwShellExtDll, CarriesEveryResourceInUsEnglishAndNoOther) {
    std::vector<std::string> resources;
    for (const Resource& r : image.resources) {
        resources.push_back(r.type.ToString() + " " + r.name.ToString() + " " +
                            std::to_string(r.language));
    }
    // In the directory's order (named types first): the registry script, the bitmaps (2), the
    // icon's images (3), the string table block of the string (6), the icon group (14), the
    // version (16) and the manifest (24).
    const auto english = [](const std::string& type, uint32_t id) {
        return type + " " + std::to_string(id) + " 1033";
    };
    const std::vector<std::string> expected = {
        english("REGISTRY", TW_IDR_REGISTRY_SCRIPT),
        english("2", TW_IDB_RESTORE_FILE),
        english("2", TW_IDB_BACKUP_FOLDER),
        english("2", TW_IDB_BACKUP_FILE),
        english("2", TW_IDB_SHOW_BACKUPS),
        english("3", 1),
        english("3", 2),
        english("3", 3),
        english("3", 4),
        english("3", 5),
        english("6", TW_IDS_PROJECT_NAME / 16 + 1),
        english("14", TW_IDI_EXPLORER_COMMAND),
        english("16", 1),
        english("24", 2),
    };
    EXPECT_EQ(resources, expected);
}

TEST_F(TwShellExtDll, RegistryScriptIsTheScriptFileByteForByte) {
    const auto scripts = image.ResourcesOfType(std::string("REGISTRY"));
    ASSERT_EQ(scripts.size(), 1u);
    EXPECT_EQ(scripts[0]->name.id, static_cast<uint32_t>(TW_IDR_REGISTRY_SCRIPT));
    const std::string file = FileBytes(TW_PRODUCT_SCRIPT);
    ASSERT_GT(file.size(), 100u);
    EXPECT_TRUE(scripts[0]->bytes == file) << scripts[0]->bytes.size() << " bytes";
}

TEST_F(TwShellExtDll, StringTableHoldsSimpleExtAsString100) {
    static_assert(TW_IDS_PROJECT_NAME == 100, "the string's number is part of the DLL's contract");
    const auto blocks = image.ResourcesOfType(6u);
    ASSERT_EQ(blocks.size(), 1u);
    ASSERT_EQ(blocks[0]->name.id, TW_IDS_PROJECT_NAME / 16 + 1u);
    for (size_t i = 0; i < 16; ++i) {
        EXPECT_EQ(BlockString(blocks[0]->bytes, i),
                  i == TW_IDS_PROJECT_NAME % 16 ? "SimpleExt" : "")
            << i;
    }
}

TEST_F(TwShellExtDll, CarriesItsVersionBlockAndAsInvokerManifest) {
    VersionInfo info;
    ASSERT_TRUE(ReadsVersionBlock(image, info));
    EXPECT_EQ(info.fileVersion, kProductVersion);
    EXPECT_EQ(info.productVersion, kProductVersion);
    EXPECT_EQ(info.fileType, 2u);  // a DLL
    const std::map<std::string, std::map<std::string, std::string>> strings = {
        {"040904B0",
         {
             {"CompanyName", "Tarnwick"},
             {"FileDescription", "Tarnwick File Shell Extension"},
             {"FileVersion", ProductVersionText()},
             {"InternalName", "twShellExt"},
             {"LegalCopyright", "Tarnwick"},
             {"OriginalFilename", "twShellExt"},
             {"ProductName", "Tarnwick File Shell Extension"},
             {"ProductVersion", ProductVersionText()},
         }},
    };
    EXPECT_EQ(info.strings, strings);
    EXPECT_TRUE(HasAsInvokerManifest(image, 2));
}

}  // namespace
}  // namespace tw::pe
