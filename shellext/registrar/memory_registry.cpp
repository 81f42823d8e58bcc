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
    std::map<std::string, std::shared_ptr<Node>> children;  // by folded name
    std::map<std::string, RegistryValue> values;            // by folded name
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

LONG InMemoryRegistry::Begin(Operation operation, const Node* node, const char* name) {
    const size_t number = ++operationCount_;
    if (!numberedFaults_.empty()) {
        auto it = numberedFaults_.find(number);
        if (it != numberedFaults_.end()) {
            const LONG error = it->second;
            numberedFaults_.erase(it);
            return error;
        }
    }
    if (pathFaults_.empty() || node == nullptr) {
        return ERROR_SUCCESS;
    }
    std::string path = PathOf(node);
    if (path.empty()) {
        return ERROR_SUCCESS;
    }
    if (name != nullptr && *name != '\0') {
        path += '\\';
        path += name;
    }
    const std::string folded = Fold(path);
    for (const Fault& fault : pathFaults_) {
        if (fault.operation == operation && fault.foldedPath == folded) {
            return fault.error;
        }
    }
    return ERROR_SUCCESS;
}

LONG InMemoryRegistry::Resolve(RegKey key, Handle* handle) const {
    RegistryRoot root;
    if (IsRootKey(key, &root)) {
        handle->node = roots_[static_cast<int>(root)];
        handle->access = ~REGSAM{0};
        return ERROR_SUCCESS;
    }
    const RegKey index = key / kHandleStep;
    if (key % kHandleStep != 0 || index == 0 || index > handles_.size() ||
        handles_[index - 1].node == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    *handle = handles_[index - 1];
    return ERROR_SUCCESS;
}

LONG InMemoryRegistry::CheckKeyName(const char* name) const {
    const size_t length = std::strlen(name);
    for (const char* p = name; *p != '\0'; p = text_.CharNext(p)) {
        if (*p == '\\') {
            return ERROR_INVALID_PARAMETER;
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

LONG InMemoryRegistry::Open(RegKey parent, const char* name, REGSAM access, RegKey* key) {
    try {
        Handle from;
        LONG error = Resolve(parent, &from);
        if (error == ERROR_SUCCESS) {
            error = Begin(Operation::Open, from.node.get(), name);
        }
        if (error != ERROR_SUCCESS) {
            return error;
        }
        if (from.node->deleted) {
            return ERROR_KEY_DELETED;
        }
        std::shared_ptr<Node> target = from.node;
        if (name != nullptr && *name != '\0') {
            if ((error = CheckKeyName(name)) != ERROR_SUCCESS) {
                return error;
            }
            auto it = from.node->children.find(Fold(name));
            if (it == from.node->children.end()) {
                return ERROR_FILE_NOT_FOUND;
            }
            target = it->second;
        }
        if (target->readOnly && (access & kWriteRights) != 0) {
            return ERROR_ACCESS_DENIED;
        }
        *key = NewHandle(target, access);
        return ERROR_SUCCESS;
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

LONG InMemoryRegistry::Create(RegKey parent, const char* name, REGSAM access, RegKey* key) {
    try {
        Handle from;
        LONG error = Resolve(parent, &from);
        if (error == ERROR_SUCCESS) {
            error = Begin(Operation::Create, from.node.get(), name);
        }
        if (error != ERROR_SUCCESS) {
            return error;
        }
        if (from.node->deleted) {
            return ERROR_KEY_DELETED;
        }
        std::shared_ptr<Node> target = from.node;
        if (name != nullptr && *name != '\0') {
            if ((error = CheckKeyName(name)) != ERROR_SUCCESS) {
                return error;
            }
            std::string folded = Fold(name);
            auto it = from.node->children.find(folded);
            if (it != from.node->children.end()) {
                target = it->second;
            } else {
                if ((from.access & KEY_CREATE_SUB_KEY) == 0 || from.node->readOnly) {
                    return ERROR_ACCESS_DENIED;
                }
                target = std::make_shared<Node>();
                target->name = name;
                target->parent = from.node.get();
                from.node->children.emplace(std::move(folded), target);
            }
        }
        if (target->readOnly && (access & kWriteRights) != 0) {
            return ERROR_ACCESS_DENIED;
        }
        *key = NewHandle(target, access);
        return ERROR_SUCCESS;
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

LONG InMemoryRegistry::SetValue(RegKey key, const char* name, DWORD type, const BYTE* data,
                                DWORD size) {
    try {
        Handle handle;
        LONG error = Resolve(key, &handle);
        if (error == ERROR_SUCCESS) {
            error = Begin(Operation::SetValue, handle.node.get(), nullptr);
        }
        if (error != ERROR_SUCCESS) {
            return error;
        }
        if (handle.node->deleted) {
            return ERROR_KEY_DELETED;
        }
        if ((handle.access & KEY_SET_VALUE) == 0 || handle.node->readOnly) {
            return ERROR_ACCESS_DENIED;
        }
        const std::string valueName = name == nullptr ? std::string() : std::string(name);
        if (text_.Utf16Length(valueName.data(), valueName.size()) > kMaxValueNameUnits) {
            return ERROR_INVALID_PARAMETER;
        }
        std::string bytes =
            size == 0 ? std::string() : std::string(reinterpret_cast<const char*>(data), size);
        auto inserted = handle.node->values.emplace(Fold(valueName), RegistryValue{});
        RegistryValue& value = inserted.first->second;
        if (inserted.second) {
            value.name = valueName;
        }
        value.type = type;
        value.data = std::move(bytes);
        return ERROR_SUCCESS;
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

LONG InMemoryRegistry::DeleteValue(RegKey key, const char* name) {
    try {
        Handle handle;
        LONG error = Resolve(key, &handle);
        if (error == ERROR_SUCCESS) {
            error = Begin(Operation::DeleteValue, handle.node.get(), nullptr);
        }
        if (error != ERROR_SUCCESS) {
            return error;
        }
        if (handle.node->deleted) {
            return ERROR_KEY_DELETED;
        }
        if ((handle.access & KEY_SET_VALUE) == 0 || handle.node->readOnly) {
            return ERROR_ACCESS_DENIED;
        }
        const std::string valueName = name == nullptr ? std::string() : std::string(name);
        return handle.node->values.erase(Fold(valueName)) == 0 ? ERROR_FILE_NOT_FOUND
                                                               : ERROR_SUCCESS;
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

LONG InMemoryRegistry::EnumFirstSubkey(RegKey key, std::string* name) {
    try {
        Handle handle;
        LONG error = Resolve(key, &handle);
        if (error == ERROR_SUCCESS) {
            error = Begin(Operation::EnumFirstSubkey, handle.node.get(), nullptr);
        }
        if (error != ERROR_SUCCESS) {
            return error;
        }
        if (handle.node->deleted) {
            return ERROR_KEY_DELETED;
        }
        if ((handle.access & KEY_ENUMERATE_SUB_KEYS) == 0) {
            return ERROR_ACCESS_DENIED;
        }
        if (handle.node->children.empty()) {
            return ERROR_NO_MORE_ITEMS;
        }
        *name = handle.node->children.begin()->second->name;
        return ERROR_SUCCESS;
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

LONG InMemoryRegistry::CountSubkeys(RegKey key, DWORD* count) {
    Handle handle;
    LONG error = Resolve(key, &handle);
    if (error == ERROR_SUCCESS) {
        error = Begin(Operation::CountSubkeys, handle.node.get(), nullptr);
    }
    if (error != ERROR_SUCCESS) {
        return error;
    }
    if (handle.node->deleted) {
        return ERROR_KEY_DELETED;
    }
    if ((handle.access & KEY_QUERY_VALUE) == 0) {
        return ERROR_ACCESS_DENIED;
    }
    *count = static_cast<DWORD>(handle.node->children.size());
    return ERROR_SUCCESS;
}

LONG InMemoryRegistry::DeleteKey(RegKey parent, const char* name) {
    try {
        Handle from;
        LONG error = Resolve(parent, &from);
        if (error == ERROR_SUCCESS) {
            error = Begin(Operation::DeleteKey, from.node.get(), name);
        }
        if (error != ERROR_SUCCESS) {
            return error;
        }
        if (from.node->deleted) {
            return ERROR_KEY_DELETED;
        }
        Node* target = from.node.get();
        if (name != nullptr && *name != '\0') {
            if ((error = CheckKeyName(name)) != ERROR_SUCCESS) {
                return error;
            }
            auto it = from.node->children.find(Fold(name));
            if (it == from.node->children.end()) {
                return ERROR_FILE_NOT_FOUND;
            }
            target = it->second.get();
        }
        if (target->root || target->readOnly || !target->children.empty()) {
            return ERROR_ACCESS_DENIED;
        }
        Node* owner = target->parent;
        target->deleted = true;
        target->parent = nullptr;
        // Handles to the key keep it alive; without them it is freed here.
        owner->children.erase(Fold(target->name));
        return ERROR_SUCCESS;
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
}

LONG InMemoryRegistry::Close(RegKey key) {
    Handle handle;
    LONG error = Resolve(key, &handle);
    if (error != ERROR_SUCCESS) {
        return error;
    }
    error = Begin(Operation::Close, handle.node.get(), nullptr);
    if (IsRootKey(key)) {
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
