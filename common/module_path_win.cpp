#include "module_path.h"

#include "utf16.h"

namespace tw {

bool ModuleFileName(HMODULE module, std::u16string* name, DWORD* lastError) {
    return ReadWholeModuleName(
        [module](char16_t* buffer, DWORD size, DWORD* error) {
            const DWORD copied = GetModuleFileNameW(module, AsWide(buffer), size);
            *error = GetLastError();
            return copied;
        },
        name, lastError);
}

}  // namespace tw
