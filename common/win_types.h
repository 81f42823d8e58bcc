// The few Windows and COM declarations that the platform-independent logic uses. A Windows build
// takes them from the platform headers; the host build, which compiles the same logic for unit
// tests, gets minimal stand-ins with the same names, sizes and values.
#pragma once

#ifdef _WIN32

#include <windows.h>
#include <objbase.h>

#else  // host build

#include <cstdint>
#include <cstring>

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using UINT = unsigned int;
using ULONG = uint32_t;
using LONG = int32_t;
using BOOL = int;
using HRESULT = int32_t;
using WCHAR = wchar_t;
using LPVOID = void*;
// A module in the process: its image base.
using HINSTANCE = struct HINSTANCE__*;
using HMODULE = HINSTANCE;

#define STDMETHODCALLTYPE
#define WINAPI
#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFCLSID = const CLSID&;
inline bool IsEqualGUID(const GUID& a, const GUID& b) {
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}
inline bool operator==(const GUID& a, const GUID& b) {
    return IsEqualGUID(a, b);
}
inline bool operator!=(const GUID& a, const GUID& b) {
    return !IsEqualGUID(a, b);
}
constexpr GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

// The calling convention of COM interfaces: a table of virtual functions.
struct IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;
};
constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

constexpr HRESULT MakeHresult(uint32_t value) {
    return static_cast<HRESULT>(value);
}
#define S_OK MakeHresult(0x00000000u)
#define S_FALSE MakeHresult(0x00000001u)
#define E_NOTIMPL MakeHresult(0x80004001u)
#define E_NOINTERFACE MakeHresult(0x80004002u)
#define E_POINTER MakeHresult(0x80004003u)
#define E_FAIL MakeHresult(0x80004005u)
#define E_UNEXPECTED MakeHresult(0x8000FFFFu)
#define E_ACCESSDENIED MakeHresult(0x80070005u)
#define E_OUTOFMEMORY MakeHresult(0x8007000Eu)
#define E_INVALIDARG MakeHresult(0x80070057u)
#define CLASS_E_NOAGGREGATION MakeHresult(0x80040110u)
#define CLASS_E_CLASSNOTAVAILABLE MakeHresult(0x80040111u)
#define DISP_E_EXCEPTION MakeHresult(0x80020009u)
#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)

constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_MORE_DATA = 234;
constexpr DWORD ERROR_NO_MORE_ITEMS = 259;
constexpr DWORD ERROR_KEY_DELETED = 1018;
constexpr DWORD ERROR_NO_UNICODE_TRANSLATION = 1113;
constexpr HRESULT HRESULT_FROM_WIN32(DWORD e) {
    return static_cast<HRESULT>(e) <= 0 ? static_cast<HRESULT>(e)
                                        : static_cast<HRESULT>((e & 0x0000FFFFu) | 0x80070000u);
}

// The show command of the programs this tree starts.
constexpr int SW_SHOW = 5;

#endif  // _WIN32
