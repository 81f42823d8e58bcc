#include "text_cases.h"

namespace tw::test {

const std::vector<NumberCase>& NumberCases() {
    static const HRESULT kMismatch = DISP_E_TYPEMISMATCH;
    static const HRESULT kOverflow = DISP_E_OVERFLOW;
    static const std::vector<NumberCase> cases = {
        // Decimal, with white space around it.
        {u"3", S_OK, 3},
        {u"00012", S_OK, 12},
        {u" 3", S_OK, 3},
        {u"3 ", S_OK, 3},
        {u"\t3\t", S_OK, 3},
        {u"\n3\r", S_OK, 3},
        {u"\v3\f", S_OK, 3},
        {u"\u00a03", S_OK, 3},
        {u"\u30003", S_OK, 3},
        {u"4294967295", S_OK, 0xFFFFFFFFu},
        {u"4294967296", kOverflow, 0},
        {u"99999999999999999999", kOverflow, 0},
        // Signs.
        {u"+3", S_OK, 3},
        {u"-0", S_OK, 0},
        {u"-1", kOverflow, 0},
        {u"- 1", kOverflow, 0},
        {u"+", kMismatch, 0},
        {u"-", kMismatch, 0},
        {u"--1", kMismatch, 0},
        // Fractions and exponents, rounded half to even.
        {u"3.5", S_OK, 4},
        {u"2.5", S_OK, 2},
        {u"4.5", S_OK, 4},
        {u".5", S_OK, 0},
        {u"5.", S_OK, 5},
        {u"1.", S_OK, 1},
        {u"1e3", S_OK, 1000},
        {u"1E2", S_OK, 100},
        {u"1.5e1", S_OK, 15},
        {u"12e-1", S_OK, 1},
        {u"1e-1", S_OK, 0},
        {u"1e", kMismatch, 0},
        {u"4294967295.4", S_OK, 0xFFFFFFFFu},
        {u"4294967295.5", kOverflow, 0},
        {u"-0.4", S_OK, 0},
        {u"-0.5", S_OK, 0},
        {u"-0.6", kOverflow, 0},
        // Hexadecimal and octal.
        {u"&HA0000000", S_OK, 0xA0000000u},
        {u"&H00000040", S_OK, 0x40},
        {u"&HFFFFFFFF", S_OK, 0xFFFFFFFFu},
        {u"&h1f", S_OK, 0x1F},
        {u"&H0", S_OK, 0},
        {u" &H1 ", S_OK, 1},
        {u"&H100000000", kOverflow, 0},
        {u"&HFFFFFFFFF", kOverflow, 0},
        {u"&O17", S_OK, 15},
        {u"&o17", S_OK, 15},
        {u"&O37777777777", S_OK, 0xFFFFFFFFu},
        {u"&O40000000000", kOverflow, 0},
        {u"&H", kMismatch, 0},
        {u"&H 1", kMismatch, 0},
        {u"& H1", kMismatch, 0},
        {u"&HG", kMismatch, 0},
        {u"&H1G", kMismatch, 0},
        {u"&B101", kMismatch, 0},
        // Not numbers.
        {u"", kMismatch, 0},
        {u"  ", kMismatch, 0},
        {u"abc", kMismatch, 0},
        {u"0x10", kMismatch, 0},
        {u"3a", kMismatch, 0},
        {u"1 2", kMismatch, 0},
        {u"1%", kMismatch, 0},
        {u"$", kMismatch, 0},
    };
    return cases;
}

const std::vector<CompareCase>& CompareCases() {
    static const std::vector<CompareCase> cases = {
        {1252, "CLSID", "clsid", true},
        {1252, "ForceRemove", "FORCEREMOVE", true},
        // The letter i in every case, which a Turkish locale would pair with İ and ı instead.
        {1252, "Interface", "INTERFACE", true},
        {1252, "appid", "APPID", true},
        {1252, "Val", "Vals", false},
        {1252, "", "", true},
        {1252, "A", "", false},
        {1252, "a", "b", false},
        {1252, "[", "{", false},  // 0x5B and 0x7B differ by the case bit but are no letters
        {1252, "@", "`", false},
        // Beyond ASCII, only the same character is equal.
        {1252, "Été", "été", false},
        {1252, "été", "été", true},
        {1252, "Šœ", "šŒ", false},
        {1252, "Ÿ", "ÿ", false},
        {1252, "Ñ", "N", false},
        {932, "HKCR", "hkcr", true},
        {932, "Ａ", "ａ", false},
        {932, "ア", "ヂ", false},  // trail bytes 0x41 and 0x61 are not letters here
        {932, "アB", "アb", true},
        {932, "Ω", "ω", false},
        {932, "Я", "я", false},
        {932, "ア", "ｱ", false},
        {932, "ソ", "\\", false},
    };
    return cases;
}

}  // namespace tw::test
