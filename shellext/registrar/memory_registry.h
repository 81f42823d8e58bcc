// A registry in memory for host tests, the twrgs tool and the fuzz target. It gives the outcomes
// the interpreter relies on as the real registry does (registrar_wine_test runs the same scripts
// against both and compares); the limits and error numbers below are those measured under Wine:
// - Key and value names are compared without regard to case, the way CodePageText folds them;
//   a key keeps the spelling it was created with, a value the spelling it was first set with.
// - A key name of more than 256 UTF-16 units fails with ERROR_INVALID_PARAMETER, of more than 260
//   with ERROR_MORE_DATA; a value name of more than 16383 units with ERROR_INVALID_PARAMETER.
// - Open and Create take a name of several levels ("A\B\C") as the platform does: the levels
//   above the last with only the right to go on below them, the last with the access asked for.
//   (The interpreter passes one level at a time; registration opens the Approved list's path.)
// - Deleting a key that has subkeys, or a predefined root, fails with ERROR_ACCESS_DENIED. A key
//   deleted while a handle to it is open stays reachable through that handle only, and every
//   operation on it but Close fails with ERROR_KEY_DELETED.
// - Handles carry the access they were opened with, checked as the platform documents it:
//   KEY_SET_VALUE to set or delete values, KEY_CREATE_SUB_KEY to create a subkey,
//   KEY_ENUMERATE_SUB_KEYS to enumerate, KEY_QUERY_VALUE to count subkeys. (Wine does not check
//   the creation right.)
// - Values are stored exactly as given: a REG_SZ without its terminating NUL stays without it.
// Failures can be injected for tests (FailOperation, FailOn, DenyWrite); every open handle is
// counted, so a test can see a leaked key.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "code_page_text.h"
#include "registry.h"
#include "registry_snapshot.h"

namespace tw {

class InMemoryRegistry final : public Registry {
  public:
    enum class Operation {
        Open,
        Create,
        SetValue,
        DeleteValue,
        EnumFirstSubkey,
        CountSubkeys,
        DeleteKey,
        Close,
    };

    // Starts with the seven predefined roots, empty. Names are folded by `text`'s code page.
    explicit InMemoryRegistry(const CodePageText& text = CodePageText::Western());
    ~InMemoryRegistry() override;
    InMemoryRegistry(const InMemoryRegistry&) = delete;
    InMemoryRegistry& operator=(const InMemoryRegistry&) = delete;

    LONG Open(RegKey parent, const char* name, REGSAM access, RegKey* key) override;
    LONG Create(RegKey parent, const char* name, REGSAM access, RegKey* key) override;
    LONG SetValue(RegKey key, const char* name, DWORD type, const BYTE* data, DWORD size) override;
    LONG DeleteValue(RegKey key, const char* name) override;
    LONG EnumFirstSubkey(RegKey key, std::string* name) override;
    LONG CountSubkeys(RegKey key, DWORD* count) override;
    LONG DeleteKey(RegKey parent, const char* name) override;
    LONG Close(RegKey key) override;

    // Every key below the roots, and each root that holds values.
    RegistrySnapshot Snapshot() const;
    // The path of an open key as Snapshot() writes it ("HKEY_CLASSES_ROOT\A\B", each level spelt
    // as it was created); empty for a handle that is not open or a key that was deleted.
    std::string KeyPath(RegKey key) const;
    size_t OpenHandleCount() const;
    // How many operations have been made since construction; they are numbered from 1.
    size_t OperationCount() const { return operationCount_; }

    // The operation with this number fails with `error` and changes nothing. An injected failure
    // of Close still closes the handle.
    void FailOperation(size_t number, LONG error);
    // Every `operation` on the key at `path` ("HKEY_CLASSES_ROOT\A\B", compared without regard to
    // case) fails with `error`. For Open, Create and DeleteKey the key is the one named; for the
    // others, the key of the handle.
    void FailOn(Operation operation, const std::string& path, LONG error);
    // The key at `path` (which must exist) may only be read: opening it with KEY_SET_VALUE or
    // KEY_CREATE_SUB_KEY, creating a subkey in it and deleting it fail with ERROR_ACCESS_DENIED, as
    // for a key of HKEY_LOCAL_MACHINE seen by a user without administrative rights. False when the
    // key does not exist.
    bool DenyWrite(const std::string& path);

  private:
    struct Node;
    struct Handle {
        std::shared_ptr<Node> node;
        REGSAM access = 0;
    };
    // What an operation works on: the key, where the registry keeps it alive, and the access.
    struct Target {
        Node* node = nullptr;
        const std::shared_ptr<Node>* owner = nullptr;
        REGSAM access = 0;
    };
    struct Fault {
        Operation operation;
        std::string foldedPath;
        LONG error;
    };

    // Numbers the operation, resolves `key`, applies an injected failure and refuses a deleted
    // key (except for Close).
    LONG Start(Operation operation, RegKey key, const char* name, Target* target);
    LONG OpenOrCreatePath(Operation operation, RegKey parent, const char* name, REGSAM access,
                          RegKey* key);
    LONG OpenOrCreate(Operation operation, RegKey parent, const char* name, REGSAM access,
                      RegKey* key);
    LONG Resolve(RegKey key, Target* target) const;
    LONG CheckKeyName(const char* name) const;
    std::string Fold(const std::string& name) const;
    std::string PathOf(const Node* node) const;
    RegKey NewHandle(const std::shared_ptr<Node>& node, REGSAM access);
    std::shared_ptr<Node> FindPath(const std::string& path) const;

    using Children = std::map<std::string, std::shared_ptr<Node>>;
    struct Miss {
        const Node* parent = nullptr;
        std::string folded;
        Children::iterator position;
        size_t changes = 0;
    };

    const CodePageText& text_;
    std::vector<std::shared_ptr<Node>> roots_;
    size_t changes_ = 0;  // counts every key created or deleted
    Miss lastMiss_;
    std::vector<Handle> handles_;
    std::vector<size_t> freeHandles_;
    size_t operationCount_ = 0;
    std::map<size_t, LONG> numberedFaults_;
    std::vector<Fault> pathFaults_;
};

}  // namespace tw
