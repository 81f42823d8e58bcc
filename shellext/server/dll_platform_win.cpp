// The DLL's platform operations: constructed at load, before the entry point runs, they become the
// process's platforms (process_wide.h) for its handler objects and its registration.
#include "registration_platform_win.h"
#include "shell_platform_win.h"

namespace tw {
namespace {

Win32ShellPlatform shellPlatform;
Win32RegistrationPlatform registrationPlatform;

}  // namespace
}  // namespace tw
