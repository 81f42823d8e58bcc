#include "registration_platform.h"

#include "module_base.h"
#include "module_path.h"
#include "platform_win.h"
#include "utf16.h"

namespace tw::registration {

DWORD PlatformVersion() {
    return GetVersion();
}

bool ServerModulePath(std::u16string* path, DWORD* lastError) {
    return ModuleFileName(serverModule->moduleInstance, path, lastError);
}

bool ShortPathName(const std::u16string& path, std::u16string* shortPath) {
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
