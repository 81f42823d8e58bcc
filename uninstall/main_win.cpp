// TwUninstall: has regsvr32 unregister both builds of the shell extension that sit beside it.
// It reads no arguments, writes nothing and always exits with 0.
#include <windows.h>

#include <string>

#include "module_path.h"
#include "path_policy.h"
#include "unregister.h"

int main() {
    try {
        // The helper's own path, whole, whatever its length and script.
        std::u16string helperPath;
        DWORD error = 0;
        if (tw::ModuleFileName(nullptr, &helperPath, &error)) {
            tw::UnregisterShellExtensions(helperPath, tw::ShellProcessStarter(),
                                          tw::PlatformShortPathNames());
        }
    } catch (...) {
        // Nothing is reported: the helper's outcome is its exit code, which is always 0.
    }
    return 0;
}
