// Host stand-ins of the registration's platform operations, and what tests use to drive and
// inspect them. The registry is an in-memory one that starts as a fresh Windows installation has
// it: the Approved list key of HKEY_LOCAL_MACHINE exists, empty, and nothing else.
#pragma once

#include <string>
#include <vector>

#include "memory_registry.h"
#include "registration_platform.h"

namespace tw::registration::host {

// The registry behind PlatformRegistry(). Opening or creating a path of several levels ("A\B\C")
// in one call works as on the platform: the access asked for applies to the last key only.
InMemoryRegistry& Registry();

// What PlatformVersion gives (initially a Windows NT version, bit 31 clear).
void SetVersion(DWORD version);

// What ServerModuleFileName copies, as GetModuleFileNameA does: the path cut to fit the buffer,
// and the buffer's size returned with ERROR_INSUFFICIENT_BUFFER when it does not fit. With
// FailModuleFileName, nothing is copied and 0 is returned with `error` as the last error.
void SetModuleFileName(const std::string& path);
void FailModuleFileName(DWORD error);

// The text services behind PlatformText() (initially CodePageText::Western()); null restores them.
void SetText(const TextServices* text);

// The module file's resources: loading succeeds only for the path SetModuleFileName gave, and the
// module then holds the one resource given here (none initially).
void SetResource(const ResourceId& id, const std::string& type, const std::string& bytes);
// The paths loaded so far, and how many loaded modules were not freed again.
const std::vector<std::string>& LoadedPaths();
int ModulesHeld();

// Puts every stand-in back to its initial state.
void Reset();

}  // namespace tw::registration::host
