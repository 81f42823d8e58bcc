#include "script_entries.h"

#include "value_encoder.h"

namespace tw {
namespace {

struct NamedRoot {
    const char* name;
    RegistryRoot root;
};
constexpr NamedRoot kRootNames[] = {
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

}  // namespace

bool EntryReader::IsRootName(RegistryRoot* root) const {
    for (const NamedRoot& candidate : kRootNames) {
        if (lexer_.Is(candidate.name)) {
            *root = candidate.root;
            return true;
        }
    }
    return false;
}

bool EntryReader::IsProtectedKey() const {
    for (const char* name : kProtectedKeys) {
        if (lexer_.Is(name)) {
            return true;
        }
    }
    return false;
}

HRESULT EntryReader::CheckKeyName() {
    const std::string& name = lexer_.Token();
    if (name.empty()) {
        return lexer_.Syntax(ScriptFault::EmptyKeyName);
    }
    if (name == "{") {
        return lexer_.Syntax(ScriptFault::BraceKeyName);
    }
    for (const char* p = name.c_str(); *p != '\0'; p = text_.NextChar(p)) {
        if (*p == '\\') {
            return lexer_.Syntax(ScriptFault::BackslashInKeyName);
        }
    }
    return S_OK;
}

HRESULT EntryReader::ReadValueName(std::string* name, size_t* nameOffset) {
    HRESULT hr = lexer_.Next();
    if (FAILED(hr)) {
        return hr;
    }
    *name = lexer_.Token();
    *nameOffset = lexer_.TokenStart();
    if (FAILED(hr = lexer_.Next())) {
        return hr;
    }
    return lexer_.StartsWith('=') ? S_OK : lexer_.Syntax(ScriptFault::NoEquals);
}

HRESULT EntryReader::ReadAssignment(Assignment* assignment) {
    HRESULT hr = lexer_.Next();
    if (FAILED(hr)) {
        return hr;
    }
    if (!ValueTypeOfLetter(lexer_.Token(), text_, &assignment->type)) {
        return lexer_.Syntax(ScriptFault::UnknownType);
    }
    if (FAILED(hr = lexer_.Next())) {
        return hr;
    }
    assignment->value = lexer_.Token();
    assignment->valueOffset = lexer_.TokenStart();
    return S_OK;
}

HRESULT EntryReader::EnterBlock(int depth) {
    return depth >= kMaxBlockDepth ? lexer_.Syntax(ScriptFault::TooDeep) : S_OK;
}

}  // namespace tw
