// Plays Explorer's part for `make demo` (scripts/demo.sh): gets the context-menu handler the way
// Explorer does, through the class registration, and shows what it offers.
//   twshellext_demo entries PATH...        prints the entries the handler adds for each item
//   twshellext_demo pick PATH TEXT         picks the entry with that text for the item
//   twshellext_demo show PATH FOLDER       shows the item's menu on screen and writes the menu's
//                                          rectangle ("left top width height") to FOLDER\menu.rect;
//                                          closes it once FOLDER\captured exists (or after 60 s)
// Exit code 0 on success, 1 with a message on standard error otherwise.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

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
    if (command == L"pick" && argc == 4) {
        return Pick(argv[2], Narrow(argv[3]));
    }
    if (command == L"show" && argc == 4) {
        std::wstring folder = argv[3];
        if (folder.empty() || folder.back() != L'\\') {
            folder += L'\\';
        }
        return Show(argv[2], folder);
    }
    std::fprintf(stderr,
                 "usage: twshellext_demo entries PATH... | pick PATH TEXT | show PATH "
                 "FOLDER\n");
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
