#include "com_objects.h"

namespace tw {

const InterfaceEntry<CComClassFactory> CComClassFactory::interfaceMap[] = {
    {&IID_IClassFactory, &FaceOf<CComClassFactory, IClassFactory>},
    {nullptr, nullptr},
};

HRESULT CComClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** result) noexcept {
    if (result == nullptr) {
        return E_POINTER;
    }
    *result = nullptr;
    if (outer != nullptr && !IsEqualGUID(iid, IID_IUnknown)) {
        return CLASS_E_NOAGGREGATION;
    }
    return instanceCreator(outer, iid, result);
}

HRESULT CComClassFactory::LockServer(WINBOOL lock) noexcept {
    if (lock) {
        serverModule->LockModule();
    } else {
        serverModule->UnlockModule();
    }
    return S_OK;
}

HRESULT CComClassFactory::CreateClassObject(CreateInstanceFunction instanceCreator, REFIID iid,
                                            void** result) noexcept {
    if (result == nullptr) {
        return E_POINTER;
    }
    *result = nullptr;
    auto* object = new (std::nothrow) CComObjectCached<CComClassFactory>();
    if (object == nullptr) {
        return E_OUTOFMEMORY;
    }
    object->instanceCreator = instanceCreator;
    HRESULT hr = object->CreateObjectLock();
    if (FAILED(hr)) {
        delete object;
        return hr;
    }
    hr = object->QueryInterface(iid, result);
    if (hr != S_OK) {
        delete object;
    }
    return hr;
}

}  // namespace tw
