// The platform operations that self-registration carries its decisions out with. The Windows build
// implements them with the Win32 calls named beside each one and the registry script interpreter's
// own Windows adapters (registration_platform_win.cpp); the host build with stand-ins that tests
// drive (registration_platform_host.h).
#pragma once

#include <string>

#include "module_resources.h"
#include "registry.h"
#include "text_services.h"

namespace tw::registration {

// GetVersion: bit 31 is clear on the Windows NT platform.
DWORD PlatformVersion();

// GetModuleFileNameW of the server module (moduleInstance), whole however long it is. False on
// failure, with GetLastError in `lastError`.
bool ServerModulePath(std::u16string* path, DWORD* lastError);

// GetShortPathNameW: the short form of an existing file's path. False when the platform gives
// none. (A volume without short names gives the path back as it is.)
bool ShortPathName(const std::u16string& path, std::u16string* shortPath);

// The registry, the text services of the thread's ANSI code page, and the resource loading that
// registration and its registrar work with.
Registry& PlatformRegistry();
const TextServices& PlatformText();
ModuleResources& PlatformResources();

}  // namespace tw::registration
