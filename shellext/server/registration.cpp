#include "registration.h"

#include <cstring>
#include <new>

#include "module.h"
#include "reg_object.h"
#include "registration_platform.h"

namespace tw {
namespace {

// The size of GetModuleFileNameA's buffer: a result of this size means the path did not fit.
constexpr DWORD kModulePathBuffer = 260;

// The platform of Windows NT, the only one with an Approved list, reports bit 31 clear.
bool IsWindowsNt() {
    return (registration::PlatformVersion() & 0x80000000u) == 0;
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
    for (char16_t c : path) {
        for (int copies = c == u'\'' ? 2 : 1; copies > 0; --copies) {
            if (escaped.size() == kMaxEscapedPath) {
                return escaped;
            }
            escaped += c;
        }
    }
    return escaped;
}

HRESULT WriteApprovedValue(Registry& registry) {
    RegKey key = 0;
    if (registry.Open(RootKey(RegistryRoot::LocalMachine), kApprovedKey, KEY_SET_VALUE, &key) !=
        ERROR_SUCCESS) {
        return E_ACCESSDENIED;
    }
    const LONG error = registry.SetValue(key, kApprovedValueName, REG_SZ,
                                         reinterpret_cast<const BYTE*>(kApprovedDescription),
                                         static_cast<DWORD>(std::strlen(kApprovedDescription) + 1));
    registry.Close(key);
    return error == ERROR_SUCCESS ? S_OK : E_ACCESSDENIED;
}

void DeleteApprovedValue(Registry& registry) {
    RegKey key = 0;
    if (registry.Open(RootKey(RegistryRoot::LocalMachine), kApprovedKey, KEY_SET_VALUE, &key) ==
        ERROR_SUCCESS) {
        registry.DeleteValue(key, kApprovedValueName);
        registry.Close(key);
    }
}

HRESULT CServerModule::AddCommonSubstitutions(IRegistrarBase* registrar) noexcept {
    return registrar->AddSubstitution(u"APPID", u"");
}

HRESULT CServerModule::RunRegistryScript(WORD resourceId, bool registering,
                                         const RegistrySubstitution* extra) noexcept {
    try {
        const TextServices& text = registration::PlatformText();
        CRegObject registrar(registration::PlatformRegistry(), text,
                             &registration::PlatformResources());
        for (; extra != nullptr && extra->name != nullptr; ++extra) {
            registrar.AddSubstitution(extra->name, extra->value);
        }
        HRESULT hr = AddCommonSubstitutions(&registrar);
        if (FAILED(hr)) {
            return hr;
        }

        char path[kModulePathBuffer] = {};
        DWORD lastError = 0;
        const DWORD length =
            registration::ServerModuleFileName(path, kModulePathBuffer, &lastError);
        if (length == 0) {
            // A failure the platform gave no reason for is still a failure.
            return lastError == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(lastError);
        }
        if (length >= kModulePathBuffer) {
            return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
        }
        std::u16string modulePath;
        if (!text.ToUtf16(std::string(path, length), &modulePath)) {
            return E_OUTOFMEMORY;
        }
        const std::u16string escaped = EscapeModulePath(modulePath);
        if (FAILED(registrar.AddSubstitution(u"Module", escaped.c_str())) ||
            FAILED(registrar.AddSubstitution(u"Module_Raw", escaped.c_str()))) {
            return E_OUTOFMEMORY;
        }
        std::string type;
        if (!text.FromUtf16(u"REGISTRY", &type)) {
            return E_OUTOFMEMORY;
        }
        return registrar.RunScriptResource(modulePath.c_str(), resourceId, type.c_str(),
                                           registering);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CServerModule::RegisterServer() noexcept {
    if (IsWindowsNt()) {
        const HRESULT hr = WriteApprovedValue(registration::PlatformRegistry());
        if (FAILED(hr)) {
            return hr;
        }
    }
    return UpdateEveryClass(classTable, true);
}

HRESULT CServerModule::UnregisterServer() noexcept {
    // Unlike registering, a missing Approved entry or key does not stop the class entries from
    // being removed.
    if (IsWindowsNt()) {
        DeleteApprovedValue(registration::PlatformRegistry());
    }
    return UpdateEveryClass(classTable, false);
}

}  // namespace tw
