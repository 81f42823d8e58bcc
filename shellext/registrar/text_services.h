// The seam between the registry script interpreter and the platform's text services for one ANSI
// code page. The platform has two: the system's (CP_ACP), with which the registry's 8-bit
// functions read what they are given, and the calling thread's (CP_THREAD_ACP), which follows the
// user's regional format and can differ from it. Everything of a script ends in the registry, so
// the interpreter and registration use the system's for every 8-bit step (kRegistryCodePage).
// The Windows adapter (text_services_win.cpp) calls IsDBCSLeadByteEx, MultiByteToWideChar and
// WideCharToMultiByte with the code page's identifier, and VarUI4FromStr; the host stand-in
// (code_page_text.h) imitates them for code pages 1252 and 932. UTF-16 text is char16_t in every
// build (utf16.h).
#pragma once

#include <cstdint>
#include <string>

#include "registrar_types.h"

namespace tw {

// The platform's two ANSI code pages.
enum class AnsiCodePage {
    System,  // CP_ACP
    Thread,  // CP_THREAD_ACP
};

// The code page of every 8-bit step whose bytes reach the registry: the one RegSetValueExA and
// the other 8-bit registry functions decode with.
constexpr AnsiCodePage kRegistryCodePage = AnsiCodePage::System;

class TextServices {
  public:
    virtual ~TextServices() = default;

    // The next character after `p` (as CharNextExA steps): a double-byte character is stepped
    // over whole, a lead byte followed by the terminating NUL alone; at the NUL itself, `p`.
    virtual const char* NextChar(const char* p) const = 0;
    // Whether `byte` starts a double-byte character (IsDBCSLeadByteEx).
    virtual bool IsLeadByte(unsigned char byte) const = 0;
    // 8-bit text to UTF-16 (MultiByteToWideChar); false when the conversion fails.
    virtual bool ToUtf16(const std::string& narrow, std::u16string* wide) const = 0;
    // UTF-16 to 8-bit text (WideCharToMultiByte); false when the conversion fails.
    virtual bool FromUtf16(const std::u16string& wide, std::string* narrow) const = 0;
    // Parses an unsigned 32-bit number (VarUI4FromStr with locale 0 and flags 0) and returns the
    // parser's HRESULT.
    virtual HRESULT ParseUI4(const std::u16string& text, uint32_t* value) const = 0;

    // Whether two NUL-terminated names are equal with ASCII letters compared without regard to
    // case and every other character exactly, whatever the user's locale (lstrcmpiA would follow
    // it: in a Turkish one "clsid" is not "CLSID"). Characters are stepped in this code page, so
    // the trail byte of a double-byte character is never taken for a letter.
    bool EqualNoCase(const char* a, const char* b) const;
};

}  // namespace tw
