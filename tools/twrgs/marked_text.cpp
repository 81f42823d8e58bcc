#include "marked_text.h"

#include <cstdio>
#include <map>

namespace tw {
namespace {

constexpr size_t kMarkLength = 6;  // the mark, four digits, the letter

// The letter that FoldLetter folds to `lower`, or `lower` itself when none does.
char16_t UnfoldLetter(char16_t lower) {
    static const std::map<char16_t, char16_t> kUpper = [] {
        std::map<char16_t, char16_t> upper;
        for (char32_t c = 0; c <= 0xFFFF; ++c) {
            const char16_t unit = static_cast<char16_t>(c);
            if (FoldLetter(unit) != unit) {
                upper.emplace(FoldLetter(unit), unit);
            }
        }
        return upper;
    }();
    const auto it = kUpper.find(lower);
    return it == kUpper.end() ? lower : it->second;
}

// The value of a hexadecimal digit, or -1.
int HexValue(char16_t c) {
    return c >= u'0' && c <= u'9'   ? c - u'0'
           : c >= u'A' && c <= u'F' ? c - u'A' + 10
           : c >= u'a' && c <= u'f' ? c - u'a' + 10
                                    : -1;
}

// The unit that the mark at `at` stands for, or -1 when no mark starts there.
int MarkedUnit(const std::u16string& text, size_t at) {
    if (text[at] != kUnitMark || text.size() - at < kMarkLength) {
        return -1;
    }
    int unit = 0;
    for (size_t digit = 1; digit <= 4; ++digit) {
        const int value = HexValue(text[at + digit]);
        if (value < 0) {
            return -1;
        }
        unit = unit << 4 | value;
    }
    const char16_t letter = text[at + 5];
    return letter == u'x' ? unit : letter == u'X' ? UnfoldLetter(static_cast<char16_t>(unit)) : -1;
}

}  // namespace

bool CanMark(const std::u16string& value, std::string* why) {
    const size_t at = value.find_first_of(u"\x01\x02\x03\x04\x05");
    if (at == std::u16string::npos) {
        return true;
    }
    char code[8];
    std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned>(value[at]));
    *why = std::string("holds the control character ") + code + ", which twrgs uses to mark text";
    return false;
}

void AppendMarked(char16_t c, const CodePageText& text, std::u16string* marked) {
    std::string lacking;
    if (text.CarriesExactly(std::u16string(1, c), &lacking)) {
        marked->push_back(c);
        return;
    }
    const char16_t folded = FoldLetter(c);
    char mark[16];
    std::snprintf(mark, sizeof mark, "%c%04X%c", kUnitMark, static_cast<unsigned>(folded),
                  folded == c ? 'x' : 'X');
    marked->append(mark, mark + kMarkLength);
}

std::u16string MarkText(const std::u16string& value, const CodePageText& text) {
    std::u16string marked;
    for (const char16_t c : value) {
        AppendMarked(c, text, &marked);
    }
    return marked;
}

bool ToUnmarkedUtf16(const std::string& registryText, const CodePageText& text,
                     std::u16string* wide) {
    std::u16string marked;
    if (!text.ToUtf16(registryText, &marked)) {
        return false;
    }
    wide->clear();
    for (size_t i = 0; i < marked.size(); ++i) {
        const int unit = MarkedUnit(marked, i);
        if (unit >= 0) {
            wide->push_back(static_cast<char16_t>(unit));
            i += kMarkLength - 1;
        } else {
            wide->push_back(marked[i]);
        }
    }
    return true;
}

bool MarkedRegFileText::ToUtf16(const std::string& registryText, std::u16string* wide) const {
    return ToUnmarkedUtf16(registryText, text_, wide);
}

bool MarkedRegFileText::FromUtf16(const std::u16string& wide, std::string* registryText,
                                  std::string* why) const {
    if (!CanMark(wide, why)) {
        *why = "it " + *why;
        return false;
    }
    *why = "it cannot be converted to code page " + std::to_string(text_.CodePage());
    return text_.FromUtf16(MarkText(wide, text_), registryText);
}

}  // namespace tw
