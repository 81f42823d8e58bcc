#include <vector>

#include "platform_win.h"

namespace tw {
namespace {

using DeleteKeyExFunction = LONG(WINAPI*)(HKEY, LPCSTR, REGSAM, DWORD);

// Looked up once per process; a failed lookup is remembered too.
DeleteKeyExFunction DeleteKeyEx() {
    static const DeleteKeyExFunction function = []() -> DeleteKeyExFunction {
        HMODULE advapi = GetModuleHandleA("Advapi32.dll");
        if (advapi == nullptr) {
            return nullptr;
        }
        // Through the generic function pointer type, which converts to any other without warning.
        return reinterpret_cast<DeleteKeyExFunction>(
            reinterpret_cast<void (*)()>(GetProcAddress(advapi, "RegDeleteKeyExA")));
    }();
    return function;
}

HKEY PredefinedRoot(RegistryRoot root) {
    static const HKEY kRoots[kRegistryRootCount] = {
        HKEY_CLASSES_ROOT,     HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS,
        HKEY_PERFORMANCE_DATA, HKEY_DYN_DATA,     HKEY_CURRENT_CONFIG};
    return kRoots[static_cast<int>(root)];
}

RegKey ToRegKey(HKEY key) {
    return reinterpret_cast<RegKey>(key);
}

}  // namespace

WindowsRegistry::WindowsRegistry() = default;

WindowsRegistry::WindowsRegistry(HKEY scratch) : scratch_(scratch) {}

WindowsRegistry::~WindowsRegistry() {
    for (HKEY mapped : mappedRoots_) {
        if (mapped != nullptr) {
            RegCloseKey(mapped);
        }
    }
}

LONG WindowsRegistry::Resolve(RegKey key, HKEY* hkey) {
    RegistryRoot root;
    if (!IsRootKey(key, &root)) {
        *hkey = reinterpret_cast<HKEY>(key);
        return ERROR_SUCCESS;
    }
    if (scratch_ == nullptr) {
        *hkey = PredefinedRoot(root);
        return ERROR_SUCCESS;
    }
    HKEY& mapped = mappedRoots_[static_cast<int>(root)];
    if (mapped == nullptr) {
        const LONG error =
            RegCreateKeyExA(scratch_, RootName(root), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &mapped, nullptr);
        if (error != ERROR_SUCCESS) {
            mapped = nullptr;
            return error;
        }
    }
    *hkey = mapped;
    return ERROR_SUCCESS;
}

LONG WindowsRegistry::Open(RegKey parent, const char* name, REGSAM access, RegKey* key) {
    HKEY from, opened;
    LONG error = Resolve(parent, &from);
    if (error == ERROR_SUCCESS) {
        error = RegOpenKeyExA(from, name, 0, access, &opened);
    }
    if (error == ERROR_SUCCESS) {
        *key = ToRegKey(opened);
    }
    return error;
}

LONG WindowsRegistry::Create(RegKey parent, const char* name, REGSAM access, RegKey* key) {
    HKEY from, created;
    LONG error = Resolve(parent, &from);
    if (error == ERROR_SUCCESS) {
        error = RegCreateKeyExA(from, name, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                                &created, nullptr);
    }
    if (error == ERROR_SUCCESS) {
        *key = ToRegKey(created);
    }
    return error;
}

LONG WindowsRegistry::SetValue(RegKey key, const char* name, DWORD type, const BYTE* data,
                               DWORD size) {
    HKEY hkey;
    const LONG error = Resolve(key, &hkey);
    return error != ERROR_SUCCESS ? error : RegSetValueExA(hkey, name, 0, type, data, size);
}

LONG WindowsRegistry::DeleteValue(RegKey key, const char* name) {
    HKEY hkey;
    const LONG error = Resolve(key, &hkey);
    return error != ERROR_SUCCESS ? error : RegDeleteValueA(hkey, name);
}

LONG WindowsRegistry::EnumFirstSubkey(RegKey key, std::string* name) {
    HKEY hkey;
    LONG error = Resolve(key, &hkey);
    if (error != ERROR_SUCCESS) {
        return error;
    }
    // A key name has at most 256 characters, each of at most two bytes in a double-byte code
    // page; the buffer grows if a longer name turns up all the same.
    std::vector<char> buffer(1024);
    for (;;) {
        DWORD length = static_cast<DWORD>(buffer.size());
        error = RegEnumKeyExA(hkey, 0, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (error != ERROR_MORE_DATA || buffer.size() >= 65536) {
            if (error == ERROR_SUCCESS) {
                name->assign(buffer.data(), length);
            }
            return error;
        }
        buffer.resize(buffer.size() * 4);
    }
}

LONG WindowsRegistry::CountSubkeys(RegKey key, DWORD* count) {
    HKEY hkey;
    const LONG error = Resolve(key, &hkey);
    return error != ERROR_SUCCESS
               ? error
               : RegQueryInfoKeyW(hkey, nullptr, nullptr, nullptr, count, nullptr, nullptr, nullptr,
                                  nullptr, nullptr, nullptr, nullptr);
}

LONG WindowsRegistry::DeleteKey(RegKey parent, const char* name) {
    HKEY from;
    const LONG error = Resolve(parent, &from);
    if (error != ERROR_SUCCESS) {
        return error;
    }
    if (DeleteKeyExFunction deleteKeyEx = DeleteKeyEx()) {
        return deleteKeyEx(from, name, 0, 0);
    }
    return RegDeleteKeyA(from, name);
}

LONG WindowsRegistry::Close(RegKey key) {
    if (IsRootKey(key)) {
        return ERROR_SUCCESS;  // predefined roots, and the keys that stand for them, stay open
    }
    return RegCloseKey(reinterpret_cast<HKEY>(key));
}

Registry& PlatformRegistry() {
    static WindowsRegistry registry;
    return registry;
}

}  // namespace tw
