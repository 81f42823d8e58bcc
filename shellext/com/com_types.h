// The COM declarations of the in-process server beyond the basic ones of win_types.h: the class
// object's interface and the entry point's notifications. Platform headers on Windows, stand-ins on
// the host.
#pragma once

#include "win_types.h"

#ifndef _WIN32

using WINBOOL = BOOL;

struct IClassFactory : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid,
                                                     void** ppvObject) = 0;
    virtual HRESULT STDMETHODCALLTYPE LockServer(WINBOOL fLock) = 0;
};

constexpr IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

constexpr DWORD DLL_PROCESS_DETACH = 0;
constexpr DWORD DLL_PROCESS_ATTACH = 1;
constexpr DWORD DLL_THREAD_ATTACH = 2;
constexpr DWORD DLL_THREAD_DETACH = 3;

#endif  // _WIN32
