// The Windows adapters behind the registrar's seams (Windows builds only).
#pragma once

#include <windows.h>

#include "module_resources.h"
#include "registry.h"
#include "text_services.h"

namespace tw {

// The platform's registry functions. RegDeleteKeyExA is looked up by name in Advapi32.dll at the
// first key deletion of the process (RegDeleteKeyA when it is missing).
class WindowsRegistry final : public Registry {
  public:
    // The predefined roots are the real ones.
    WindowsRegistry();
    // For tests: each predefined root stands for the subkey of `scratch` named after it
    // ("HKEY_CLASSES_ROOT" and so on), created at its first use. Everything else is the real
    // registry functions on real keys. `scratch` stays the caller's.
    explicit WindowsRegistry(HKEY scratch);
    ~WindowsRegistry() override;
    WindowsRegistry(const WindowsRegistry&) = delete;
    WindowsRegistry& operator=(const WindowsRegistry&) = delete;

    LONG Open(RegKey parent, const char* name, REGSAM access, RegKey* key) override;
    LONG Create(RegKey parent, const char* name, REGSAM access, RegKey* key) override;
    LONG SetValue(RegKey key, const char* name, DWORD type, const BYTE* data, DWORD size) override;
    LONG DeleteValue(RegKey key, const char* name) override;
    LONG EnumFirstSubkey(RegKey key, std::string* name) override;
    LONG CountSubkeys(RegKey key, DWORD* count) override;
    LONG DeleteKey(RegKey parent, const char* name) override;
    LONG Close(RegKey key) override;

  private:
    LONG Resolve(RegKey key, HKEY* hkey);

    HKEY scratch_ = nullptr;
    HKEY mappedRoots_[kRegistryRootCount] = {};
};

// The process-wide adapters that CRegObject() uses (its text services: kRegistryCodePage's).
Registry& PlatformRegistry();
const TextServices& PlatformTextServices(AnsiCodePage codePage);
ModuleResources& PlatformModuleResources();

}  // namespace tw
