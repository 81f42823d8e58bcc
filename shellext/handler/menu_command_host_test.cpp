// The menu model and the command model as tables: which items a context menu gets, and what each
// command offset starts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command_model.h"
#include "menu_model.h"

namespace tw {
namespace {

HBITMAP FakeBitmap(uintptr_t value) {
    return reinterpret_cast<HBITMAP>(value);
}

MenuPictures SomePictures() {
    MenuPictures p;
    p.backupFile = FakeBitmap(0x204);
    p.restoreFile = FakeBitmap(0x202);
    p.backupFolder = FakeBitmap(0x203);
    p.showBackups = FakeBitmap(0x205);
    return p;
}

struct Item {
    bool separator;
    UINT position;
    UINT_PTR id;
    std::string text;
    HBITMAP picture;
    bool operator==(const Item& o) const {
        return separator == o.separator && position == o.position && id == o.id && text == o.text &&
               picture == o.picture;
    }
};

std::ostream& operator<<(std::ostream& out, const Item& i) {
    return out << (i.separator ? "separator" : "entry") << " at " << i.position << " id " << i.id
               << " '" << i.text << "' picture " << i.picture;
}

std::vector<Item> Items(const MenuPlan& plan) {
    std::vector<Item> items;
    for (UINT i = 0; i < plan.count; ++i) {
        const MenuItemPlan& p = plan.items[i];
        items.push_back({p.separator, p.position, p.id, p.text ? p.text : "", p.picture});
    }
    return items;
}

TEST(PlanMenu, InsertsSeparatorTwoEntriesSeparatorForAFileOrAFolder) {
    const MenuPictures pictures = SomePictures();
    const std::vector<Item> file = {
        {true, 5, 100, "", nullptr},
        {false, 6, 101, "Backup this file", FakeBitmap(0x204)},
        {false, 7, 102, "Restore this file", FakeBitmap(0x202)},
        {true, 8, 0, "", nullptr},
    };
    const std::vector<Item> folder = {
        {true, 5, 100, "", nullptr},
        {false, 6, 101, "Backup this folder", FakeBitmap(0x203)},
        {false, 7, 102, "Show available backups", FakeBitmap(0x205)},
        {true, 8, 0, "", nullptr},
    };
    // Every flag other than CMF_DEFAULTONLY is ignored.
    for (UINT flags : {0u, 0x4u, 0x10u | 0x20u, 0xFFFFFFFEu}) {
        const MenuPlan forFile = PlanMenu(true, pictures, 5, 100, flags);
        EXPECT_EQ(forFile.result, 3) << flags;
        EXPECT_EQ(Items(forFile), file) << flags;
        const MenuPlan forFolder = PlanMenu(false, pictures, 5, 100, flags);
        EXPECT_EQ(forFolder.result, 3) << flags;
        EXPECT_EQ(Items(forFolder), folder) << flags;
    }
}

TEST(PlanMenu, DefaultOnlyInsertsNothing) {
    for (bool isFile : {true, false}) {
        for (UINT flags : {0x1u, 0x1u | 0x4u, 0xFFFFFFFFu}) {
            const MenuPlan plan = PlanMenu(isFile, SomePictures(), 0, 1, flags);
            EXPECT_EQ(plan.count, 0u) << flags;
            EXPECT_EQ(plan.result, 0) << flags;
        }
    }
}

TEST(PlanMenu, EntriesWithoutAPictureGetNone) {
    MenuPictures pictures = SomePictures();
    pictures.backupFile = nullptr;
    pictures.showBackups = nullptr;
    const MenuPlan file = PlanMenu(true, pictures, 0, 1, 0);
    EXPECT_EQ(file.items[1].picture, nullptr);
    EXPECT_EQ(file.items[2].picture, FakeBitmap(0x202));
    const MenuPlan folder = PlanMenu(false, pictures, 0, 1, 0);
    EXPECT_EQ(folder.items[1].picture, FakeBitmap(0x203));
    EXPECT_EQ(folder.items[2].picture, nullptr);
}

TEST(DecideCommand, EveryOffsetForAFileAndAFolder) {
    struct Case {
        uintptr_t verb;
        HRESULT result;
        const char16_t* fileOption;    // null: nothing started
        const char16_t* folderOption;  // null: nothing started
    };
    const Case cases[] = {
        {0, S_OK, nullptr, nullptr},
        {1, S_OK, u" /createbackupjob ", u" /createbackupjob "},
        {2, S_OK, u" /viewsnapshots ", u" /showavailablebackups "},
        {3, S_OK, nullptr, nullptr},
        {4, E_INVALIDARG, nullptr, nullptr},
        {0xFFFF, E_INVALIDARG, nullptr, nullptr},
        // The address of a verb text.
        {0x10000, E_INVALIDARG, nullptr, nullptr},
        {0x7FF612340000, E_INVALIDARG, nullptr, nullptr},
        // An address whose bits 16 to 31 are zero is still not an offset.
        {0x100000001, E_INVALIDARG, nullptr, nullptr},
    };
    for (const Case& c : cases) {
        for (bool isFile : {true, false}) {
            const CommandDecision d = DecideCommand(c.verb, isFile);
            const char16_t* expected = isFile ? c.fileOption : c.folderOption;
            EXPECT_EQ(d.result, c.result) << c.verb << " file " << isFile;
            ASSERT_EQ(d.option == nullptr, expected == nullptr) << c.verb << " file " << isFile;
            if (expected != nullptr) {
                EXPECT_EQ(std::u16string(d.option), expected) << c.verb << " file " << isFile;
            }
        }
    }
}

TEST(ModuleDirectoryOf, KeepsTheTextUpToTheLastBackslash) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"C:\\Apps\\Backup\\twShellExt_64.dll", u"C:\\Apps\\Backup\\"},
        {u"C:\\twShellExt_64.dll", u"C:\\"},
        {u"\\\\server\\share\\x.dll", u"\\\\server\\share\\"},
        {u"C:\\Program Files\\Tarn wick\\a.dll", u"C:\\Program Files\\Tarn wick\\"},
        {u"C:\\Программы\\Tarnwick\\a.dll", u"C:\\Программы\\Tarnwick\\"},
        // No backslash: the whole name, then a backslash.
        {u"twShellExt_64.dll", u"twShellExt_64.dll\\"},
        // A module name that could not be obtained: a lone backslash.
        {u"", u"\\"},
    };
    for (const auto& [fileName, directory] : cases) {
        EXPECT_EQ(ModuleDirectoryOf(fileName), directory);
    }
}

TEST(HelperStartRequest, OptionThenThePathUnquotedInTheModulesDirectory) {
    const StartRequest request = HelperStartRequest(
        u" /createbackupjob ", u"C:\\Data\\My Documents\\a b.txt", u"C:\\Apps\\");
    EXPECT_EQ(request, (StartRequest{u"open", u"C:\\Apps\\twHelper.exe",
                                     u" /createbackupjob C:\\Data\\My Documents\\a b.txt",
                                     u"C:\\Apps\\", 5}));
    // A path ending in a backslash keeps it as the last character.
    EXPECT_EQ(HelperStartRequest(u" /showavailablebackups ", u"D:\\", u"\\").parameters,
              u" /showavailablebackups D:\\");
    EXPECT_EQ(HelperStartRequest(u" /showavailablebackups ", u"D:\\", u"\\").file,
              u"\\twHelper.exe");
}

}  // namespace
}  // namespace tw
