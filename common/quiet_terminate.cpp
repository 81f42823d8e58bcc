// Replaces the C++ runtime's default terminate handler, which prints the exception's demangled type
// to standard error before aborting. Our programs write only their own lines, and the replacement
// keeps the demangler and printf machinery (about 70 KB) out of the statically linked binaries.
// Linked as an object file so that it takes precedence over the runtime library's definition.
#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
}  // namespace __gnu_cxx
