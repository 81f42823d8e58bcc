// The in-process server twShellExt_64: its module object, its class table, the entry point and the
// exported functions that the COM runtime calls.
#include "exports.h"

#include "explorer_command.h"
#include "module.h"
#include "simple_shl_ext.h"

namespace tw {

CComModule shellExtModule;

ClassEntry classEntries[] = {
    CSimpleShlExt::Entry(),
    CExplorerCommand::Entry(),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

// The handler's registration is the server's: its registry script, with no extra substitutions.
HRESULT CSimpleShlExt::UpdateRegistration(bool registering) noexcept {
    return shellExtModule.RunRegistryScript(kRegistryScriptId, registering, nullptr);
}

// The Explorer command is declared by the package, never by the classic registration: registering
// and unregistering the server write nothing for it.
HRESULT CExplorerCommand::UpdateRegistration(bool) noexcept {
    return S_OK;
}

}  // namespace tw

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    tw::shellExtModule.dllInstance = instance;
    if (reason == DLL_PROCESS_ATTACH) {
        tw::shellExtModule.classTable = tw::classEntries;
        tw::com::StopThreadNotifications(instance);
    } else if (reason == DLL_PROCESS_DETACH) {
        tw::shellExtModule.TerminateModule();
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    return tw::shellExtModule.GetClassObject(rclsid, riid, ppv);
}

STDAPI DllCanUnloadNow() {
    return tw::shellExtModule.CanUnloadNow();
}

STDAPI DllRegisterServer() {
    return tw::shellExtModule.RegisterServer();
}

STDAPI DllUnregisterServer() {
    return tw::shellExtModule.UnregisterServer();
}
