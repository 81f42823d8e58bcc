#include "script_walk.h"

#include <new>

namespace tw {
namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

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

struct RootName {
    const char* name;
    RegistryRoot root;
};
constexpr RootName kRootNames[] = {
    {"HKCR", RegistryRoot::ClassesRoot},
    {"HKCU", RegistryRoot::CurrentUser},
    {"HKLM", RegistryRoot::LocalMachine},
    {"HKU", RegistryRoot::Users},
    {"HKPD", RegistryRoot::PerformanceData},
    {"HKDD", RegistryRoot::DynData},
    {"HKCC", RegistryRoot::CurrentConfig},
    {"HKEY_CLASSES_ROOT", RegistryRoot::ClassesRoot},
    {"HKEY_CURRENT_USER", RegistryRoot::CurrentUser},
    {"HKEY_LOCAL_MACHINE", RegistryRoot::LocalMachine},
    {"HKEY_USERS", RegistryRoot::Users},
    {"HKEY_PERFORMANCE_DATA", RegistryRoot::PerformanceData},
    {"HKEY_DYN_DATA", RegistryRoot::DynData},
    {"HKEY_CURRENT_CONFIG", RegistryRoot::CurrentConfig},
};

// Keys that "ForceRemove" and "Delete" never delete.
constexpr const char* kProtectedKeys[] = {
    "AppID",    "CLSID",     "Component Categories",
    "FileType", "Interface", "Hardware",
    "Mime",     "SAM",       "SECURITY",
    "SYSTEM",   "Software",  "TypeLib",
};

// A key handle that is closed when it goes out of scope, unless it was closed before.
class OpenKey {
  public:
    explicit OpenKey(Registry& registry) : registry_(registry) {}
    ~OpenKey() { Close(); }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;

    void Set(RegKey key) {
        key_ = key;
        open_ = true;
    }
    bool IsOpen() const { return open_; }
    RegKey Key() const { return key_; }
    LONG Close() {
        if (!open_) {
            return ERROR_SUCCESS;
        }
        open_ = false;
        return registry_.Close(key_);
    }

  private:
    Registry& registry_;
    RegKey key_ = 0;
    bool open_ = false;
};

class Walk {
  public:
    Walk(const std::string& script, Registry& registry, const TextServices& text,
         ScriptListener* listener)
        : script_(script), registry_(registry), text_(text), listener_(listener) {}

    HRESULT Run(bool registering);
    size_t StopOffset() const { return stop_; }

  private:
    HRESULT Fail(HRESULT result, size_t offset) {
        if (stop_ == std::string::npos) {
            stop_ = offset;
        }
        return result;
    }
    HRESULT Fail(HRESULT result) { return Fail(result, tokenStart_); }
    HRESULT FailWin32(LONG error, size_t offset) {
        return Fail(HRESULT_FROM_WIN32(static_cast<DWORD>(error)), offset);
    }
    HRESULT Syntax() { return Fail(DISP_E_EXCEPTION); }

    void SkipSpace() {
        while (pos_ < script_.size() && IsSpace(script_[pos_])) {
            ++pos_;
        }
    }
    HRESULT Next();
    HRESULT NextTokens(int count);
    bool Is(const char* word) const { return text_.EqualNoCase(token_.c_str(), word); }
    bool StartsWith(char c) const { return !token_.empty() && token_[0] == c; }
    bool IsProtected() const;
    HRESULT CheckKeyName();

    HRESULT RegisterBlock(RegKey parent, int depth);
    HRESULT UnregisterBlock(RegKey parent, bool skip, int depth);
    HRESULT WriteValue(RegKey key, const char* name);
    LONG DeleteTree(RegKey parent, const std::string& name);

    const std::string& script_;
    Registry& registry_;
    const TextServices& text_;
    ScriptListener* const listener_;
    size_t pos_ = 0;
    std::string token_;
    size_t tokenStart_ = 0;
    size_t stop_ = std::string::npos;
};

HRESULT Walk::Next() {
    SkipSpace();
    tokenStart_ = pos_;
    token_.clear();
    const char* const base = script_.c_str();
    const char* p = base + pos_;
    if (*p == '\0') {
        return Syntax();
    }
    if (*p == '\'') {
        ++p;
        for (;;) {
            if (*p == '\0') {
                return Syntax();
            }
            if (*p == '\'') {
                if (p[1] != '\'') {
                    ++p;
                    break;
                }
                token_.push_back('\'');
                p += 2;
            } else {
                const char* next = text_.NextChar(p);
                token_.append(p, next);
                p = next;
            }
            if (token_.size() > kMaxTokenBytes) {
                return Syntax();
            }
        }
    } else {
        while (*p != '\0' && !IsSpace(*p)) {
            const char* next = text_.NextChar(p);
            token_.append(p, next);
            p = next;
            if (token_.size() > kMaxTokenBytes) {
                return Syntax();
            }
        }
    }
    pos_ = static_cast<size_t>(p - base);
    return S_OK;
}

HRESULT Walk::NextTokens(int count) {
    HRESULT hr = S_OK;
    for (int i = 0; i < count && SUCCEEDED(hr); ++i) {
        hr = Next();
    }
    return hr;
}

bool Walk::IsProtected() const {
    for (const char* name : kProtectedKeys) {
        if (Is(name)) {
            return true;
        }
    }
    return false;
}

// A key name is one level of one key. Besides a backslash, an empty name is refused: the platform
// takes it as the parent key itself, so "ForceRemove ''" (for instance from an empty
// substitution) would delete every subkey of the parent. A name that is exactly "{" is refused too:
// the format reads that token as the opening of a block.
HRESULT Walk::CheckKeyName() {
    if (token_.empty() || token_ == "{") {
        return Syntax();
    }
    for (const char* p = token_.c_str(); *p != '\0'; p = text_.NextChar(p)) {
        if (*p == '\\') {
            return Syntax();
        }
    }
    return S_OK;
}

// Deletes parent\name with all its subkeys.
LONG Walk::DeleteTree(RegKey parent, const std::string& name) {
    RegKey key;
    LONG error = registry_.Open(parent, name.c_str(), KEY_READ | KEY_WRITE, &key);
    if (error != ERROR_SUCCESS) {
        return error;
    }
    std::string child;
    while (registry_.EnumFirstSubkey(key, &child) == ERROR_SUCCESS) {
        error = DeleteTree(key, child);
        if (error != ERROR_SUCCESS) {
            registry_.Close(key);
            return error;
        }
    }
    registry_.Close(key);
    return registry_.DeleteKey(parent, name.c_str());
}

HRESULT Walk::WriteValue(RegKey key, const char* name) {
    HRESULT hr = Next();
    if (FAILED(hr)) {
        return hr;
    }
    DWORD type;
    if (Is("S")) {
        type = REG_SZ;
    } else if (Is("M")) {
        type = REG_MULTI_SZ;
    } else if (Is("D")) {
        type = REG_DWORD;
    } else if (Is("B")) {
        type = REG_BINARY;
    } else {
        return Syntax();
    }
    if (FAILED(hr = Next())) {
        return hr;
    }
    std::string data;
    size_t size = 0;
    switch (type) {
        case REG_SZ:
            data = token_;
            data.push_back('\0');
            size = data.size();
            break;
        case REG_MULTI_SZ: {
            const char* p = token_.c_str();
            const char* const end = p + token_.size();
            while (p < end) {
                if (p[0] == '\\' && p[1] == '0') {
                    data.push_back('\0');
                    p += 2;
                } else if (text_.IsLeadByte(static_cast<unsigned char>(*p)) && p + 1 < end) {
                    data.append(p, 2);
                    p += 2;
                } else {
                    data.push_back(*p++);
                }
            }
            data.append(2, '\0');
            // Up to and including the terminator of the first empty string.
            size_t start = 0;
            while (data[start] != '\0') {
                start = data.find('\0', start) + 1;
            }
            size = start + 1;
            break;
        }
        case REG_DWORD: {
            std::u16string wide;
            if (!text_.ToUtf16(token_, &wide)) {
                return Fail(E_OUTOFMEMORY);
            }
            uint32_t number = 0;
            if (FAILED(hr = text_.ParseUI4(wide, &number))) {
                return Fail(hr);
            }
            const DWORD dword = number;
            data.assign(reinterpret_cast<const char*>(&dword), sizeof dword);
            size = data.size();
            break;
        }
        default:  // REG_BINARY
            if (token_.size() % 2 != 0) {
                return Fail(E_FAIL);
            }
            for (size_t i = 0; i < token_.size(); i += 2) {
                data.push_back(
                    static_cast<char>(HexDigit(token_[i]) << 4 | HexDigit(token_[i + 1])));
            }
            size = data.size();
            break;
    }
    const LONG error = registry_.SetValue(
        key, name, type, reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(size));
    if (error != ERROR_SUCCESS) {
        return FailWin32(error, tokenStart_);
    }
    return Next();
}

HRESULT Walk::RegisterBlock(RegKey parent, int depth) {
    HRESULT hr = Next();
    if (FAILED(hr)) {
        return hr;
    }
    OpenKey current(registry_);
    std::string valueName;
    while (!StartsWith('}')) {
        ScriptListener::KeyKind kind = ScriptListener::KeyKind::Plain;
        if (Is("ForceRemove") || Is("Delete")) {
            const bool deleteOnly = Is("Delete");
            if (FAILED(hr = Next()) || FAILED(hr = CheckKeyName())) {
                return hr;
            }
            if (!IsProtected()) {
                DeleteTree(parent, token_);  // a failure, an absent key included, is ignored
                if (deleteOnly && listener_ != nullptr) {
                    listener_->OnDelete(parent, token_, tokenStart_);
                }
                kind = ScriptListener::KeyKind::ForceRemove;
            }
            if (deleteOnly) {
                if (FAILED(hr = Next())) {
                    return hr;
                }
                if (StartsWith('=') && FAILED(hr = NextTokens(3))) {
                    return hr;
                }
                continue;
            }
            // "ForceRemove" goes on with the name as the entry's token.
        }
        if (Is("NoRemove")) {
            kind = ScriptListener::KeyKind::NoRemove;
            if (FAILED(hr = Next())) {
                return hr;
            }
        }
        const bool noRemove = kind == ScriptListener::KeyKind::NoRemove;
        if (Is("Val")) {
            if (FAILED(hr = Next())) {
                return hr;
            }
            valueName = token_;
            const size_t nameStart = tokenStart_;
            if (FAILED(hr = Next())) {
                return hr;
            }
            if (!StartsWith('=')) {
                return Syntax();
            }
            if (FAILED(hr = WriteValue(parent, valueName.c_str()))) {
                return hr;
            }
            if (listener_ != nullptr) {
                listener_->OnValue(parent, valueName.c_str(), noRemove, nameStart);
            }
            continue;
        }
        if (FAILED(hr = CheckKeyName())) {
            return hr;
        }
        const size_t nameStart = tokenStart_;
        current.Close();
        RegKey key;
        LONG error = registry_.Open(parent, token_.c_str(), KEY_READ | KEY_WRITE, &key);
        if (error != ERROR_SUCCESS) {
            error = registry_.Open(parent, token_.c_str(), KEY_READ, &key);
        }
        if (error != ERROR_SUCCESS) {
            error = registry_.Create(parent, token_.c_str(), KEY_READ | KEY_WRITE, &key);
        }
        if (error != ERROR_SUCCESS) {
            return FailWin32(error, tokenStart_);
        }
        current.Set(key);
        if (listener_ != nullptr) {
            listener_->OnKey(key, kind, nameStart);
        }
        if (FAILED(hr = Next())) {
            return hr;
        }
        if (StartsWith('=')) {
            if (FAILED(hr = WriteValue(key, nullptr))) {
                return hr;
            }
            if (listener_ != nullptr) {
                listener_->OnValue(key, nullptr, noRemove, nameStart);
            }
        }
        if (token_ == "{") {
            if (depth >= kMaxBlockDepth) {
                return Syntax();
            }
            if (FAILED(hr = RegisterBlock(key, depth + 1)) || FAILED(hr = Next())) {
                return hr;
            }
        }
    }
    return S_OK;
}

HRESULT Walk::UnregisterBlock(RegKey parent, bool skip, int depth) {
    HRESULT hr = Next();
    if (FAILED(hr)) {
        return hr;
    }
    std::string name;
    while (!StartsWith('}')) {
        bool noRemove = false;
        if (Is("ForceRemove") || Is("Delete")) {
            // The prefix is ignored; the name after it is a key entry.
            if (FAILED(hr = Next())) {
                return hr;
            }
        } else {
            if (Is("NoRemove")) {
                noRemove = true;
                if (FAILED(hr = Next())) {
                    return hr;
                }
            }
            if (Is("Val")) {
                if (FAILED(hr = Next())) {
                    return hr;
                }
                name = token_;
                const size_t nameStart = tokenStart_;
                if (FAILED(hr = Next())) {
                    return hr;
                }
                if (!StartsWith('=')) {
                    return Syntax();
                }
                if (!noRemove && !skip) {
                    RegKey self;
                    LONG error = registry_.Open(parent, nullptr, KEY_WRITE, &self);
                    if (error != ERROR_SUCCESS) {
                        return FailWin32(error, nameStart);
                    }
                    error = registry_.DeleteValue(self, name.c_str());
                    registry_.Close(self);
                    if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND) {
                        return FailWin32(error, nameStart);
                    }
                }
                // The type letter and the value are skipped unchecked.
                if (FAILED(hr = NextTokens(3))) {
                    return hr;
                }
                continue;
            }
        }
        if (FAILED(hr = CheckKeyName())) {
            return hr;
        }
        OpenKey key(registry_);
        LONG openError = ERROR_FILE_NOT_FOUND;
        if (!skip) {
            RegKey opened;
            openError = registry_.Open(parent, token_.c_str(), KEY_READ, &opened);
            if (openError == ERROR_SUCCESS) {
                key.Set(opened);
            }
        }
        // The whole name is kept for the deletion below: a shortened one could name another key.
        name = token_;
        const size_t nameStart = tokenStart_;
        if (FAILED(hr = Next())) {
            return hr;
        }
        if (StartsWith('=') && FAILED(hr = NextTokens(3))) {
            return hr;
        }
        if (token_ == "{") {
            if (depth >= kMaxBlockDepth) {
                return Syntax();
            }
            // Below a key that is not there, the block is only read. Its syntax errors still stop
            // the run: going on from the middle of a block would read the rest of the script out
            // of step and could delete keys of another block.
            hr = UnregisterBlock(key.IsOpen() ? key.Key() : 0, skip || !key.IsOpen(), depth + 1);
            if (FAILED(hr) || FAILED(hr = Next())) {
                return hr;
            }
        }
        if (!key.IsOpen()) {
            if (openError == ERROR_FILE_NOT_FOUND || skip) {
                continue;
            }
            return FailWin32(openError, nameStart);
        }
        DWORD subkeys = 0;
        if (registry_.CountSubkeys(key.Key(), &subkeys) != ERROR_SUCCESS) {
            subkeys = 0;
        }
        LONG error = key.Close();
        if (error != ERROR_SUCCESS) {
            return FailWin32(error, nameStart);
        }
        if (!noRemove && subkeys == 0) {
            error = registry_.DeleteKey(parent, name.c_str());
            if (error != ERROR_SUCCESS) {
                return FailWin32(error, nameStart);
            }
        }
    }
    return S_OK;
}

HRESULT Walk::Run(bool registering) {
    if (script_.empty()) {
        return S_OK;
    }
    for (;;) {
        HRESULT hr = Next();
        if (FAILED(hr)) {
            return hr;
        }
        const RootName* root = nullptr;
        for (const RootName& candidate : kRootNames) {
            if (Is(candidate.name)) {
                root = &candidate;
                break;
            }
        }
        if (root == nullptr) {
            return Syntax();
        }
        if (FAILED(hr = Next())) {
            return hr;
        }
        if (!StartsWith('{')) {
            return Syntax();
        }
        const RegKey rootKey = RootKey(root->root);
        const size_t blockStart = pos_;
        if (registering) {
            try {
                hr = RegisterBlock(rootKey, 1);
            } catch (const std::bad_alloc&) {
                hr = Fail(E_OUTOFMEMORY);
            }
            if (FAILED(hr)) {
                // Remove again what this root block registered; the outcome is not used.
                pos_ = blockStart;
                try {
                    UnregisterBlock(rootKey, false, 1);
                } catch (const std::bad_alloc&) {
                }
                return hr;
            }
        } else if (FAILED(hr = UnregisterBlock(rootKey, false, 1))) {
            return hr;
        }
        SkipSpace();
        if (pos_ == script_.size()) {
            return S_OK;
        }
    }
}

}  // namespace

WalkResult WalkScript(const std::string& script, bool registering, Registry& registry,
                      const TextServices& text, ScriptListener* listener) {
    Walk walk(script, registry, text, registering ? listener : nullptr);
    WalkResult result;
    try {
        result.result = walk.Run(registering);
    } catch (const std::bad_alloc&) {
        result.result = E_OUTOFMEMORY;
    }
    if (FAILED(result.result)) {
        result.stopOffset = walk.StopOffset();
    }
    return result;
}

}  // namespace tw
