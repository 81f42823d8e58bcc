#include "memory_registry.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace tw {

struct InMemoryRegistry::Node {
    std::string name;
    Node* parent = nullptr;  // null for a root and for a deleted key
    bool deleted = false;
    bool readOnly = false;
    bool root = false;
    Children children;                            // by folded name
    std::map<std::string, RegistryValue> values;  // by folded name

    Node* Child(const std::string& folded) const {
        auto it = children.find(folded);
        return it == children.end() ? nullptr : it->second.get();
    }
};

namespace {

constexpr size_t kMaxKeyNameUnits = 256;
constexpr size_t kMaxKeyNameBuffer = 260;
constexpr size_t kMaxValueNameUnits = 16383;
constexpr REGSAM kWriteRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY;
constexpr RegKey kHandleStep = 4;

}  // namespace

InMemoryRegistry::InMemoryRegistry(const CodePageText& text) : text_(text) {
    for (int i = 0; i < kRegistryRootCount; ++i) {
        auto root = std::make_shared<Node>();
        root->name = RootName(static_cast<RegistryRoot>(i));
        root->root = true;
        roots_.push_back(std::move(root));
    }
}

InMemoryRegistry::~InMemoryRegistry() = default;

std::string InMemoryRegistry::Fold(const std::string& name) const {
    return text_.FoldCase(name.data(), name.size());
}

std::string InMemoryRegistry::PathOf(const Node* node) const {
    std::vector<const Node*> chain;
    for (; node != nullptr; node = node->parent) {
        chain.push_back(node);
    }
    if (chain.empty() || !chain.back()->root) {
        return std::string();  // a deleted key has no path
    }
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (!path.empty()) {
            path += '\\';
        }
        path += (*it)->name;
    }
    return path;
}

namespace {

// Runs an operation's body; running out of memory is its failure, never an exception.
template <typename Body>
LONG Guarded(Body body) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

}  // namespace

LONG InMemoryRegistry::Start(Operation operation, RegKey key, const char* name, Target* target) {
    const size_t number = ++operationCount_;
    auto numbered = numberedFaults_.find(number);
    if (numbered != numberedFaults_.end()) {
        const LONG error = numbered->second;
        numberedFaults_.erase(numbered);
        return error;
    }
    LONG error = Resolve(key, target);
    if (error != ERROR_SUCCESS) {
        return error;
    }
    if (!pathFaults_.empty()) {
        std::string path = PathOf(target->node);
        if (!path.empty() && name != nullptr && *name != '\0') {
            path += '\\';
            path += name;
        }
        const std::string folded = Fold(path);
        for (const Fault& fault : pathFaults_) {
            if (!path.empty() && fault.operation == operation && fault.foldedPath == folded) {
                return fault.error;
            }
        }
    }
    return target->node->deleted && operation != Operation::Close ? ERROR_KEY_DELETED
                                                                  : ERROR_SUCCESS;
}

std::string InMemoryRegistry::KeyPath(RegKey key) const {
    Target target;
    if (Resolve(key, &target) != ERROR_SUCCESS) {
        return std::string();
    }
    return PathOf(target.node);
}

LONG InMemoryRegistry::Resolve(RegKey key, Target* target) const {
    RegistryRoot root;
    if (IsRootKey(key, &root)) {
        target->owner = &roots_[static_cast<int>(root)];
        target->access = ~REGSAM{0};
    } else {
        const RegKey index = key / kHandleStep;
        if (key % kHandleStep != 0 || index == 0 || index > handles_.size() ||
            handles_[index - 1].node == nullptr) {
            return ERROR_INVALID_HANDLE;
        }
        target->owner = &handles_[index - 1].node;
        target->access = handles_[index - 1].access;
    }
    target->node = target->owner->get();
    return ERROR_SUCCESS;
}

LONG InMemoryRegistry::CheckKeyName(const char* name) const {
    const size_t length = std::strlen(name);
    if (text_.CodePage() == 1252) {
        if (std::memchr(name, '\\', length) != nullptr) {
            return ERROR_INVALID_PARAMETER;
        }
    } else {
        for (const char* p = name; *p != '\0'; p = text_.NextChar(p)) {
            if (*p == '\\') {
                return ERROR_INVALID_PARAMETER;
            }
        }
    }
    const size_t units = text_.Utf16Length(name, length);
    if (units > kMaxKeyNameBuffer) {
        return ERROR_MORE_DATA;
    }
    if (units > kMaxKeyNameUnits) {
        return ERROR_INVALID_PARAMETER;
    }
    return ERROR_SUCCESS;
}

RegKey InMemoryRegistry::NewHandle(const std::shared_ptr<Node>& node, REGSAM access) {
    size_t slot;
    if (!freeHandles_.empty()) {
        slot = freeHandles_.back();
        freeHandles_.pop_back();
    } else {
        handles_.emplace_back();
        slot = handles_.size() - 1;
    }
    handles_[slot] = Handle{node, access};
    return (slot + 1) * kHandleStep;
}

LONG InMemoryRegistry::OpenOrCreate(Operation operation, RegKey parent, const char* name,
                                    REGSAM access, RegKey* key) {
    return Guarded([&] {
        Target from;
        LONG error = Start(operation, parent, name, &from);
        if (error != ERROR_SUCCESS) {
            return error;
        }
        std::shared_ptr<Node> target;
        if (name == nullptr || *name == '\0') {
            target = *from.owner;
        } else {
            if ((error = CheckKeyName(name)) != ERROR_SUCCESS) {
                return error;
            }
            std::string folded = Fold(name);
            Children& children = from.node->children;
            // The registrar opens a missing key twice before it creates it: the last miss is
            // remembered, with where the key would go, until anything in the tree changes.
            Children::iterator it;
            if (lastMiss_.parent == from.node && lastMiss_.changes == changes_ &&
                lastMiss_.folded == folded) {
                it = lastMiss_.position;
            } else {
                it = children.lower_bound(folded);
                if (it != children.end() && it->first == folded) {
                    target = it->second;
                }
            }
            if (target == nullptr && operation == Operation::Open) {
                lastMiss_ = {from.node, folded, it, changes_};
                return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
            }
            if (target == nullptr) {
                if ((from.access & KEY_CREATE_SUB_KEY) == 0 || from.node->readOnly) {
                    return static_cast<LONG>(ERROR_ACCESS_DENIED);
                }
                target = std::make_shared<Node>();
                target->name = name;
                target->parent = from.node;
                children.emplace_hint(it, std::move(folded), target);
                ++changes_;
            }
        }
        if (target->readOnly && (access & kWriteRights) != 0) {
            return static_cast<LONG>(ERROR_ACCESS_DENIED);
        }
        *key = NewHandle(target, access);
        return static_cast<LONG>(ERROR_SUCCESS);
    });
}

LONG InMemoryRegistry::Open(RegKey parent, const char* name, REGSAM access, RegKey* key) {
    return OpenOrCreatePath(Operation::Open, parent, name, access, key);
}

LONG InMemoryRegistry::Create(RegKey parent, const char* name, REGSAM access, RegKey* key) {
    return OpenOrCreatePath(Operation::Create, parent, name, access, key);
}

LONG InMemoryRegistry::OpenOrCreatePath(Operation operation, RegKey parent, const char* name,
                                        REGSAM access, RegKey* key) {
    // A name of several levels ("A\B\C") is walked level by level, as the platform does: the
    // levels above the last are opened (or created) with only the right to go on below them, the
    // last with the rights asked for. Backslashes are found character by character, so that a
    // trail byte of a double-byte character is never taken for one.
    const char* end = name;
    for (; end != nullptr && *end != '\0' && *end != '\\'; end = text_.NextChar(end)) {
    }
    if (end == nullptr || *end == '\0') {
        return OpenOrCreate(operation, parent, name, access, key);
    }
    const bool creating = operation == Operation::Create;
    const std::string level(name, end);
    RegKey next = 0;
    LONG error =
        OpenOrCreate(operation, parent, level.c_str(), creating ? KEY_CREATE_SUB_KEY : 0, &next);
    if (error != ERROR_SUCCESS) {
        return error;
    }
    error = OpenOrCreatePath(operation, next, end + 1, access, key);
    Close(next);
    return error;
}

LONG InMemoryRegistry::SetValue(RegKey key, const char* name, DWORD type, const BYTE* data,
                                DWORD size) {
    return Guarded([&] {
        Target handle;
        LONG error = Start(Operation::SetValue, key, nullptr, &handle);
        if (error != ERROR_SUCCESS) {
            return error;
        }
        if ((handle.access & KEY_SET_VALUE) == 0 || handle.node->readOnly) {
            return static_cast<LONG>(ERROR_ACCESS_DENIED);
        }
        const std::string valueName = name == nullptr ? std::string() : std::string(name);
        if (text_.Utf16Length(valueName.data(), valueName.size()) > kMaxValueNameUnits) {
            return static_cast<LONG>(ERROR_INVALID_PARAMETER);
        }
        auto inserted = handle.node->values.emplace(Fold(valueName), RegistryValue{});
        RegistryValue& value = inserted.first->second;
        if (inserted.second) {
            value.name = valueName;
        }
        value.type = type;
        if (size == 0) {
            value.data.clear();
        } else {
            value.data.assign(reinterpret_cast<const char*>(data), size);
        }
        return static_cast<LONG>(ERROR_SUCCESS);
    });
}

LONG InMemoryRegistry::DeleteValue(RegKey key, const char* name) {
    return Guarded([&] {
        Target handle;
        const LONG error = Start(Operation::DeleteValue, key, nullptr, &handle);
        if (error != ERROR_SUCCESS) {
            return error;
        }
        if ((handle.access & KEY_SET_VALUE) == 0 || handle.node->readOnly) {
            return static_cast<LONG>(ERROR_ACCESS_DENIED);
        }
        const std::string valueName = name == nullptr ? std::string() : std::string(name);
        return static_cast<LONG>(
            handle.node->values.erase(Fold(valueName)) == 0 ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS);
    });
}

LONG InMemoryRegistry::EnumFirstSubkey(RegKey key, std::string* name) {
    return Guarded([&] {
        Target handle;
        const LONG error = Start(Operation::EnumFirstSubkey, key, nullptr, &handle);
        if (error != ERROR_SUCCESS) {
            return error;
        }
        if ((handle.access & KEY_ENUMERATE_SUB_KEYS) == 0) {
            return static_cast<LONG>(ERROR_ACCESS_DENIED);
        }
        if (handle.node->children.empty()) {
            return static_cast<LONG>(ERROR_NO_MORE_ITEMS);
        }
        *name = handle.node->children.begin()->second->name;
        return static_cast<LONG>(ERROR_SUCCESS);
    });
}

LONG InMemoryRegistry::CountSubkeys(RegKey key, DWORD* count) {
    return Guarded([&] {
        Target handle;
        const LONG error = Start(Operation::CountSubkeys, key, nullptr, &handle);
        if (error != ERROR_SUCCESS) {
            return error;
        }
        if ((handle.access & KEY_QUERY_VALUE) == 0) {
            return static_cast<LONG>(ERROR_ACCESS_DENIED);
        }
        *count = static_cast<DWORD>(handle.node->children.size());
        return static_cast<LONG>(ERROR_SUCCESS);
    });
}

LONG InMemoryRegistry::DeleteKey(RegKey parent, const char* name) {
    return Guarded([&] {
        Target from;
        LONG error = Start(Operation::DeleteKey, parent, name, &from);
        if (error != ERROR_SUCCESS) {
            return error;
        }
        Node* target = from.node;
        if (name != nullptr && *name != '\0') {
            if ((error = CheckKeyName(name)) != ERROR_SUCCESS) {
                return error;
            }
            target = from.node->Child(Fold(name));
            if (target == nullptr) {
                return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
            }
        }
        if (target->root || target->readOnly || !target->children.empty()) {
            return static_cast<LONG>(ERROR_ACCESS_DENIED);
        }
        Node* owner = target->parent;
        const std::string folded = Fold(target->name);
        target->deleted = true;
        target->parent = nullptr;
        // Handles to the key keep it alive; without them it is freed here.
        owner->children.erase(folded);
        ++changes_;
        return static_cast<LONG>(ERROR_SUCCESS);
    });
}

LONG InMemoryRegistry::Close(RegKey key) {
    Target handle;
    const LONG error = Start(Operation::Close, key, nullptr, &handle);
    // A valid handle is closed even when a failure is injected.
    if (IsRootKey(key) || Resolve(key, &handle) != ERROR_SUCCESS) {
        return error;
    }
    const size_t slot = key / kHandleStep - 1;
    handles_[slot] = Handle{};
    try {
        freeHandles_.push_back(slot);
    } catch (const std::bad_alloc&) {
        // The slot is not reused; the handle is closed all the same.
    }
    return error;
}

RegistrySnapshot InMemoryRegistry::Snapshot() const {
    RegistrySnapshot snapshot;
    struct Frame {
        const Node* node;
        std::string path;
    };
    for (const auto& root : roots_) {
        std::vector<Frame> stack{{root.get(), root->name}};
        while (!stack.empty()) {
            Frame frame = std::move(stack.back());
            stack.pop_back();
            if (!frame.node->root || !frame.node->values.empty()) {
                RegistryKeyDump dump{frame.path, {}};
                for (const auto& value : frame.node->values) {
                    dump.values.push_back(value.second);
                }
                snapshot.push_back(std::move(dump));
            }
            for (auto it = frame.node->children.rbegin(); it != frame.node->children.rend(); ++it) {
                stack.push_back({it->second.get(), frame.path + '\\' + it->second->name});
            }
        }
    }
    return snapshot;
}

size_t InMemoryRegistry::OpenHandleCount() const {
    return static_cast<size_t>(std::count_if(handles_.begin(), handles_.end(),
                                             [](const Handle& h) { return h.node != nullptr; }));
}

void InMemoryRegistry::FailOperation(size_t number, LONG error) {
    numberedFaults_[number] = error;
}

void InMemoryRegistry::FailOn(Operation operation, const std::string& path, LONG error) {
    pathFaults_.push_back(Fault{operation, Fold(path), error});
}

std::shared_ptr<InMemoryRegistry::Node> InMemoryRegistry::FindPath(const std::string& path) const {
    const size_t end = path.find('\\');
    const std::string rootName = path.substr(0, end);
    std::shared_ptr<Node> node;
    for (const auto& root : roots_) {
        if (text_.EqualNoCase(root->name.c_str(), rootName.c_str())) {
            node = root;
        }
    }
    for (size_t start = end; node != nullptr && start != std::string::npos;) {
        const size_t next = path.find('\\', start + 1);
        const std::string name = path.substr(
            start + 1, next == std::string::npos ? std::string::npos : next - start - 1);
        auto it = node->children.find(Fold(name));
        node = it == node->children.end() ? nullptr : it->second;
        start = next;
    }
    return node;
}

bool InMemoryRegistry::DenyWrite(const std::string& path) {
    std::shared_ptr<Node> node = FindPath(path);
    if (node == nullptr) {
        return false;
    }
    node->readOnly = true;
    return true;
}

}  // namespace tw
