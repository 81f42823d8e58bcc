// The Explorer command on the host stand-ins: the tree it shows (titles from the selection it is
// given, flags, icon), its state for every kind of selection, the helper starts of its subcommands
// beside the classic handler's, its enumerator, and its counting, identity and failures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "explorer_command.h"
#include "fake_com_platform.h"
#include "fake_module.h"
#include "fake_outer_unknown.h"
#include "fake_process_starter.h"
#include "fake_shell.h"
#include "simple_shl_ext.h"
#include "utf16.h"

namespace tw {
namespace {

const std::u16string kModule = u"C:\\Program Files\\Tarnwick Client's App\\twShellExt_64.dll";
const std::u16string kDirectory = u"C:\\Program Files\\Tarnwick Client's App\\";

// A string an out parameter handed over, freed.
std::u16string Take(LPWSTR text) {
    const std::u16string copy = text == nullptr ? u"(null)" : reinterpret_cast<char16_t*>(text);
    com::FreeTaskMemory(text);
    return copy;
}

// An item of the kind the shell makes for a file (no attributes asked for), a folder or a .zip
// (a folder that is also a stream), and one without a file-system path.
FakeShellItem Item(const std::u16string& path, SFGAOF attributes = 0) {
    FakeShellItem item;
    item.path = path;
    item.attributes = attributes;
    return item;
}
FakeShellItem VirtualItem() {
    FakeShellItem item;
    item.hasPath = false;
    item.attributes = SFGAO_FOLDER;
    return item;
}

class ExplorerCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        shell.starter = &starter;
        shell.moduleFileName = kModule;
        liveTaskMemory = com::fake::LiveTaskAllocations();
    }
    void TearDown() override {
        // Every object is gone with its module lock, every platform string was freed.
        EXPECT_EQ(module.lockCount, 0);
        EXPECT_EQ(com::fake::LiveTaskAllocations(), liveTaskMemory);
    }

    // The root, made as the class object makes it.
    IExplorerCommand* Root() {
        void* made = nullptr;
        EXPECT_EQ(CExplorerCommand::CreateInstance(nullptr, IID_IExplorerCommand, &made), S_OK);
        return static_cast<IExplorerCommand*>(made);
    }

    // The root's subcommands, in order, from its enumerator.
    std::vector<IExplorerCommand*> Subcommands(IExplorerCommand* root) {
        IEnumExplorerCommand* enumerator = nullptr;
        EXPECT_EQ(root->EnumSubCommands(&enumerator), S_OK);
        std::vector<IExplorerCommand*> subcommands(kSubCommandCount + 1, nullptr);
        ULONG fetched = 0;
        EXPECT_EQ(enumerator->Next(kSubCommandCount + 1, subcommands.data(), &fetched), S_FALSE);
        EXPECT_EQ(fetched, kSubCommandCount);
        subcommands.resize(fetched);
        enumerator->Release();
        return subcommands;
    }

    static std::u16string Title(IExplorerCommand* command, IShellItemArray* selection) {
        LPWSTR title = nullptr;
        const HRESULT hr = command->GetTitle(selection, &title);
        return SUCCEEDED(hr) ? Take(title) : u"failed";
    }
    static EXPCMDSTATE State(IExplorerCommand* command, IShellItemArray* selection) {
        EXPCMDSTATE state = 0x55;
        EXPECT_EQ(command->GetState(selection, FALSE, &state), S_OK);
        return state;
    }
    static std::u16string Icon(IExplorerCommand* command) {
        LPWSTR icon = nullptr;
        const HRESULT hr = command->GetIcon(nullptr, &icon);
        return SUCCEEDED(hr) ? Take(icon) : u"failed";
    }

    FakeModule module;
    FakeShell shell;
    FakeProcessStarter starter;
    int liveTaskMemory = 0;
};

TEST_F(ExplorerCommandTest, TheRootIsTarnwickWithTwoSubcommandsAndTheDllsIcon) {
    IExplorerCommand* root = Root();
    FakeShellItem file = Item(u"C:\\Data\\a.txt");
    FakeShellItem folder = Item(u"C:\\Data", SFGAO_FOLDER);
    FakeShellItemArray forFile, forFolder;
    forFile.items = {&file};
    forFolder.items = {&folder};
    for (IShellItemArray* selection :
         std::vector<IShellItemArray*>{&forFile, &forFolder, nullptr}) {
        EXPECT_EQ(Title(root, selection), u"Tarnwick");
    }
    EXPCMDFLAGS flags = 0x55;
    EXPECT_EQ(root->GetFlags(&flags), S_OK);
    EXPECT_EQ(flags, ECF_HASSUBCOMMANDS);
    EXPECT_EQ(Icon(root), kModule + u",-206");
    GUID name = GUID_NULL;
    EXPECT_EQ(root->GetCanonicalName(&name), S_OK);
    EXPECT_EQ(name, CLSID_ExplorerCommand);
    LPWSTR tip = reinterpret_cast<LPWSTR>(&name);
    EXPECT_EQ(root->GetToolTip(&forFile, &tip), E_NOTIMPL);
    EXPECT_EQ(tip, nullptr);
    // The root only opens its submenu.
    EXPECT_EQ(root->Invoke(&forFile, nullptr), E_NOTIMPL);
    EXPECT_TRUE(starter.requests.empty());
    root->Release();
    EXPECT_EQ(file.references + folder.references, 0);
}

// Each subcommand reads its title from the selection it is given, the same object for a file and
// for a folder; the texts are the classic menu's.
TEST_F(ExplorerCommandTest, SubcommandTitlesComeFromTheSelectionTheyAreGiven) {
    IExplorerCommand* root = Root();
    const std::vector<IExplorerCommand*> subcommands = Subcommands(root);
    ASSERT_EQ(subcommands.size(), 2u);
    FakeShellItem file = Item(u"C:\\a.txt");
    FakeShellItem folder = Item(u"C:\\Photos", SFGAO_FOLDER);
    FakeShellItem zip = Item(u"C:\\a.zip", SFGAO_FOLDER | SFGAO_STREAM);
    FakeShellItem stream = Item(u"C:\\b.bin", SFGAO_STREAM);
    FakeShellItem unreadable = Item(u"C:\\c", SFGAO_FOLDER);
    unreadable.attributesResult = E_FAIL;
    FakeShellItem virtualFolder = VirtualItem();
    struct Case {
        const char* what;
        std::vector<FakeShellItem*> items;
        bool isFile;
    };
    const Case cases[] = {
        {"file", {&file}, true},
        {"folder", {&folder}, false},
        {".zip, a folder that is a stream", {&zip}, true},
        {"stream", {&stream}, true},
        {"attributes unreadable", {&unreadable}, true},
        {"virtual folder (titles only: it is hidden)", {&virtualFolder}, false},
        {"folder first of several", {&folder, &file}, false},
        {"file first of several", {&file, &folder}, true},
        {"empty selection", {}, true},
    };
    for (const Case& c : cases) {
        FakeShellItemArray selection;
        selection.items = c.items;
        EXPECT_EQ(Title(subcommands[0], &selection),
                  c.isFile ? u"Backup this file" : u"Backup this folder")
            << c.what;
        EXPECT_EQ(Title(subcommands[1], &selection),
                  c.isFile ? u"Restore this file" : u"Show available backups")
            << c.what;
    }
    EXPECT_EQ(Title(subcommands[1], nullptr), u"Restore this file");
    for (FakeShellItem* item : {&file, &folder, &zip, &stream, &unreadable, &virtualFolder}) {
        EXPECT_EQ(item->references, 0);
        for (SFGAOF mask : item->askedAttributes) {
            EXPECT_EQ(mask, SFGAO_FOLDER | SFGAO_STREAM);
        }
    }
    // Only the first item is asked.
    EXPECT_EQ(file.askedAttributes.size(), 4u);
    for (IExplorerCommand* subcommand : subcommands) {
        EXPCMDFLAGS flags = 0x55;
        EXPECT_EQ(subcommand->GetFlags(&flags), S_OK);
        EXPECT_EQ(flags, ECF_DEFAULT);
        EXPECT_EQ(Icon(subcommand), kModule + u",-206");
        IEnumExplorerCommand* none = reinterpret_cast<IEnumExplorerCommand*>(root);
        EXPECT_EQ(subcommand->EnumSubCommands(&none), E_NOTIMPL);
        EXPECT_EQ(none, nullptr);
        GUID name = CLSID_ExplorerCommand;
        EXPECT_EQ(subcommand->GetCanonicalName(&name), E_NOTIMPL);
        EXPECT_EQ(name, GUID_NULL);
        subcommand->Release();
    }
    root->Release();
}

TEST_F(ExplorerCommandTest, HiddenUnlessTheFirstItemHasAFileSystemPath) {
    FakeShellItem file = Item(u"C:\\a.txt");
    FakeShellItem folder = Item(u"C:\\Photos", SFGAO_FOLDER);
    FakeShellItem zip = Item(u"C:\\a.zip", SFGAO_FOLDER | SFGAO_STREAM);
    FakeShellItem virtualFolder = VirtualItem();
    FakeShellItem emptyPath = Item(u"");
    struct Case {
        const char* what;
        std::vector<FakeShellItem*> items;
        HRESULT countResult, itemResult;
        EXPCMDSTATE state;
    };
    const Case cases[] = {
        {"file", {&file}, S_OK, S_OK, ECS_ENABLED},
        {"folder", {&folder}, S_OK, S_OK, ECS_ENABLED},
        {".zip", {&zip}, S_OK, S_OK, ECS_ENABLED},
        {"file, then a virtual item", {&file, &virtualFolder}, S_OK, S_OK, ECS_ENABLED},
        {"virtual item", {&virtualFolder}, S_OK, S_OK, ECS_HIDDEN},
        {"virtual item, then a file", {&virtualFolder, &file}, S_OK, S_OK, ECS_HIDDEN},
        {"empty path", {&emptyPath}, S_OK, S_OK, ECS_HIDDEN},
        {"empty selection", {}, S_OK, S_OK, ECS_HIDDEN},
        {"count unreadable", {&file}, E_FAIL, S_OK, ECS_HIDDEN},
        {"item unreadable", {&file}, S_OK, E_FAIL, ECS_HIDDEN},
    };
    IExplorerCommand* root = Root();
    std::vector<IExplorerCommand*> nodes = Subcommands(root);
    nodes.insert(nodes.begin(), root);
    for (const Case& c : cases) {
        FakeShellItemArray selection;
        selection.items = c.items;
        selection.countResult = c.countResult;
        selection.itemResult = c.itemResult;
        for (IExplorerCommand* node : nodes) {
            EXPECT_EQ(State(node, &selection), c.state) << c.what;
        }
    }
    for (IExplorerCommand* node : nodes) {
        EXPECT_EQ(State(node, nullptr), ECS_HIDDEN);
        EXPECT_EQ(node->GetState(nullptr, TRUE, nullptr), E_POINTER);
        node->Release();
    }
    for (FakeShellItem* item : {&file, &folder, &zip, &virtualFolder, &emptyPath}) {
        EXPECT_EQ(item->references, 0);
        for (SIGDN form : item->askedNames) {
            EXPECT_EQ(form, SIGDN_FILESYSPATH);
        }
    }
    // The state asks nothing of the attributes.
    EXPECT_TRUE(file.askedAttributes.empty());
}

// Picking a subcommand starts the helper exactly as the classic handler's entry of the same offset
// does for the same item: the same request, through the same command code.
TEST_F(ExplorerCommandTest, SubcommandsStartTheHelperAsTheClassicEntriesDo) {
    struct Case {
        std::u16string path;
        SFGAOF attributes;
        bool isFile;
    };
    const Case cases[] = {
        {u"C:\\Data\\My Documents\\a b.txt", 0, true},
        {u"D:\\Photos\\", SFGAO_FOLDER, false},
        {u"C:\\Data\\archive.zip", SFGAO_FOLDER | SFGAO_STREAM, true},
        {u"C:\\Данные\\Отчёт \U0001F4F7.txt", 0, true},
        {u"C:\\" + std::u16string(300, u'д'), SFGAO_FOLDER, false},
        {u"\\\\server\\share\\" + std::u16string(32000, u'x'), 0, true},
    };
    const std::vector<StartRequest> expectedForFirst = {
        {u"open", kDirectory + u"twHelper.exe",
         u" /createbackupjob C:\\Data\\My Documents\\a b.txt", kDirectory, 5},
        {u"open", kDirectory + u"twHelper.exe", u" /viewsnapshots C:\\Data\\My Documents\\a b.txt",
         kDirectory, 5},
    };
    IExplorerCommand* root = Root();
    const std::vector<IExplorerCommand*> subcommands = Subcommands(root);
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.path.substr(0, 40)));
        // What the classic handler starts for this item.
        void* made = nullptr;
        ASSERT_EQ(CComObject<CSimpleShlExt>::CreateInstance(IID_IContextMenu, &made), S_OK);
        auto* handler = static_cast<CSimpleShlExt*>(static_cast<IContextMenu*>(made));
        handler->selectedPath = c.path;
        handler->selectionIsFile = c.isFile;
        starter.requests.clear();
        for (uintptr_t offset : {1u, 2u}) {
            CMINVOKECOMMANDINFO info = {};
            info.cbSize = sizeof(info);
            info.lpVerb = reinterpret_cast<LPCSTR>(offset);
            EXPECT_EQ(handler->InvokeCommand(&info), S_OK);
        }
        static_cast<IContextMenu*>(handler)->Release();
        const std::vector<StartRequest> classic = starter.requests;
        ASSERT_EQ(classic.size(), 2u);

        FakeShellItem item = Item(c.path, c.attributes);
        FakeShellItem other = Item(u"C:\\other.txt");
        FakeShellItemArray selection;
        selection.items = {&item, &other};
        starter.requests.clear();
        EXPECT_EQ(subcommands[0]->Invoke(&selection, nullptr), S_OK);
        EXPECT_EQ(subcommands[1]->Invoke(&selection, nullptr), S_OK);
        EXPECT_EQ(starter.requests, classic);
        EXPECT_EQ(item.references + other.references, 0);
        EXPECT_TRUE(other.askedNames.empty());
        if (&c == &cases[0]) {
            EXPECT_EQ(starter.requests, expectedForFirst);
        }
    }
    // A helper that cannot be started is not reported, as in the classic menu.
    starter.refuseAll = true;
    FakeShellItem file = Item(u"C:\\a.txt");
    FakeShellItemArray selection;
    selection.items = {&file};
    starter.requests.clear();
    EXPECT_EQ(subcommands[0]->Invoke(&selection, nullptr), S_OK);
    EXPECT_EQ(starter.requests.size(), 1u);
    for (IExplorerCommand* subcommand : subcommands) {
        subcommand->Release();
    }
    root->Release();
}

TEST_F(ExplorerCommandTest, WithoutAFileSystemPathNothingIsStarted) {
    FakeShellItem virtualFolder = VirtualItem();
    FakeShellItem emptyPath = Item(u"");
    FakeShellItemArray forVirtual, forEmptyPath, empty;
    forVirtual.items = {&virtualFolder};
    forEmptyPath.items = {&emptyPath};
    IExplorerCommand* root = Root();
    const std::vector<IExplorerCommand*> subcommands = Subcommands(root);
    for (IExplorerCommand* subcommand : subcommands) {
        for (IShellItemArray* selection :
             std::vector<IShellItemArray*>{&forVirtual, &forEmptyPath, &empty, nullptr}) {
            EXPECT_EQ(subcommand->Invoke(selection, nullptr), E_INVALIDARG);
        }
        subcommand->Release();
    }
    root->Release();
    EXPECT_TRUE(starter.requests.empty());
    EXPECT_EQ(virtualFolder.references + emptyPath.references, 0);
}

TEST_F(ExplorerCommandTest, TheEnumeratorHandsOutTheTwoSubcommandsInOrder) {
    FakeShellItem file = Item(u"C:\\a.txt");
    FakeShellItemArray selection;
    selection.items = {&file};
    IExplorerCommand* root = Root();
    IEnumExplorerCommand* enumerator = nullptr;
    ASSERT_EQ(root->EnumSubCommands(&enumerator), S_OK);
    EXPECT_EQ(module.lockCount, 2);

    // One at a time, as Explorer asks, with and without a count.
    IExplorerCommand* first = nullptr;
    IExplorerCommand* second = nullptr;
    IExplorerCommand* none = root;
    ULONG fetched = 7;
    EXPECT_EQ(enumerator->Next(1, &first, nullptr), S_OK);
    EXPECT_EQ(enumerator->Next(1, &second, &fetched), S_OK);
    EXPECT_EQ(fetched, 1u);
    EXPECT_EQ(enumerator->Next(1, &none, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 0u);
    EXPECT_EQ(none, root);  // nothing written
    EXPECT_EQ(Title(first, &selection), u"Backup this file");
    EXPECT_EQ(Title(second, &selection), u"Restore this file");
    EXPECT_EQ(module.lockCount, 4);

    // Back to the start; a clone goes on from where it was made.
    EXPECT_EQ(enumerator->Reset(), S_OK);
    EXPECT_EQ(enumerator->Skip(1), S_OK);
    IEnumExplorerCommand* clone = nullptr;
    ASSERT_EQ(enumerator->Clone(&clone), S_OK);
    IExplorerCommand* fromClone[2] = {};
    EXPECT_EQ(clone->Next(2, fromClone, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 1u);
    EXPECT_EQ(Title(fromClone[0], &selection), u"Restore this file");
    fromClone[0]->Release();
    EXPECT_EQ(enumerator->Skip(5), S_FALSE);
    EXPECT_EQ(clone->Skip(0), S_OK);
    clone->Release();

    // Wrong arguments.
    EXPECT_EQ(enumerator->Next(1, nullptr, &fetched), E_POINTER);
    IExplorerCommand* two[2] = {};
    EXPECT_EQ(enumerator->Reset(), S_OK);
    EXPECT_EQ(enumerator->Next(2, two, nullptr), E_INVALIDARG);
    EXPECT_EQ(two[0], nullptr);
    EXPECT_EQ(enumerator->Next(2, two, &fetched), S_OK);
    EXPECT_EQ(fetched, 2u);
    two[0]->Release();
    two[1]->Release();
    EXPECT_EQ(enumerator->Clone(nullptr), E_POINTER);

    enumerator->Release();
    first->Release();
    EXPECT_EQ(module.lockCount, 2);  // the root and the second subcommand
    root->Release();
    second->Release();
    EXPECT_EQ(file.references, 0);
}

// Objects count themselves in the module; identity and interfaces; aggregation is refused.
TEST_F(ExplorerCommandTest, CountingIdentityAndInterfaces) {
    void* made = nullptr;
    ASSERT_EQ(CExplorerCommand::CreateClassObject(&CExplorerCommand::CreateInstance,
                                                  IID_IClassFactory, &made),
              S_OK);
    auto* factory = static_cast<IClassFactory*>(made);

    FakeOuterUnknown outer;
    for (const IID* iid : {&IID_IUnknown, &IID_IExplorerCommand}) {
        void* result = reinterpret_cast<void*>(1);
        EXPECT_EQ(factory->CreateInstance(&outer, *iid, &result), CLASS_E_NOAGGREGATION);
        EXPECT_EQ(result, nullptr);
    }
    EXPECT_TRUE(outer.queried.empty());
    EXPECT_EQ(module.lockCount, 0);

    void* unknown = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, &unknown), S_OK);
    factory->Release();
    EXPECT_EQ(module.lockCount, 1);  // the command
    IExplorerCommand* command = nullptr;
    ASSERT_EQ(static_cast<IUnknown*>(unknown)->QueryInterface(IID_IExplorerCommand,
                                                              reinterpret_cast<void**>(&command)),
              S_OK);
    void* identity = nullptr;
    ASSERT_EQ(command->QueryInterface(IID_IUnknown, &identity), S_OK);
    EXPECT_EQ(identity, unknown);
    static_cast<IUnknown*>(identity)->Release();
    for (const IID* other :
         {&IID_IContextMenu, &IID_IShellExtInit, &IID_IEnumExplorerCommand, &IID_IClassFactory}) {
        void* none = reinterpret_cast<void*>(1);
        EXPECT_EQ(command->QueryInterface(*other, &none), E_NOINTERFACE);
        EXPECT_EQ(none, nullptr);
    }
    IEnumExplorerCommand* enumerator = nullptr;
    ASSERT_EQ(command->EnumSubCommands(&enumerator), S_OK);
    void* enumeratorIdentity = nullptr;
    ASSERT_EQ(enumerator->QueryInterface(IID_IUnknown, &enumeratorIdentity), S_OK);
    EXPECT_EQ(enumeratorIdentity, static_cast<void*>(enumerator));
    static_cast<IUnknown*>(enumeratorIdentity)->Release();
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(enumerator->QueryInterface(IID_IExplorerCommand, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);

    // The object outlives its creator's references: the enumerator holds none of the root.
    EXPECT_EQ(static_cast<IUnknown*>(unknown)->Release(), 1u);
    EXPECT_EQ(command->Release(), 0u);
    EXPECT_EQ(module.lockCount, 1);
    EXPECT_EQ(enumerator->Release(), 0u);
    EXPECT_EQ(module.lockCount, 0);

    // Null result locations.
    IExplorerCommand* root = Root();
    EXPECT_EQ(root->GetTitle(nullptr, nullptr), E_POINTER);
    EXPECT_EQ(root->GetIcon(nullptr, nullptr), E_POINTER);
    EXPECT_EQ(root->GetToolTip(nullptr, nullptr), E_POINTER);
    EXPECT_EQ(root->GetCanonicalName(nullptr), E_POINTER);
    EXPECT_EQ(root->GetFlags(nullptr), E_POINTER);
    EXPECT_EQ(root->EnumSubCommands(nullptr), E_POINTER);
    EXPECT_EQ(root->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    root->Release();
}

// Out of memory and a platform that cannot name the DLL: every method answers with a result, none
// lets an exception out, nothing is started and nothing is left held.
TEST_F(ExplorerCommandTest, FailuresAreResultsAndLeaveNothingBehind) {
    FakeShellItem file = Item(u"C:\\a.txt");
    FakeShellItemArray selection;
    selection.items = {&file};
    IExplorerCommand* root = Root();

    void* none = reinterpret_cast<void*>(1);
    com::fake::FailAllocations(1);
    EXPECT_EQ(CExplorerCommand::CreateInstance(nullptr, IID_IExplorerCommand, &none),
              E_OUTOFMEMORY);
    EXPECT_EQ(none, nullptr);
    IEnumExplorerCommand* enumerator = reinterpret_cast<IEnumExplorerCommand*>(root);
    com::fake::FailAllocations(1);
    EXPECT_EQ(root->EnumSubCommands(&enumerator), E_OUTOFMEMORY);
    EXPECT_EQ(enumerator, nullptr);
    EXPECT_EQ(module.lockCount, 1);

    // The second of two subcommands cannot be made: neither is handed out, and the position stays.
    ASSERT_EQ(root->EnumSubCommands(&enumerator), S_OK);
    IExplorerCommand* two[2] = {};
    ULONG fetched = 7;
    com::fake::FailAllocations(1, 1);
    EXPECT_EQ(enumerator->Next(2, two, &fetched), E_OUTOFMEMORY);
    EXPECT_EQ(fetched, 0u);
    EXPECT_EQ(two[0], nullptr);
    EXPECT_EQ(two[1], nullptr);
    EXPECT_EQ(module.lockCount, 2);
    com::fake::FailAllocations(1);
    IEnumExplorerCommand* clone = enumerator;
    EXPECT_EQ(enumerator->Clone(&clone), E_OUTOFMEMORY);
    EXPECT_EQ(clone, nullptr);
    const std::vector<IExplorerCommand*> subcommands = Subcommands(root);
    EXPECT_EQ(enumerator->Next(2, two, &fetched), S_OK);
    EXPECT_EQ(fetched, 2u);
    two[0]->Release();
    two[1]->Release();
    enumerator->Release();

    // The strings handed out cannot be allocated.
    for (IExplorerCommand* node : {root, subcommands[0], subcommands[1]}) {
        for (int which = 0; which < 2; ++which) {
            LPWSTR text = reinterpret_cast<LPWSTR>(&fetched);
            com::fake::FailTaskAllocations(1);
            EXPECT_EQ(
                which == 0 ? node->GetTitle(&selection, &text) : node->GetIcon(&selection, &text),
                E_OUTOFMEMORY);
            EXPECT_EQ(text, nullptr);
        }
    }
    // The item's path cannot be handed out: hidden, and nothing started.
    com::fake::FailTaskAllocations(1);
    EXPECT_EQ(State(subcommands[0], &selection), ECS_HIDDEN);
    com::fake::FailTaskAllocations(1);
    EXPECT_EQ(subcommands[0]->Invoke(&selection, nullptr), E_INVALIDARG);

    // The DLL's name cannot be had, or copying it runs out of memory.
    shell.moduleFileName.clear();
    LPWSTR icon = reinterpret_cast<LPWSTR>(&fetched);
    EXPECT_EQ(root->GetIcon(&selection, &icon), E_FAIL);
    EXPECT_EQ(icon, nullptr);
    shell.moduleFileName = kModule;
    shell.moduleFileNameThrows = true;
    EXPECT_EQ(root->GetIcon(&selection, &icon), E_OUTOFMEMORY);
    EXPECT_EQ(icon, nullptr);
    EXPECT_EQ(subcommands[0]->Invoke(&selection, nullptr), E_OUTOFMEMORY);
    EXPECT_TRUE(starter.requests.empty());
    shell.moduleFileNameThrows = false;
    com::fake::FailTaskAllocations(0);

    for (IExplorerCommand* subcommand : subcommands) {
        subcommand->Release();
    }
    root->Release();
    EXPECT_EQ(file.references, 0);
}

}  // namespace
}  // namespace tw
