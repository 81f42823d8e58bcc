#include "value_encoder.h"

namespace tw {
namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return 0;  // any other character counts as 0
}

}  // namespace

bool ValueTypeOfLetter(const std::string& letter, const TextServices& text, DWORD* type) {
    static const struct {
        const char* letter;
        DWORD type;
    } kTypes[] = {{"S", REG_SZ}, {"M", REG_MULTI_SZ}, {"D", REG_DWORD}, {"B", REG_BINARY}};
    for (const auto& candidate : kTypes) {
        if (text.EqualNoCase(letter.c_str(), candidate.letter)) {
            *type = candidate.type;
            return true;
        }
    }
    return false;
}

HRESULT EncodeValue(DWORD type, const std::string& token, const TextServices& text,
                    std::string* data, DWORD* size) {
    data->clear();
    switch (type) {
        case REG_SZ:
            *data = token;
            data->push_back('\0');
            break;
        case REG_MULTI_SZ: {
            const char* p = token.c_str();
            const char* const end = p + token.size();
            while (p < end) {
                if (p[0] == '\\' && p[1] == '0') {
                    data->push_back('\0');
                    p += 2;
                } else if (text.IsLeadByte(static_cast<unsigned char>(*p)) && p + 1 < end) {
                    data->append(p, 2);
                    p += 2;
                } else {
                    data->push_back(*p++);
                }
            }
            data->append(2, '\0');
            // Up to and including the terminator of the first empty string.
            size_t start = 0;
            while ((*data)[start] != '\0') {
                start = data->find('\0', start) + 1;
            }
            *size = static_cast<DWORD>(start + 1);
            return S_OK;
        }
        case REG_DWORD: {
            std::u16string wide;
            if (!text.ToUtf16(token, &wide)) {
                return E_OUTOFMEMORY;
            }
            uint32_t number = 0;
            const HRESULT hr = text.ParseUI4(wide, &number);
            if (FAILED(hr)) {
                return hr;
            }
            const DWORD dword = number;
            data->assign(reinterpret_cast<const char*>(&dword), sizeof dword);
            break;
        }
        default:  // REG_BINARY
            if (token.size() % 2 != 0) {
                return E_FAIL;
            }
            for (size_t i = 0; i < token.size(); i += 2) {
                data->push_back(
                    static_cast<char>(HexDigit(token[i]) << 4 | HexDigit(token[i + 1])));
            }
            break;
    }
    *size = static_cast<DWORD>(data->size());
    return S_OK;
}

}  // namespace tw
