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

// The module's path that ServerModulePath gives, whole. With FailModuleFileName, it fails with
// `error` as the last error.
void SetModuleFileName(const std::u16string& path);
void FailModuleFileName(DWORD error);

// The short form ShortPathName gives for `path`; every other path has none (initially none has).
void SetShortPathName(const std::u16string& path, const std::u16string& shortPath);

// The text services behind PlatformText() (initially CodePageText::Western()); null restores them.
void SetText(const TextServices* text);

// The module file's resources: loading succeeds only for the path SetModuleFileName gave, and the
// module then holds the one resource given here (none initially).
void SetResource(const ResourceId& id, const std::string& type, const std::string& bytes);
// The paths loaded so far, and how many loaded modules were not freed again.
const std::vector<std::u16string>& LoadedPaths();
int ModulesHeld();

// Puts every stand-in back to its initial state.
void Reset();

}  // namespace tw::registration::host
