// Self-registration of the server: the value it puts into the Approved list of shell extensions,
// and the module path as the registry script receives it. The module's registration operations
// (module.h) are defined in registration.cpp.
#pragma once

#include <string>

#include "approved_entry.h"
#include "registration_platform.h"

namespace tw {

// `path` with every single quote written twice, so that it reads back unchanged from inside a
// quoted token of a registry script. Nothing is ever cut.
std::u16string EscapeModulePath(const std::u16string& path);

// The paths by which registration names the module at `modulePath` (whole). Both are forms of it
// that Windows can use, below MAX_PATH (the path policy over `shortNames`): `registered`, which
// the registry script names the module by and the COM runtime loads as InprocServer32, is also one
// that the script's 8-bit text in the code page `ansi` carries exactly (converted and back it is
// unchanged; a best-fit look-alike would name another file); `loaded`, through which the script
// resource is read, need not be. Each is the path itself when it can be, else its short form.
// HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER) when no form is short enough,
// HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION) when the code page carries none of those that
// are, E_OUTOFMEMORY when a conversion cannot be made.
struct ModulePaths {
    std::u16string registered;
    std::u16string loaded;
};
HRESULT ChooseModulePaths(const std::u16string& modulePath, ShortPathNames& shortNames,
                          const TextServices& ansi, ModulePaths* paths);

// Sets the Approved value: E_ACCESSDENIED when the key cannot be opened or the value not set.
HRESULT WriteApprovedValue(Registry& registry);
// Deletes the Approved value, whatever it finds (key or value absent, no right to write).
void DeleteApprovedValue(Registry& registry);

}  // namespace tw
