#include "registration.h"

#include <cstring>
#include <new>
#include <vector>

#include "module.h"
#include "reg_object.h"
#include "registration_platform.h"

namespace tw {
namespace {

// The platform of Windows NT, the only one with an Approved list, reports bit 31 clear.
bool IsWindowsNt(RegistrationPlatform& platform) {
    return (platform.Version() & 0x80000000u) == 0;
}

// Registers or unregisters every class of the table in order, stopping at the first failure.
HRESULT UpdateEveryClass(const ClassEntry* table, bool registering) {
    for (const ClassEntry* entry = table; entry != nullptr && entry->clsid != nullptr; ++entry) {
        const HRESULT hr = entry->updateRegistration(registering);
        if (FAILED(hr)) {
            return hr;
        }
    }
    return S_OK;
}

}  // namespace

std::u16string EscapeModulePath(const std::u16string& path) {
    std::u16string escaped;
    escaped.reserve(path.size());
    for (char16_t c : path) {
        escaped += c;
        if (c == u'\'') {
            escaped += c;
        }
    }
    return escaped;
}

namespace {

// S_OK when the code page represents `text` exactly, S_FALSE when it does not, E_OUTOFMEMORY when
// a conversion cannot be made.
HRESULT RepresentedExactly(const std::u16string& text, const TextServices& ansi) {
    std::string narrow;
    std::u16string back;
    if (!ansi.FromUtf16(text, &narrow) || !ansi.ToUtf16(narrow, &back)) {
        return E_OUTOFMEMORY;
    }
    return back == text ? S_OK : S_FALSE;
}

}  // namespace

HRESULT ChooseModulePaths(const std::u16string& modulePath, ShortPathNames& shortNames,
                          const TextServices& ansi, ModulePaths* paths) {
    const std::vector<std::u16string> forms = UsablePathForms(modulePath, shortNames);
    if (forms.empty()) {
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    }
    for (const std::u16string& form : forms) {
        const HRESULT hr = RepresentedExactly(form, ansi);
        if (FAILED(hr)) {
            return hr;
        }
        if (hr == S_OK) {
            paths->registered = form;
            paths->loaded = forms.front();
            return S_OK;
        }
    }
    return HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION);
}

HRESULT WriteApprovedValue(Registry& registry) {
    RegKey key = 0;
    if (registry.Open(RootKey(RegistryRoot::LocalMachine), kApprovedKey, KEY_SET_VALUE, &key) !=
        ERROR_SUCCESS) {
        return E_ACCESSDENIED;
    }
    const LONG error = registry.SetValue(key, ApprovedValueName().c_str(), REG_SZ,
                                         reinterpret_cast<const BYTE*>(kApprovedDescription),
                                         static_cast<DWORD>(std::strlen(kApprovedDescription) + 1));
    registry.Close(key);
    return error == ERROR_SUCCESS ? S_OK : E_ACCESSDENIED;
}

void DeleteApprovedValue(Registry& registry) {
    RegKey key = 0;
    if (registry.Open(RootKey(RegistryRoot::LocalMachine), kApprovedKey, KEY_SET_VALUE, &key) ==
        ERROR_SUCCESS) {
        registry.DeleteValue(key, ApprovedValueName().c_str());
        registry.Close(key);
    }
}

HRESULT CComModule::AddCommonSubstitutions(IRegistrarBase* registrar) noexcept {
    return registrar->AddSubstitution(u"APPID", u"");
}

HRESULT CComModule::RunRegistryScript(WORD resourceId, bool registering,
                                      const RegistrySubstitution* extra) noexcept {
    RegistrationPlatform* platform = RegistrationPlatform::Current();
    if (platform == nullptr) {
        return E_UNEXPECTED;
    }
    try {
        // Every 8-bit step, from the choice of the module's path to the script's expansion, in the
        // code page the registry will read the bytes with.
        const TextServices& text = platform->GetText(kRegistryCodePage);
        CRegObject registrar(platform->GetRegistry(), text, &platform->GetResources());
        for (; extra != nullptr && extra->name != nullptr; ++extra) {
            registrar.AddSubstitution(extra->name, extra->value);
        }
        HRESULT hr = AddCommonSubstitutions(&registrar);
        if (FAILED(hr)) {
            return hr;
        }

        std::u16string modulePath;
        DWORD lastError = 0;
        if (!platform->ModulePath(&modulePath, &lastError)) {
            // A failure the platform gave no reason for is still a failure.
            return lastError == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(lastError);
        }
        // The script is 8-bit text, and Windows loads modules only below MAX_PATH: it names the
        // module by a path that is short enough and that the code page can carry.
        ModulePaths paths;
        hr = ChooseModulePaths(modulePath, *platform, text, &paths);
        if (FAILED(hr)) {
            return hr;
        }
        const std::u16string escaped = EscapeModulePath(paths.registered);
        if (FAILED(registrar.AddSubstitution(u"Module", escaped.c_str())) ||
            FAILED(registrar.AddSubstitution(u"Module_Raw", escaped.c_str()))) {
            return E_OUTOFMEMORY;
        }
        std::string type;
        if (!text.FromUtf16(u"REGISTRY", &type)) {
            return E_OUTOFMEMORY;
        }
        // The script itself is read from the module's file through a path Windows loads it by.
        return registrar.RunScriptResource(paths.loaded.c_str(), resourceId, type.c_str(),
                                           registering);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CComModule::RegisterServer() noexcept {
    RegistrationPlatform* platform = RegistrationPlatform::Current();
    if (platform == nullptr) {
        return E_UNEXPECTED;
    }
    if (IsWindowsNt(*platform)) {
        const HRESULT hr = WriteApprovedValue(platform->GetRegistry());
        if (FAILED(hr)) {
            return hr;
        }
    }
    return UpdateEveryClass(classTable, true);
}

HRESULT CComModule::UnregisterServer() noexcept {
    RegistrationPlatform* platform = RegistrationPlatform::Current();
    if (platform == nullptr) {
        return E_UNEXPECTED;
    }
    // Unlike registering, a missing Approved entry or key does not stop the class entries from
    // being removed.
    if (IsWindowsNt(*platform)) {
        DeleteApprovedValue(platform->GetRegistry());
    }
    return UpdateEveryClass(classTable, false);
}

}  // namespace tw
