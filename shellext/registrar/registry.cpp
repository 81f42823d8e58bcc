#include "registry.h"

namespace tw {

bool IsRootKey(RegKey key, RegistryRoot* root) {
    if (key < RootKey(RegistryRoot::ClassesRoot) ||
        key >= RootKey(RegistryRoot::ClassesRoot) + kRegistryRootCount) {
        return false;
    }
    if (root != nullptr) {
        *root = static_cast<RegistryRoot>(key - RootKey(RegistryRoot::ClassesRoot));
    }
    return true;
}

const char* RootName(RegistryRoot root) {
    static const char* const kNames[kRegistryRootCount] = {
        "HKEY_CLASSES_ROOT",     "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS",
        "HKEY_PERFORMANCE_DATA", "HKEY_DYN_DATA",     "HKEY_CURRENT_CONFIG"};
    return kNames[static_cast<int>(root)];
}

}  // namespace tw
