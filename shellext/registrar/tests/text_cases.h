// Tables of text-service cases: the platform's answers as measured under Wine, and the
// interpreter's comparisons of names. The host tests check the stand-in (CodePageText) against
// them; registrar_wine_test checks the real functions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "registrar_types.h"

namespace tw::test {

// VarUI4FromStr(text, 0, 0).
struct NumberCase {
    std::u16string text;
    HRESULT result;
    uint32_t value;  // when the result is S_OK
};
const std::vector<NumberCase>& NumberCases();

// TextServices::EqualNoCase(a, b) in a code page, whatever the thread's locale: ASCII letters
// without regard to case, every other character exactly; a and b are written in UTF-8.
struct CompareCase {
    unsigned codePage;  // 1252 or 932
    std::string a;
    std::string b;
    bool equal;
};
const std::vector<CompareCase>& CompareCases();

}  // namespace tw::test
