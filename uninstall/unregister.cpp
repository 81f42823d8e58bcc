#include "unregister.h"

namespace tw {

std::string DirectoryWithBackslash(const std::string& path) {
    const std::string::size_type lastBackslash = path.rfind('\\');
    if (lastBackslash == std::string::npos) {
        return std::string();
    }
    return path.substr(0, lastBackslash + 1);
}

void UnregisterShellExtensions(const std::string& helperPath, ProcessStarter& starter) {
    const std::string directory = DirectoryWithBackslash(helperPath);
    if (directory.empty()) {
        return;
    }
    static const char* const kExtensions[] = {"twShellExt.dll", "twShellExt_64.dll"};
    for (const char* extension : kExtensions) {
        // The outcome of each start is ignored: the second one is requested in any case, and the
        // helper never waits for regsvr32.
        starter.Start(StartRequest{"open", "regsvr32", std::string(extension) + " /s /u", directory,
                                   kShowNormal});
    }
}

}  // namespace tw
