#include "wix_fragment.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>

#include "marked_text.h"

namespace tw {
namespace {

// The roots of the installer's Registry table, by the long names of the registry's paths.
struct InstallerRoot {
    const char* path;
    const char* wix;
};
constexpr InstallerRoot kInstallerRoots[] = {
    {"HKEY_CLASSES_ROOT", "HKCR"},
    {"HKEY_CURRENT_USER", "HKCU"},
    {"HKEY_LOCAL_MACHINE", "HKLM"},
    {"HKEY_USERS", "HKU"},
};

// The Registry table holds key paths and value names of at most this many characters.
constexpr size_t kMaxColumnCharacters = 255;

// How a character of registry text appears in an attribute of the fragment: the script's brackets
// and braces as the installer's escapes of formatted text, a substitution's (marked) as they are,
// XML's own characters as references, and the white space an attribute keeps only as references.
// `counts` is how many characters the installer's table holds for it.
struct Escape {
    char16_t c;
    const char16_t* xml;
    size_t counts;
};
constexpr Escape kEscapes[] = {
    {kFormattedMarks[0], u"[", 1},
    {kFormattedMarks[1], u"]", 1},
    {kFormattedMarks[2], u"{", 1},
    {kFormattedMarks[3], u"}", 1},
    {u'[', u"[\\[]", 4},
    {u']', u"[\\]]", 4},
    {u'{', u"[\\{]", 4},
    {u'}', u"[\\}]", 4},
    {u'&', u"&amp;", 1},
    {u'<', u"&lt;", 1},
    {u'>', u"&gt;", 1},
    {u'"', u"&quot;", 1},
    {u'\t', u"&#9;", 1},
    {u'\n', u"&#10;", 1},
    {u'\r', u"&#13;", 1},
};

// Whether the installer reads `c` as part of formatted text's syntax.
bool IsFormatting(char16_t c) {
    return c == u'[' || c == u']' || c == u'{' || c == u'}' ||
           (c < 0x80 &&
            std::char_traits<char>::find(kFormattedMarks, 4, static_cast<char>(c)) != nullptr);
}

// Where the plain group "{...}" that starts at `open` ends: at least one character, none of
// formatted text's syntax, then "}". std::string::npos when what starts there is no such group.
size_t PlainGroupEnd(const std::u16string& text, size_t open) {
    size_t close = open + 1;
    while (close < text.size() && !IsFormatting(text[close])) {
        ++close;
    }
    return close > open + 1 && close < text.size() && text[close] == u'}' ? close
                                                                          : std::string::npos;
}

// Registry text (8-bit, in the code page) as the value of an attribute of the fragment, in UTF-8.
class AttributeText {
  public:
    AttributeText(const std::string& registryText, const CodePageText& text) {
        std::u16string wide;
        if (!ToUnmarkedUtf16(registryText, text, &wide)) {
            why_ = "cannot be converted from code page " + std::to_string(text.CodePage());
            return;
        }
        std::u16string xml;
        size_t plainClose = std::string::npos;
        for (size_t i = 0; i < wide.size(); ++i) {
            const char16_t c = wide[i];
            if (c == u'{' && plainClose == std::string::npos) {
                plainClose = PlainGroupEnd(wide, i);
            }
            const Escape* escape = nullptr;
            for (const Escape& candidate : kEscapes) {
                escape = candidate.c == c ? &candidate : escape;
            }
            if (plainClose != std::string::npos && (c == u'{' || i == plainClose)) {
                // The braces of a plain group, which the installer leaves as they are.
                xml += c;
                ++characters_;
                plainClose = i == plainClose ? std::string::npos : plainClose;
            } else if (escape != nullptr) {
                xml += escape->xml;
                characters_ += escape->counts;
            } else if (c < 0x20) {
                char code[8];
                std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned>(c));
                why_ = std::string("holds the control character ") + code +
                       ", which a WiX file cannot carry";
                return;
            } else {
                xml += c;
                ++characters_;
            }
        }
        utf8_ = Utf16ToUtf8(xml);
    }

    bool ok() const { return why_.empty(); }
    const std::string& why() const { return why_; }
    const std::string& utf8() const { return utf8_; }
    // The length of the formatted text, as the installer's table holds it.
    size_t characters() const { return characters_; }

  private:
    std::string utf8_;
    std::string why_;
    size_t characters_ = 0;
};

// Registry text in UTF-8 for a message, with a substitution's marks turned back.
std::string Utf8(const std::string& registryText, const CodePageText& text) {
    std::u16string wide;
    if (!ToUnmarkedUtf16(registryText, text, &wide)) {
        return registryText;
    }
    for (char16_t& c : wide) {
        for (size_t i = 0; i < 4; ++i) {
            c = c == static_cast<char16_t>(kFormattedMarks[i]) ? u"[]{}"[i] : c;
        }
    }
    return Utf16ToUtf8(wide);
}

const char* WixRoot(const std::string& rootPath) {
    for (const InstallerRoot& root : kInstallerRoots) {
        if (rootPath == root.path) {
            return root.wix;
        }
    }
    return nullptr;
}

// A value's type and text as the installer writes them, or why it cannot.
struct Declared {
    const char* type = "string";
    std::string value;  // registry text, before AttributeText
    std::string why;
};

Declared Declare(const RegistryValue& value) {
    Declared declared;
    const std::string& data = value.data;
    switch (value.type) {
        case REG_SZ:
            if (data.empty() || data.back() != '\0' || data.find('\0') != data.size() - 1) {
                declared.why = "a REG_SZ value that is not one terminated text";
            } else {
                declared.value = data.substr(0, data.size() - 1);
            }
            break;
        case REG_DWORD:
            if (data.size() != 4) {
                declared.why = "a REG_DWORD value that is not 4 bytes long";
            } else {
                uint32_t number = 0;  // little-endian, as the registry holds it
                for (int i = 3; i >= 0; --i) {
                    number = number << 8 | static_cast<unsigned char>(data[i]);
                }
                declared.type = "integer";
                declared.value = std::to_string(static_cast<int32_t>(number));
            }
            break;
        case REG_MULTI_SZ: {
            // "[~]a[~]b[~]": the strings between separators, with a separator before and after
            // them all, so that the installer replaces any value it finds there; "[~]" alone is
            // the empty list. The separators are the installer's own text, marked as a
            // substitution's value is.
            const std::string separator = {kFormattedMarks[0], '~', kFormattedMarks[1]};
            declared.value = separator;
            size_t at = 0;
            for (;;) {
                const size_t end = data.find('\0', at);
                if (end == std::string::npos) {
                    declared.why = "a REG_MULTI_SZ value without its terminating empty string";
                    break;
                }
                if (end == at) {
                    if (end + 1 != data.size()) {
                        declared.why = "a REG_MULTI_SZ value with bytes after its end";
                    }
                    break;
                }
                declared.value += data.substr(at, end - at) + separator;
                at = end + 1;
            }
            break;
        }
        case REG_BINARY:
            declared.why =
                "a REG_BINARY value, which the installer's WiX subset cannot declare (wixl writes "
                "binary values as text)";
            break;
        default:
            declared.why = "a value of type " + std::to_string(value.type) +
                           ", which the installer's WiX subset cannot declare";
            break;
    }
    return declared;
}

}  // namespace

std::string WixFacts::Fold(const std::string& text) const {
    return text_.FoldCase(text.data(), text.size());
}

void WixFacts::OnKey(RegKey key, KeyKind kind, size_t offset) {
    const std::string path = registry_.KeyPath(key);
    if (path.empty()) {
        return;
    }
    auto [it, added] = keys_.try_emplace(Fold(path), Key{kind, offset});
    // An entry that owns the key outweighs one that only opens it; force-removing outweighs both.
    if (!added && (kind == KeyKind::ForceRemove ||
                   (kind == KeyKind::Plain && it->second.kind == KeyKind::NoRemove))) {
        it->second.kind = kind;
    }
}

void WixFacts::OnValue(RegKey key, const char* name, bool noRemove, size_t offset) {
    const std::string path = registry_.KeyPath(key);
    if (!path.empty()) {
        values_[{Fold(path), Fold(name != nullptr ? name : "")}] = Value{noRemove, offset};
    }
}

void WixFacts::OnDelete(RegKey parent, const std::string& name, size_t offset) {
    deletions_.push_back(Deletion{registry_.KeyPath(parent) + "\\" + name, offset});
}

const WixFacts::Key* WixFacts::FindKey(const std::string& path) const {
    const auto it = keys_.find(Fold(path));
    return it == keys_.end() ? nullptr : &it->second;
}

const WixFacts::Value* WixFacts::FindValue(const std::string& path, const std::string& name) const {
    const auto it = values_.find({Fold(path), Fold(name)});
    return it == values_.end() ? nullptr : &it->second;
}

bool IsWixIdentifier(const std::string& id) {
    auto letter = [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
    };
    if (id.empty() || id.size() > 72 || !letter(id[0])) {
        return false;
    }
    return std::all_of(id.begin(), id.end(),
                       [&](char c) { return letter(c) || (c >= '0' && c <= '9') || c == '.'; });
}

std::u16string MarkFormattedText(const std::u16string& value, const CodePageText& text) {
    static const char16_t kMarked[] = u"[]{}";
    std::u16string marked;
    for (const char16_t c : value) {
        const char16_t* const syntax = std::char_traits<char16_t>::find(kMarked, 4, c);
        if (syntax != nullptr) {
            marked += static_cast<char16_t>(kFormattedMarks[syntax - kMarked]);
        } else {
            AppendMarked(c, text, &marked);
        }
    }
    return marked;
}

bool WriteWixFragment(const RegistrySnapshot& before, const RegistrySnapshot& after,
                      const WixFacts& facts, const std::string& id, const CodePageText& text,
                      std::string* out, std::vector<WixProblem>* problems) {
    auto fold = [&](const std::string& s) { return text.FoldCase(s.data(), s.size()); };
    std::set<std::string> existing;
    for (const RegistryKeyDump& key : before) {
        existing.insert(fold(key.path));
    }
    std::set<std::string> withSubkeys;
    for (const RegistryKeyDump& key : after) {
        const size_t slash = key.path.rfind('\\');
        if (slash != std::string::npos) {
            withSubkeys.insert(fold(key.path.substr(0, slash)));
        }
    }

    problems->clear();
    auto problem = [&](size_t offset, const std::string& what) {
        problems->push_back(WixProblem{offset, what});
    };
    std::string rows;
    bool haveKeyPath = false;
    auto row = [&](const char* root, const std::string& key, const std::string* name,
                   const char* type, const std::string& value, bool isValue) {
        rows += std::string("        <RegistryValue Root=\"") + root + "\" Key=\"" + key + "\"";
        if (name != nullptr) {
            rows += " Name=\"" + *name + "\"";
        }
        rows += std::string(" Type=\"") + type + "\" Value=\"" + value + "\"";
        if (isValue && !haveKeyPath) {
            rows += " KeyPath=\"yes\"";
            haveKeyPath = true;
        }
        rows += "/>\n";
    };

    for (const RegistryKeyDump& key : after) {
        const WixFacts::Key* entry = facts.FindKey(key.path);
        const size_t keyOffset = entry != nullptr ? entry->offset : std::string::npos;
        const bool empty = key.values.empty() && withSubkeys.count(fold(key.path)) == 0;
        const char* keyRow = nullptr;
        if (entry != nullptr && entry->kind == ScriptListener::KeyKind::ForceRemove) {
            keyRow = empty ? "*" : "-";
        } else if (empty && existing.count(fold(key.path)) == 0) {
            keyRow =
                entry != nullptr && entry->kind == ScriptListener::KeyKind::NoRemove ? "+" : "*";
        }
        if (keyRow == nullptr && key.values.empty()) {
            continue;  // made by the values of its subkeys, or there before
        }
        const std::string keyLabel = Utf8(key.path, text);
        const size_t slash = key.path.find('\\');
        const char* const root = WixRoot(key.path.substr(0, slash));
        if (root == nullptr) {
            problem(keyOffset,
                    keyLabel + ": an installer writes only below HKCR, HKCU, HKLM and HKU");
            continue;
        }
        if (slash == std::string::npos) {
            for (const RegistryValue& value : key.values) {
                const WixFacts::Value* origin = facts.FindValue(key.path, value.name);
                problem(origin != nullptr ? origin->offset : std::string::npos,
                        keyLabel + ", value \"" + Utf8(value.name, text) +
                            "\": an installer cannot write values directly into a root key");
            }
            continue;
        }
        const std::string subkey = key.path.substr(slash + 1);
        const AttributeText keyText(subkey, text);
        if (!keyText.ok()) {
            problem(keyOffset, keyLabel + ": the key's name " + keyText.why());
            continue;
        }
        if (keyText.characters() > kMaxColumnCharacters) {
            problem(keyOffset, keyLabel + ": the key path has " +
                                   std::to_string(keyText.characters()) +
                                   " characters; the installer's table holds at most 255");
            continue;
        }
        if (keyRow != nullptr) {
            const std::string special = keyRow;
            row(root, keyText.utf8(), &special, "string", "", false);
        }
        for (const RegistryValue& value : key.values) {
            const WixFacts::Value* origin = facts.FindValue(key.path, value.name);
            const size_t offset = origin != nullptr ? origin->offset : keyOffset;
            const std::string label =
                keyLabel + (value.name.empty() ? ", default value"
                                               : ", value \"" + Utf8(value.name, text) + "\"");
            if (entry != nullptr && entry->kind == ScriptListener::KeyKind::NoRemove &&
                (value.name.empty() || (origin != nullptr && origin->noRemove))) {
                problem(offset, label +
                                    ": unregistering keeps it (NoRemove), but an installer "
                                    "removes every value it declares");
                continue;
            }
            const Declared declared = Declare(value);
            if (!declared.why.empty()) {
                problem(offset, label + ": " + declared.why);
                continue;
            }
            const AttributeText name(value.name, text);
            const AttributeText data(declared.value, text);
            if (!name.ok() || !data.ok()) {
                problem(offset, label + (name.ok() ? ": the data " + data.why()
                                                   : ": the name " + name.why()));
                continue;
            }
            if (name.characters() > kMaxColumnCharacters) {
                problem(offset, label + ": the name has " + std::to_string(name.characters()) +
                                    " characters; the installer's table holds at most 255");
                continue;
            }
            // With no data, these names are the rows that create and remove keys.
            if (data.characters() == 0 &&
                (value.name == "+" || value.name == "-" || value.name == "*")) {
                problem(offset, label +
                                    ": an empty value of this name reads as a key's row in an "
                                    "installer");
                continue;
            }
            row(root, keyText.utf8(), value.name.empty() ? nullptr : &name.utf8(), declared.type,
                data.utf8(), true);
        }
    }
    for (const WixFacts::Deletion& deletion : facts.Deletions()) {
        problem(deletion.offset, "Delete " + Utf8(deletion.path, text) +
                                     ": the installer's WiX subset cannot delete a key at install "
                                     "(wixl refuses RemoveRegistryKey)");
    }
    if (problems->empty() && !haveKeyPath) {
        problem(std::string::npos,
                "the script writes no value, and the installer's component needs one as its key "
                "path");
    }
    if (!problems->empty()) {
        std::stable_sort(
            problems->begin(), problems->end(),
            [](const WixProblem& a, const WixProblem& b) { return a.offset < b.offset; });
        return false;
    }
    // No two hyphens in a row in the comment: XML does not allow them there.
    *out =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
        "<!-- What registering the script writes, for a WiX v3 installer. Made by twrgs (format\n"
        "     wix); do not edit. Include it in a Feature with\n"
        "         <ComponentGroupRef Id=\"" +
        id +
        "\"/>\n"
        "     A row named \"-\" removes its key's whole tree at uninstall. Keys that the script\n"
        "     only opens (NoRemove) are not the installer's. -->\n"
        "<Wix xmlns=\"http://schemas.microsoft.com/wix/2006/wi\">\n"
        "  <Fragment>\n"
        "    <ComponentGroup Id=\"" +
        id +
        "\" Directory=\"TARGETDIR\">\n"
        "      <Component Id=\"" +
        id + "\" Guid=\"*\" Win64=\"yes\">\n" + rows +
        "      </Component>\n"
        "    </ComponentGroup>\n"
        "  </Fragment>\n"
        "</Wix>\n";
    return true;
}

}  // namespace tw
