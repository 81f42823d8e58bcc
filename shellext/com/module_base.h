// The module bookkeeping of an in-process server: its lock count, which keeps the DLL loaded while
// any object or server lock lives, its class table, which serves and caches the class objects,
// and the module's handles in the process. The server's own module (shellext/server/module.h)
// derives from it and adds registration.
#pragma once

#include "com_platform.h"
#include "com_types.h"
#include "thread_models.h"

namespace tw {

// Registers (true) or unregisters (false) a class.
using UpdateRegistrationFunction = HRESULT (*)(bool registering);

// Makes one object of a class (plain without an outer unknown, aggregated with one).
using CreateInstanceFunction = HRESULT (*)(IUnknown* outer, REFIID iid, void** result);
// Makes the class object that creates objects with `instanceCreator`.
using CreateClassObjectFunction = HRESULT (*)(CreateInstanceFunction instanceCreator, REFIID iid,
                                              void** result);

// One creatable class of the module. A class table is an array of these ended by an entry whose
// `clsid` is null.
struct ClassEntry {
    const CLSID* clsid;
    UpdateRegistrationFunction updateRegistration;
    CreateClassObjectFunction createClassObject;  // null leaves the class out of GetClassObject
    CreateInstanceFunction createInstance;
    IUnknown* classObject;  // the cached class object, holding one reference of its own
};

class ServerModuleData {
  public:
    LONG lockCount = 0;  // changed only by atomic increment and decrement
    ClassEntry* classTable = nullptr;
    com::CriticalSection classTableLock;  // guards the first filling of a `classObject`
    bool classTableLockCreated = false;
    // The module's handle, both equal to its image base: `moduleInstance` is known from load and
    // is used to load resources; `dllInstance` is recorded by the entry point on every
    // notification and is used to find the module's own file.
    HINSTANCE moduleInstance = com::OwnModule();
    HINSTANCE dllInstance = nullptr;
};

class CServerModule : public ServerModuleData {
  public:
    CServerModule() noexcept;
    virtual ~CServerModule();
    CServerModule(const CServerModule&) = delete;
    CServerModule& operator=(const CServerModule&) = delete;

    // Atomically add or take one reason to keep the DLL loaded; return the new count.
    virtual LONG LockModule() noexcept;
    virtual LONG UnlockModule() noexcept;

    // The class object of `clsid` from the class table, made on the first request and cached.
    // When `classTableLock` could not be created, every request is answered with E_UNEXPECTED and
    // no class object is ever made.
    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** result) noexcept;
    // S_OK when nothing keeps the DLL loaded, S_FALSE otherwise.
    HRESULT CanUnloadNow() const noexcept;
    // Gives back the class table's references to the cached class objects.
    void TerminateModule() noexcept;
};

// The process-wide reference through which every object of the DLL counts itself in the module.
// The first module constructed takes it (the DLL constructs one); it is cleared when that module
// is destroyed.
extern CServerModule* serverModule;

// The layer of the module of type T that takes the process-wide reference.
template <class T>
class CServerModuleT : public CServerModule {
  protected:
    CServerModuleT() noexcept {
        if (serverModule == nullptr) {
            serverModule = this;
        }
    }
    ~CServerModuleT() override {
        if (serverModule == this) {
            serverModule = nullptr;
        }
    }
};

}  // namespace tw
