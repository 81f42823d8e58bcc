// UTF-16 text is held as char16_t (std::u16string) in every build, so that the same code compiles
// on the host, where wchar_t has 32 bits, and on Windows, where WCHAR and char16_t have the same
// size and representation. The Windows adapters hand it to the W functions through AsWide.
#pragma once

#include <string>

#ifdef _WIN32
#include <cwchar>
#endif

namespace tw {

// UTF-8 and UTF-16 conversions for tools, tests and host stand-ins. Utf8ToUtf16 fails on malformed
// UTF-8; Utf16ToUtf8 writes U+FFFD for an unpaired surrogate.
bool Utf8ToUtf16(const std::string& utf8, std::u16string* utf16);
std::string Utf16ToUtf8(const std::u16string& utf16);

#ifdef _WIN32
static_assert(sizeof(wchar_t) == sizeof(char16_t), "WCHAR is UTF-16 on Windows");

inline const wchar_t* AsWide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}
inline wchar_t* AsWide(char16_t* text) {
    return reinterpret_cast<wchar_t*>(text);
}
// Copies `length` units of a WCHAR string (the whole NUL-terminated string without a length).
inline std::u16string FromWide(const wchar_t* text, size_t length) {
    return std::u16string(reinterpret_cast<const char16_t*>(text), length);
}
inline std::u16string FromWide(const wchar_t* text) {
    return FromWide(text, std::wcslen(text));
}
#endif

}  // namespace tw
