// TwUninstall: has regsvr32 unregister both builds of the shell extension that sit beside it.
// It reads no arguments, writes nothing and always exits with 0.
#include <windows.h>

#include <cstring>
#include <string>

#include "unregister.h"

int main() {
    try {
        char path[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, path, MAX_PATH);
        // A path that filled the buffer may lack its terminator on older systems.
        const std::string helperPath(path, strnlen(path, MAX_PATH));
        tw::UnregisterShellExtensions(helperPath, tw::ShellProcessStarter());
    } catch (...) {
        // Nothing is reported: the helper's outcome is its exit code, which is always 0.
    }
    return 0;
}
