// The values of a registry script: which registry type a type letter names, and the bytes a value
// token becomes.
#pragma once

#include <string>

#include "registrar_types.h"
#include "text_services.h"

namespace tw {

// The registry type of a type letter, without regard to case: "S" REG_SZ, "M" REG_MULTI_SZ, "D"
// REG_DWORD, "B" REG_BINARY. False for any other token.
bool ValueTypeOfLetter(const std::string& letter, const TextServices& text, DWORD* type);

// The bytes a value token of `type` is written as, and their size (which for REG_MULTI_SZ can be
// less than the bytes made):
// - REG_SZ: the token and a terminating NUL.
// - REG_MULTI_SZ: the token with every backslash-zero pair turned into one NUL (a double-byte
//   character is copied whole), then two NULs; the size counts up to and including the terminator
//   of the first empty string.
// - REG_DWORD: the token as UTF-16 parsed by the platform's number parser; its HRESULT when it
//   is no number, E_OUTOFMEMORY when it cannot be converted.
// - REG_BINARY: two hexadecimal digits per byte, the first the high nibble (any other character
//   counts as 0); E_FAIL for an odd number of characters.
HRESULT EncodeValue(DWORD type, const std::string& token, const TextServices& text,
                    std::string* data, DWORD* size);

}  // namespace tw
