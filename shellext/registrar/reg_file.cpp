#include "reg_file.h"

#include <cstdio>
#include <vector>

namespace tw {
namespace {

constexpr const char* kHeader = "Windows Registry Editor Version 5.00";
// Keys deeper than this below a root are refused, as the platform refuses them.
constexpr size_t kMaxKeyDepth = 512;
constexpr size_t kHexLineWidth = 76;

std::string ToUtf8(const std::string& narrow, const RegFileText& text) {
    std::u16string wide;
    text.ToUtf16(narrow, &wide);
    return Utf16ToUtf8(wide);
}

std::string Quote(const std::string& utf8) {
    std::string quoted = "\"";
    for (char c : utf8) {
        if (c == '\\' || c == '"') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + '"';
}

bool HasLineBreak(const std::string& s) {
    return s.find_first_of("\r\n") != std::string::npos;
}

// A REG_SZ that "text" can carry: one terminating NUL and no other, no line break.
bool IsPlainString(const std::string& data) {
    return !data.empty() && data.back() == '\0' && data.find('\0') == data.size() - 1 &&
           !HasLineBreak(data);
}

void AppendHex(const std::string& prefix, const std::string& bytes, std::string* out) {
    std::string line = prefix;
    for (size_t i = 0; i < bytes.size(); ++i) {
        char item[4];
        std::snprintf(item, sizeof item, "%02x", static_cast<unsigned char>(bytes[i]));
        line += item;
        if (i + 1 < bytes.size()) {
            line += ',';
            if (line.size() >= kHexLineWidth) {
                *out += line + "\\\n";
                line = "  ";
            }
        }
    }
    *out += line + '\n';
}

std::string Utf16LeBytes(const std::string& narrow, const RegFileText& text) {
    std::u16string wide;
    text.ToUtf16(narrow, &wide);
    std::string bytes;
    for (char16_t c : wide) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

}  // namespace

bool RegFileText::ToUtf16(const std::string& registryText, std::u16string* wide) const {
    return text_.ToUtf16(registryText, wide);
}

bool RegFileText::FromUtf16(const std::u16string& wide, std::string* registryText,
                            std::string* why) const {
    std::string lacking;
    if (!text_.CarriesExactly(wide, &lacking)) {
        *why = "code page " + std::to_string(text_.CodePage()) + " has no " + lacking;
        return false;
    }
    *why = "it cannot be converted to code page " + std::to_string(text_.CodePage());
    return text_.FromUtf16(wide, registryText);
}

bool WriteRegFile(const RegistrySnapshot& snapshot, const CodePageText& text, std::string* out,
                  std::string* error) {
    return WriteRegFile(snapshot, RegFileText(text), out, error);
}

bool WriteRegFile(const RegistrySnapshot& snapshot, const RegFileText& text, std::string* out,
                  std::string* error) {
    out->assign(kHeader).append("\n\n");
    for (const RegistryKeyDump& key : snapshot) {
        if (HasLineBreak(key.path)) {
            *error = "a key name holds a line break: " + ToUtf8(key.path, text);
            return false;
        }
        *out += '[' + ToUtf8(key.path, text) + "]\n";
        for (const RegistryValue& value : key.values) {
            if (HasLineBreak(value.name)) {
                *error = "a value name holds a line break in " + ToUtf8(key.path, text);
                return false;
            }
            const std::string name =
                (value.name.empty() ? std::string("@") : Quote(ToUtf8(value.name, text))) + '=';
            if (value.type == REG_SZ && IsPlainString(value.data)) {
                *out +=
                    name + Quote(ToUtf8(value.data.substr(0, value.data.size() - 1), text)) + '\n';
            } else if (value.type == REG_DWORD && value.data.size() == 4) {
                DWORD number = 0;
                for (int i = 3; i >= 0; --i) {
                    number = number << 8 | static_cast<unsigned char>(value.data[i]);
                }
                char digits[16];
                std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(number));
                *out += name + "dword:" + digits + '\n';
            } else if (value.type == REG_BINARY) {
                AppendHex(name + "hex:", value.data, out);
            } else {
                char prefix[24];
                std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(value.type));
                AppendHex(name + prefix,
                          IsStringType(value.type) ? Utf16LeBytes(value.data, text) : value.data,
                          out);
            }
        }
        *out += '\n';
    }
    return true;
}

namespace {

class RegFileReader {
  public:
    RegFileReader(Registry& registry, const RegFileText& text) : registry_(registry), text_(text) {}
    ~RegFileReader() { CloseKey(); }

    bool Read(const std::string& content, std::string* error);

  private:
    bool Fail(const std::string& why) {
        error_ = "line " + std::to_string(lineNumber_) + ": " + why;
        return false;
    }
    void CloseKey() {
        if (keyOpen_) {
            registry_.Close(key_);
            keyOpen_ = false;
        }
    }
    // The registry's 8-bit form of UTF-8 text; false, with why in `why`, when it has none.
    bool ToNarrow(const std::string& utf8, std::string* narrow, std::string* why) {
        std::u16string wide;
        *why = "it is no UTF-8 text";
        return Utf8ToUtf16(utf8, &wide) && text_.FromUtf16(wide, narrow, why);
    }
    bool OpenKeyPath(const std::string& path);
    bool ParseQuoted(const std::string& line, size_t* pos, std::string* utf8);
    bool ParseHex(std::string data, std::vector<std::string>& lines, size_t* next,
                  std::string* bytes);
    bool SetValue(const std::string& line, std::vector<std::string>& lines, size_t* next);

    Registry& registry_;
    const RegFileText& text_;
    RegKey key_ = 0;
    bool keyOpen_ = false;
    size_t lineNumber_ = 0;
    std::string error_;
};

bool RegFileReader::OpenKeyPath(const std::string& path) {
    CloseKey();
    std::vector<std::string> levels;
    for (size_t start = 0;;) {
        const size_t end = path.find('\\', start);
        levels.push_back(path.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    int root = 0;
    while (root < kRegistryRootCount && levels[0] != RootName(static_cast<RegistryRoot>(root))) {
        ++root;
    }
    if (root == kRegistryRootCount) {
        return Fail("unknown root key '" + levels[0] + "'");
    }
    if (levels.size() - 1 > kMaxKeyDepth) {
        return Fail("the key is nested deeper than " + std::to_string(kMaxKeyDepth) + " levels");
    }
    RegKey key = RootKey(static_cast<RegistryRoot>(root));
    for (size_t i = 1; i < levels.size(); ++i) {
        std::string name;
        std::string why = "an empty level";
        if (levels[i].empty() || !ToNarrow(levels[i], &name, &why)) {
            if (i > 1) {
                registry_.Close(key);
            }
            return Fail("bad key name in '" + path + "': " + why);
        }
        RegKey child;
        const LONG result = registry_.Create(key, name.c_str(), KEY_READ | KEY_WRITE, &child);
        if (i > 1) {
            registry_.Close(key);
        }
        if (result != ERROR_SUCCESS) {
            return Fail("cannot create '" + path + "' (error " + std::to_string(result) + ")");
        }
        key = child;
    }
    key_ = key;
    keyOpen_ = true;
    return true;
}

bool RegFileReader::ParseQuoted(const std::string& line, size_t* pos, std::string* utf8) {
    utf8->clear();
    for (size_t i = *pos + 1; i < line.size(); ++i) {
        if (line[i] == '"') {
            *pos = i + 1;
            return true;
        }
        if (line[i] == '\\' && i + 1 < line.size()) {
            ++i;
        }
        *utf8 += line[i];
    }
    return Fail("a quoted text is not closed");
}

bool RegFileReader::ParseHex(std::string data, std::vector<std::string>& lines, size_t* next,
                             std::string* bytes) {
    // Hex data may go on over the following lines, each one before ending with a backslash.
    while (!data.empty() && data.back() == '\\') {
        data.pop_back();
        if (*next >= lines.size()) {
            return Fail("hex data goes on past the end of the file");
        }
        std::string line = lines[(*next)++];
        line.erase(line.find_last_not_of(" \t") + 1);
        data += line;
        ++lineNumber_;
    }
    bytes->clear();
    std::string compact;
    for (char c : data) {
        if (c != ' ' && c != '\t') {
            compact += c;
        }
    }
    for (size_t start = 0; start < compact.size();) {
        size_t end = compact.find(',', start);
        if (end == std::string::npos) {
            end = compact.size();
        }
        const std::string digits = compact.substr(start, end - start);
        if (digits.size() != 2 ||
            digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
            return Fail("bad hex byte '" + digits + "'");
        }
        bytes->push_back(static_cast<char>(std::stoi(digits, nullptr, 16)));
        start = end + 1;
        if (end + 1 == compact.size()) {
            return Fail("hex data ends with a comma");
        }
    }
    return true;
}

bool RegFileReader::SetValue(const std::string& line, std::vector<std::string>& lines,
                             size_t* next) {
    if (!keyOpen_) {
        return Fail("a value comes before the first [KEY]");
    }
    std::string name;
    size_t pos = 0;
    if (line[0] == '@') {
        pos = 1;
    } else {
        std::string utf8;
        if (!ParseQuoted(line, &pos, &utf8)) {
            return false;
        }
        std::string why;
        if (!ToNarrow(utf8, &name, &why)) {
            return Fail("bad value name: " + why);
        }
        if (name.empty()) {
            return Fail("an empty value name (write @ for the default value)");
        }
    }
    if (pos >= line.size() || line[pos] != '=') {
        return Fail("'=' expected after the value name");
    }
    const std::string data = line.substr(pos + 1);
    DWORD type;
    std::string bytes;
    if (!data.empty() && data[0] == '"') {
        size_t end = 0;
        std::string utf8;
        if (!ParseQuoted(data, &end, &utf8)) {
            return false;
        }
        if (end != data.size()) {
            return Fail("text after the closing quote");
        }
        std::string why;
        if (!ToNarrow(utf8, &bytes, &why)) {
            return Fail("bad text: " + why);
        }
        type = REG_SZ;
        bytes.push_back('\0');
    } else if (data.compare(0, 6, "dword:") == 0) {
        const std::string digits = data.substr(6);
        if (digits.empty() || digits.size() > 8 ||
            digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
            return Fail("bad dword '" + digits + "'");
        }
        const unsigned long number = std::stoul(digits, nullptr, 16);
        for (int i = 0; i < 4; ++i) {
            bytes.push_back(static_cast<char>((number >> (8 * i)) & 0xFF));
        }
        type = REG_DWORD;
    } else if (data.compare(0, 4, "hex:") == 0 || data.compare(0, 4, "hex(") == 0) {
        size_t start = 4;
        type = REG_BINARY;
        if (data[3] == '(') {
            const size_t close = data.find("):");
            const std::string number = close == std::string::npos ? "" : data.substr(4, close - 4);
            if (number.empty() || number.size() > 8 ||
                number.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
                return Fail("bad value type in '" + data.substr(0, 12) + "'");
            }
            type = static_cast<DWORD>(std::stoul(number, nullptr, 16));
            start = close + 2;
        }
        if (!ParseHex(data.substr(start), lines, next, &bytes)) {
            return false;
        }
        if (IsStringType(type)) {
            if (bytes.size() % 2 != 0) {
                return Fail("UTF-16 text of an odd number of bytes");
            }
            std::u16string wide;
            for (size_t i = 0; i < bytes.size(); i += 2) {
                wide.push_back(
                    static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                          static_cast<unsigned char>(bytes[i + 1]) << 8));
            }
            std::string why;
            if (!text_.FromUtf16(wide, &bytes, &why)) {
                return Fail("bad text: " + why);
            }
        }
    } else if (data == "-") {
        return Fail("deleting values is not supported");
    } else {
        return Fail("unknown value data '" + data.substr(0, 20) + "'");
    }
    const LONG result = registry_.SetValue(key_, name.empty() ? nullptr : name.c_str(), type,
                                           reinterpret_cast<const BYTE*>(bytes.data()),
                                           static_cast<DWORD>(bytes.size()));
    if (result != ERROR_SUCCESS) {
        return Fail("cannot set the value (error " + std::to_string(result) + ")");
    }
    return true;
}

bool RegFileReader::Read(const std::string& raw, std::string* error) {
    std::string content = raw;
    if (content.size() >= 2 && static_cast<unsigned char>(content[0]) == 0xFF &&
        static_cast<unsigned char>(content[1]) == 0xFE) {
        std::u16string wide;
        for (size_t i = 2; i + 1 < content.size(); i += 2) {
            wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(content[i]) |
                                                 static_cast<unsigned char>(content[i + 1]) << 8));
        }
        content = Utf16ToUtf8(wide);
    } else if (content.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        content.erase(0, 3);
    }
    std::vector<std::string> lines;
    for (size_t start = 0; start < content.size();) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos) {
            end = content.size();
        }
        std::string line = content.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(std::move(line));
        start = end + 1;
    }
    bool headerSeen = false;
    for (size_t next = 0; next < lines.size();) {
        std::string line = lines[next++];
        ++lineNumber_;
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == ';') {
            continue;
        }
        line.erase(0, first);
        line.erase(line.find_last_not_of(" \t") + 1);
        bool ok = true;
        if (!headerSeen) {
            headerSeen = line == kHeader;
            ok = headerSeen || Fail(std::string("the file does not start with \"") + kHeader + '"');
        } else if (line[0] == '[') {
            const size_t close = line.rfind(']');
            if (close == std::string::npos || close != line.size() - 1 || close < 2) {
                ok = Fail("bad key line");
            } else if (line[1] == '-') {
                ok = Fail("deleting keys is not supported");
            } else {
                ok = OpenKeyPath(line.substr(1, close - 1));
            }
        } else if (line[0] == '@' || line[0] == '"') {
            ok = SetValue(line, lines, &next);
        } else {
            ok = Fail("unexpected line");
        }
        if (!ok) {
            *error = error_;
            return false;
        }
    }
    if (!headerSeen) {
        lineNumber_ = 1;
        *error = std::string("line 1: the file does not start with \"") + kHeader + '"';
        return false;
    }
    return true;
}

}  // namespace

bool ReadRegFile(const std::string& content, Registry& registry, const RegFileText& text,
                 std::string* error) {
    RegFileReader reader(registry, text);
    return reader.Read(content, error);
}

bool ReadRegFile(const std::string& content, Registry& registry, const CodePageText& text,
                 std::string* error) {
    return ReadRegFile(content, registry, RegFileText(text), error);
}

}  // namespace tw
