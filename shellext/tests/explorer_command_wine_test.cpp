// The real twShellExt_64.dll's Explorer command under Wine, driven the way Windows 11's Explorer
// drives it: the command from DllGetClassObject, selections the shell itself makes from a name
// (SHCreateItemFromParsingName, SHCreateShellItemArrayFromShellItem), the tree Explorer would draw
// from it (title, icon, flags, state, the subcommands' titles), and the helper starts of the
// subcommands, recorded by a stand-in twHelper.exe beside the DLL in a folder whose path has
// spaces.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <memory>
#include <string>
#include <vector>

#include "installed_server_test.h"
#include "shellext_wine_support.h"
#include "winsupport.h"

namespace tw::test {
namespace {

// A string an out parameter handed over, freed; "(failed)" when the call failed.
std::wstring Take(HRESULT hr, LPWSTR text) {
    const std::wstring copy = SUCCEEDED(hr) && text != nullptr ? text : L"(failed)";
    CoTaskMemFree(text);
    return copy;
}

class ExplorerCommandTest : public InstalledServerTest {
  protected:
    ExplorerCommandTest() : InstalledServerTest(L"Tarnwick Explorer command with spaces") {}

    void SetUp() override {
        InstalledServerTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        file = selection.path() + L"My Documents\\a b.txt";
        folder = selection.path() + L"Photo Folder";
        cyrillicFile = selection.path() + L"\u041E\u0442\u0447\u0451\u0442 2026.txt";
        cyrillicFolder = selection.path() + L"\u0424\u043E\u0442\u043E";
        zip = selection.path() + L"Archive.zip";
        ASSERT_TRUE(CreateDirectoryW((selection.path() + L"My Documents").c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryW(cyrillicFolder.c_str(), nullptr));
        ASSERT_TRUE(WriteFileBytes(file, "x"));
        ASSERT_TRUE(WriteFileBytes(cyrillicFile, "x"));
        // An empty zip archive: its end-of-central-directory record alone.
        ASSERT_TRUE(WriteFileBytes(zip, std::string("PK\x05\x06", 4) + std::string(18, '\0')));
    }

    // The command as Explorer makes it: the class object of the class the package declares.
    Ref<IExplorerCommand> Root() {
        Ref<IClassFactory> factory;
        Ref<IExplorerCommand> root;
        EXPECT_EQ(server->getClassObject(kExplorerCommandClsid, IID_IClassFactory, factory.out()),
                  S_OK);
        if (factory.get() != nullptr) {
            EXPECT_EQ(factory->CreateInstance(nullptr, IID_IExplorerCommand, root.out()), S_OK);
        }
        return root;
    }

    // The root's subcommands as Explorer reads them: one at a time until there are no more.
    static std::vector<Ref<IExplorerCommand>> Subcommands(IExplorerCommand* root) {
        std::vector<Ref<IExplorerCommand>> subcommands;
        Ref<IEnumExplorerCommand> enumerator;
        EXPECT_EQ(root->EnumSubCommands(reinterpret_cast<IEnumExplorerCommand**>(enumerator.out())),
                  S_OK);
        for (int guard = 0; enumerator.get() != nullptr && guard < 10; ++guard) {
            IExplorerCommand* next = nullptr;
            ULONG fetched = 0;
            if (enumerator->Next(1, &next, &fetched) != S_OK || fetched != 1) {
                break;
            }
            subcommands.emplace_back(next);
        }
        return subcommands;
    }

    static Ref<IShellItemArray> Selection(const std::wstring& name) {
        Ref<IShellItemArray> items;
        EXPECT_EQ(ShellSelection(name, reinterpret_cast<IShellItemArray**>(items.out())), S_OK)
            << Narrow(name);
        return items;
    }

    static std::wstring Title(IExplorerCommand* command, IShellItemArray* items) {
        LPWSTR title = nullptr;
        const HRESULT hr = command->GetTitle(items, &title);
        return Take(hr, title);
    }
    static EXPCMDSTATE State(IExplorerCommand* command, IShellItemArray* items) {
        EXPCMDSTATE state = 0x55;
        EXPECT_EQ(command->GetState(items, FALSE, &state), S_OK);
        return state;
    }

    std::wstring file, folder, cyrillicFile, cyrillicFolder, zip;
};

TEST_F(ExplorerCommandTest, TheTreeExplorerDrawsForFilesAndFolders) {
    struct Case {
        const std::wstring& name;
        bool isFolder;
    };
    const Case cases[] = {
        {file, false}, {folder, true}, {cyrillicFile, false}, {cyrillicFolder, true}, {zip, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.name));
        Ref<IShellItemArray> items = Selection(c.name);
        ASSERT_NE(items.get(), nullptr);
        Ref<IExplorerCommand> root = Root();
        ASSERT_NE(root.get(), nullptr);
        EXPECT_EQ(Title(root.get(), items.get()), L"Tarnwick");
        EXPCMDFLAGS flags = 0x55;
        EXPECT_EQ(root->GetFlags(&flags), S_OK);
        EXPECT_EQ(flags, static_cast<EXPCMDFLAGS>(ECF_HASSUBCOMMANDS));
        EXPECT_EQ(State(root.get(), items.get()), static_cast<EXPCMDSTATE>(ECS_ENABLED));
        std::vector<Ref<IExplorerCommand>> subcommands = Subcommands(root.get());
        ASSERT_EQ(subcommands.size(), 2u);
        EXPECT_EQ(Title(subcommands[0].get(), items.get()),
                  c.isFolder ? L"Backup this folder" : L"Backup this file");
        EXPECT_EQ(Title(subcommands[1].get(), items.get()),
                  c.isFolder ? L"Show available backups" : L"Restore this file");
        for (const Ref<IExplorerCommand>& subcommand : subcommands) {
            EXPECT_EQ(subcommand->GetFlags(&flags), S_OK);
            EXPECT_EQ(flags, static_cast<EXPCMDFLAGS>(ECF_DEFAULT));
            EXPECT_EQ(State(subcommand.get(), items.get()), static_cast<EXPCMDSTATE>(ECS_ENABLED));
        }
        subcommands.clear();
        root.Reset();
        items.Reset();
        EXPECT_EQ(server->canUnloadNow(), S_OK);
    }
}

// A selection with no items, which Explorer never makes and Wine's shell cannot (it refuses an
// array of none): a stand-in.
class EmptySelection : public IShellItemArray {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override {
        if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IShellItemArray)) {
            *result = static_cast<IShellItemArray*>(this);
            return S_OK;
        }
        *result = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE BindToHandler(IBindCtx*, REFGUID, REFIID, void** out) override {
        *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetPropertyStore(GETPROPERTYSTOREFLAGS, REFIID, void** out) override {
        *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetPropertyDescriptionList(REFPROPERTYKEY, REFIID,
                                                         void** out) override {
        *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetAttributes(SIATTRIBFLAGS, SFGAOF, SFGAOF* out) override {
        *out = 0;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetCount(DWORD* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetItemAt(DWORD, IShellItem** item) override {
        *item = nullptr;
        return E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE EnumItems(IEnumShellItems** out) override {
        *out = nullptr;
        return E_NOTIMPL;
    }
};

// Items without a file-system path, as Wine's shell makes them from their parsing names (measured
// with Wine 8.0: all three are made, and none has a SIGDN_FILESYSPATH name), and a selection of
// none: the whole tree is hidden, and no subcommand starts anything.
TEST_F(ExplorerCommandTest, HiddenForVirtualItemsAndEmptySelections) {
    const wchar_t* const virtualItems[] = {
        L"::{20D04FE0-3AEA-1069-A2D8-08002B30309D}",  // This PC
        L"::{20D04FE0-3AEA-1069-A2D8-08002B30309D}\\::{21EC2020-3AEA-1069-A2DD-08002B30309D}",
        L"::{645FF040-5081-101B-9F08-00AA002F954E}",  // the Recycle Bin
    };
    EmptySelection empty;
    std::vector<Ref<IShellItemArray>> selections;
    for (const wchar_t* name : virtualItems) {
        selections.push_back(Selection(name));
        ASSERT_NE(selections.back().get(), nullptr) << Narrow(name);
    }
    Ref<IExplorerCommand> root = Root();
    ASSERT_NE(root.get(), nullptr);
    std::vector<Ref<IExplorerCommand>> subcommands = Subcommands(root.get());
    ASSERT_EQ(subcommands.size(), 2u);
    std::vector<IShellItemArray*> arrays = {&empty, nullptr};
    for (const Ref<IShellItemArray>& s : selections) {
        arrays.push_back(s.get());
    }
    for (IShellItemArray* items : arrays) {
        EXPECT_EQ(State(root.get(), items), static_cast<EXPCMDSTATE>(ECS_HIDDEN));
        for (const Ref<IExplorerCommand>& subcommand : subcommands) {
            EXPECT_EQ(State(subcommand.get(), items), static_cast<EXPCMDSTATE>(ECS_HIDDEN));
            EXPECT_EQ(subcommand->Invoke(items, nullptr), E_INVALIDARG);
        }
    }
    Sleep(500);
    EXPECT_TRUE(WaitForRecords(install.path(), 1, 0).empty());
}

// "<the DLL's path>,-206", as the shell reads an icon location, names the DLL's icon group: the
// emblem with its alpha channel, at the sizes the system asks for.
TEST_F(ExplorerCommandTest, TheIconStringNamesAnIconOfTheDll) {
    Ref<IExplorerCommand> root = Root();
    ASSERT_NE(root.get(), nullptr);
    std::vector<IExplorerCommand*> nodes = {root.get()};
    std::vector<Ref<IExplorerCommand>> subcommands = Subcommands(root.get());
    for (const Ref<IExplorerCommand>& subcommand : subcommands) {
        nodes.push_back(subcommand.get());
    }
    Ref<IShellItemArray> items = Selection(file);
    for (IExplorerCommand* node : nodes) {
        LPWSTR text = nullptr;
        const HRESULT hr = node->GetIcon(items.get(), &text);
        EXPECT_EQ(Take(hr, text), dll + L",-206");
    }

    LPWSTR text = nullptr;
    const HRESULT hr = root->GetIcon(items.get(), &text);
    std::wstring location = Take(hr, text);
    const int index = PathParseIconLocationW(&location[0]);
    EXPECT_EQ(index, -206);
    EXPECT_EQ(std::wstring(location.c_str()), dll);
    HICON large = nullptr;
    HICON small = nullptr;
    EXPECT_GT(ExtractIconExW(location.c_str(), index, &large, &small, 1), 0u);
    ASSERT_NE(large, nullptr);
    ASSERT_NE(small, nullptr);
    // Loaded at each size the file holds and between them, every icon is the emblem: 32-bit, a
    // transparent corner, an opaque orange left of the arrow.
    std::vector<HICON> icons = {large, small};
    HMODULE module = GetModuleHandleW(dll.c_str());
    ASSERT_NE(module, nullptr);
    for (int side : {16, 20, 24, 32, 40, 48}) {
        icons.push_back(static_cast<HICON>(
            LoadImageW(module, MAKEINTRESOURCEW(-index), IMAGE_ICON, side, side, 0)));
        ASSERT_NE(icons.back(), nullptr) << side;
    }
    for (HICON icon : icons) {
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP colour = {};
        ASSERT_EQ(GetObjectW(info.hbmColor, sizeof(colour), &colour),
                  static_cast<int>(sizeof(colour)));
        const int side = colour.bmWidth;
        EXPECT_EQ(colour.bmHeight, side);
        EXPECT_EQ(colour.bmBitsPixel, 32) << side;
        BITMAPINFO format = {};
        format.bmiHeader.biSize = sizeof(format.bmiHeader);
        format.bmiHeader.biWidth = side;
        format.bmiHeader.biHeight = -side;  // rows from the top
        format.bmiHeader.biPlanes = 1;
        format.bmiHeader.biBitCount = 32;
        format.bmiHeader.biCompression = BI_RGB;
        std::vector<DWORD> pixels(static_cast<size_t>(side) * side);
        HDC dc = CreateCompatibleDC(nullptr);
        EXPECT_EQ(GetDIBits(dc, info.hbmColor, 0, side, pixels.data(), &format, DIB_RGB_COLORS),
                  side);
        DeleteDC(dc);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        EXPECT_EQ(pixels[0] >> 24, 0u) << side;  // transparent corner
        const DWORD emblem = pixels[static_cast<size_t>(side * 8 / 16) * side + side * 4 / 16];
        EXPECT_EQ(emblem >> 24, 0xFFu) << side;
        EXPECT_GT((emblem >> 16) & 0xFF, (emblem >> 8) & 0xFF) << side;  // red over green
        EXPECT_GT((emblem >> 8) & 0xFF, emblem & 0xFF) << side;          // green over blue
        DestroyIcon(icon);
    }
}

// Picking a subcommand starts the helper with exactly the classic entry's command line, in the
// DLL's folder, for a file and a folder named in any script.
TEST_F(ExplorerCommandTest, SubcommandsStartTheHelperBesideTheDll) {
    std::wstring installDirectory = install.path();
    installDirectory.pop_back();  // Wine shows the current directory without its backslash
    struct Case {
        const std::wstring& name;
        std::wstring first, second;
    };
    const Case cases[] = {
        {file, L" /createbackupjob " + file, L" /viewsnapshots " + file},
        {folder, L" /createbackupjob " + folder, L" /showavailablebackups " + folder},
        {cyrillicFile, L" /createbackupjob " + cyrillicFile, L" /viewsnapshots " + cyrillicFile},
        {cyrillicFolder, L" /createbackupjob " + cyrillicFolder,
         L" /showavailablebackups " + cyrillicFolder},
        {zip, L" /createbackupjob " + zip, L" /viewsnapshots " + zip},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.name));
        Ref<IShellItemArray> items = Selection(c.name);
        Ref<IExplorerCommand> root = Root();
        ASSERT_NE(root.get(), nullptr);
        EXPECT_EQ(root->Invoke(items.get(), nullptr), E_NOTIMPL);  // it only opens its submenu
        std::vector<Ref<IExplorerCommand>> subcommands = Subcommands(root.get());
        ASSERT_EQ(subcommands.size(), 2u);
        const std::wstring* parameters[] = {&c.first, &c.second};
        for (size_t i = 0; i < subcommands.size(); ++i) {
            RemoveRecords(install.path());
            EXPECT_EQ(subcommands[i]->Invoke(items.get(), nullptr), S_OK);
            const std::vector<HelperRecord> records = WaitForRecords(install.path(), 1);
            ASSERT_EQ(records.size(), 1u);
            EXPECT_EQ(records[0].commandLine, ExpectedCommandLine(*parameters[i]));
            EXPECT_EQ(records[0].currentDirectory, installDirectory);
        }
        subcommands.clear();
        root.Reset();
        items.Reset();
        EXPECT_EQ(server->canUnloadNow(), S_OK);
    }
    // Nothing else was started meanwhile.
    Sleep(500);
    EXPECT_EQ(WaitForRecords(install.path(), 2, 0).size(), 1u);
}

}  // namespace
}  // namespace tw::test
