#include "code_page_text.h"

#include <cstdint>
#include <cstdio>

#include "utf8.h"

namespace tw {
namespace {

// Bytes 0x80-0x9F of code page 1252; the rest of the code page is Latin-1.
constexpr char16_t kWestern80[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Best-fit replacements of code page 1252 for U+0100-U+017F (Latin Extended-A), as measured under
// Wine: mostly the letter without its mark; '?' where there is none. (The code page's own
// characters of the range, such as U+0152, are found before this table is looked at.)
constexpr char kWesternBestFit100[] =
    "AaAaAaCcCcCcCcDd\xD0"
    "dEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIi??JjKk?LlLlLl??LlNnNnNn???OoOoOo\x8C\x9C"
    "RrRrRrSsSsSsSsTtTtTtUuUuUuUuUuUuWwYy\x9F"
    "ZzZz\x8E\x9E?";
static_assert(sizeof(kWesternBestFit100) == 0x80 + 1, "one replacement per character");

// Double-byte characters of code page 932 that the stand-in knows: runs of consecutive pairs
// that map to consecutive UTF-16 units.
struct PairRun {
    uint16_t first;
    uint16_t last;
    char16_t unicode;
};
constexpr PairRun kJapanesePairs[] = {
    {0x8140, 0x8140, 0x3000},  // ideographic space
    {0x815B, 0x815B, 0x30FC},  // prolonged sound mark
    {0x815C, 0x815C, 0x2015},  // horizontal bar (trail byte 0x5C)
    {0x815F, 0x815F, 0xFF3C},  // full-width reverse solidus
    {0x8160, 0x8160, 0xFF5E},  // full-width tilde
    {0x824F, 0x8258, 0xFF10},  // full-width digits
    {0x8260, 0x8279, 0xFF21},  // full-width capital letters
    {0x8281, 0x829A, 0xFF41},  // full-width small letters
    {0x829F, 0x82F1, 0x3041},  // hiragana
    {0x8340, 0x837E, 0x30A1},  // katakana (trail bytes 0x40-0x7E: letters, backslash, braces)
    {0x8380, 0x8396, 0x30E0},  // katakana
    {0x839F, 0x83AF, 0x0391},  // Greek capitals
    {0x83B0, 0x83B6, 0x03A3}, {0x83BF, 0x83CF, 0x03B1},  // Greek small letters
    {0x83D0, 0x83D6, 0x03C3}, {0x8440, 0x8445, 0x0410},  // Cyrillic capitals
    {0x8446, 0x8446, 0x0401}, {0x8447, 0x8460, 0x0416},
    {0x8470, 0x8475, 0x0430},  // Cyrillic small letters
    {0x8476, 0x8476, 0x0451}, {0x8477, 0x847E, 0x0436},
    {0x8480, 0x8491, 0x043E}, {0x93FA, 0x93FA, 0x65E5},  // ideographs
    {0x945C, 0x945C, 0x80FD}, {0x955C, 0x955C, 0x8868},
    {0x967B, 0x967B, 0x672C},
};
constexpr char16_t kUnknownJapanese = 0x30FB;
constexpr char16_t kHalfWidthKatakana = 0xFF61;  // bytes 0xA1-0xDF

bool IsSpace(char16_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0xA0 || c == 0x3000;
}

// Rounds the decimal number digits x 10^exponent half to even; false when it exceeds 32 bits.
bool RoundDecimal(const std::string& digits, long exponent, uint32_t* value) {
    size_t start = digits.find_first_not_of('0');
    if (start == std::string::npos) {
        *value = 0;
        return true;
    }
    const std::string significant = digits.substr(start);
    const long length = static_cast<long>(significant.size());
    const long integerLength = length + exponent;
    if (integerLength > 10) {
        return false;
    }
    uint64_t integer = 0;
    for (long i = 0; i < integerLength; ++i) {
        integer = integer * 10 + (i < length ? significant[i] - '0' : 0);
    }
    if (integerLength < length) {
        // The fraction: its first digit, and whether anything follows it.
        const long firstFraction = integerLength < 0 ? -1 : integerLength;
        const int first = firstFraction < 0 ? 0 : significant[firstFraction] - '0';
        const bool more =
            significant.find_first_not_of('0', firstFraction + 1) != std::string::npos;
        if (first > 5 || (first == 5 && (more || integer % 2 == 1))) {
            ++integer;
        }
    }
    if (integer > 0xFFFFFFFFu) {
        return false;
    }
    *value = static_cast<uint32_t>(integer);
    return true;
}

}  // namespace

char16_t FoldLetter(char16_t c) {
    if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) ||
        (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) || (c >= 0x410 && c <= 0x42F) ||
        (c >= 0xFF21 && c <= 0xFF3A)) {
        return static_cast<char16_t>(c + 0x20);
    }
    if (c >= 0x400 && c <= 0x40F) {
        return static_cast<char16_t>(c + 0x50);
    }
    if (c == 0x160 || c == 0x152 || c == 0x17D) {
        return static_cast<char16_t>(c + 1);
    }
    if (c == 0x178) {
        return 0xFF;
    }
    return c;
}

CodePageText::CodePageText(unsigned codePage) : codePage_(codePage == 932 ? 932 : 1252) {}

const CodePageText& CodePageText::Western() {
    static const CodePageText text(1252);
    return text;
}

const CodePageText& CodePageText::Japanese() {
    static const CodePageText text(932);
    return text;
}

bool CodePageText::IsLeadByte(unsigned char byte) const {
    return codePage_ == 932 && ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC));
}

const char* CodePageText::NextChar(const char* p) const {
    if (*p == '\0') {
        return p;
    }
    if (IsLeadByte(static_cast<unsigned char>(*p)) && p[1] != '\0') {
        return p + 2;
    }
    return p + 1;
}

char16_t CodePageText::Decode(const unsigned char* text, size_t length, size_t* used) const {
    const unsigned char byte = text[0];
    *used = 1;
    if (byte < 0x80) {
        return byte;
    }
    if (codePage_ == 1252) {
        return byte < 0xA0 ? kWestern80[byte - 0x80] : byte;
    }
    if (IsLeadByte(byte) && length >= 2 && text[1] != 0) {
        *used = 2;
        const uint16_t pair = static_cast<uint16_t>(byte << 8 | text[1]);
        for (const PairRun& run : kJapanesePairs) {
            if (pair >= run.first && pair <= run.last) {
                return static_cast<char16_t>(run.unicode + (pair - run.first));
            }
        }
        return kUnknownJapanese;
    }
    if (byte >= 0xA1 && byte <= 0xDF) {
        return static_cast<char16_t>(kHalfWidthKatakana + (byte - 0xA1));
    }
    return kUnknownJapanese;
}

bool CodePageText::ToUtf16(const std::string& narrow, std::u16string* wide) const {
    wide->clear();
    const auto* text = reinterpret_cast<const unsigned char*>(narrow.data());
    for (size_t i = 0, used = 0; i < narrow.size(); i += used) {
        wide->push_back(Decode(text + i, narrow.size() - i, &used));
    }
    return true;
}

bool CodePageText::FromUtf16(const std::u16string& wide, std::string* narrow) const {
    narrow->clear();
    for (char16_t c : wide) {
        if (c < 0x80) {
            narrow->push_back(static_cast<char>(c));
            continue;
        }
        uint16_t encoded = '?';
        if (codePage_ == 1252) {
            if (c >= 0xA0 && c <= 0xFF) {
                encoded = c;
            }
            for (unsigned i = 0; i < 32; ++i) {
                if (kWestern80[i] == c) {
                    encoded = static_cast<uint16_t>(0x80 + i);
                }
            }
            // What the platform puts for characters the code page lacks: a look-alike where it
            // has one (best fit), otherwise '?'.
            if (encoded == '?' && c >= 0x100 && c <= 0x17F) {
                encoded = static_cast<unsigned char>(kWesternBestFit100[c - 0x100]);
            } else if (encoded == '?' && c >= 0xFF01 && c <= 0xFF5E) {
                encoded = static_cast<uint16_t>(c - 0xFEE0);  // full-width ASCII
            }
        } else if (c >= kHalfWidthKatakana && c <= kHalfWidthKatakana + (0xDF - 0xA1)) {
            encoded = static_cast<uint16_t>(0xA1 + (c - kHalfWidthKatakana));
        } else {
            for (const PairRun& run : kJapanesePairs) {
                if (c >= run.unicode && c <= run.unicode + (run.last - run.first)) {
                    encoded = static_cast<uint16_t>(run.first + (c - run.unicode));
                }
            }
        }
        if (encoded > 0xFF) {
            narrow->push_back(static_cast<char>(encoded >> 8));
        }
        narrow->push_back(static_cast<char>(encoded & 0xFF));
    }
    return true;
}

std::string CodePageText::FoldCase(const char* text, size_t length) const {
    std::string folded(text, length);
    bool ascii = true;
    for (char& c : folded) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c + ('a' - 'A'));
        }
    }
    if (ascii) {
        return folded;
    }
    folded.clear();
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    for (size_t i = 0, used = 0; i < length; i += used) {
        AppendUtf8(FoldLetter(Decode(bytes + i, length - i, &used)), &folded);
    }
    return folded;
}

size_t CodePageText::Utf16Length(const char* text, size_t length) const {
    if (codePage_ == 1252) {
        return length;
    }
    size_t units = 0;
    for (const char* p = text; p < text + length; p = NextChar(p)) {
        ++units;
    }
    return units;
}

bool CodePageText::CarriesExactly(const std::u16string& wide, std::string* lacking) const {
    for (size_t i = 0; i < wide.size();) {
        // One character: a surrogate pair whole.
        const bool pair = wide[i] >= 0xD800 && wide[i] < 0xDC00 && i + 1 < wide.size() &&
                          wide[i + 1] >= 0xDC00 && wide[i + 1] < 0xE000;
        const std::u16string character = wide.substr(i, pair ? 2 : 1);
        std::string narrow;
        std::u16string back;
        if (!FromUtf16(character, &narrow) || !ToUtf16(narrow, &back) || back != character) {
            const char32_t code =
                pair ? 0x10000 + ((char32_t{character[0]} - 0xD800) << 10) + (character[1] - 0xDC00)
                     : character[0];
            char number[16];
            std::snprintf(number, sizeof number, "U+%04X", static_cast<unsigned>(code));
            *lacking = "\"" + Utf16ToUtf8(character) + "\" (" + number + ")";
            return false;
        }
        i += character.size();
    }
    return true;
}

HRESULT CodePageText::ParseUI4(const std::u16string& text, uint32_t* value) const {
    size_t i = 0;
    const size_t n = text.size();
    auto skipSpace = [&] {
        while (i < n && IsSpace(text[i])) {
            ++i;
        }
    };
    auto isDigit = [&](size_t at, unsigned radix) {
        if (at >= n) {
            return false;
        }
        const char16_t c = text[at];
        if (radix == 16) {
            return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
        }
        return c >= u'0' && c < static_cast<char16_t>(u'0' + radix);
    };
    skipSpace();
    bool negative = false;
    bool sign = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        sign = true;
        negative = text[i] == u'-';
        ++i;
        skipSpace();
    }
    uint32_t result = 0;
    bool overflow = false;
    if (i < n && text[i] == u'&') {
        if (sign || i + 1 >= n) {
            return DISP_E_TYPEMISMATCH;
        }
        const char16_t kind = text[i + 1];
        const unsigned radix = (kind == u'H' || kind == u'h')   ? 16
                               : (kind == u'O' || kind == u'o') ? 8
                                                                : 0;
        i += 2;
        if (radix == 0 || !isDigit(i, radix)) {
            return DISP_E_TYPEMISMATCH;
        }
        uint64_t accumulated = 0;
        for (; isDigit(i, radix); ++i) {
            const char16_t c = text[i];
            const unsigned digit = c <= u'9' ? c - u'0' : (c | 0x20) - u'a' + 10;
            accumulated = accumulated * radix + digit;
            if (accumulated > 0xFFFFFFFFu) {
                overflow = true;
                accumulated = 0x100000000u;
            }
        }
        result = static_cast<uint32_t>(accumulated);
    } else {
        std::string digits;
        long exponent = 0;
        for (; isDigit(i, 10); ++i) {
            digits.push_back(static_cast<char>(text[i]));
        }
        if (i < n && text[i] == u'.') {
            for (++i; isDigit(i, 10); ++i) {
                digits.push_back(static_cast<char>(text[i]));
                --exponent;
            }
        }
        if (digits.empty()) {
            return DISP_E_TYPEMISMATCH;
        }
        if (i < n && (text[i] == u'e' || text[i] == u'E')) {
            ++i;
            bool exponentNegative = false;
            if (i < n && (text[i] == u'+' || text[i] == u'-')) {
                exponentNegative = text[i] == u'-';
                ++i;
            }
            if (!isDigit(i, 10)) {
                return DISP_E_TYPEMISMATCH;
            }
            long written = 0;
            for (; isDigit(i, 10); ++i) {
                if (written < 100000) {
                    written = written * 10 + (text[i] - u'0');
                }
            }
            exponent += exponentNegative ? -written : written;
        }
        overflow = !RoundDecimal(digits, exponent, &result);
    }
    skipSpace();
    if (i != n) {
        return DISP_E_TYPEMISMATCH;
    }
    if (overflow || (negative && result != 0)) {
        return DISP_E_OVERFLOW;
    }
    *value = result;
    return S_OK;
}

}  // namespace tw
