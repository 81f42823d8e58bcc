#include "script_walk.h"

#include <new>

#include "value_encoder.h"

namespace tw {
namespace {

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
        : lexer_(script, text),
          entries_(lexer_, text),
          registry_(registry),
          text_(text),
          listener_(listener) {}

    HRESULT Run(bool registering);
    size_t StopOffset() const { return lexer_.StopOffset(); }
    ScriptFault StopFault() const { return lexer_.StopFault(); }

  private:
    HRESULT FailWin32(LONG error, size_t offset) {
        return lexer_.Fail(HRESULT_FROM_WIN32(static_cast<DWORD>(error)), offset);
    }

    HRESULT RegisterBlock(RegKey parent, int depth);
    HRESULT UnregisterBlock(RegKey parent, bool skip, int depth);
    // At "=": writes the assigned value to `key` (named `name`, null for the default value) and
    // reads the token after it.
    HRESULT WriteValue(RegKey key, const char* name);
    LONG DeleteTree(RegKey parent, const std::string& name);

    ScriptLexer lexer_;
    EntryReader entries_;
    Registry& registry_;
    const TextServices& text_;
    ScriptListener* const listener_;
};

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
    Assignment assignment;
    HRESULT hr = entries_.ReadAssignment(&assignment);
    if (FAILED(hr)) {
        return hr;
    }
    if (listener_ != nullptr) {
        listener_->OnValueText(assignment.type, assignment.value, assignment.valueOffset);
    }
    std::string data;
    DWORD size = 0;
    if (FAILED(hr = EncodeValue(assignment.type, assignment.value, text_, &data, &size))) {
        const ScriptFault fault = hr == E_OUTOFMEMORY            ? ScriptFault::None
                                  : assignment.type == REG_DWORD ? ScriptFault::BadNumber
                                                                 : ScriptFault::OddBinary;
        return lexer_.Fail(hr, assignment.valueOffset, fault);
    }
    const LONG error = registry_.SetValue(key, name, assignment.type,
                                          reinterpret_cast<const BYTE*>(data.data()), size);
    if (error != ERROR_SUCCESS) {
        return FailWin32(error, assignment.valueOffset);
    }
    return lexer_.Next();
}

HRESULT Walk::RegisterBlock(RegKey parent, int depth) {
    HRESULT hr = lexer_.Next();
    if (FAILED(hr)) {
        return hr;
    }
    OpenKey current(registry_);
    while (!entries_.EndsBlock()) {
        ScriptListener::KeyKind kind = ScriptListener::KeyKind::Plain;
        if (lexer_.Is("ForceRemove") || lexer_.Is("Delete")) {
            const bool deleteOnly = lexer_.Is("Delete");
            if (FAILED(hr = lexer_.Next()) || FAILED(hr = entries_.CheckKeyName())) {
                return hr;
            }
            if (!entries_.IsProtectedKey()) {
                // A failure, an absent key included, is ignored.
                DeleteTree(parent, lexer_.Token());
                if (deleteOnly && listener_ != nullptr) {
                    listener_->OnDelete(parent, lexer_.Token(), lexer_.TokenStart());
                }
                kind = ScriptListener::KeyKind::ForceRemove;
            }
            if (deleteOnly) {
                if (FAILED(hr = lexer_.Next())) {
                    return hr;
                }
                if (lexer_.StartsWith('=') && FAILED(hr = entries_.SkipAssignment())) {
                    return hr;
                }
                continue;
            }
            // "ForceRemove" goes on with the name as the entry's token.
        }
        if (lexer_.Is("NoRemove")) {
            kind = ScriptListener::KeyKind::NoRemove;
            if (FAILED(hr = lexer_.Next())) {
                return hr;
            }
        }
        const bool noRemove = kind == ScriptListener::KeyKind::NoRemove;
        if (lexer_.Is("Val")) {
            std::string valueName;
            size_t nameStart = 0;
            if (FAILED(hr = entries_.ReadValueName(&valueName, &nameStart)) ||
                FAILED(hr = WriteValue(parent, valueName.c_str()))) {
                return hr;
            }
            if (listener_ != nullptr) {
                listener_->OnValue(parent, valueName.c_str(), noRemove, nameStart);
            }
            continue;
        }
        if (FAILED(hr = entries_.CheckKeyName())) {
            return hr;
        }
        const std::string name = lexer_.Token();
        const size_t nameStart = lexer_.TokenStart();
        current.Close();
        RegKey key;
        LONG error = registry_.Open(parent, name.c_str(), KEY_READ | KEY_WRITE, &key);
        if (error != ERROR_SUCCESS) {
            error = registry_.Open(parent, name.c_str(), KEY_READ, &key);
        }
        if (error != ERROR_SUCCESS) {
            error = registry_.Create(parent, name.c_str(), KEY_READ | KEY_WRITE, &key);
        }
        if (error != ERROR_SUCCESS) {
            return FailWin32(error, nameStart);
        }
        current.Set(key);
        if (listener_ != nullptr) {
            listener_->OnKey(key, kind, nameStart);
        }
        if (FAILED(hr = lexer_.Next())) {
            return hr;
        }
        if (lexer_.StartsWith('=')) {
            if (FAILED(hr = WriteValue(key, nullptr))) {
                return hr;
            }
            if (listener_ != nullptr) {
                listener_->OnValue(key, nullptr, noRemove, nameStart);
            }
        }
        if (entries_.OpensBlock()) {
            if (FAILED(hr = entries_.EnterBlock(depth)) ||
                FAILED(hr = RegisterBlock(key, depth + 1)) || FAILED(hr = lexer_.Next())) {
                return hr;
            }
        }
    }
    return S_OK;
}

HRESULT Walk::UnregisterBlock(RegKey parent, bool skip, int depth) {
    HRESULT hr = lexer_.Next();
    if (FAILED(hr)) {
        return hr;
    }
    while (!entries_.EndsBlock()) {
        bool noRemove = false;
        if (lexer_.Is("ForceRemove") || lexer_.Is("Delete")) {
            // The prefix is ignored; the name after it is a key entry.
            if (FAILED(hr = lexer_.Next())) {
                return hr;
            }
        } else {
            if (lexer_.Is("NoRemove")) {
                noRemove = true;
                if (FAILED(hr = lexer_.Next())) {
                    return hr;
                }
            }
            if (lexer_.Is("Val")) {
                std::string name;
                size_t nameStart = 0;
                if (FAILED(hr = entries_.ReadValueName(&name, &nameStart))) {
                    return hr;
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
                if (FAILED(hr = entries_.SkipAssignment())) {
                    return hr;
                }
                continue;
            }
        }
        if (FAILED(hr = entries_.CheckKeyName())) {
            return hr;
        }
        OpenKey key(registry_);
        LONG openError = ERROR_FILE_NOT_FOUND;
        if (!skip) {
            RegKey opened;
            openError = registry_.Open(parent, lexer_.Token().c_str(), KEY_READ, &opened);
            if (openError == ERROR_SUCCESS) {
                key.Set(opened);
            }
        }
        // The whole name is kept for the deletion below: a shortened one could name another key.
        const std::string name = lexer_.Token();
        const size_t nameStart = lexer_.TokenStart();
        if (FAILED(hr = lexer_.Next())) {
            return hr;
        }
        if (lexer_.StartsWith('=') && FAILED(hr = entries_.SkipAssignment())) {
            return hr;
        }
        if (entries_.OpensBlock()) {
            if (FAILED(hr = entries_.EnterBlock(depth))) {
                return hr;
            }
            // Below a key that is not there, the block is only read. Its syntax errors still stop
            // the run: going on from the middle of a block would read the rest of the script out
            // of step and could delete keys of another block.
            hr = UnregisterBlock(key.IsOpen() ? key.Key() : 0, skip || !key.IsOpen(), depth + 1);
            if (FAILED(hr) || FAILED(hr = lexer_.Next())) {
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
    if (lexer_.IsEmpty()) {
        return S_OK;  // white space alone is a syntax error
    }
    for (;;) {
        HRESULT hr = lexer_.Next();
        if (FAILED(hr)) {
            return hr;
        }
        RegistryRoot root;
        if (!entries_.IsRootName(&root)) {
            return lexer_.Syntax(ScriptFault::UnknownRoot);
        }
        if (FAILED(hr = lexer_.Next())) {
            return hr;
        }
        if (!lexer_.StartsWith('{')) {
            return lexer_.Syntax(ScriptFault::NoRootBlock);
        }
        const RegKey rootKey = RootKey(root);
        const size_t blockStart = lexer_.Position();
        if (registering) {
            try {
                hr = RegisterBlock(rootKey, 1);
            } catch (const std::bad_alloc&) {
                hr = lexer_.Fail(E_OUTOFMEMORY, ScriptFault::None);
            }
            if (FAILED(hr)) {
                // Remove again what this root block registered; the outcome is not used.
                lexer_.Rewind(blockStart);
                try {
                    UnregisterBlock(rootKey, false, 1);
                } catch (const std::bad_alloc&) {
                }
                return hr;
            }
        } else if (FAILED(hr = UnregisterBlock(rootKey, false, 1))) {
            return hr;
        }
        if (lexer_.AtEnd()) {
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
        result.fault = walk.StopFault();
    }
    return result;
}

}  // namespace tw
