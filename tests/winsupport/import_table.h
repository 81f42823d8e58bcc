// Import table patching for test programs and test DLLs (never shipped): a call that a module makes
// through its import address table is sent to a recorder of the test's instead.
#pragma once

#include <windows.h>

namespace tw::test {

// Has the calls that `module` makes to its import `function` go to `replacement` instead (its
// import address table entry is replaced). `dll` names the DLL the import comes from, without
// regard to case, or is null for any DLL. Returns what the entry pointed at before: the function
// to call on; null when `module` has no such import by name, or the entry cannot be written.
void* ReplaceImport(HMODULE module, const char* dll, const char* function, void* replacement);

}  // namespace tw::test
