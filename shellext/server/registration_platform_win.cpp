#include "registration_platform_win.h"

#include "module_base.h"
#include "module_path.h"
#include "platform_win.h"
#include "utf16.h"

namespace tw {

Registry& Win32RegistrationPlatform::GetRegistry() {
    return PlatformRegistry();
}

const TextServices& Win32RegistrationPlatform::GetText(AnsiCodePage codePage) {
    return PlatformTextServices(codePage);
}

ModuleResources& Win32RegistrationPlatform::GetResources() {
    return PlatformModuleResources();
}

DWORD Win32RegistrationPlatform::Version() {
    return GetVersion();
}

bool Win32RegistrationPlatform::ModulePath(std::u16string* path, DWORD* lastError) {
    return ModuleFileName(serverModule->moduleInstance, path, lastError);
}

bool Win32RegistrationPlatform::ShortPathName(const std::u16string& path,
                                              std::u16string* shortPath) {
    return PlatformShortPathNames().ShortPathName(path, shortPath);
}

}  // namespace tw
