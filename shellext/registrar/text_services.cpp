#include "text_services.h"

namespace tw {
namespace {

unsigned char AsciiLower(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

}  // namespace

bool TextServices::EqualNoCase(const char* a, const char* b) const {
    for (;;) {
        const char* const nextA = NextChar(a);
        const char* const nextB = NextChar(b);
        if (nextA - a != nextB - b) {
            return false;
        }
        if (nextA - a == 1) {
            if (AsciiLower(static_cast<unsigned char>(*a)) !=
                AsciiLower(static_cast<unsigned char>(*b))) {
                return false;
            }
        } else if (nextA == a) {
            return true;  // both at their terminator
        } else {
            for (const char* p = a; p < nextA; ++p) {
                if (*p != b[p - a]) {
                    return false;
                }
            }
        }
        a = nextA;
        b = nextB;
    }
}

}  // namespace tw
