// The handler object on the host stand-ins: construction and bitmaps, Initialize's selection
// reduction and failure paths, the items it puts into a menu, the helper starts it requests.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "fake_process_starter.h"
#include "fake_module.h"
#include "fake_shell.h"
#include "simple_shl_ext.h"
#include "utf16.h"

namespace tw {
namespace {

using DataObject = FakeDataObject;
using Menu = FakeMenu;

// A host path (UTF-8) as the UTF-16 name a drop list holds.
std::u16string U(const std::string& utf8) {
    std::u16string utf16;
    EXPECT_TRUE(Utf8ToUtf16(utf8, &utf16)) << utf8;
    return utf16;
}

// A scratch folder on the host with a file and a subfolder, removed afterwards. `Add` makes more
// files and folders in it, each removed with it.
class ScratchFolder {
  public:
    ScratchFolder() {
        char pattern[] = "/tmp/tw handler XXXXXX";
        path = mkdtemp(pattern);
        file = AddFile("a b.txt");
        subfolder = AddFolder("sub folder");
    }
    ~ScratchFolder() {
        for (auto made = made_.rbegin(); made != made_.rend(); ++made) {
            remove(made->c_str());
        }
        rmdir(path.c_str());
    }
    std::string AddFile(const std::string& relative) {
        made_.push_back(path + "/" + relative);
        std::ofstream(made_.back()) << "x";
        return made_.back();
    }
    std::string AddFolder(const std::string& relative) {
        made_.push_back(path + "/" + relative);
        mkdir(made_.back().c_str(), 0700);
        return made_.back();
    }
    std::string path, file, subfolder;

  private:
    std::vector<std::string> made_;
};

// One plain handler object made the way the class object makes it; released at the end.
class Handler {
  public:
    Handler() {
        void* made = nullptr;
        EXPECT_EQ(CComObject<CSimpleShlExt>::CreateInstance(IID_IShellExtInit, &made), S_OK);
        object = static_cast<CSimpleShlExt*>(static_cast<IShellExtInit*>(made));
    }
    ~Handler() { static_cast<IShellExtInit*>(object)->Release(); }
    Handler(const Handler&) = delete;
    Handler& operator=(const Handler&) = delete;

    HRESULT Initialize(DataObject& data) { return object->Initialize(nullptr, &data, nullptr); }
    HRESULT Initialize(const std::vector<std::u16string>& names) {
        DataObject data;
        data.memory.names = names;
        return Initialize(data);
    }
    HRESULT Initialize(const std::vector<std::string>& names) {
        std::vector<std::u16string> wide;
        for (const std::string& name : names) {
            wide.push_back(U(name));
        }
        return Initialize(wide);
    }
    HRESULT Invoke(uintptr_t verb) {
        CMINVOKECOMMANDINFO info = {};
        info.cbSize = sizeof(info);
        info.lpVerb = reinterpret_cast<LPCSTR>(verb);
        return object->InvokeCommand(&info);
    }
    CSimpleShlExt* operator->() { return object; }

  private:
    CSimpleShlExt* object = nullptr;
};

class HandlerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        shell.starter = &starter;
        shell.moduleFileName = u"C:\\Apps\\Backup\\twShellExt_64.dll";
    }
    void TearDown() override {
        // Every handler gave back its bitmaps and its module lock.
        EXPECT_EQ(shell.LiveBitmapCount(), 0);
        EXPECT_EQ(module.lockCount, 0);
    }
    FakeModule module;
    FakeShell shell;
    FakeProcessStarter starter;
};

TEST_F(HandlerTest, ConstructionLoadsTheFourBitmapsAndDestructionReleasesThem) {
    {
        Handler h;
        EXPECT_EQ(FakeShell::BitmapId(h->restoreFileBitmap), 202);
        EXPECT_EQ(FakeShell::BitmapId(h->backupFolderBitmap), 203);
        EXPECT_EQ(FakeShell::BitmapId(h->backupFileBitmap), 204);
        EXPECT_EQ(FakeShell::BitmapId(h->showBackupsBitmap), 205);
        EXPECT_EQ(shell.LiveBitmapCount(), 4);
        EXPECT_FALSE(h->selectionIsFile);
        EXPECT_EQ(h->selectedPath, u"");
    }
    EXPECT_EQ(shell.LiveBitmapCount(), 0);

    // A bitmap that cannot be loaded stays null; construction goes on.
    shell.failingBitmaps = {203, 204};
    Handler h;
    EXPECT_EQ(h->backupFolderBitmap, nullptr);
    EXPECT_EQ(h->backupFileBitmap, nullptr);
    EXPECT_EQ(FakeShell::BitmapId(h->restoreFileBitmap), 202);
    EXPECT_EQ(FakeShell::BitmapId(h->showBackupsBitmap), 205);
}

TEST_F(HandlerTest, InitializeAsksForAFileListAndKeepsTheFirstName) {
    ScratchFolder scratch;
    Handler h;
    DataObject data;
    data.memory.names = {U(scratch.file), U(scratch.subfolder)};
    EXPECT_EQ(h.Initialize(data), S_OK);
    EXPECT_EQ(data.askedFormat.cfFormat, 15);
    EXPECT_EQ(data.askedFormat.ptd, nullptr);
    EXPECT_EQ(data.askedFormat.dwAspect, 1u);
    EXPECT_EQ(data.askedFormat.lindex, -1);
    EXPECT_EQ(data.askedFormat.tymed, 1u);
    EXPECT_EQ(data.offeredMedium.tymed, 1u);
    EXPECT_EQ(data.offeredMedium.hGlobal, nullptr);
    EXPECT_EQ(data.offeredMedium.pUnkForRelease, nullptr);
    EXPECT_EQ(h->selectedPath, U(scratch.file));
    EXPECT_TRUE(h->selectionIsFile);
    EXPECT_EQ(data.memory.locks, 1);
    EXPECT_EQ(data.memory.unlocks, 1);
    EXPECT_EQ(data.memory.releases, 1);
}

TEST_F(HandlerTest, InitializeClassifiesTheFirstSelectedItem) {
    ScratchFolder scratch;
    struct Case {
        std::vector<std::string> names;
        std::string path;
        bool isFile;
    };
    const Case cases[] = {
        {{scratch.file}, scratch.file, true},
        {{scratch.subfolder}, scratch.subfolder, false},
        {{scratch.path + "/"}, scratch.path + "/", false},
        // Only the first of several counts.
        {{scratch.subfolder, scratch.file}, scratch.subfolder, false},
        {{scratch.file, scratch.subfolder, scratch.path}, scratch.file, true},
        // A path that does not exist counts as a file.
        {{scratch.path + "/gone"}, scratch.path + "/gone", true},
    };
    for (const Case& c : cases) {
        Handler h;
        EXPECT_EQ(h.Initialize(c.names), S_OK) << c.path;
        EXPECT_EQ(h->selectedPath, U(c.path));
        EXPECT_EQ(h->selectionIsFile, c.isFile) << c.path;
    }
}

// Names outside any ANSI code page and names of any length are read whole, classified as they are
// on disk, and handed to the helper unchanged, beside a module whose own path is as unusual.
TEST_F(HandlerTest, EveryNameReachesTheHelperExactlyAsItIsOnDisk) {
    ScratchFolder scratch;
    // A real folder more than 300 units deep, made one level at a time.
    scratch.AddFolder(std::string(100, 'a'));
    scratch.AddFolder(std::string(100, 'a') + "/" + std::string(100, 'b'));
    const std::string longFolder = scratch.AddFolder(
        std::string(100, 'a') + "/" + std::string(100, 'b') + "/" + std::string(100, 'c'));
    struct Case {
        std::u16string name;
        bool isFile;
    };
    const Case cases[] = {
        {U(scratch.AddFile("Отчёт 2026.txt")), true},
        {U(scratch.AddFolder("写真フォルダ")), false},
        {U(scratch.AddFile("Urlaub \U0001F4F7 2026.jpg")), true},
        {U(scratch.AddFolder("\U0001F4C1 Ordner")), false},
        {U(longFolder), false},
        {u"C:\\Daten\\" + std::u16string(300 - 9, u'д'), true},
        {u"C:\\Daten\\" + std::u16string(32000 - 9, u'x'), true},
        {u"C:\\Daten\\Отчёты\\", true},
    };
    // The helper starts from the module's folder as it is, or from its short form when the folder
    // is too long for Windows (TheHelperStartsFromAFormOfTheModulesFolderWindowsCanUse).
    const std::u16string moduleFolder = u"C:\\" + std::u16string(300, u'p') + u"\\";
    shell.shortPaths[moduleFolder] = u"C:\\PPPPPP~1\\";
    const std::pair<std::u16string, std::u16string> modules[] = {
        {u"C:\\Программы\\Tarnwick\\twShellExt_64.dll", u"C:\\Программы\\Tarnwick\\"},
        {moduleFolder + u"twShellExt_64.dll", u"C:\\PPPPPP~1\\"},
    };
    for (const auto& [module, directory] : modules) {
        shell.moduleFileName = module;
        for (const Case& c : cases) {
            SCOPED_TRACE(Utf16ToUtf8(c.name.substr(0, 80)) + " (" + std::to_string(c.name.size()) +
                         " units)");
            Handler h;
            ASSERT_EQ(h.Initialize(std::vector<std::u16string>{c.name}), S_OK);
            EXPECT_EQ(h->selectedPath, c.name);
            EXPECT_EQ(h->selectionIsFile, c.isFile);
            starter.requests.clear();
            EXPECT_EQ(h.Invoke(1), S_OK);
            EXPECT_EQ(h.Invoke(2), S_OK);
            const std::u16string second =
                c.isFile ? u" /viewsnapshots " : u" /showavailablebackups ";
            EXPECT_EQ(starter.requests,
                      (std::vector<StartRequest>{
                          {u"open", directory + u"twHelper.exe", u" /createbackupjob " + c.name,
                           directory, 5},
                          {u"open", directory + u"twHelper.exe", second + c.name, directory, 5},
                      }));
        }
    }
}

TEST_F(HandlerTest, InitializeTwiceReplacesTheFirstSelection) {
    ScratchFolder scratch;
    Handler h;
    EXPECT_EQ(h.Initialize({scratch.subfolder}), S_OK);
    EXPECT_FALSE(h->selectionIsFile);
    EXPECT_EQ(h.Initialize({"C:\\x"}), S_OK);
    EXPECT_EQ(h->selectedPath, u"C:\\x");
    EXPECT_TRUE(h->selectionIsFile);
    EXPECT_EQ(h.Initialize({scratch.path}), S_OK);
    EXPECT_EQ(h->selectedPath, U(scratch.path));
    EXPECT_FALSE(h->selectionIsFile);
}

TEST_F(HandlerTest, InitializeFailuresReleaseWhatWasObtained) {
    ScratchFolder scratch;
    struct Case {
        const char* what;
        HRESULT getData;
        bool lockFails, noNames, lengthFails, copyFails;
        int locks, unlocks, releases;
    };
    const Case cases[] = {
        {"no file list", E_FAIL, false, false, false, false, 0, 0, 0},
        {"no file list (other error)", MakeHresult(0x80040064u), false, false, false, false, 0, 0,
         0},
        {"cannot lock", S_OK, true, false, false, false, 0, 0, 1},
        {"no names", S_OK, false, true, false, false, 1, 1, 1},
        {"length unknown", S_OK, false, false, true, false, 1, 1, 1},
        {"copy fails", S_OK, false, false, false, true, 1, 1, 1},
    };
    for (const Case& c : cases) {
        Handler h;
        // A state that each failure must leave alone, or (copy fails) reclassify: the buffer holds
        // a directory while the classification says file.
        h->selectedPath = U(scratch.subfolder);
        h->selectionIsFile = true;
        DataObject data;
        data.result = c.getData;
        data.memory.names =
            c.noNames ? std::vector<std::u16string>{} : std::vector{U(scratch.file)};
        data.memory.lockFails = c.lockFails;
        data.memory.lengthFails = c.lengthFails;
        data.memory.copyFails = c.copyFails;
        EXPECT_EQ(h.Initialize(data), E_INVALIDARG) << c.what;
        EXPECT_EQ(data.calls, 1) << c.what;
        EXPECT_EQ(data.memory.locks, c.locks) << c.what;
        EXPECT_EQ(data.memory.unlocks, c.unlocks) << c.what;
        EXPECT_EQ(data.memory.releases, c.releases) << c.what;
        EXPECT_EQ(h->selectedPath, U(scratch.subfolder)) << c.what;
        // A name that could not be read: what the selection held is classified again.
        EXPECT_EQ(h->selectionIsFile, !(c.lengthFails || c.copyFails)) << c.what;
    }
}

TEST_F(HandlerTest, InitializeWithoutADataObjectFails) {
    Handler h;
    EXPECT_EQ(h->Initialize(nullptr, nullptr, nullptr), E_INVALIDARG);
    EXPECT_FALSE(h->selectionIsFile);
}

// The menu items, read back from the host menu: kind, text, identifier, picture.
struct MenuItem {
    bool separator;
    UINT_PTR id;
    std::string text;
    WORD bitmap;
    bool operator==(const MenuItem& o) const {
        return separator == o.separator && id == o.id && text == o.text && bitmap == o.bitmap;
    }
};
std::ostream& operator<<(std::ostream& out, const MenuItem& i) {
    return out << (i.separator ? "separator" : "entry") << " " << i.id << " '" << i.text << "' "
               << i.bitmap;
}
std::vector<MenuItem> ReadBack(const Menu& menu) {
    std::vector<MenuItem> items;
    for (const Menu::Item& i : menu.items) {
        items.push_back({i.separator, i.id, i.text, FakeShell::BitmapId(i.picture)});
    }
    return items;
}

TEST_F(HandlerTest, QueryContextMenuInsertsTheEntriesAtTheGivenPosition) {
    ScratchFolder scratch;
    const MenuItem before = {false, 7, "Open", 0};
    const MenuItem after = {false, 8, "Properties", 0};
    struct Case {
        std::string path;
        std::vector<MenuItem> ours;
    };
    const Case cases[] = {
        {scratch.file,
         {{true, 30, "", 0},
          {false, 31, "Backup this file", 204},
          {false, 32, "Restore this file", 202},
          {true, 0, "", 0}}},
        {scratch.subfolder,
         {{true, 30, "", 0},
          {false, 31, "Backup this folder", 203},
          {false, 32, "Show available backups", 205},
          {true, 0, "", 0}}},
    };
    for (const Case& c : cases) {
        Handler h;
        ASSERT_EQ(h.Initialize({c.path}), S_OK);
        Menu menu;
        shell.InsertMenuEntry(menu.handle(), 0, MF_BYPOSITION, before.id, before.text.c_str());
        shell.InsertMenuEntry(menu.handle(), 1, MF_BYPOSITION, after.id, after.text.c_str());
        // idCmdLast below idCmdFirst + 2 is not consulted.
        EXPECT_EQ(h->QueryContextMenu(menu.handle(), 1, 30, 30, 0x10), 3);
        std::vector<MenuItem> expected = {before};
        expected.insert(expected.end(), c.ours.begin(), c.ours.end());
        expected.push_back(after);
        EXPECT_EQ(ReadBack(menu), expected) << c.path;
    }
}

TEST_F(HandlerTest, QueryContextMenuForTheDefaultVerbOnlyInsertsNothing) {
    Handler h;
    ASSERT_EQ(h.Initialize({"C:\\a.txt"}), S_OK);
    Menu menu;
    EXPECT_EQ(h->QueryContextMenu(menu.handle(), 0, 1, 100, CMF_DEFAULTONLY | 0x4), 0);
    EXPECT_TRUE(menu.items.empty());
}

TEST_F(HandlerTest, EntriesWhoseBitmapDidNotLoadHaveNoPicture) {
    shell.failingBitmaps = {204};
    Handler h;
    ASSERT_EQ(h.Initialize({"C:\\a.txt"}), S_OK);
    Menu menu;
    EXPECT_EQ(h->QueryContextMenu(menu.handle(), 0, 1, 100, 0), 3);
    ASSERT_EQ(menu.items.size(), 4u);
    EXPECT_EQ(menu.items[1].text, "Backup this file");
    EXPECT_EQ(menu.items[1].picture, nullptr);
    EXPECT_EQ(FakeShell::BitmapId(menu.items[2].picture), 202);
}

TEST_F(HandlerTest, InvokeCommandStartsTheHelperForOffsetsOneAndTwo) {
    const std::u16string dir = u"C:\\Apps\\Backup\\";
    const std::u16string helper = dir + u"twHelper.exe";
    struct Case {
        const char16_t* path;
        bool isFile;
        uintptr_t verb;
        HRESULT result;
        std::vector<StartRequest> starts;
    };
    const Case cases[] = {
        {u"C:\\Data\\My Documents\\a b.txt", true, 0, S_OK, {}},
        {u"C:\\Data\\My Documents\\a b.txt",
         true,
         1,
         S_OK,
         {{u"open", helper, u" /createbackupjob C:\\Data\\My Documents\\a b.txt", dir, 5}}},
        {u"C:\\Data\\My Documents\\a b.txt",
         true,
         2,
         S_OK,
         {{u"open", helper, u" /viewsnapshots C:\\Data\\My Documents\\a b.txt", dir, 5}}},
        {u"C:\\Data\\My Documents\\a b.txt", true, 3, S_OK, {}},
        {u"C:\\Data\\My Documents\\a b.txt", true, 4, E_INVALIDARG, {}},
        {u"D:\\Photos\\",
         false,
         1,
         S_OK,
         {{u"open", helper, u" /createbackupjob D:\\Photos\\", dir, 5}}},
        {u"D:\\Photos\\",
         false,
         2,
         S_OK,
         {{u"open", helper, u" /showavailablebackups D:\\Photos\\", dir, 5}}},
        {u"D:\\Photos\\", false, 0, S_OK, {}},
        {u"D:\\Photos\\", false, 3, S_OK, {}},
        {u"D:\\Photos\\", false, 77, E_INVALIDARG, {}},
    };
    for (const Case& c : cases) {
        Handler h;
        h->selectedPath = c.path;
        h->selectionIsFile = c.isFile;
        starter.requests.clear();
        EXPECT_EQ(h.Invoke(c.verb), c.result) << c.verb;
        EXPECT_EQ(starter.requests, c.starts) << c.verb;
    }
}

TEST_F(HandlerTest, InvokeCommandRefusesVerbTextsAndAMissingStructure) {
    Handler h;
    ASSERT_EQ(h.Initialize({"C:\\a.txt"}), S_OK);
    const char verb[] = "open";
    EXPECT_EQ(h.Invoke(reinterpret_cast<uintptr_t>(verb)), E_INVALIDARG);
    EXPECT_EQ(h->InvokeCommand(nullptr), E_INVALIDARG);
    EXPECT_TRUE(starter.requests.empty());
}

// The extended structure of hosts that pass UTF-16: a text in lpVerbW makes the call a text verb,
// whatever lpVerb holds, but only when the size covers lpVerbW and CMIC_MASK_UNICODE is set.
TEST_F(HandlerTest, InvokeCommandReadsTheUtf16VerbOnlyWhereTheCallerSaysItIsThere) {
    const LPCSTR offset1 = reinterpret_cast<LPCSTR>(uintptr_t{1});
    const LPCSTR offset2 = reinterpret_cast<LPCSTR>(uintptr_t{2});
    const LPCWSTR wideOffset1 = reinterpret_cast<LPCWSTR>(uintptr_t{1});
    const DWORD full = sizeof(CMINVOKECOMMANDINFOEX);
    const DWORD coversVerbW = offsetof(CMINVOKECOMMANDINFOEX, lpVerbW) + sizeof(LPCWSTR);
    const DWORD plain = sizeof(CMINVOKECOMMANDINFO);
    const DWORD unicode = CMIC_MASK_UNICODE;
    const char16_t* const backup = u" /createbackupjob ";
    const char16_t* const restore = u" /viewsnapshots ";
    struct Case {
        DWORD size;
        DWORD mask;
        LPCSTR verb;
        LPCWSTR verbW;
        const char16_t* option;  // the helper's option; null: refused, nothing started
        const char* what;
    };
    const Case cases[] = {
        {full, unicode, offset1, L"open", nullptr, "text in lpVerbW, offset in lpVerb"},
        {full, unicode, nullptr, L"open", nullptr, "text in lpVerbW, lpVerb null"},
        {full, unicode, "open", wideOffset1, nullptr, "text in lpVerb, offset in lpVerbW"},
        {full, unicode, "open", L"open", nullptr, "text in both"},
        {coversVerbW, unicode, offset1, L"open", nullptr, "size just covering lpVerbW"},
        {full, unicode, offset1, wideOffset1, backup, "offsets in both"},
        {full, unicode, offset2, wideOffset1, restore, "the offset is lpVerb's"},
        {full, unicode, offset2, nullptr, restore, "lpVerbW null"},
        {full, 0, offset1, L"open", backup, "no CMIC_MASK_UNICODE"},
        {plain, unicode, offset1, L"open", backup, "size of the plain structure"},
        {coversVerbW - 1, unicode, offset1, L"open", backup, "size one short of lpVerbW"},
    };
    const std::u16string dir = u"C:\\Apps\\Backup\\";
    for (const Case& c : cases) {
        Handler h;
        ASSERT_EQ(h.Initialize({"C:\\a.txt"}), S_OK);
        starter.requests.clear();
        CMINVOKECOMMANDINFOEX info = {};
        info.cbSize = c.size;
        info.fMask = c.mask;
        info.lpVerb = c.verb;
        info.lpVerbW = c.verbW;
        info.nShow = SW_SHOW;
        EXPECT_EQ(h->InvokeCommand(reinterpret_cast<CMINVOKECOMMANDINFO*>(&info)),
                  c.option != nullptr ? S_OK : E_INVALIDARG)
            << c.what;
        std::vector<StartRequest> starts;
        if (c.option != nullptr) {
            starts.push_back(
                {u"open", dir + u"twHelper.exe", c.option + std::u16string(u"C:\\a.txt"), dir, 5});
        }
        EXPECT_EQ(starter.requests, starts) << c.what;
    }
}

TEST_F(HandlerTest, InvokeCommandSucceedsWhenTheHelperCannotBeStarted) {
    starter.refuseAll = true;
    Handler h;
    ASSERT_EQ(h.Initialize({"C:\\a.txt"}), S_OK);
    EXPECT_EQ(h.Invoke(1), S_OK);
    EXPECT_EQ(starter.requests.size(), 1u);
}

TEST_F(HandlerTest, HelperIsLookedForInTheModulesDirectory) {
    struct Case {
        std::u16string moduleFileName;
        std::u16string directory;
    };
    const Case cases[] = {
        {u"C:\\Program Files\\Tarnwick\\twShellExt_64.dll", u"C:\\Program Files\\Tarnwick\\"},
        {u"twShellExt_64.dll", u"twShellExt_64.dll\\"},
        {u"", u"\\"},
    };
    for (const Case& c : cases) {
        shell.moduleFileName = c.moduleFileName;
        Handler h;
        ASSERT_EQ(h.Initialize({"C:\\a.txt"}), S_OK);
        EXPECT_EQ(h->GetModuleDirectory(), c.directory);
        EXPECT_EQ(h->GetHelperPath(), c.directory + u"twHelper.exe");
        starter.requests.clear();
        EXPECT_EQ(h.Invoke(1), S_OK);
        ASSERT_EQ(starter.requests.size(), 1u);
        EXPECT_EQ(starter.requests[0].file, c.directory + u"twHelper.exe");
        EXPECT_EQ(starter.requests[0].directory, c.directory);
    }
}

// Windows starts a program in a folder, and loads it from a path, only below MAX_PATH: the helper
// starts from the module's folder when the folder and the helper's path fit, else from the
// folder's short form, else not at all (a start that failed: S_OK). The module's folder as the
// handler tells it stays whole.
TEST_F(HandlerTest, TheHelperStartsFromAFormOfTheModulesFolderWindowsCanUse) {
    // 247 units: with "twHelper.exe" 259, the longest path that fits.
    const std::u16string fits = u"C:\\" + std::u16string(243, u'a') + u"\\";
    const std::u16string tooLong = u"C:\\" + std::u16string(244, u'a') + u"\\";
    const std::u16string deep = u"C:\\" + std::u16string(400, u'ü') + u"\\";
    const std::u16string shortForm = u"C:\\AAAAAA~1\\";
    const std::u16string selected = u"C:\\Daten\\" + std::u16string(32000 - 9, u'x');
    struct Case {
        const char* name;
        std::u16string folder;
        std::u16string shortPath;    // empty: the platform gives none
        std::u16string startedFrom;  // empty: nothing started
    };
    const Case cases[] = {
        {"fits", fits, shortForm, fits},
        {"one unit too long, with a short form", tooLong, shortForm, shortForm},
        {"one unit too long, no short form", tooLong, u"", u""},
        {"400 units, with a short form", deep, shortForm, shortForm},
        {"400 units, a short form as long", deep, deep + u"~1\\", u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        shell.moduleFileName = c.folder + u"twShellExt_64.dll";
        shell.shortPaths.clear();
        if (!c.shortPath.empty()) {
            shell.shortPaths[c.folder] = c.shortPath;
        }
        Handler h;
        h->selectedPath = selected;
        h->selectionIsFile = true;
        EXPECT_EQ(h->GetModuleDirectory(), c.folder);
        EXPECT_EQ(h->GetHelperPath(), c.folder + u"twHelper.exe");
        starter.requests.clear();
        EXPECT_EQ(h.Invoke(1), S_OK);
        EXPECT_EQ(h.Invoke(2), S_OK);
        if (c.startedFrom.empty()) {
            EXPECT_TRUE(starter.requests.empty());
        } else {
            const std::u16string helper = c.startedFrom + u"twHelper.exe";
            EXPECT_EQ(starter.requests,
                      (std::vector<StartRequest>{
                          {u"open", helper, u" /createbackupjob " + selected, c.startedFrom, 5},
                          {u"open", helper, u" /viewsnapshots " + selected, c.startedFrom, 5},
                      }));
        }
    }
}

TEST_F(HandlerTest, GetCommandStringAnswersNothing) {
    Handler h;
    ASSERT_EQ(h.Initialize({"C:\\a.txt"}), S_OK);
    for (UINT_PTR id : {0u, 1u, 2u, 3u}) {
        for (UINT type : {0u, 1u, 2u, 4u, 5u, 6u}) {
            char buffer[16] = "untouched";
            EXPECT_EQ(h->GetCommandString(id, type, nullptr, buffer, sizeof(buffer)), E_INVALIDARG);
            EXPECT_STREQ(buffer, "untouched");
        }
    }
}

}  // namespace
}  // namespace tw
