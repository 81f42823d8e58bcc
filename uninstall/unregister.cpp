#include "unregister.h"

#include "paths.h"
#include "win_types.h"

namespace tw {

void UnregisterShellExtensions(const std::u16string& helperPath, ProcessStarter& starter,
                               ShortPathNames& shortNames) {
    const std::u16string directory = DirectoryWithBackslash(helperPath);
    if (directory.empty()) {
        return;
    }
    static const char16_t* const kExtensions[] = {u"twShellExt.dll", u"twShellExt_64.dll"};
    for (const char16_t* extension : kExtensions) {
        const std::vector<std::u16string> folders =
            UsablePathForms(directory, shortNames, extension);
        if (folders.empty()) {
            continue;  // a start Windows would refuse
        }
        // The outcome of each start is ignored: the second one is requested in any case, and the
        // helper never waits for regsvr32.
        starter.Start(StartRequest{u"open", u"regsvr32", std::u16string(extension) + u" /s /u",
                                   folders.front(), SW_SHOW});
    }
}

}  // namespace tw
