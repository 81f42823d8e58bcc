// What one right-click costs the handler: a whole menu (make a handler through the class object,
// Initialize it with a one-file selection, QueryContextMenu into a menu, Release) beside one
// directory test of the same path, the file-system query the menu cannot do without. The whole
// menu may cost at most 1.5 times that query. Beside them, what one right-click costs the Explorer
// command of Windows 11's menu (make it through its class object, GetState, GetTitle, GetIcon,
// GetFlags, EnumSubCommands and the two subcommands' titles, Release everything), which must stay
// below the classic menu's cost. The last lines print both ratios.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iomanip>
#include <iostream>
#include <map>
#include <string>

#include "explorer_command.h"
#include "fake_module.h"
#include "fake_shell.h"
#include "simple_shl_ext.h"
#include "utf16.h"

namespace {

// A real file for the directory tests, removed at the end.
class ScratchFile {
  public:
    ScratchFile() {
        char pattern[] = "/tmp/tw menu bench XXXXXX";
        const int fd = mkstemp(pattern);
        if (fd >= 0) {
            close(fd);
            path = pattern;
            tw::Utf8ToUtf16(path, &widePath);
        }
    }
    ~ScratchFile() { unlink(path.c_str()); }
    std::string path;
    std::u16string widePath;  // as the drop list names it
};

const ScratchFile& File() {
    static const ScratchFile file;
    return file;
}

// The module the handlers count themselves in, and the platform stand-in they work with.
tw::FakeModule handlerModule;
tw::FakeShell fakeShell;

void BM_WholeMenu(benchmark::State& state) {
    void* made = nullptr;
    // The class object, as the DLL makes it for the handler class.
    if (tw::CSimpleShlExt::CreateClassObject(&tw::CSimpleShlExt::CreateInstance, IID_IClassFactory,
                                             &made) != S_OK) {
        state.SkipWithError("no class object");
        return;
    }
    auto* factory = static_cast<IClassFactory*>(made);
    tw::FakeDataObject selection;
    selection.memory.names = {File().widePath};
    tw::FakeMenu menu;
    for (auto _ : state) {
        void* handler = nullptr;
        factory->CreateInstance(nullptr, IID_IShellExtInit, &handler);
        auto* init = static_cast<IShellExtInit*>(handler);
        init->Initialize(nullptr, &selection, nullptr);
        auto* contextMenu = static_cast<tw::CSimpleShlExt*>(init);
        const HRESULT taken = contextMenu->QueryContextMenu(menu.handle(), 0, 1, 0x7FFF, 0);
        benchmark::DoNotOptimize(taken);
        init->Release();
        menu.items.clear();
    }
    factory->Release();
}
BENCHMARK(BM_WholeMenu);

void BM_ExplorerCommand(benchmark::State& state) {
    void* made = nullptr;
    if (tw::CExplorerCommand::CreateClassObject(&tw::CExplorerCommand::CreateInstance,
                                                IID_IClassFactory, &made) != S_OK) {
        state.SkipWithError("no class object");
        return;
    }
    auto* factory = static_cast<IClassFactory*>(made);
    fakeShell.moduleFileName = u"C:\\Program Files\\Tarnwick Client's App\\twShellExt_64.dll";
    // The selection Explorer hands over: the same file, as a file-system shell item.
    tw::FakeShellItem file;
    file.path = File().widePath;
    file.attributes = SFGAO_FILESYSTEM;
    tw::FakeShellItemArray selection;
    selection.items = {&file};
    int failures = 0;
    for (auto _ : state) {
        void* command = nullptr;
        factory->CreateInstance(nullptr, IID_IExplorerCommand, &command);
        auto* root = static_cast<IExplorerCommand*>(command);
        EXPCMDSTATE shown = ECS_HIDDEN;
        EXPCMDFLAGS flags = 0;
        LPWSTR title = nullptr;
        LPWSTR icon = nullptr;
        root->GetState(&selection, FALSE, &shown);
        root->GetTitle(&selection, &title);
        root->GetIcon(&selection, &icon);
        root->GetFlags(&flags);
        tw::com::FreeTaskMemory(title);
        tw::com::FreeTaskMemory(icon);
        IEnumExplorerCommand* subcommands = nullptr;
        root->EnumSubCommands(&subcommands);
        IExplorerCommand* subcommand = nullptr;
        int titles = 0;
        while (subcommands->Next(1, &subcommand, nullptr) == S_OK) {
            titles += subcommand->GetTitle(&selection, &title) == S_OK ? 1 : 0;
            tw::com::FreeTaskMemory(title);
            subcommand->Release();
        }
        subcommands->Release();
        root->Release();
        failures += shown == ECS_ENABLED && flags == ECF_HASSUBCOMMANDS && titles == 2 ? 0 : 1;
    }
    factory->Release();
    if (failures != 0) {
        state.SkipWithError("the command did not answer as it should");
    }
}
BENCHMARK(BM_ExplorerCommand);

void BM_DirectoryTestOfTheSamePath(benchmark::State& state) {
    const std::u16string& path = File().widePath;
    for (auto _ : state) {
        benchmark::DoNotOptimize(fakeShell.IsDirectory(path));
    }
}
BENCHMARK(BM_DirectoryTestOfTheSamePath);

// Prints the usual table and keeps each benchmark's time per iteration.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            nanoseconds[run.benchmark_name()] =
                run.GetAdjustedRealTime() *
                benchmark::GetTimeUnitMultiplier(benchmark::kNanosecond) /
                benchmark::GetTimeUnitMultiplier(run.time_unit);
        }
    }
    std::map<std::string, double> nanoseconds;
};

}  // namespace

int main(int argc, char** argv) {
    if (File().path.empty()) {
        std::fprintf(stderr, "cannot make a scratch file\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double menu = reporter.nanoseconds["BM_WholeMenu"];
    const double query = reporter.nanoseconds["BM_DirectoryTestOfTheSamePath"];
    const double command = reporter.nanoseconds["BM_ExplorerCommand"];
    std::cout << std::fixed << std::setprecision(2);
    if (menu > 0 && query > 0) {
        std::cout << "whole menu / one directory test = " << menu / query << " (at most 1.5)"
                  << std::endl;
    }
    if (menu > 0 && command > 0) {
        std::cout << "Explorer command: " << command << " ns, classic menu: " << menu
                  << " ns; Explorer command / classic menu = " << command / menu << " (below 1)"
                  << std::endl;
    }
    return 0;
}
