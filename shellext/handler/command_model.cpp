#include "command_model.h"

namespace tw {

CommandDecision DecideCommand(uintptr_t verb, bool selectionIsFile) {
    if (verb > 0xFFFF) {
        return {E_INVALIDARG, nullptr};
    }
    switch (verb) {
        case 0:
        case 3:
            return {S_OK, nullptr};
        case 1:
            return {S_OK, " /createbackupjob "};
        case 2:
            return {S_OK, selectionIsFile ? " /viewsnapshots " : " /showavailablebackups "};
        default:
            return {E_INVALIDARG, nullptr};
    }
}

std::string ModuleDirectoryOf(const std::string& moduleFileName) {
    const std::string::size_type lastBackslash = moduleFileName.rfind('\\');
    return moduleFileName.substr(0, lastBackslash) + '\\';
}

std::string HelperPathIn(const std::string& moduleDirectory) {
    return moduleDirectory + "twHelper.exe";
}

StartRequest HelperStartRequest(const char* option, const std::string& selectedPath,
                                const std::string& moduleDirectory) {
    return StartRequest{"open", HelperPathIn(moduleDirectory), option + selectedPath,
                        moduleDirectory, SW_SHOW};
}

}  // namespace tw
