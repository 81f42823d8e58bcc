#include "command_model.h"

#include <cstddef>
#include <vector>

#include "path_policy.h"
#include "paths.h"

namespace tw {

namespace {

// A verb value above 0xFFFF is the address of a text; at or below, a command offset.
bool IsVerbText(uintptr_t verb) {
    return verb > 0xFFFF;
}

}  // namespace

uintptr_t InvokedVerb(const CMINVOKECOMMANDINFO& info) {
    const uintptr_t verb = reinterpret_cast<uintptr_t>(info.lpVerb);
    constexpr size_t kCoversVerbW =
        offsetof(CMINVOKECOMMANDINFOEX, lpVerbW) + sizeof(CMINVOKECOMMANDINFOEX::lpVerbW);
    if (IsVerbText(verb) || info.cbSize < kCoversVerbW || (info.fMask & CMIC_MASK_UNICODE) == 0) {
        return verb;
    }
    const auto& extended = reinterpret_cast<const CMINVOKECOMMANDINFOEX&>(info);
    const uintptr_t wideVerb = reinterpret_cast<uintptr_t>(extended.lpVerbW);
    return IsVerbText(wideVerb) ? wideVerb : verb;
}

CommandDecision DecideCommand(uintptr_t verb, bool selectionIsFile) {
    if (IsVerbText(verb)) {
        return {E_INVALIDARG, nullptr};
    }
    switch (verb) {
        case 0:
        case 3:
            return {S_OK, nullptr};
        case 1:
            return {S_OK, u" /createbackupjob "};
        case 2:
            return {S_OK, selectionIsFile ? u" /viewsnapshots " : u" /showavailablebackups "};
        default:
            return {E_INVALIDARG, nullptr};
    }
}

std::u16string ModuleDirectoryOf(const std::u16string& moduleFileName) {
    const std::u16string directory = DirectoryWithBackslash(moduleFileName);
    return directory.empty() ? moduleFileName + u'\\' : directory;
}

std::u16string ModuleDirectory(ShellPlatform& platform, HINSTANCE module) {
    return ModuleDirectoryOf(platform.ModuleFileName(module));
}

std::u16string HelperPathIn(const std::u16string& moduleDirectory) {
    return moduleDirectory + kHelperFileName;
}

StartRequest HelperStartRequest(const char16_t* option, const std::u16string& selectedPath,
                                const std::u16string& moduleDirectory) {
    return StartRequest{u"open", HelperPathIn(moduleDirectory), option + selectedPath,
                        moduleDirectory, SW_SHOW};
}

HRESULT CarryOutCommand(ShellPlatform& platform, HINSTANCE module, uintptr_t verb,
                        bool selectionIsFile, const std::u16string& selectedPath) noexcept {
    const CommandDecision decision = DecideCommand(verb, selectionIsFile);
    if (decision.option == nullptr) {
        return decision.result;
    }
    try {
        // Windows starts the helper in the module's folder, and loads it from there, only below
        // MAX_PATH: the folder as it is or its short form, whichever fits with the helper's name
        // (the path policy). A folder with neither is a start that failed. The selected path, a
        // parameter, stays whole.
        const std::vector<std::u16string> folders =
            UsablePathForms(ModuleDirectory(platform, module), platform, kHelperFileName);
        if (!folders.empty()) {
            // The helper runs on its own; whether the start succeeded is not reported.
            platform.HelperStarter().Start(
                HelperStartRequest(decision.option, selectedPath, folders.front()));
        }
    } catch (...) {
        // Out of memory while the request was put together: nothing was started.
        return E_OUTOFMEMORY;
    }
    return decision.result;
}

}  // namespace tw
