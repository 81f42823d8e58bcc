// Self-registration's platform operations on Windows (Windows builds only): the registrar's Windows
// adapters and the Win32 calls that registration_platform.h names.
#pragma once

#include "registration_platform.h"

namespace tw {

class Win32RegistrationPlatform final : public RegistrationPlatform {
  public:
    Registry& GetRegistry() override;
    const TextServices& GetText(AnsiCodePage codePage) override;
    ModuleResources& GetResources() override;
    DWORD Version() override;
    bool ModulePath(std::u16string* path, DWORD* lastError) override;
    bool ShortPathName(const std::u16string& path, std::u16string* shortPath) override;
};

}  // namespace tw
