// Reference counting, interface lookup and creation of the DLL's COM objects: the object roots,
// the table-driven QueryInterface, the plain, aggregated and cached object wrappers, the class
// object, and the creation functions a class gets from CComCoClass. Every object counts itself in
// the module (module_base.h) so that the DLL stays loaded while it lives.
#pragma once

#include <new>

#include "com_platform.h"
#include "module_base.h"

namespace tw {

// What every object of the DLL starts from: its reference count, or, for an object living inside
// an aggregate, the aggregating object (not referenced). Objects live in memory from
// com::AllocateObject, so that a failed allocation is an ordinary result.
class CComObjectRootBase {
  public:
    CComObjectRootBase() noexcept : refCount(0) {}

    static void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
        return com::AllocateObject(size);
    }
    static void operator delete(void* memory) noexcept { com::FreeObject(memory); }
    static void operator delete(void* memory, const std::nothrow_t&) noexcept {
        com::FreeObject(memory);
    }

    union {
        LONG refCount;
        IUnknown* outerUnknown;
    };
};

template <class ThreadModel>
class CComObjectRootEx : public CComObjectRootBase {
  public:
    LONG InternalAddRef() noexcept { return ThreadModel::Increment(&refCount); }
    LONG InternalRelease() noexcept { return ThreadModel::Decrement(&refCount); }
};

// The shared root also owns a critical section, made and deleted with the object.
template <>
class CComObjectRootEx<CComMultiThreadModel> : public CComObjectRootBase {
  public:
    CComObjectRootEx() noexcept = default;
    ~CComObjectRootEx() {
        if (objectLockCreated) {
            objectLock.Delete();
        }
    }
    CComObjectRootEx(const CComObjectRootEx&) = delete;
    CComObjectRootEx& operator=(const CComObjectRootEx&) = delete;

    LONG InternalAddRef() noexcept { return CComMultiThreadModel::Increment(&refCount); }
    LONG InternalRelease() noexcept { return CComMultiThreadModel::Decrement(&refCount); }

    // Creates `objectLock`: S_OK, or the Win32 error as an HRESULT, which is S_OK too when the
    // platform gave no reason (the lock then stays uncreated and is never deleted).
    HRESULT CreateObjectLock() noexcept {
        DWORD error = 0;
        objectLockCreated = objectLock.Create(error);
        return objectLockCreated ? S_OK : HRESULT_FROM_WIN32(error);
    }

    com::CriticalSection objectLock;
    bool objectLockCreated = false;
};

// One row of an interface table: an interface identifier and how to reach the object's face for
// it. A table ends with a row whose `iid` is null; its first row also answers for IUnknown.
template <class T>
struct InterfaceEntry {
    const IID* iid;
    IUnknown* (*face)(T* object);
};

template <class T, class Interface>
IUnknown* FaceOf(T* object) {
    return static_cast<Interface*>(object);
}

// QueryInterface over `T::interfaceMap`. The reference is taken through the face handed out.
template <class T>
HRESULT QueryInterfaceByTable(T* object, REFIID iid, void** result) noexcept {
    if (result == nullptr) {
        return E_POINTER;
    }
    const InterfaceEntry<T>* entry = T::interfaceMap;
    if (!IsEqualGUID(iid, IID_IUnknown)) {
        while (entry->iid != nullptr && !IsEqualGUID(*entry->iid, iid)) {
            ++entry;
        }
    }
    if (entry->iid == nullptr) {
        *result = nullptr;
        return E_NOINTERFACE;
    }
    IUnknown* face = entry->face(object);
    face->AddRef();
    *result = face;
    return S_OK;
}

// Makes a counted object: allocation and construction failures give E_OUTOFMEMORY and change
// nothing; a made object takes one module lock and is asked for `iid`, and an object that does not
// offer it is destroyed again (which gives the lock back).
template <class Object, class... Arguments>
HRESULT CreateCountedObject(REFIID iid, void** result, Arguments... arguments) noexcept {
    if (result == nullptr) {
        return E_POINTER;
    }
    *result = nullptr;
    Object* object = nullptr;
    try {
        object = new (std::nothrow) Object(arguments...);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    if (object == nullptr) {
        return E_OUTOFMEMORY;
    }
    serverModule->LockModule();
    const HRESULT hr = object->QueryInterface(iid, result);
    if (hr != S_OK) {
        delete object;
    }
    return hr;
}

// Destroys an object whose count fell to 0. The module is held meanwhile, so the lock count
// cannot reach 0 before the destruction has finished.
template <class Object>
void DestroyCountedObject(Object* object) noexcept {
    serverModule->LockModule();
    delete object;
    serverModule->UnlockModule();
}

// A plain object of class `Base`: counts itself, answers from Base's interface table, and holds
// one module lock from its creation to its destruction.
template <class Base>
class CComObject final : public Base {
  public:
    CComObject() = default;
    ~CComObject() override { serverModule->UnlockModule(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) noexcept override {
        return QueryInterfaceByTable<Base>(this, iid, result);
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override {
        return static_cast<ULONG>(this->InternalAddRef());
    }
    ULONG STDMETHODCALLTYPE Release() noexcept override {
        const LONG count = this->InternalRelease();
        if (count == 0) {
            DestroyCountedObject(this);
        }
        return static_cast<ULONG>(count);
    }

    static HRESULT CreateInstance(REFIID iid, void** result) noexcept {
        return CreateCountedObject<CComObject>(iid, result);
    }
};

// An object of class `Base` living inside an aggregate: all three IUnknown operations of all its
// faces go to the aggregating object.
template <class Base>
class CComContainedObject final : public Base {
  public:
    explicit CComContainedObject(IUnknown* outer) { this->outerUnknown = outer; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) noexcept override {
        return this->outerUnknown->QueryInterface(iid, result);
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return this->outerUnknown->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() noexcept override { return this->outerUnknown->Release(); }
};

// The inner unknown of an aggregated object of class `Base`: counts the aggregate, answers
// IUnknown with itself and everything else from the contained object's interface table.
template <class Base>
class CComAggObject final : public IUnknown, public CComObjectRootEx<CComSingleThreadModel> {
  public:
    explicit CComAggObject(IUnknown* outer) : contained(outer) {}
    virtual ~CComAggObject() { serverModule->UnlockModule(); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) noexcept override {
        if (result == nullptr) {
            return E_POINTER;
        }
        *result = nullptr;
        if (IsEqualGUID(iid, IID_IUnknown)) {
            InternalAddRef();
            *result = static_cast<IUnknown*>(this);
            return S_OK;
        }
        return QueryInterfaceByTable<Base>(&contained, iid, result);
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override {
        return static_cast<ULONG>(InternalAddRef());
    }
    ULONG STDMETHODCALLTYPE Release() noexcept override {
        const LONG count = InternalRelease();
        if (count == 0) {
            DestroyCountedObject(this);
        }
        return static_cast<ULONG>(count);
    }

    // Aggregated creation: `iid` is IID_IUnknown (the class object sees to it), so the caller gets
    // the inner unknown with count 1.
    static HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** result) noexcept {
        return CreateCountedObject<CComAggObject>(iid, result, outer);
    }

    CComContainedObject<Base> contained;
};

// The cached class object: the reference the class table holds (count 1) does not keep the DLL
// loaded; any outside references together hold exactly one module lock.
template <class Base>
class CComObjectCached final : public Base {
  public:
    CComObjectCached() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) noexcept override {
        return QueryInterfaceByTable<Base>(this, iid, result);
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override {
        const LONG count = this->InternalAddRef();
        if (count == 2) {
            serverModule->LockModule();
        }
        return static_cast<ULONG>(count);
    }
    ULONG STDMETHODCALLTYPE Release() noexcept override {
        const LONG count = this->InternalRelease();
        if (count == 0) {
            delete this;
        } else if (count == 1) {
            serverModule->UnlockModule();
        }
        return static_cast<ULONG>(count);
    }
};

// The class object: makes objects with the class entry's creation function. Shared by all threads.
class CComClassFactory : public IClassFactory, public CComObjectRootEx<CComMultiThreadModel> {
  public:
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid,
                                             void** result) noexcept override;
    HRESULT STDMETHODCALLTYPE LockServer(WINBOOL lock) noexcept override;
    virtual ~CComClassFactory() = default;

    // Makes the cached class object for `instanceCreator` and asks it for `iid`. Takes no module
    // lock.
    static HRESULT CreateClassObject(CreateInstanceFunction instanceCreator, REFIID iid,
                                     void** result) noexcept;

    static const InterfaceEntry<CComClassFactory> interfaceMap[];

    CreateInstanceFunction instanceCreator = nullptr;
};

// Whether the objects of a class may live inside an aggregate.
enum class Aggregation { Allowed, Refused };

// Ties class T to its class identifier and gives it the two creation functions of its class entry.
template <class T, const CLSID* classId, Aggregation aggregation = Aggregation::Allowed>
class CComCoClass {
  public:
    static const CLSID& GetObjectCLSID() noexcept { return *classId; }

    // Plain creation without an outer unknown; with one, aggregated creation, or, for a class that
    // refuses aggregation, CLASS_E_NOAGGREGATION whatever is asked for, and nothing made.
    static HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** result) noexcept {
        if (outer == nullptr) {
            return CComObject<T>::CreateInstance(iid, result);
        }
        if constexpr (aggregation == Aggregation::Allowed) {
            return CComAggObject<T>::CreateInstance(outer, iid, result);
        } else {
            if (result == nullptr) {
                return E_POINTER;
            }
            *result = nullptr;
            return CLASS_E_NOAGGREGATION;
        }
    }
    static HRESULT CreateClassObject(CreateInstanceFunction instanceCreator, REFIID iid,
                                     void** result) noexcept {
        return CComClassFactory::CreateClassObject(instanceCreator, iid, result);
    }

    // The class table row of T; T registers itself with its own UpdateRegistration.
    static constexpr ClassEntry Entry() noexcept {
        return ClassEntry{classId, &T::UpdateRegistration, &T::CreateClassObject,
                          &T::CreateInstance, nullptr};
    }
};

}  // namespace tw
