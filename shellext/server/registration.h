// Self-registration of the server: the value it puts into the Approved list of shell extensions,
// and the module path as the registry script receives it. The module's registration operations
// (module.h) are defined in registration.cpp.
#pragma once

#include <string>

#include "approved_entry.h"
#include "registry.h"

namespace tw {

// The longest escaped module path, in characters before the terminating zero; the rest of a longer
// one is cut off. A path of at most 259 characters (the only kind registration accepts) never
// reaches it.
constexpr size_t kMaxEscapedPath = 519;

// `path` with every single quote written twice, so that it reads back unchanged from inside a
// quoted token of a registry script.
std::u16string EscapeModulePath(const std::u16string& path);

// Sets the Approved value: E_ACCESSDENIED when the key cannot be opened or the value not set.
HRESULT WriteApprovedValue(Registry& registry);
// Deletes the Approved value, whatever it finds (key or value absent, no right to write).
void DeleteApprovedValue(Registry& registry);

}  // namespace tw
