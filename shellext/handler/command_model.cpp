#include "command_model.h"

#include "paths.h"

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

std::u16string HelperPathIn(const std::u16string& moduleDirectory) {
    return moduleDirectory + kHelperFileName;
}

StartRequest HelperStartRequest(const char16_t* option, const std::u16string& selectedPath,
                                const std::u16string& moduleDirectory) {
    return StartRequest{u"open", HelperPathIn(moduleDirectory), option + selectedPath,
                        moduleDirectory, SW_SHOW};
}

}  // namespace tw
