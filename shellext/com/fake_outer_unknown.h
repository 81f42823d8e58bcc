// A stand-in for an aggregating object that counts the AddRef and Release calls reaching it,
// records the interfaces it is asked for, and answers only IUnknown (with itself). It lives as long
// as its owner, whatever the counts say.
#pragma once

#include <vector>

#include "win_types.h"

namespace tw {

class FakeOuterUnknown : public IUnknown {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override {
        queried.push_back(iid);
        if (IsEqualGUID(iid, IID_IUnknown)) {
            AddRef();
            *result = static_cast<IUnknown*>(this);
            return S_OK;
        }
        *result = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++addRefs); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(++releases); }

    int addRefs = 0;
    int releases = 0;
    std::vector<IID> queried;
};

}  // namespace tw
