// The seam between the registry script interpreter and a registry: the few operations the
// interpreter makes, each reporting a Win32 error number (0 for success). The Windows adapter
// WindowsRegistry (platform_win.h, registry_win.cpp) carries them out with the platform's registry
// functions; the in-memory registry (memory_registry.h) stands in for it in host tests, in the
// twrgs tool and in the fuzz target.
#pragma once

#include <cstdint>
#include <string>

#include "registrar_types.h"

namespace tw {

// An open key: one of the predefined roots, or a handle a registry returned from Open or Create.
using RegKey = std::uintptr_t;

enum class RegistryRoot {
    ClassesRoot,
    CurrentUser,
    LocalMachine,
    Users,
    PerformanceData,
    DynData,
    CurrentConfig,
};
constexpr int kRegistryRootCount = 7;

// The key of a predefined root. The values are those of the platform's HKEY_CLASSES_ROOT
// (0x80000000) to HKEY_DYN_DATA (0x80000006), without the sign extension of 64-bit Windows.
constexpr RegKey RootKey(RegistryRoot root) {
    return 0x80000000u + static_cast<RegKey>(root);
}
// True when `key` is a predefined root; `root` receives which one.
bool IsRootKey(RegKey key, RegistryRoot* root = nullptr);
// "HKEY_CLASSES_ROOT" and so on: the long name of a root, as a .reg file writes it.
const char* RootName(RegistryRoot root);

class Registry {
  public:
    virtual ~Registry() = default;

    // Opens the subkey `name` of `parent` (with a null or empty name: a new handle to `parent`
    // itself) with the access rights in `access`.
    virtual LONG Open(RegKey parent, const char* name, REGSAM access, RegKey* key) = 0;
    // Opens or creates the subkey `name` of `parent`: no class, non-volatile, default security.
    virtual LONG Create(RegKey parent, const char* name, REGSAM access, RegKey* key) = 0;
    // Sets a value of type REG_SZ, REG_MULTI_SZ, REG_DWORD or REG_BINARY; a null name is the
    // key's default value. The bytes are those RegSetValueExA takes (8-bit text for the string
    // types).
    virtual LONG SetValue(RegKey key, const char* name, DWORD type, const BYTE* data,
                          DWORD size) = 0;
    // Deletes a value; ERROR_FILE_NOT_FOUND when it does not exist.
    virtual LONG DeleteValue(RegKey key, const char* name) = 0;
    // The name of the subkey at index 0; ERROR_NO_MORE_ITEMS when there is none. A name is
    // returned whole, whatever its length in bytes.
    virtual LONG EnumFirstSubkey(RegKey key, std::string* name) = 0;
    // The number of direct subkeys.
    virtual LONG CountSubkeys(RegKey key, DWORD* count) = 0;
    // Deletes the subkey `name` of `parent`, which must have no subkeys of its own; its values go
    // with it.
    virtual LONG DeleteKey(RegKey parent, const char* name) = 0;
    // Closes a key handle. Closing a predefined root does nothing.
    virtual LONG Close(RegKey key) = 0;
};

}  // namespace tw
