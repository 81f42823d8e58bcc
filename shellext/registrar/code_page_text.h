// Host stand-in for the platform's text services of one ANSI code page, 1252 (Western, the one
// Wine uses here) or 932 (Japanese, double-byte), so that tests can run scripts whose trail bytes
// look like backslashes, braces or letters, and can give a machine a system code page and a
// thread code page that differ. It implements what the interpreter and the in-memory
// registry rely on, and registrar_wine_test checks it against the real functions under Wine in both
// code pages:
// - Stepping: in 932, bytes 0x81-0x9F and 0xE0-0xFC lead a double-byte character, stepped over
//   with the byte after it unless that byte is the terminating NUL. 1252 has no lead bytes.
// - Conversion: 1252 completely (the five unassigned bytes map to U+0081 and so on). 932: ASCII,
//   the half-width katakana, and a table of double-byte characters (full-width Latin letters and
//   digits, hiragana, katakana, Greek, Cyrillic and a few symbols and ideographs); other bytes and
//   pairs become U+30FB. UTF-16 characters the code page lacks become '?', except that 1252 puts
//   the platform's best fit for Latin Extended-A letters (U+0100 becomes 'A') and for full-width
//   ASCII (U+FF21 becomes 'A').
// - Names without regard to case, as the registry compares key and value names (FoldCase): both
//   texts in UTF-16, with the letters of that repertoire (ASCII, Latin-1, the 1252 extras, Greek,
//   Cyrillic, full-width Latin) folded to lower case. (The interpreter's own comparisons are
//   TextServices::EqualNoCase, ASCII letters only.)
// - Numbers (VarUI4FromStr): surrounding white space (U+0009-U+000D, space, U+00A0, U+3000); an
//   optional sign, followed by optional white space, before a decimal number; a decimal number with
//   an optional fraction and exponent, rounded half to even; "&H" hexadecimal and "&O" octal.
//   Values above 0xFFFFFFFF, and negative values that do not round to 0, give DISP_E_OVERFLOW;
//   anything else gives DISP_E_TYPEMISMATCH, including what the platform's parser accepts beyond
//   this (thousands separators, currency signs, parentheses, trailing or repeated signs, a sign
//   before "&H").
#pragma once

#include <cstddef>
#include <string>

#include "text_services.h"
#include "utf16.h"

namespace tw {

class CodePageText final : public TextServices {
  public:
    // `codePage` is 1252 or 932; any other number is taken as 1252.
    explicit CodePageText(unsigned codePage);
    // The shared instances for the two code pages.
    static const CodePageText& Western();
    static const CodePageText& Japanese();

    unsigned CodePage() const { return codePage_; }

    const char* NextChar(const char* p) const override;
    bool IsLeadByte(unsigned char byte) const override;
    bool ToUtf16(const std::string& narrow, std::u16string* wide) const override;
    bool FromUtf16(const std::u16string& wide, std::string* narrow) const override;
    HRESULT ParseUI4(const std::u16string& text, uint32_t* value) const override;

    // The key under which a name is compared without regard to case: its UTF-16 form, folded to
    // lower case, as UTF-8 (so that byte order is character order). ASCII names fold in place.
    std::string FoldCase(const char* text, size_t length) const;
    // The number of UTF-16 units that `length` bytes of text convert to.
    size_t Utf16Length(const char* text, size_t length) const;

    // Whether the code page carries every character of `wide` exactly: converted to 8-bit text
    // and back, each is itself again (not '?' for a character the code page lacks, nor a best-fit
    // look-alike such as 'A' for U+0100). When not, `lacking` receives the first such character
    // for a message, in UTF-8 and by its code point: "\"Ā\" (U+0100)".
    bool CarriesExactly(const std::u16string& wide, std::string* lacking) const;

  private:
    char16_t Decode(const unsigned char* text, size_t length, size_t* used) const;

    unsigned codePage_;
};

// Lower-case form of a UTF-16 unit, for the letters CodePageText knows; others are unchanged.
char16_t FoldLetter(char16_t c);

}  // namespace tw
