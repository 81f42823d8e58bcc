#include "guid_text.h"

#include <cstdint>

namespace tw {
namespace {

// Appends `value` as `digits` upper-case hexadecimal digits. (Written out rather than formatted
// with the C library, whose formatter would come into every binary that uses this.)
void AppendHex(uint32_t value, int digits, std::string* text) {
    static const char kDigits[] = "0123456789ABCDEF";
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) {
        text->push_back(kDigits[(value >> shift) & 0xF]);
    }
}

}  // namespace

std::string GuidText(const GUID& guid) {
    std::string text = "{";
    AppendHex(guid.Data1, 8, &text);
    text += '-';
    AppendHex(guid.Data2, 4, &text);
    text += '-';
    AppendHex(guid.Data3, 4, &text);
    text += '-';
    for (int i = 0; i < 8; ++i) {
        if (i == 2) {
            text += '-';
        }
        AppendHex(guid.Data4[i], 2, &text);
    }
    return text + '}';
}

}  // namespace tw
