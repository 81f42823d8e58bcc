// The module object of twShellExt_64.dll: the in-process server's bookkeeping (module_base.h) and
// the registration of the server and its classes (registration.cpp).
#pragma once

#include "module_base.h"

namespace tw {

struct IRegistrarBase;

// A substitution that a registry script may use as %name%: UTF-16 name and value.
struct RegistrySubstitution {
    const char16_t* name;
    const char16_t* value;
};

class CComModule : public CServerModuleT<CComModule> {
  public:
    // AddCommonSubstitutions adds "APPID" (empty) to `registrar` and returns the result of that
    // addition. RunRegistryScript runs the registry script resource `resourceId` of the module's
    // own file, registering or unregistering, with the substitutions in `extra` (name and value
    // pairs ended by a null name; may be null), then "APPID", and "Module" and "Module_Raw", both
    // the path the script names the module by, with its single quotes doubled.
    virtual HRESULT AddCommonSubstitutions(IRegistrarBase* registrar) noexcept;
    virtual HRESULT RunRegistryScript(WORD resourceId, bool registering,
                                      const RegistrySubstitution* extra) noexcept;

    // What DllRegisterServer and DllUnregisterServer do: the Approved list entry of the shell
    // extension, then every class of the class table, in order.
    HRESULT RegisterServer() noexcept;
    HRESULT UnregisterServer() noexcept;
};

}  // namespace tw
