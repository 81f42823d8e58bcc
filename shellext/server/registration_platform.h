// The platform operations that self-registration carries its decisions out with, as an interface:
// the registrar's own seams (the registry, the text services of the platform's two ANSI code
// pages, the module's resources), two facts about the running module and the short names of the
// path policy (path_policy.h). The DLL's
// Win32RegistrationPlatform (registration_platform_win.h) makes the Win32 calls named beside each;
// tests hand in a FakeRegistrationPlatform (fake_registration_platform.h).
//
// DllRegisterServer and DllUnregisterServer take no arguments, so registration finds the platform
// as the process's current one (process_wide.h): the DLL constructs its own at load.
#pragma once

#include <string>

#include "module_resources.h"
#include "path_policy.h"
#include "process_wide.h"
#include "registry.h"
#include "text_services.h"

namespace tw {

class RegistrationPlatform : public ProcessWide<RegistrationPlatform>, public ShortPathNames {
  public:
    virtual ~RegistrationPlatform() = default;

    virtual Registry& GetRegistry() = 0;
    // The text services of the system's or of the calling thread's ANSI code page.
    virtual const TextServices& GetText(AnsiCodePage codePage) = 0;
    virtual ModuleResources& GetResources() = 0;

    // GetVersion: bit 31 is clear on the Windows NT platform.
    virtual DWORD Version() = 0;
    // GetModuleFileNameW of the server module, whole however long it is. False on failure, with
    // GetLastError in `lastError`.
    virtual bool ModulePath(std::u16string* path, DWORD* lastError) = 0;
};

}  // namespace tw
