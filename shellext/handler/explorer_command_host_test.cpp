// The Explorer command on the host stand-ins: the tree it shows (titles from the selection it is
// given, flags, icon), its state for every kind of selection, one question to the shell per
// selection for the whole tree, the helper starts of its subcommands beside the classic handler's,
// its enumerator, and its counting, identity and failures.
#include <gtest/gtest.h>

#include <deque>
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
constexpr SFGAOF kAskedAttributes = SFGAO_FILESYSTEM | SFGAO_FOLDER | SFGAO_STREAM;

// A string an out parameter handed over, freed.
std::u16string Take(LPWSTR text) {
    const std::u16string copy = text == nullptr ? u"(null)" : reinterpret_cast<char16_t*>(text);
    com::FreeTaskMemory(text);
    return copy;
}

class ExplorerCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        shell.starter = &starter;
        shell.moduleFileName = kModule;
        liveTaskMemory = com::fake::LiveTaskAllocations();
    }
    void TearDown() override {
        // Every object is gone with its module lock, every platform string was freed, every item
        // and selection was given back.
        EXPECT_EQ(module.lockCount, 0);
        EXPECT_EQ(com::fake::LiveTaskAllocations(), liveTaskMemory);
        for (const FakeShellItem& item : items) {
            EXPECT_EQ(item.references, 0) << Utf16ToUtf8(item.path);
        }
        for (const FakeShellItemArray& selection : selections) {
            EXPECT_EQ(selection.references, 0);
        }
    }

    // An item of the kind the shell makes for a file system item: a file (no other attribute), a
    // folder, a .zip (a folder that is also a stream). It and the selections below live as long as
    // the test, since the tree may hold a selection until it is released.
    FakeShellItem* Item(const std::u16string& path, SFGAOF attributes = 0) {
        items.emplace_back();
        items.back().path = path;
        items.back().attributes = attributes | SFGAO_FILESYSTEM;
        return &items.back();
    }
    // An item without a file-system path (This PC, the Control Panel).
    FakeShellItem* VirtualItem() {
        items.emplace_back();
        items.back().hasPath = false;
        items.back().attributes = SFGAO_FOLDER;
        return &items.back();
    }
    FakeShellItemArray* Select(const std::vector<FakeShellItem*>& selected) {
        selections.emplace_back();
        selections.back().items = selected;
        return &selections.back();
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
    static void Release(const std::vector<IExplorerCommand*>& nodes) {
        for (IExplorerCommand* node : nodes) {
            node->Release();
        }
    }

    FakeModule module;
    FakeShell shell;
    FakeProcessStarter starter;
    std::deque<FakeShellItem> items;
    std::deque<FakeShellItemArray> selections;
    int liveTaskMemory = 0;
};

TEST_F(ExplorerCommandTest, TheRootIsTarnwickWithTwoSubcommandsAndTheDllsIcon) {
    IExplorerCommand* root = Root();
    FakeShellItemArray* forFile = Select({Item(u"C:\\Data\\a.txt")});
    FakeShellItemArray* forFolder = Select({Item(u"C:\\Data", SFGAO_FOLDER)});
    for (IShellItemArray* selection : std::vector<IShellItemArray*>{forFile, forFolder, nullptr}) {
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
    EXPECT_EQ(root->GetToolTip(forFile, &tip), E_NOTIMPL);
    EXPECT_EQ(tip, nullptr);
    // The root only opens its submenu.
    EXPECT_EQ(root->Invoke(forFile, nullptr), E_NOTIMPL);
    EXPECT_TRUE(starter.requests.empty());
    root->Release();
}

// Each subcommand reads its title from the selection it is given, the same object for a file and
// for a folder; the texts are the classic menu's.
TEST_F(ExplorerCommandTest, SubcommandTitlesComeFromTheSelectionTheyAreGiven) {
    IExplorerCommand* root = Root();
    const std::vector<IExplorerCommand*> subcommands = Subcommands(root);
    ASSERT_EQ(subcommands.size(), 2u);
    FakeShellItem* file = Item(u"C:\\a.txt");
    FakeShellItem* folder = Item(u"C:\\Photos", SFGAO_FOLDER);
    FakeShellItem* unreadable = Item(u"C:\\c", SFGAO_FOLDER);
    unreadable->attributesResult = E_FAIL;
    struct Case {
        const char* what;
        std::vector<FakeShellItem*> items;
        bool isFile;
    };
    const Case cases[] = {
        {"file", {file}, true},
        {"folder", {folder}, false},
        {".zip, a folder that is a stream",
         {Item(u"C:\\a.zip", SFGAO_FOLDER | SFGAO_STREAM)},
         true},
        {"stream", {Item(u"C:\\b.bin", SFGAO_STREAM)}, true},
        {"attributes unreadable", {unreadable}, true},
        {"virtual folder (titles only: it is hidden)", {VirtualItem()}, false},
        {"folder first of several", {folder, file}, false},
        {"file first of several", {file, folder}, true},
        {"empty selection", {}, true},
    };
    for (const Case& c : cases) {
        FakeShellItemArray* selection = Select(c.items);
        EXPECT_EQ(Title(subcommands[0], selection),
                  c.isFile ? u"Backup this file" : u"Backup this folder")
            << c.what;
        EXPECT_EQ(Title(subcommands[1], selection),
                  c.isFile ? u"Restore this file" : u"Show available backups")
            << c.what;
    }
    EXPECT_EQ(Title(subcommands[1], nullptr), u"Restore this file");
    for (const FakeShellItem& item : items) {
        for (SFGAOF mask : item.askedAttributes) {
            EXPECT_EQ(mask, kAskedAttributes);
        }
        EXPECT_TRUE(item.askedNames.empty());
    }
    // Only the first item is asked, once per selection.
    EXPECT_EQ(file->askedAttributes.size(), 2u);
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
    }
    Release(subcommands);
    root->Release();
}

TEST_F(ExplorerCommandTest, HiddenUnlessTheFirstItemHasAFileSystemPath) {
    FakeShellItem* file = Item(u"C:\\a.txt");
    FakeShellItem* virtualFolder = VirtualItem();
    FakeShellItem* unreadable = Item(u"C:\\b.txt");
    unreadable->attributesResult = E_FAIL;
    struct Case {
        const char* what;
        std::vector<FakeShellItem*> items;
        HRESULT countResult, itemResult;
        EXPCMDSTATE state;
    };
    const Case cases[] = {
        {"file", {file}, S_OK, S_OK, ECS_ENABLED},
        {"folder", {Item(u"C:\\Photos", SFGAO_FOLDER)}, S_OK, S_OK, ECS_ENABLED},
        {".zip", {Item(u"C:\\a.zip", SFGAO_FOLDER | SFGAO_STREAM)}, S_OK, S_OK, ECS_ENABLED},
        {"file, then a virtual item", {file, virtualFolder}, S_OK, S_OK, ECS_ENABLED},
        {"virtual item", {virtualFolder}, S_OK, S_OK, ECS_HIDDEN},
        {"virtual item, then a file", {virtualFolder, file}, S_OK, S_OK, ECS_HIDDEN},
        {"attributes unreadable", {unreadable}, S_OK, S_OK, ECS_HIDDEN},
        {"empty selection", {}, S_OK, S_OK, ECS_HIDDEN},
        {"count unreadable", {file}, E_FAIL, S_OK, ECS_HIDDEN},
        {"item unreadable", {file}, S_OK, E_FAIL, ECS_HIDDEN},
    };
    IExplorerCommand* root = Root();
    std::vector<IExplorerCommand*> nodes = Subcommands(root);
    nodes.insert(nodes.begin(), root);
    for (const Case& c : cases) {
        FakeShellItemArray* selection = Select(c.items);
        selection->countResult = c.countResult;
        selection->itemResult = c.itemResult;
        for (IExplorerCommand* node : nodes) {
            EXPECT_EQ(State(node, selection), c.state) << c.what;
        }
    }
    for (IExplorerCommand* node : nodes) {
        EXPECT_EQ(State(node, nullptr), ECS_HIDDEN);
        EXPECT_EQ(node->GetState(nullptr, TRUE, nullptr), E_POINTER);
    }
    Release(nodes);
    // The state asks for no name: the attributes tell whether there is a path.
    for (const FakeShellItem& item : items) {
        EXPECT_TRUE(item.askedNames.empty());
    }
}

// Explorer hands the root and the subcommands the same selection for one right-click: the shell is
// asked about it once for the whole tree, and again only for another selection. The tree holds the
// selection it knows until it is released.
TEST_F(ExplorerCommandTest, TheTreeAsksTheShellOncePerSelection) {
    FakeShellItem* file = Item(u"C:\\a.txt");
    FakeShellItem* folder = Item(u"C:\\Photos", SFGAO_FOLDER);
    FakeShellItemArray* forFile = Select({file});
    FakeShellItemArray* forFolder = Select({folder});
    IExplorerCommand* root = Root();
    const std::vector<IExplorerCommand*> subcommands = Subcommands(root);
    // What Explorer asks for one right-click and an open submenu.
    EXPECT_EQ(State(root, forFile), ECS_ENABLED);
    EXPECT_EQ(Title(root, forFile), u"Tarnwick");
    for (IExplorerCommand* subcommand : subcommands) {
        EXPECT_EQ(State(subcommand, forFile), ECS_ENABLED);
    }
    EXPECT_EQ(Title(subcommands[0], forFile), u"Backup this file");
    EXPECT_EQ(Title(subcommands[1], forFile), u"Restore this file");
    EXPECT_EQ(file->askedAttributes.size(), 1u);
    EXPECT_EQ(forFile->references, 1);

    // Another selection is asked about, and the first is given back.
    EXPECT_EQ(Title(subcommands[1], forFolder), u"Show available backups");
    EXPECT_EQ(State(root, forFolder), ECS_ENABLED);
    EXPECT_EQ(folder->askedAttributes.size(), 1u);
    EXPECT_EQ(forFile->references, 0);
    EXPECT_EQ(forFolder->references, 1);
    EXPECT_EQ(Title(subcommands[0], forFile), u"Backup this file");
    EXPECT_EQ(file->askedAttributes.size(), 2u);

    // A subcommand keeps its root, and what it knows, alive.
    root->Release();
    EXPECT_EQ(Title(subcommands[1], forFile), u"Restore this file");
    EXPECT_EQ(file->askedAttributes.size(), 2u);
    Release(subcommands);
    EXPECT_EQ(forFile->references, 0);
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

        FakeShellItem* other = Item(u"C:\\other.txt");
        FakeShellItemArray* selection = Select({Item(c.path, c.attributes), other});
        starter.requests.clear();
        EXPECT_EQ(subcommands[0]->Invoke(selection, nullptr), S_OK);
        EXPECT_EQ(subcommands[1]->Invoke(selection, nullptr), S_OK);
        EXPECT_EQ(starter.requests, classic);
        EXPECT_TRUE(other->askedNames.empty());
        EXPECT_TRUE(other->askedAttributes.empty());
        if (&c == &cases[0]) {
            EXPECT_EQ(starter.requests, expectedForFirst);
        }
    }
    // A helper that cannot be started is not reported, as in the classic menu.
    starter.refuseAll = true;
    starter.requests.clear();
    EXPECT_EQ(subcommands[0]->Invoke(Select({Item(u"C:\\a.txt")}), nullptr), S_OK);
    EXPECT_EQ(starter.requests.size(), 1u);
    Release(subcommands);
    root->Release();
}

TEST_F(ExplorerCommandTest, WithoutAFileSystemPathNothingIsStarted) {
    FakeShellItem* nameless = Item(u"C:\\a.txt");
    nameless->hasPath = false;  // its name cannot be had after all
    const std::vector<IShellItemArray*> selections = {Select({VirtualItem()}), Select({Item(u"")}),
                                                      Select({nameless}), Select({}), nullptr};
    IExplorerCommand* root = Root();
    const std::vector<IExplorerCommand*> subcommands = Subcommands(root);
    for (IExplorerCommand* subcommand : subcommands) {
        for (IShellItemArray* selection : selections) {
            EXPECT_EQ(subcommand->Invoke(selection, nullptr), E_INVALIDARG);
        }
    }
    Release(subcommands);
    root->Release();
    EXPECT_TRUE(starter.requests.empty());
}

TEST_F(ExplorerCommandTest, TheEnumeratorHandsOutTheTwoSubcommandsInOrder) {
    FakeShellItemArray* selection = Select({Item(u"C:\\a.txt")});
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
    EXPECT_EQ(Title(first, selection), u"Backup this file");
    EXPECT_EQ(Title(second, selection), u"Restore this file");
    EXPECT_EQ(module.lockCount, 4);

    // Back to the start; a clone goes on from where it was made.
    EXPECT_EQ(enumerator->Reset(), S_OK);
    EXPECT_EQ(enumerator->Skip(1), S_OK);
    IEnumExplorerCommand* clone = nullptr;
    ASSERT_EQ(enumerator->Clone(&clone), S_OK);
    IExplorerCommand* fromClone[2] = {};
    EXPECT_EQ(clone->Next(2, fromClone, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 1u);
    EXPECT_EQ(Title(fromClone[0], selection), u"Restore this file");
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
    Release({two[0], two[1]});
    EXPECT_EQ(enumerator->Clone(nullptr), E_POINTER);

    enumerator->Release();
    first->Release();
    EXPECT_EQ(module.lockCount, 2);  // the root and the second subcommand
    root->Release();
    EXPECT_EQ(module.lockCount, 2);  // the second subcommand holds the root
    second->Release();
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

    // The enumerator holds the root: the root goes with the enumerator's last release.
    EXPECT_EQ(static_cast<IUnknown*>(unknown)->Release(), 2u);
    EXPECT_EQ(command->Release(), 1u);
    EXPECT_EQ(module.lockCount, 2);
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
    FakeShellItemArray* selection = Select({Item(u"C:\\a.txt")});
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
    Release({two[0], two[1]});
    enumerator->Release();

    // The strings handed out cannot be allocated.
    for (IExplorerCommand* node : {root, subcommands[0], subcommands[1]}) {
        for (int which = 0; which < 2; ++which) {
            LPWSTR text = reinterpret_cast<LPWSTR>(&fetched);
            com::fake::FailTaskAllocations(1);
            EXPECT_EQ(
                which == 0 ? node->GetTitle(selection, &text) : node->GetIcon(selection, &text),
                E_OUTOFMEMORY);
            EXPECT_EQ(text, nullptr);
        }
    }
    // The item's path cannot be handed out: nothing started.
    com::fake::FailTaskAllocations(1);
    EXPECT_EQ(subcommands[0]->Invoke(selection, nullptr), E_INVALIDARG);

    // The DLL's name cannot be had, or copying it runs out of memory.
    shell.moduleFileName.clear();
    LPWSTR icon = reinterpret_cast<LPWSTR>(&fetched);
    EXPECT_EQ(root->GetIcon(selection, &icon), E_FAIL);
    EXPECT_EQ(icon, nullptr);
    shell.moduleFileName = kModule;
    shell.moduleFileNameThrows = true;
    EXPECT_EQ(root->GetIcon(selection, &icon), E_OUTOFMEMORY);
    EXPECT_EQ(icon, nullptr);
    EXPECT_EQ(subcommands[0]->Invoke(selection, nullptr), E_OUTOFMEMORY);
    EXPECT_TRUE(starter.requests.empty());
    shell.moduleFileNameThrows = false;
    com::fake::FailTaskAllocations(0);

    Release(subcommands);
    root->Release();
}

}  // namespace
}  // namespace tw
