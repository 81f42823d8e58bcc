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

// The path by which the registry script, which is 8-bit text in the thread's ANSI code page, names
// the module at `modulePath`, so that the registered path loads this very file: the path itself
// when the code page represents it exactly (converted and back it is unchanged; a best-fit
// look-alike does not count), otherwise its short form when the volume has one that the code page
// represents. S_OK with `scriptPath` set; HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION) when
// neither can be used; E_OUTOFMEMORY when a conversion cannot be made. The code page and the short
// form are the platform's.
HRESULT ScriptModulePath(const std::u16string& modulePath, RegistrationPlatform& platform,
                         std::u16string* scriptPath);

// Sets the Approved value: E_ACCESSDENIED when the key cannot be opened or the value not set.
HRESULT WriteApprovedValue(Registry& registry);
// Deletes the Approved value, whatever it finds (key or value absent, no right to write).
void DeleteApprovedValue(Registry& registry);

}  // namespace tw
