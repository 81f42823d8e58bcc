// Plays Explorer's part for `make demo` (scripts/demo.sh): gets the context-menu handler the way
// Explorer does, through the class registration, and shows what it offers; and gets the Explorer
// command of Windows 11's menu the way Windows 11 does for the class the package declares (COM
// loads the DLL the package names and asks its DllGetClassObject), and shows the command tree that
// Explorer would draw from it.
//   twshellext_demo entries PATH...        prints the entries the handler adds for each item
//   twshellext_demo menus DLL NAME...      prints, for each item (a path or a parsing name), the
//                                          Windows 11 menu's command tree beside the classic menu
//   twshellext_demo pick PATH TEXT         picks the entry with that text for the item
//   twshellext_demo pick-command DLL PATH TEXT
//                                          picks the Windows 11 menu's subcommand with that title
//   twshellext_demo show PATH FOLDER       shows the item's menu on screen and writes the menu's
//                                          rectangle ("left top width height") to FOLDER\menu.rect;
//                                          closes it once FOLDER\captured exists (or after 60 s)
// Exit code 0 on success, 1 with a message on standard error otherwise.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "shellext_wine_support.h"
#include "winsupport.h"

namespace tw::test {
namespace {

constexpr UINT kFirstId = 100;

int Fail(const std::string& what, HRESULT hr) {
    std::fprintf(stderr, "%s failed: 0x%08lX\n", what.c_str(), static_cast<unsigned long>(hr));
    return 1;
}

// The item's handler and a menu with the handler's entries, between entries of the kind Explorer
// shows around them.
struct ItemMenu {
    Ref<IContextMenu> handler;
    HMENU menu = nullptr;

    ~ItemMenu() {
        if (menu != nullptr) {
            DestroyMenu(menu);
        }
    }

    HRESULT Build(const std::wstring& path) {
        HRESULT hr = RegisteredHandlerFor(path, reinterpret_cast<IContextMenu**>(handler.out()));
        if (FAILED(hr)) {
            return hr;
        }
        menu = CreatePopupMenu();
        AppendMenuW(menu, MF_STRING, 1, L"Open");
        AppendMenuW(menu, MF_STRING, 2, L"Open with...");
        AppendMenuW(menu, MF_STRING, 3, L"Cut");
        AppendMenuW(menu, MF_STRING, 4, L"Copy");
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(menu, MF_STRING, 5, L"Delete");
        AppendMenuW(menu, MF_STRING, 6, L"Rename");
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(menu, MF_STRING, 7, L"Properties");
        hr = handler->QueryContextMenu(menu, 2, kFirstId, kFirstId + 50, CMF_NORMAL);
        return FAILED(hr) ? hr : S_OK;
    }

    // The handler's own items: their command offsets, texts and whether they carry a picture.
    struct Entry {
        UINT offset;
        std::string text;
        bool picture;
    };
    std::vector<Entry> Entries() const {
        std::vector<Entry> entries;
        for (const MenuItem& item : ReadMenu(menu)) {
            if (!item.separator && item.id >= kFirstId) {
                entries.push_back({item.id - kFirstId, item.text, item.picture != nullptr});
            }
        }
        return entries;
    }
};

int PrintEntries(const std::vector<std::wstring>& paths) {
    for (const std::wstring& path : paths) {
        ItemMenu item;
        const HRESULT hr = item.Build(path);
        if (FAILED(hr)) {
            return Fail("the menu of " + Narrow(path), hr);
        }
        std::printf("%s\n", Narrow(path).c_str());
        for (const ItemMenu::Entry& entry : item.Entries()) {
            std::printf("    command %u: \"%s\"%s\n", entry.offset, entry.text.c_str(),
                        entry.picture ? " with its picture" : "");
        }
    }
    return 0;
}

// One node of the Explorer command's tree, as Explorer reads it for a selection.
struct CommandNode {
    Ref<IExplorerCommand> command;
    std::wstring title;
    std::wstring icon;
    bool hidden = false;
    std::vector<CommandNode> subcommands;
};

std::wstring TakeText(HRESULT hr, LPWSTR text) {
    const std::wstring copy = SUCCEEDED(hr) && text != nullptr ? text : L"";
    CoTaskMemFree(text);
    return copy;
}

// Reads `command` and, when it has them, its subcommands, as Explorer does before it draws them.
CommandNode ReadNode(IExplorerCommand* command, IShellItemArray* items) {
    CommandNode node;
    command->AddRef();
    node.command = Ref<IExplorerCommand>(command);
    EXPCMDSTATE state = ECS_HIDDEN;
    node.hidden = FAILED(command->GetState(items, FALSE, &state)) || (state & ECS_HIDDEN) != 0;
    if (node.hidden) {
        return node;
    }
    LPWSTR text = nullptr;
    HRESULT hr = command->GetTitle(items, &text);
    node.title = TakeText(hr, text);
    hr = command->GetIcon(items, &text);
    node.icon = TakeText(hr, text);
    EXPCMDFLAGS flags = 0;
    Ref<IEnumExplorerCommand> enumerator;
    if (SUCCEEDED(command->GetFlags(&flags)) && (flags & ECF_HASSUBCOMMANDS) != 0 &&
        SUCCEEDED(
            command->EnumSubCommands(reinterpret_cast<IEnumExplorerCommand**>(enumerator.out())))) {
        IExplorerCommand* next = nullptr;
        while (enumerator->Next(1, &next, nullptr) == S_OK) {
            node.subcommands.push_back(ReadNode(next, items));
            next->Release();
        }
    }
    return node;
}

// The tree of the Explorer command that the DLL at `dll` serves, for the item named `name`.
HRESULT ReadTree(const LoadedServer& server, const std::wstring& name, CommandNode* root) {
    Ref<IShellItemArray> items;
    HRESULT hr = ShellSelection(name, reinterpret_cast<IShellItemArray**>(items.out()));
    Ref<IClassFactory> factory;
    Ref<IExplorerCommand> command;
    if (SUCCEEDED(hr)) {
        hr = server.getClassObject(kExplorerCommandClsid, IID_IClassFactory, factory.out());
    }
    if (SUCCEEDED(hr)) {
        hr = factory->CreateInstance(nullptr, IID_IExplorerCommand, command.out());
    }
    if (SUCCEEDED(hr)) {
        *root = ReadNode(command.get(), items.get());
    }
    return hr;
}

// How an icon location reads, and whether it names an icon that can be loaded.
std::string DescribeIcon(const std::wstring& location) {
    if (location.empty()) {
        return "no icon";
    }
    std::wstring file = location;
    const int index = PathParseIconLocationW(&file[0]);
    HICON large = nullptr;
    HICON small = nullptr;
    const bool loads = ExtractIconExW(file.c_str(), index, &large, &small, 1) > 0 &&
                       large != nullptr && small != nullptr;
    for (HICON icon : {large, small}) {
        if (icon != nullptr) {
            DestroyIcon(icon);
        }
    }
    return "icon \"" + Narrow(location) + "\"" +
           (loads ? " (loads, large and small)" : " (does not load)");
}

void PrintNode(const CommandNode& node, int depth) {
    const std::string indent(4 * depth, ' ');
    if (node.hidden) {
        std::printf("%s(hidden)\n", indent.c_str());
        return;
    }
    std::printf("%s\"%s\"%s, %s\n", indent.c_str(), Narrow(node.title).c_str(),
                node.subcommands.empty() ? "" : " >", DescribeIcon(node.icon).c_str());
    for (const CommandNode& subcommand : node.subcommands) {
        PrintNode(subcommand, depth + 1);
    }
}

int PrintMenus(const std::wstring& dll, const std::vector<std::wstring>& names) {
    LoadedServer server(dll);
    if (!server.loaded()) {
        return Fail("loading " + Narrow(dll), HRESULT_FROM_WIN32(GetLastError()));
    }
    for (const std::wstring& name : names) {
        std::printf("%s\n", Narrow(name).c_str());
        std::printf("  Windows 11 menu (the Explorer command):\n");
        CommandNode root;
        const HRESULT hr = ReadTree(server, name, &root);
        if (FAILED(hr)) {
            return Fail("the Explorer command for " + Narrow(name), hr);
        }
        PrintNode(root, 2);
        std::printf("  Classic menu (\"Show more options\"):\n");
        ItemMenu item;
        if (FAILED(item.Build(name))) {
            std::printf("        no entries (the handler takes only items with a file list)\n");
            continue;
        }
        for (const ItemMenu::Entry& entry : item.Entries()) {
            std::printf("        command %u: \"%s\"%s\n", entry.offset, entry.text.c_str(),
                        entry.picture ? " with its picture" : "");
        }
    }
    return 0;
}

int PickCommand(const std::wstring& dll, const std::wstring& path, const std::wstring& title) {
    LoadedServer server(dll);
    CommandNode root;
    const HRESULT hr = server.loaded() ? ReadTree(server, path, &root) : E_FAIL;
    if (FAILED(hr)) {
        return Fail("the Explorer command for " + Narrow(path), hr);
    }
    Ref<IShellItemArray> items;
    ShellSelection(path, reinterpret_cast<IShellItemArray**>(items.out()));
    for (const CommandNode& subcommand : root.subcommands) {
        if (subcommand.title == title) {
            const HRESULT invoked = subcommand.command->Invoke(items.get(), nullptr);
            if (FAILED(invoked)) {
                return Fail("Invoke", invoked);
            }
            std::printf("picked \"%s\" under \"%s\"\n", Narrow(title).c_str(),
                        Narrow(root.title).c_str());
            return 0;
        }
    }
    std::fprintf(stderr, "no subcommand \"%s\"\n", Narrow(title).c_str());
    return 1;
}

int Pick(const std::wstring& path, const std::string& text) {
    ItemMenu item;
    HRESULT hr = item.Build(path);
    if (FAILED(hr)) {
        return Fail("the menu of " + Narrow(path), hr);
    }
    for (const ItemMenu::Entry& entry : item.Entries()) {
        if (entry.text == text) {
            CMINVOKECOMMANDINFO invoke = {};
            invoke.cbSize = sizeof(invoke);
            invoke.lpVerb = MAKEINTRESOURCEA(entry.offset);
            invoke.nShow = SW_SHOWNORMAL;
            hr = item.handler->InvokeCommand(&invoke);
            if (FAILED(hr)) {
                return Fail("InvokeCommand", hr);
            }
            std::printf("picked \"%s\" (command %u)\n", text.c_str(), entry.offset);
            return 0;
        }
    }
    std::fprintf(stderr, "no entry \"%s\"\n", text.c_str());
    return 1;
}

// State of the on-screen menu, shared with the owner window's timer.
struct Showing {
    std::wstring folder;
    int highlightKeys = 0;  // down-arrow presses sent to the menu so far
    bool rectangleWritten = false;
    ULONGLONG deadline = 0;
};
Showing showing;

// The handler's first entry comes after "Open" and "Open with...".
constexpr int kKeysToFirstEntry = 3;

LRESULT CALLBACK OwnerProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER) {
        HWND menuWindow = FindWindowW(L"#32768", nullptr);
        const bool menuShown = menuWindow != nullptr && IsWindowVisible(menuWindow);
        if (menuShown && showing.highlightKeys < kKeysToFirstEntry) {
            // Highlight "Backup this file" as a pointer resting on it would.
            PostMessageW(window, WM_KEYDOWN, VK_DOWN, 0);
            ++showing.highlightKeys;
        } else if (menuShown && !showing.rectangleWritten) {
            RECT r = {};
            GetWindowRect(menuWindow, &r);
            const std::string rectangle = std::to_string(r.left) + " " + std::to_string(r.top) +
                                          " " + std::to_string(r.right - r.left) + " " +
                                          std::to_string(r.bottom - r.top) + "\n";
            showing.rectangleWritten =
                WriteFileBytes(showing.folder + L"menu.rect.partial", rectangle) &&
                MoveFileW((showing.folder + L"menu.rect.partial").c_str(),
                          (showing.folder + L"menu.rect").c_str());
        }
        if (FileExists(showing.folder + L"captured") || GetTickCount64() > showing.deadline) {
            EndMenu();
        }
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int Show(const std::wstring& path, const std::wstring& folder) {
    ItemMenu item;
    const HRESULT hr = item.Build(path);
    if (FAILED(hr)) {
        return Fail("the menu of " + Narrow(path), hr);
    }
    showing.folder = folder;
    showing.deadline = GetTickCount64() + 60000;
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = OwnerProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TarnwickDemoOwner";
    RegisterClassW(&windowClass);
    HWND owner = CreateWindowExW(0, windowClass.lpszClassName, L"Tarnwick demo", WS_POPUP, 0, 0, 1,
                                 1, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (owner == nullptr) {
        return Fail("CreateWindowEx", HRESULT_FROM_WIN32(GetLastError()));
    }
    ShowWindow(owner, SW_SHOW);
    SetForegroundWindow(owner);
    SetTimer(owner, 1, 100, nullptr);
    TrackPopupMenu(item.menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD, 24, 24, 0, owner,
                   nullptr);
    KillTimer(owner, 1);
    DestroyWindow(owner);
    if (!showing.rectangleWritten) {
        std::fprintf(stderr, "the menu did not appear\n");
        return 1;
    }
    return 0;
}

int Run(int argc, wchar_t** argv) {
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"entries" && argc > 2) {
        return PrintEntries(std::vector<std::wstring>(argv + 2, argv + argc));
    }
    if (command == L"menus" && argc > 3) {
        return PrintMenus(argv[2], std::vector<std::wstring>(argv + 3, argv + argc));
    }
    if (command == L"pick" && argc == 4) {
        return Pick(argv[2], Narrow(argv[3]));
    }
    if (command == L"pick-command" && argc == 5) {
        return PickCommand(argv[2], argv[3], argv[4]);
    }
    if (command == L"show" && argc == 4) {
        std::wstring folder = argv[3];
        if (folder.empty() || folder.back() != L'\\') {
            folder += L'\\';
        }
        return Show(argv[2], folder);
    }
    std::fprintf(stderr,
                 "usage: twshellext_demo entries PATH... | menus DLL NAME... | pick PATH TEXT | "
                 "pick-command DLL PATH TEXT | show PATH FOLDER\n");
    return 1;
}

}  // namespace
}  // namespace tw::test

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || FAILED(CoInitialize(nullptr))) {
        return 1;
    }
    const int result = tw::test::Run(argc, argv);
    CoUninitialize();
    LocalFree(argv);
    return result;
}
