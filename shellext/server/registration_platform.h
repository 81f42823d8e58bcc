// The platform operations that self-registration carries its decisions out with. The Windows build
// implements them with the Win32 calls named beside each one and the registry script interpreter's
// own Windows adapters (registration_platform_win.cpp); the host build with stand-ins that tests
// drive (registration_platform_host.h).
#pragma once

#include "module_resources.h"
#include "registry.h"
#include "text_services.h"

namespace tw::registration {

// GetVersion: bit 31 is clear on the Windows NT platform.
DWORD PlatformVersion();

// GetModuleFileNameA of the server module (moduleInstance) into `buffer` of `size` characters:
// the number of characters copied, 0 on failure, `size` when the path filled the buffer (and may
// have been cut). `lastError` receives GetLastError right after the call.
DWORD ServerModuleFileName(char* buffer, DWORD size, DWORD* lastError);

// The registry, the text services of the thread's ANSI code page, and the resource loading that
// registration and its registrar work with.
Registry& PlatformRegistry();
const TextServices& PlatformText();
ModuleResources& PlatformResources();

}  // namespace tw::registration
