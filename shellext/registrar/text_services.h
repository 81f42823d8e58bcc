// The seam between the registry script interpreter and the platform's text services for the
// thread's ANSI code page. The Windows adapter (text_services_win.cpp) calls CharNextA,
// IsDBCSLeadByte, lstrcmpiA, MultiByteToWideChar and WideCharToMultiByte (CP_THREAD_ACP) and
// VarUI4FromStr; the host stand-in (code_page_text.h) imitates them for code pages 1252 and 932.
// UTF-16 text is char16_t in every build (utf16.h).
#pragma once

#include <cstdint>
#include <string>

#include "registrar_types.h"

namespace tw {

class TextServices {
  public:
    virtual ~TextServices() = default;

    // The next character after `p` (CharNextA): a double-byte character is stepped over whole,
    // a lead byte followed by the terminating NUL alone; at the NUL itself, `p`.
    virtual const char* NextChar(const char* p) const = 0;
    // Whether `byte` starts a double-byte character (IsDBCSLeadByte).
    virtual bool IsLeadByte(unsigned char byte) const = 0;
    // Whether two NUL-terminated strings are equal without regard to case (lstrcmpiA == 0).
    virtual bool EqualNoCase(const char* a, const char* b) const = 0;
    // 8-bit text to UTF-16 (MultiByteToWideChar); false when the conversion fails.
    virtual bool ToUtf16(const std::string& narrow, std::u16string* wide) const = 0;
    // UTF-16 to 8-bit text (WideCharToMultiByte); false when the conversion fails.
    virtual bool FromUtf16(const std::u16string& wide, std::string* narrow) const = 0;
    // Parses an unsigned 32-bit number (VarUI4FromStr with locale 0 and flags 0) and returns the
    // parser's HRESULT.
    virtual HRESULT ParseUI4(const std::u16string& text, uint32_t* value) const = 0;
};

}  // namespace tw
