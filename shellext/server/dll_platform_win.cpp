// The DLL's platform operations for its handler objects: constructed at load, before the entry
// point runs, they become the process's platform (shell_platform.h).
#include "shell_platform_win.h"

namespace tw {
namespace {

Win32ShellPlatform shellPlatform;

}  // namespace
}  // namespace tw
