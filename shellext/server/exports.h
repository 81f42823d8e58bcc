// The DLL's entry point and exported functions (declared by the platform headers on Windows).
#pragma once

#include "com_types.h"
#include "module.h"

#ifndef _WIN32
#define STDAPI extern "C" HRESULT
#endif

namespace tw {
// The module object of the DLL, and its class table (CSimpleShlExt, CExplorerCommand).
extern CComModule shellExtModule;
extern ClassEntry classEntries[];
}  // namespace tw

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);
STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv);
STDAPI DllCanUnloadNow();
STDAPI DllRegisterServer();
STDAPI DllUnregisterServer();
