// The content of a registry tree as tests, the differential test and the twrgs tool compare and
// print it.
#pragma once

#include <string>
#include <vector>

#include "registrar_types.h"

namespace tw {

struct RegistryValue {
    std::string name;  // empty for the default value
    DWORD type = REG_NONE;
    std::string data;  // the bytes RegQueryValueExA returns (8-bit text for the string types)

    bool operator==(const RegistryValue& o) const {
        return name == o.name && type == o.type && data == o.data;
    }
};

struct RegistryKeyDump {
    std::string path;  // "HKEY_CLASSES_ROOT\CLSID\{...}": the root's long name and every level
    std::vector<RegistryValue> values;

    bool operator==(const RegistryKeyDump& o) const { return path == o.path && values == o.values; }
};

// Keys in tree order (a key before its subkeys, subkeys by name without regard to case), values
// of each key by name without regard to case, the default value first.
using RegistrySnapshot = std::vector<RegistryKeyDump>;

}  // namespace tw
