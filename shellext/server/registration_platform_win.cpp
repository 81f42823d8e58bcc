#include "registration_platform_win.h"

#include "module_base.h"
#include "module_path.h"
#include "platform_win.h"
#include "utf16.h"

namespace tw {

Registry& Win32RegistrationPlatform::GetRegistry() {
    return PlatformRegistry();
}

const TextServices& Win32RegistrationPlatform::GetText() {
    return PlatformTextServices();
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
    // The call says how large a buffer the short form needs, terminator included.
    DWORD size = GetShortPathNameW(AsWide(path), nullptr, 0);
    while (size != 0) {
        std::u16string buffer(size, u'\0');
        const DWORD copied = GetShortPathNameW(AsWide(path), AsWide(&buffer[0]), size);
        if (copied == 0) {
            return false;
        }
        if (copied < size) {
            buffer.resize(copied);
            *shortPath = std::move(buffer);
            return true;
        }
        size = copied;  // the name grew meanwhile: try again with what it needs now
    }
    return false;
}

}  // namespace tw
