// A module's whole file name, however long: the platform's module-name call cuts a name that does
// not fit the buffer, so the buffer grows until the name fits.
#pragma once

#include <string>

#include "win_types.h"

namespace tw {

// The buffer sizes tried, in UTF-16 units: from the classic path limit up to one past the longest
// path the platform has.
constexpr DWORD kFirstModuleNameBuffer = 260;
constexpr DWORD kLastModuleNameBuffer = 65536;

// Reads a module's file name with `fetch`, a call that behaves as GetModuleFileNameW: it copies
// the name into `buffer` of `size` units and returns the units copied, 0 on failure, or `size`
// when the name did not fit (cut, with or without a terminator), putting GetLastError into
// `*lastError`. True with the whole name; false with the call's error in `*lastError`
// (ERROR_INSUFFICIENT_BUFFER when even the largest buffer was too small).
template <class Fetch>
bool ReadWholeModuleName(Fetch fetch, std::u16string* name, DWORD* lastError) {
    std::u16string buffer;
    for (DWORD size = kFirstModuleNameBuffer; size <= kLastModuleNameBuffer; size *= 2) {
        buffer.assign(size, u'\0');
        const DWORD copied = fetch(&buffer[0], size, lastError);
        if (copied == 0) {
            return false;
        }
        if (copied < size) {
            buffer.resize(copied);
            *name = std::move(buffer);
            return true;
        }
    }
    *lastError = ERROR_INSUFFICIENT_BUFFER;
    return false;
}

#ifdef _WIN32
// GetModuleFileNameW of `module` (null: the program itself), whole.
bool ModuleFileName(HMODULE module, std::u16string* name, DWORD* lastError);
#endif

}  // namespace tw
