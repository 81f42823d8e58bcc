#include "module_base.h"

#include "creation_window.h"

namespace tw {

CServerModule* serverModule = nullptr;

CServerModule::CServerModule() noexcept {
    DWORD error = 0;
    classTableLockCreated = classTableLock.Create(error);
}

CServerModule::~CServerModule() {
    if (classTableLockCreated) {
        classTableLock.Delete();
    }
}

LONG CServerModule::LockModule() noexcept {
    return CComMultiThreadModel::Increment(&lockCount);
}

LONG CServerModule::UnlockModule() noexcept {
    return CComMultiThreadModel::Decrement(&lockCount);
}

HRESULT CServerModule::GetClassObject(REFCLSID clsid, REFIID iid, void** result) noexcept {
    if (result == nullptr) {
        return E_POINTER;
    }
    *result = nullptr;
    if (!classTableLockCreated) {
        return E_UNEXPECTED;
    }
    HRESULT hr = S_OK;
    for (ClassEntry* entry = classTable; entry != nullptr && entry->clsid != nullptr; ++entry) {
        if (entry->createClassObject == nullptr || !IsEqualGUID(*entry->clsid, clsid)) {
            continue;
        }
        // Double-checked: only the first requests meet at the lock, and exactly one of them
        // makes the class object. The object is published complete (release/acquire).
        IUnknown* classObject = __atomic_load_n(&entry->classObject, __ATOMIC_ACQUIRE);
        if (classObject == nullptr) {
            classTableLock.Enter();
            classObject = __atomic_load_n(&entry->classObject, __ATOMIC_ACQUIRE);
            if (classObject == nullptr) {
                CreationWindow();
                void* made = nullptr;
                hr = entry->createClassObject(entry->createInstance, IID_IUnknown, &made);
                classObject = static_cast<IUnknown*>(made);
                __atomic_store_n(&entry->classObject, classObject, __ATOMIC_RELEASE);
            }
            classTableLock.Leave();
        }
        if (classObject != nullptr) {
            hr = classObject->QueryInterface(iid, result);
        }
        break;
    }
    if (*result == nullptr && hr == S_OK) {
        hr = CLASS_E_CLASSNOTAVAILABLE;
    }
    return hr;
}

HRESULT CServerModule::CanUnloadNow() const noexcept {
    return __atomic_load_n(&lockCount, __ATOMIC_RELAXED) == 0 ? S_OK : S_FALSE;
}

void CServerModule::TerminateModule() noexcept {
    for (ClassEntry* entry = classTable; entry != nullptr && entry->clsid != nullptr; ++entry) {
        if (entry->classObject != nullptr) {
            entry->classObject->Release();
            entry->classObject = nullptr;
        }
    }
}

}  // namespace tw
