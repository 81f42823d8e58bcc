// Times one whole context menu on the real twShellExt_64.dll under Wine: make a handler through
// the class object, Initialize it with the shell's data object for one file, QueryContextMenu into
// a new popup menu, Release, destroy the menu. Prints the figures beside those of the popup menu
// alone and of one directory test of the same path. Beside them, in the same run, what Windows 11's
// Explorer asks of the Explorer command for one right-click on the same file, with the shell's own
// item array: make it through its class object, GetState, GetTitle, GetIcon, GetFlags,
// EnumSubCommands and the subcommands' titles, Release everything; that must cost less than the
// classic menu. Exits with 1 when a cycle does not work.
#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "shellext_wine_support.h"
#include "winsupport.h"

namespace {

using tw::test::Ref;

constexpr int kCycles = 50;
constexpr int kRounds = 15;

// Times each cycle kCycles times in a row, round after round, the cycles taking turns so that a
// busy moment of the machine hits them alike; keeps each cycle's fastest round, in microseconds
// per call.
std::vector<double> MicrosecondsPerCycle(const std::vector<std::function<void()>>& cycles) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> best(cycles.size(), 1e300);
    for (int round = 0; round < kRounds; ++round) {
        for (size_t c = 0; c < cycles.size(); ++c) {
            LARGE_INTEGER start, end;
            QueryPerformanceCounter(&start);
            for (int i = 0; i < kCycles; ++i) {
                cycles[c]();
            }
            QueryPerformanceCounter(&end);
            best[c] = std::min(best[c], 1e6 * static_cast<double>(end.QuadPart - start.QuadPart) /
                                            static_cast<double>(frequency.QuadPart) / kCycles);
        }
    }
    return best;
}

int Run() {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string file = std::string(temp) + "tw menu timing.txt";
    HANDLE created =
        CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (created == INVALID_HANDLE_VALUE) {
        std::puts("cannot make the file to right-click");
        return 1;
    }
    CloseHandle(created);
    const std::wstring wideFile(file.begin(), file.end());  // the temporary path is ASCII here

    tw::test::LoadedServer server(tw::test::ExeDirectory() + L"twShellExt_64.dll");
    Ref<IClassFactory> factory;
    Ref<IClassFactory> commands;
    Ref<IDataObject> data;
    Ref<IShellItemArray> items;
    if (!server.loaded() ||
        server.getClassObject(tw::test::kHandlerClsid, IID_IClassFactory, factory.out()) != S_OK ||
        server.getClassObject(tw::test::kExplorerCommandClsid, IID_IClassFactory, commands.out()) !=
            S_OK ||
        tw::test::ShellDataObject(wideFile, reinterpret_cast<IDataObject**>(data.out())) != S_OK ||
        tw::test::ShellSelection(wideFile, reinterpret_cast<IShellItemArray**>(items.out())) !=
            S_OK) {
        std::puts("cannot load the DLL or get the shell's data object and item array");
        return 1;
    }

    int failures = 0;
    auto wholeMenu = [&] {
        HMENU menu = CreatePopupMenu();
        Ref<IShellExtInit> init;
        Ref<IContextMenu> contextMenu;
        if (factory->CreateInstance(nullptr, IID_IShellExtInit, init.out()) != S_OK ||
            init->Initialize(nullptr, data.get(), nullptr) != S_OK ||
            init->QueryInterface(IID_IContextMenu, contextMenu.out()) != S_OK ||
            contextMenu->QueryContextMenu(menu, 0, 1, 0x7FFF, CMF_NORMAL) != 3 ||
            GetMenuItemCount(menu) != 4) {
            ++failures;
        }
        contextMenu.Reset();
        init.Reset();
        DestroyMenu(menu);
    };
    // The same cycle cut short: the handler alone (with its bitmaps), then with Initialize.
    auto handlerAlone = [&] {
        Ref<IShellExtInit> init;
        if (factory->CreateInstance(nullptr, IID_IShellExtInit, init.out()) != S_OK) {
            ++failures;
        }
    };
    auto handlerInitialized = [&] {
        Ref<IShellExtInit> init;
        if (factory->CreateInstance(nullptr, IID_IShellExtInit, init.out()) != S_OK ||
            init->Initialize(nullptr, data.get(), nullptr) != S_OK) {
            ++failures;
        }
    };
    // QueryContextMenu alone, on one handler initialised beforehand, into a new popup menu.
    Ref<IShellExtInit> filling;
    Ref<IContextMenu> fillingMenu;
    if (factory->CreateInstance(nullptr, IID_IShellExtInit, filling.out()) != S_OK ||
        filling->Initialize(nullptr, data.get(), nullptr) != S_OK ||
        filling->QueryInterface(IID_IContextMenu, fillingMenu.out()) != S_OK) {
        std::puts("cannot make a handler");
        return 1;
    }
    auto menuFilled = [&] {
        HMENU menu = CreatePopupMenu();
        if (fillingMenu->QueryContextMenu(menu, 0, 1, 0x7FFF, CMF_NORMAL) != 3) {
            ++failures;
        }
        DestroyMenu(menu);
    };
    // What Explorer asks of the Explorer command to draw its entry and submenu.
    auto explorerCommand = [&] {
        Ref<IExplorerCommand> root;
        EXPCMDSTATE state = ECS_HIDDEN;
        EXPCMDFLAGS flags = 0;
        LPWSTR title = nullptr;
        LPWSTR icon = nullptr;
        if (commands->CreateInstance(nullptr, IID_IExplorerCommand, root.out()) != S_OK ||
            root->GetState(items.get(), FALSE, &state) != S_OK || state != ECS_ENABLED ||
            root->GetTitle(items.get(), &title) != S_OK ||
            root->GetIcon(items.get(), &icon) != S_OK || root->GetFlags(&flags) != S_OK ||
            flags != ECF_HASSUBCOMMANDS) {
            ++failures;
        }
        CoTaskMemFree(title);
        CoTaskMemFree(icon);
        Ref<IEnumExplorerCommand> enumerator;
        if (root.get() == nullptr || root->EnumSubCommands(reinterpret_cast<IEnumExplorerCommand**>(
                                         enumerator.out())) != S_OK) {
            ++failures;
            return;
        }
        int titles = 0;
        IExplorerCommand* subcommand = nullptr;
        while (enumerator->Next(1, &subcommand, nullptr) == S_OK) {
            LPWSTR text = nullptr;
            titles += subcommand->GetTitle(items.get(), &text) == S_OK ? 1 : 0;
            CoTaskMemFree(text);
            subcommand->Release();
        }
        failures += titles == 2 ? 0 : 1;
    };
    auto menuAlone = [] { DestroyMenu(CreatePopupMenu()); };
    auto directoryTest = [&] {
        if (PathIsDirectoryA(file.c_str())) {
            ++failures;
        }
    };

    wholeMenu();  // first use: log object, bitmaps paged in
    explorerCommand();
    const std::vector<double> times =
        MicrosecondsPerCycle({wholeMenu, handlerAlone, handlerInitialized, menuFilled, menuAlone,
                              directoryTest, explorerCommand});
    const double cycle = times[0], handler = times[1], initialized = times[2], filled = times[3],
                 menu = times[4], query = times[5], command = times[6];
    fillingMenu.Reset();
    filling.Reset();
    factory.Reset();
    commands.Reset();
    data.Reset();
    items.Reset();
    DeleteFileA(file.c_str());
    if (failures != 0 || server.canUnloadNow() != S_OK) {
        std::printf("%d cycles did not work\n", failures);
        return 1;
    }
    std::printf(
        "whole menu under Wine (handler, Initialize, QueryContextMenu, Release, popup menu): "
        "%.2f us\n",
        cycle);
    std::printf("  of which: handler made and released (four bitmaps loaded and freed): %.2f us\n",
                handler);
    std::printf("  of which: Initialize with the shell's data object: %.2f us\n",
                initialized - handler);
    std::printf("  of which: QueryContextMenu: %.2f us\n", filled - menu);
    std::printf("popup menu alone (CreatePopupMenu, DestroyMenu): %.2f us\n", menu);
    std::printf("one directory test of the same path (PathIsDirectoryA): %.2f us\n", query);
    std::printf("whole menu without the popup menu / one directory test = %.2f\n",
                (cycle - menu) / query);
    std::printf(
        "Explorer command under Wine (made, GetState, GetTitle, GetIcon, GetFlags, "
        "EnumSubCommands, two subcommands' titles, Release): %.2f us\n",
        command);
    std::printf("Explorer command / classic menu without the popup menu = %.2f (below 1)\n",
                command / (cycle - menu));
    return 0;
}

}  // namespace

int main() {
    if (FAILED(CoInitialize(nullptr))) {
        return 1;
    }
    const int result = Run();
    CoUninitialize();
    return result;
}
