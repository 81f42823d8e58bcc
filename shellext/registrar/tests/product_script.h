// The product's own registry script (shellext/server/twShellExt.rgs) and what it leaves under
// HKEY_CLASSES_ROOT, shared by the registrar's tests and the registration tests.
#pragma once

#include <string>

namespace tw::test {

// The script file's bytes.
std::string ProductScript();

// The .reg sections (no header, no blank lines) that registering the script writes, for a module
// whose path, as a .reg file writes it (backslashes doubled), is `regModulePath`.
std::string ProductScriptRegistered(const std::string& regModulePath);

// The .reg sections that unregistering leaves: the keys marked NoRemove.
extern const char* const kProductScriptUnregistered;

}  // namespace tw::test
