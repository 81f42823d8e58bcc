// Text that the registrar's code page cannot carry, carried through it all the same, so that twrgs
// can show any substitution value exactly in the forms that hold UTF-16 (a .reg file, a WiX
// fragment), though the script runs in an 8-bit code page.
//
// Before a value reaches the registrar, each UTF-16 unit that the code page cannot carry exactly
// (converted and back it would be '?' or a best-fit look-alike) becomes a mark of six characters
// that it carries: U+0005, the unit folded to lower case as the in-memory registry folds letters
// (FoldLetter) in four hexadecimal digits, and "x", or "X" when the unit is the upper-case letter
// of that folded one. A character outside the Basic Multilingual Plane (an emoji) is two marks, one
// per surrogate. The registrar reads a mark as one more piece of a token (it holds no white space,
// quote, brace, percent sign or backslash); the registry compares marked names as it compares the
// characters they stand for, since a mark's hexadecimal digits and its "x" are compared without
// regard to case; and the writers turn marks back into their units.
//
// The control characters U+0001 to U+0005 are kept for marks (a writer may use U+0001 to U+0004 for
// marks of its own; the WiX fragment does), so text that holds one is not marked but refused, and
// so is a script that holds U+0005. What a mark cannot keep exact, the caller refuses too: a b or
// d value reads its token's characters in the code page itself; and a mark is six bytes where the
// character was one, so names and tokens reach the registry's and the script's limits sooner.
#pragma once

#include <string>

#include "code_page_text.h"
#include "reg_file.h"

namespace tw {

// The first character of a mark of a unit.
constexpr char kUnitMark = '\x05';

// Whether `value` holds none of the control characters kept for marks; when it holds one, `why`
// says which: "holds the control character 0x05, which twrgs uses to mark text".
bool CanMark(const std::u16string& value, std::string* why);
// Appends `c` to `marked`, or its mark when the code page of `text` cannot carry it exactly.
void AppendMarked(char16_t c, const CodePageText& text, std::u16string* marked);
// `value` (which CanMark) with every unit that the code page cannot carry exactly marked.
std::u16string MarkText(const std::u16string& value, const CodePageText& text);

// Registry text (8-bit, in the code page of `text`) in UTF-16, with every mark turned back into
// its unit.
bool ToUnmarkedUtf16(const std::string& registryText, const CodePageText& text,
                     std::u16string* wide);

// A .reg file's text for a registry that holds marks: written with the marks turned back, read
// with the units the code page cannot carry marked (and refused when it cannot be marked).
class MarkedRegFileText final : public RegFileText {
  public:
    explicit MarkedRegFileText(const CodePageText& text) : RegFileText(text) {}
    bool ToUtf16(const std::string& registryText, std::u16string* wide) const override;
    bool FromUtf16(const std::u16string& wide, std::string* registryText,
                   std::string* why) const override;
};

}  // namespace tw
