#include "registration_platform.h"

#include "platform_win.h"
#include "shell_platform.h"

namespace tw::registration {

DWORD PlatformVersion() {
    return GetVersion();
}

DWORD ServerModuleFileName(char* buffer, DWORD size, DWORD* lastError) {
    const DWORD copied = GetModuleFileNameA(moduleInstance, buffer, size);
    *lastError = GetLastError();
    return copied;
}

Registry& PlatformRegistry() {
    return tw::PlatformRegistry();
}

const TextServices& PlatformText() {
    return PlatformTextServices();
}

ModuleResources& PlatformResources() {
    return PlatformModuleResources();
}

}  // namespace tw::registration
