// The real twShellExt_64.dll under Wine, driven the way Explorer drives it: the class object from
// DllGetClassObject, handlers initialised with the data objects the shell itself makes for a file
// and a folder, the items they put into a real popup menu, and the helper starts they request,
// recorded by a stand-in twHelper.exe beside the DLL in a folder whose path has spaces.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <memory>
#include <string>
#include <vector>

#include "fake_outer_unknown.h"
#include "import_table.h"
#include "installed_server_test.h"
#include "shellext_wine_support.h"
#include "winsupport.h"

namespace tw::test {
namespace {

std::wstring WithoutTrailingBackslash(std::wstring path) {
    if (!path.empty() && path.back() == L'\\') {
        path.pop_back();
    }
    return path;
}

std::wstring CurrentDirectory() {
    wchar_t buffer[MAX_PATH * 4] = {};
    GetCurrentDirectoryW(MAX_PATH * 4, buffer);
    return WithoutTrailingBackslash(buffer) + L"\\";
}

// The picture is ours: 16 x 16, white in the corner, orange in the emblem.
void ExpectEmblem(HBITMAP bitmap) {
    ASSERT_NE(bitmap, nullptr);
    BITMAP header = {};
    ASSERT_EQ(GetObjectW(bitmap, sizeof(header), &header), static_cast<int>(sizeof(header)));
    EXPECT_EQ(header.bmWidth, 16);
    EXPECT_EQ(header.bmHeight, 16);
    BITMAPINFO format = {};
    format.bmiHeader.biSize = sizeof(format.bmiHeader);
    format.bmiHeader.biWidth = 16;
    format.bmiHeader.biHeight = -16;  // rows from the top
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    DWORD pixels[16 * 16] = {};
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(GetDIBits(dc, bitmap, 0, 16, pixels, &format, DIB_RGB_COLORS), 16);
    DeleteDC(dc);
    EXPECT_EQ(pixels[0] & 0xFFFFFF, 0xFFFFFFu);            // white ground
    EXPECT_EQ(pixels[7 * 16 + 4] & 0xFFFFFF, 0xF58214u);   // orange emblem
    EXPECT_EQ(pixels[14 * 16 + 7] & 0xFFFFFF, 0x969696u);  // grey base line
}

// A data object serving a drop list built here (DROPFILES with UTF-16 names, or with the names in
// the ANSI code page), or no file list at all.
class DropListDataObject : public IDataObject {
  public:
    DropListDataObject(std::vector<std::wstring> names, bool offersFileList, bool wide = true)
        : names_(std::move(names)), offersFileList_(offersFileList), wide_(wide) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override {
        if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IDataObject)) {
            *result = static_cast<IDataObject*>(this);
            AddRef();
            return S_OK;
        }
        *result = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++count_; }
    ULONG STDMETHODCALLTYPE Release() override { return --count_; }

    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
        if (!offersFileList_ || format->cfFormat != CF_HDROP ||
            (format->tymed & TYMED_HGLOBAL) == 0) {
            return DV_E_FORMATETC;
        }
        std::wstring wideList;
        for (const std::wstring& name : names_) {
            wideList += name;
            wideList += L'\0';
        }
        wideList += L'\0';
        std::string list;
        if (wide_) {
            list.assign(reinterpret_cast<const char*>(wideList.data()),
                        wideList.size() * sizeof(wchar_t));
        } else {
            list.resize(wideList.size() * 2);
            list.resize(WideCharToMultiByte(CP_ACP, 0, wideList.data(),
                                            static_cast<int>(wideList.size()), &list[0],
                                            static_cast<int>(list.size()), nullptr, nullptr));
        }
        HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + list.size());
        if (memory == nullptr) {
            return E_OUTOFMEMORY;
        }
        auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
        drop->pFiles = sizeof(DROPFILES);
        drop->fWide = wide_ ? TRUE : FALSE;
        memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), list.data(), list.size());
        GlobalUnlock(memory);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = memory;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        out->ptd = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC** out) override {
        *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }

  private:
    std::vector<std::wstring> names_;
    bool offersFileList_;
    bool wide_;
    ULONG count_ = 1;
};

class ShellExtensionTest : public InstalledServerTest {
  protected:
    ShellExtensionTest() : InstalledServerTest(L"Tarnwick Shell Ext with spaces") {}

    void SetUp() override {
        InstalledServerTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        ASSERT_TRUE(CreateDirectoryW((selection.path() + L"My Documents").c_str(), nullptr));
        file = selection.path() + L"My Documents\\a b.txt";
        ASSERT_TRUE(WriteFileBytes(file, "x"));
        folder = selection.path() + L"Photo Folder";
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    }

    void TearDown() override {
        EXPECT_FALSE(FileExists(install.path() + L"___tarnlog.txt"));
        EXPECT_FALSE(FileExists(CurrentDirectory() + L"___tarnlog.txt"));
        InstalledServerTest::TearDown();
    }

    Ref<IClassFactory> ClassFactory() {
        Ref<IClassFactory> factory;
        EXPECT_EQ(server->getClassObject(kHandlerClsid, IID_IClassFactory, factory.out()), S_OK);
        return factory;
    }

    // A new handler, initialised with `data`; its IContextMenu face.
    Ref<IContextMenu> Handler(IDataObject* data, HRESULT expected = S_OK) {
        Ref<IContextMenu> menu;
        Ref<IShellExtInit> init;
        EXPECT_EQ(ClassFactory()->CreateInstance(nullptr, IID_IShellExtInit, init.out()), S_OK);
        if (init.get() != nullptr) {
            EXPECT_EQ(init->Initialize(nullptr, data, nullptr), expected);
            EXPECT_EQ(init->QueryInterface(IID_IContextMenu, menu.out()), S_OK);
        }
        return menu;
    }

    // A new handler for the item at `path`, with the shell's own data object.
    Ref<IContextMenu> HandlerFor(const std::wstring& path) {
        Ref<IDataObject> data;
        EXPECT_EQ(ShellDataObject(path, reinterpret_cast<IDataObject**>(data.out())), S_OK);
        return Handler(data.get());
    }

    static HRESULT Invoke(IContextMenu* menu, UINT_PTR verb) {
        CMINVOKECOMMANDINFO info = {};
        info.cbSize = sizeof(info);
        info.lpVerb = reinterpret_cast<LPCSTR>(verb);
        info.nShow = SW_SHOWNORMAL;
        return menu->InvokeCommand(&info);
    }

    std::wstring file, folder;
};

TEST_F(ShellExtensionTest, ServesHandlersAndCountsWhatLives) {
    Ref<IClassFactory> factory = ClassFactory();
    ASSERT_NE(factory.get(), nullptr);
    EXPECT_EQ(server->canUnloadNow(), S_FALSE);
    Ref<IClassFactory> again = ClassFactory();
    EXPECT_EQ(again.get(), factory.get());
    again.Reset();
    Ref<IContextMenu> menu;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IContextMenu, menu.out()), S_OK);
    factory.Reset();
    EXPECT_EQ(server->canUnloadNow(), S_FALSE);  // the handler lives
    Ref<IUnknown> identityFromMenu, identityFromInit;
    Ref<IShellExtInit> init;
    ASSERT_EQ(menu->QueryInterface(IID_IShellExtInit, init.out()), S_OK);
    ASSERT_EQ(menu->QueryInterface(IID_IUnknown, identityFromMenu.out()), S_OK);
    ASSERT_EQ(init->QueryInterface(IID_IUnknown, identityFromInit.out()), S_OK);
    EXPECT_EQ(identityFromMenu.get(), identityFromInit.get());
    identityFromMenu.Reset();
    identityFromInit.Reset();
    init.Reset();
    menu.Reset();
    EXPECT_EQ(server->canUnloadNow(), S_OK);

    Ref<IUnknown> unknown;
    EXPECT_EQ(server->getClassObject(kHandlerClsid, IID_IUnknown, unknown.out()), S_OK);
    unknown.Reset();
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(server->getClassObject(kHandlerClsid, IID_IShellExtInit, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    none = reinterpret_cast<void*>(1);
    EXPECT_EQ(server->getClassObject(IID_IContextMenu, IID_IClassFactory, &none),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(server->getClassObject(kHandlerClsid, IID_IClassFactory, nullptr), E_POINTER);

    factory = ClassFactory();
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    factory.Reset();
    EXPECT_EQ(server->canUnloadNow(), S_FALSE);
    ClassFactory()->LockServer(FALSE);
    EXPECT_EQ(server->canUnloadNow(), S_OK);
}

TEST_F(ShellExtensionTest, AggregatedHandlerForwardsToTheOuterObject) {
    Ref<IClassFactory> factory = ClassFactory();
    FakeOuterUnknown outer;
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IContextMenu, &none), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(none, nullptr);
    Ref<IUnknown> inner;
    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, inner.out()), S_OK);
    factory.Reset();
    EXPECT_EQ(server->canUnloadNow(), S_FALSE);
    IContextMenu* menu = nullptr;
    ASSERT_EQ(inner->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&menu)), S_OK);
    EXPECT_EQ(outer.addRefs, 1);
    menu->AddRef();
    menu->Release();
    menu->Release();
    EXPECT_EQ(outer.addRefs, 2);
    EXPECT_EQ(outer.releases, 2);
    inner.Reset();
    EXPECT_EQ(server->canUnloadNow(), S_OK);
}

TEST_F(ShellExtensionTest, FileAndFolderMenusFromTheShellsDataObjects) {
    struct Case {
        const std::wstring& path;
        const char* first;
        const char* second;
    };
    const Case cases[] = {
        {file, "Backup this file", "Restore this file"},
        {folder, "Backup this folder", "Show available backups"},
    };
    for (const Case& c : cases) {
        Ref<IContextMenu> handler = HandlerFor(c.path);
        ASSERT_NE(handler.get(), nullptr);
        HMENU menu = CreatePopupMenu();
        AppendMenuA(menu, MF_STRING, 7, "Open");
        AppendMenuA(menu, MF_STRING, 8, "Properties");
        // idCmdLast below idCmdFirst + 2 is not consulted.
        EXPECT_EQ(handler->QueryContextMenu(menu, 1, 100, 100, CMF_NORMAL | CMF_EXPLORE), 3);
        const std::vector<MenuItem> items = ReadMenu(menu);
        ASSERT_EQ(items.size(), 6u);
        const struct {
            bool separator;
            UINT id;
            std::string text;
        } expected[] = {{false, 7, "Open"},     {true, 100, ""}, {false, 101, c.first},
                        {false, 102, c.second}, {true, 0, ""},   {false, 8, "Properties"}};
        for (size_t i = 0; i < items.size(); ++i) {
            EXPECT_EQ(items[i].separator, expected[i].separator) << c.first << " item " << i;
            EXPECT_EQ(items[i].id, expected[i].id) << c.first << " item " << i;
            EXPECT_EQ(items[i].text, expected[i].text) << c.first << " item " << i;
            EXPECT_EQ(items[i].checkedPicture, nullptr) << c.first << " item " << i;
        }
        ExpectEmblem(items[2].picture);
        ExpectEmblem(items[3].picture);
        EXPECT_NE(items[2].picture, items[3].picture);
        EXPECT_EQ(items[1].picture, nullptr);
        DestroyMenu(menu);

        // Asked for the default verb only, it inserts nothing.
        menu = CreatePopupMenu();
        EXPECT_EQ(handler->QueryContextMenu(menu, 0, 1, 100, CMF_DEFAULTONLY), 0);
        EXPECT_EQ(GetMenuItemCount(menu), 0);
        DestroyMenu(menu);

        char name[32] = "untouched";
        EXPECT_EQ(handler->GetCommandString(1, GCS_VERBA, nullptr, name, sizeof(name)),
                  E_INVALIDARG);
        EXPECT_STREQ(name, "untouched");
    }
}

TEST_F(ShellExtensionTest, CommandsStartTheHelperBesideTheDll) {
    const std::wstring installDirectory = WithoutTrailingBackslash(install.path());
    Ref<IContextMenu> forFile = HandlerFor(file);
    Ref<IContextMenu> forFolder = HandlerFor(folder);
    ASSERT_NE(forFile.get(), nullptr);
    ASSERT_NE(forFolder.get(), nullptr);
    // The separators' offsets and the ones past the end start nothing.
    EXPECT_EQ(Invoke(forFile.get(), 0), S_OK);
    EXPECT_EQ(Invoke(forFile.get(), 3), S_OK);
    EXPECT_EQ(Invoke(forFolder.get(), 0), S_OK);
    EXPECT_EQ(Invoke(forFolder.get(), 4), E_INVALIDARG);
    EXPECT_EQ(Invoke(forFile.get(), reinterpret_cast<UINT_PTR>("open")), E_INVALIDARG);

    struct Case {
        IContextMenu* handler;
        UINT_PTR offset;
        std::wstring parameters;
    };
    const Case cases[] = {
        {forFile.get(), 1, L" /createbackupjob " + file},
        {forFile.get(), 2, L" /viewsnapshots " + file},
        {forFolder.get(), 1, L" /createbackupjob " + folder},
        {forFolder.get(), 2, L" /showavailablebackups " + folder},
    };
    for (const Case& c : cases) {
        RemoveRecords(install.path());
        EXPECT_EQ(Invoke(c.handler, c.offset), S_OK);
        const std::vector<HelperRecord> records = WaitForRecords(install.path(), 1);
        ASSERT_EQ(records.size(), 1u) << Narrow(c.parameters);
        EXPECT_EQ(records[0].commandLine, ExpectedCommandLine(c.parameters));
        // The helper runs in the DLL's directory (Wine shows it without the trailing backslash).
        EXPECT_EQ(records[0].currentDirectory, installDirectory);
    }
    // Nothing else was started meanwhile.
    Sleep(500);
    EXPECT_EQ(WaitForRecords(install.path(), 2, 0).size(), 1u);
}

// Hosts that pass UTF-16 use the extended structure with CMIC_MASK_UNICODE and may carry a text
// verb in lpVerbW alone: whatever lpVerb then holds, the verb is refused and nothing starts.
// Offsets in both fields still start their command.
TEST_F(ShellExtensionTest, AUtf16TextVerbIsRefusedWhateverLpVerbHolds) {
    Ref<IContextMenu> forFile = HandlerFor(file);
    ASSERT_NE(forFile.get(), nullptr);
    RemoveRecords(install.path());
    struct Case {
        LPCSTR verb;
        LPCWSTR verbW;
        HRESULT result;
    };
    const Case cases[] = {
        {nullptr, L"open", E_INVALIDARG},
        {MAKEINTRESOURCEA(1), L"open", E_INVALIDARG},
        {MAKEINTRESOURCEA(2), L"runas", E_INVALIDARG},
        {"open", MAKEINTRESOURCEW(1), E_INVALIDARG},
        {MAKEINTRESOURCEA(1), MAKEINTRESOURCEW(1), S_OK},
    };
    for (const Case& c : cases) {
        CMINVOKECOMMANDINFOEX info = {};
        info.cbSize = sizeof(info);
        info.fMask = CMIC_MASK_UNICODE;
        info.lpVerb = c.verb;
        info.lpVerbW = c.verbW;
        info.nShow = SW_SHOWNORMAL;
        EXPECT_EQ(forFile->InvokeCommand(reinterpret_cast<CMINVOKECOMMANDINFO*>(&info)), c.result)
            << reinterpret_cast<UINT_PTR>(c.verb);
    }
    // Only the last request started the helper.
    const std::vector<HelperRecord> records = WaitForRecords(install.path(), 1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].commandLine, ExpectedCommandLine(L" /createbackupjob " + file));
    Sleep(500);
    EXPECT_EQ(WaitForRecords(install.path(), 2, 0).size(), 1u);
}

TEST_F(ShellExtensionTest, SelectionsReducedThroughTheRealDropList) {
    const std::wstring missingLong = selection.path() + std::wstring(300, L'n');
    struct Case {
        std::vector<std::wstring> names;
        bool wide;
        std::wstring parameters;  // of the start for offset 2
    };
    const Case cases[] = {
        // Only the first of several counts.
        {{folder, file}, true, L" /showavailablebackups " + folder},
        {{file, folder}, true, L" /viewsnapshots " + file},
        // A list in the ANSI code page is read as well.
        {{folder, file}, false, L" /showavailablebackups " + folder},
        // Whole however long; it does not exist, so it counts as a file.
        {{missingLong}, true, L" /viewsnapshots " + missingLong},
    };
    for (const Case& c : cases) {
        DropListDataObject data(c.names, true, c.wide);
        Ref<IContextMenu> handler = Handler(&data);
        ASSERT_NE(handler.get(), nullptr);
        RemoveRecords(install.path());
        EXPECT_EQ(Invoke(handler.get(), 2), S_OK);
        const std::vector<HelperRecord> records = WaitForRecords(install.path(), 1);
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].commandLine, ExpectedCommandLine(c.parameters));
    }

    DropListDataObject empty({}, true);
    Handler(&empty, E_INVALIDARG);
    DropListDataObject noFileList({file}, false);
    Handler(&noFileList, E_INVALIDARG);
}

// Names in other scripts and with emoji, as the shell's own data objects carry them, get the
// entries of what they are and reach the helper exactly as they are named on disk.
TEST_F(ShellExtensionTest, NamesOutsideTheAnsiCodePageReachTheHelperUnchanged) {
    struct Case {
        std::wstring path;
        bool isFolder;
    };
    const Case cases[] = {
        {selection.path() + L"\u041E\u0442\u0447\u0451\u0442 2026.txt", false},  // Cyrillic
        {selection.path() + L"\u5199\u771F\u30D5\u30A9\u30EB\u30C0", true},      // CJK
        {selection.path() + L"Urlaub \U0001F4F7.jpg", false},                    // emoji
        {selection.path() + L"\U0001F4C1 Ordner", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.path));
        ASSERT_TRUE(c.isFolder ? CreateDirectoryW(c.path.c_str(), nullptr)
                               : WriteFileBytes(c.path, "x"));
        Ref<IContextMenu> handler = HandlerFor(c.path);
        ASSERT_NE(handler.get(), nullptr);
        EXPECT_EQ(MenuTexts(handler.get()), c.isFolder ? kFolderEntries : kFileEntries);

        const std::wstring second = c.isFolder ? L" /showavailablebackups " : L" /viewsnapshots ";
        const std::pair<UINT_PTR, std::wstring> commands[] = {{1, L" /createbackupjob " + c.path},
                                                              {2, second + c.path}};
        for (const auto& [offset, parameters] : commands) {
            RemoveRecords(install.path());
            EXPECT_EQ(Invoke(handler.get(), offset), S_OK);
            const std::vector<HelperRecord> records = WaitForRecords(install.path(), 1);
            ASSERT_EQ(records.size(), 1u);
            EXPECT_EQ(records[0].commandLine, ExpectedCommandLine(parameters));
        }
    }
}

// For a name the ANSI code page represents, a helper that reads its command line in that code page
// sees it exactly.
TEST_F(ShellExtensionTest, AHelperReadingAnsiSeesARepresentableNameExactly) {
    ASSERT_EQ(GetACP(), 1252u);
    const std::wstring name = selection.path() + L"Donn\u00E9es \u00E9t\u00E9 \u20AC.txt";
    ASSERT_TRUE(WriteFileBytes(name, "x"));
    Ref<IContextMenu> handler = HandlerFor(name);
    ASSERT_NE(handler.get(), nullptr);
    RemoveRecords(install.path());
    EXPECT_EQ(Invoke(handler.get(), 1), S_OK);
    const std::vector<HelperRecord> records = WaitForRecords(install.path(), 1);
    ASSERT_EQ(records.size(), 1u);
    const std::wstring expected = ExpectedCommandLine(L" /createbackupjob " + name);
    EXPECT_EQ(records[0].commandLine, expected);
    std::string ansi(expected.size() * 2, '\0');
    ansi.resize(WideCharToMultiByte(CP_ACP, 0, expected.data(), static_cast<int>(expected.size()),
                                    &ansi[0], static_cast<int>(ansi.size()), nullptr, nullptr));
    EXPECT_EQ(records[0].ansiCommandLine, ansi);
    EXPECT_NE(ansi.find("Donn\xE9"
                        "es \xE9t\xE9 \x80.txt"),
              std::string::npos);
}

// A real folder whose path is longer than 300 units, from a drop list of UTF-16 names (the shell's
// own data objects cannot name it): classified as a folder and handed on whole.
TEST_F(ShellExtensionTest, AFolderWithAPathLongerThan300UnitsIsHandedOnWhole) {
    std::wstring longFolder = WithoutTrailingBackslash(selection.path());
    for (int level = 0; level < 3; ++level) {
        longFolder += L"\\" + std::wstring(100, static_cast<wchar_t>(L'a' + level));
        ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + longFolder).c_str(), nullptr));
    }
    ASSERT_GT(longFolder.size(), 300u);
    DropListDataObject data({longFolder}, true);
    Ref<IContextMenu> handler = Handler(&data);
    ASSERT_NE(handler.get(), nullptr);
    EXPECT_EQ(MenuTexts(handler.get()), kFolderEntries);
    RemoveRecords(install.path());
    EXPECT_EQ(Invoke(handler.get(), 2), S_OK);
    const std::vector<HelperRecord> records = WaitForRecords(install.path(), 1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].commandLine, ExpectedCommandLine(L" /showavailablebackups " + longFolder));
}

// The starts a DLL asked ShellExecuteW for, recorded instead of made.
struct RecordedStart {
    std::wstring verb, file, parameters, directory;
    int show;
};
std::vector<RecordedStart> recordedStarts;

HINSTANCE WINAPI RecordStart(HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters,
                             LPCWSTR directory, INT show) {
    const auto text = [](LPCWSTR s) { return s == nullptr ? std::wstring() : std::wstring(s); };
    recordedStarts.push_back({text(verb), text(file), text(parameters), text(directory), show});
    return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(33));  // started
}

// Windows starts a program in a folder, and loads it from a path, only below MAX_PATH. The DLL (as
// "tw.dll", so that it loads from there) in a folder of 250 units, where twHelper.exe's path has
// 262 units: the helper is started from the folder's short form, and, from a folder that has no
// shorter form (8.3 names have none), not at all: a start that failed, which InvokeCommand does
// not report. Wine will not start a program whose long path has MAX_PATH units by any spelling
// (Windows does by its short form), so the DLL's call of ShellExecuteW is recorded instead.
TEST_F(ShellExtensionTest, FromAFolderTooLongForTheHelperItIsStartedByItsShortForm) {
    for (const bool hasShortForm : {true, false}) {
        SCOPED_TRACE(hasShortForm ? "long names" : "8.3 names");
        FolderOfLength folder(250, hasShortForm);
        const std::wstring& deep = folder.path();
        ASSERT_EQ(deep.size(), 250u);
        ASSERT_TRUE(CopyFileTo(dll, deep + L"tw.dll"));
        ASSERT_TRUE(CopyFileTo(ExeDirectory() + L"twHelper.exe", deep + L"twHelper.exe"));
        {
            LoadedServer deepServer(deep + L"tw.dll");
            ASSERT_TRUE(deepServer.loaded());
            ASSERT_NE(ReplaceImport(deepServer.module, "shell32.dll", "ShellExecuteW",
                                    reinterpret_cast<void*>(&RecordStart)),
                      nullptr);
            Ref<IClassFactory> factory;
            ASSERT_EQ(deepServer.getClassObject(kHandlerClsid, IID_IClassFactory, factory.out()),
                      S_OK);
            Ref<IShellExtInit> init;
            ASSERT_EQ(factory->CreateInstance(nullptr, IID_IShellExtInit, init.out()), S_OK);
            DropListDataObject data({file}, true);
            ASSERT_EQ(init->Initialize(nullptr, &data, nullptr), S_OK);
            Ref<IContextMenu> menu;
            ASSERT_EQ(init->QueryInterface(IID_IContextMenu, menu.out()), S_OK);
            recordedStarts.clear();
            EXPECT_EQ(Invoke(menu.get(), 1), S_OK);
        }
        if (!hasShortForm) {
            EXPECT_TRUE(recordedStarts.empty());
            continue;
        }
        ASSERT_EQ(recordedStarts.size(), 1u);
        const RecordedStart& start = recordedStarts[0];
        EXPECT_EQ(start.verb, L"open");
        EXPECT_EQ(start.show, SW_SHOW);
        // The folder's short form, the helper in it, and the selected path whole.
        EXPECT_LT(start.directory.size(), deep.size()) << Narrow(start.directory);
        EXPECT_EQ(LongPathForm(start.directory), deep) << Narrow(start.directory);
        EXPECT_EQ(start.file, start.directory + L"twHelper.exe");
        EXPECT_EQ(LongPathForm(start.file), deep + L"twHelper.exe") << Narrow(start.file);
        EXPECT_EQ(start.parameters, L" /createbackupjob " + file);
    }
}

TEST_F(ShellExtensionTest, ComRuntimeLoadsTheHandlerFromItsRegistration) {
    // A class registration pointing at a second copy, so that only the COM runtime holds that
    // copy and its unloading can be seen. (Wine's COM runtime did not find a per-user
    // registration.)
    TempDir comInstall(L"Tarnwick COM client copy");
    const std::wstring comDll = comInstall.path() + L"twShellExt_64.dll";
    ASSERT_TRUE(CopyFileTo(dll, comDll));
    const std::wstring classKey = L"CLSID\\{9F264B80-12D4-4C4C-9158-7A1A1803FB58}";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, (classKey + L"\\InprocServer32").c_str(), 0,
                              nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const std::wstring apartment = L"Apartment";
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(comDll.c_str()),
                   static_cast<DWORD>((comDll.size() + 1) * sizeof(wchar_t)));
    RegSetValueExW(key, L"ThreadingModel", 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(apartment.c_str()),
                   static_cast<DWORD>((apartment.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);

    {
        Ref<IContextMenu> menu;
        ASSERT_EQ(CoCreateInstance(kHandlerClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IContextMenu,
                                   menu.out()),
                  S_OK);
        EXPECT_NE(GetModuleHandleW(comDll.c_str()), nullptr);
        HMENU popup = CreatePopupMenu();
        EXPECT_EQ(menu->QueryContextMenu(popup, 0, 1, 10, CMF_NORMAL), 3);
        EXPECT_EQ(GetMenuItemCount(popup), 4);
        DestroyMenu(popup);
    }
    // Nothing lives: the runtime asks DllCanUnloadNow and unloads the copy.
    CoFreeUnusedLibrariesEx(0, 0);
    EXPECT_EQ(GetModuleHandleW(comDll.c_str()), nullptr);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, classKey.c_str());
}

// Searches `directory` and everything below it for a file of that name.
bool FoundBelow(const std::wstring& directory, const std::wstring& name) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((directory + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return false;
    }
    bool seen = false;
    do {
        const std::wstring entry = found.cFileName;
        if (entry == L"." || entry == L"..") {
            continue;
        }
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
                seen = FoundBelow(directory + entry + L"\\", name);
            }
        } else {
            seen = lstrcmpiW(entry.c_str(), name.c_str()) == 0;
        }
    } while (!seen && FindNextFileW(search, &found));
    FindClose(search);
    return seen;
}

// Runs last: after all the menus above, the log file name never became a file.
TEST(DiagnosticLog, NoLogFileAnywhereAfterAllTheMenus) {
    EXPECT_FALSE(FoundBelow(L"C:\\", L"___tarnlog.txt"));
    EXPECT_FALSE(FileExists(CurrentDirectory() + L"___tarnlog.txt"));
    EXPECT_FALSE(FileExists(ExeDirectory() + L"___tarnlog.txt"));
}

}  // namespace
}  // namespace tw::test
