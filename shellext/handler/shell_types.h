// The Explorer shell declarations that the context-menu handler's logic uses. A Windows build takes
// them from the platform headers; the host build, which compiles the same logic for unit tests and
// benchmarks, gets stand-ins with the same names, layouts and values (only what the handler uses).
#pragma once

#include "win_types.h"

#ifdef _WIN32

#include <shlobj.h>
#include <shellapi.h>

#else  // host build

#include <cstddef>

using CHAR = char;
using LPCSTR = const char*;
using LPCWSTR = const WCHAR*;
using UINT_PTR = uintptr_t;
using CLIPFORMAT = WORD;

// Handles are opaque pointers. The host stand-ins of the handler's platform operations
// (shell_platform_host.h) give the menu, bitmap and global-memory handles their meaning.
using HANDLE = void*;
using HWND = struct HWND__*;
using HKEY = struct HKEY__*;
using HMENU = struct HMENU__*;
using HBITMAP = struct HBITMAP__*;
using HGLOBAL = void*;
using HDROP = struct HDROP__*;

struct ITEMIDLIST;
using PCIDLIST_ABSOLUTE = const ITEMIDLIST*;
struct DVTARGETDEVICE;

struct FORMATETC {
    CLIPFORMAT cfFormat;
    DVTARGETDEVICE* ptd;
    DWORD dwAspect;
    LONG lindex;
    DWORD tymed;
};

struct STGMEDIUM {
    DWORD tymed;
    union {
        HBITMAP hBitmap;
        HGLOBAL hGlobal;
    };
    IUnknown* pUnkForRelease;
};

struct CMINVOKECOMMANDINFO {
    DWORD cbSize;
    DWORD fMask;
    HWND hwnd;
    LPCSTR lpVerb;
    LPCSTR lpParameters;
    LPCSTR lpDirectory;
    int nShow;
    DWORD dwHotKey;
    HANDLE hIcon;
};

struct POINT {
    LONG x;
    LONG y;
};

// The extended form a caller marks by its size; with CMIC_MASK_UNICODE the UTF-16 fields count.
struct CMINVOKECOMMANDINFOEX {
    DWORD cbSize;
    DWORD fMask;
    HWND hwnd;
    LPCSTR lpVerb;
    LPCSTR lpParameters;
    LPCSTR lpDirectory;
    int nShow;
    DWORD dwHotKey;
    HANDLE hIcon;
    LPCSTR lpTitle;
    LPCWSTR lpVerbW;
    LPCWSTR lpParametersW;
    LPCWSTR lpDirectoryW;
    LPCWSTR lpTitleW;
    POINT ptInvoke;
};

// Only GetData is declared: it is all the handler asks of a data object.
struct IDataObject : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) = 0;
};

struct IShellExtInit : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Initialize(PCIDLIST_ABSOLUTE pidlFolder, IDataObject* pdtobj,
                                                 HKEY hkeyProgID) = 0;
};

struct IContextMenu : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryContextMenu(HMENU hmenu, UINT indexMenu, UINT idCmdFirst,
                                                       UINT idCmdLast, UINT uFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE InvokeCommand(CMINVOKECOMMANDINFO* pici) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCommandString(UINT_PTR idCmd, UINT uType, UINT* pReserved,
                                                       CHAR* pszName, UINT cchMax) = 0;
};

constexpr IID IID_IShellExtInit = {0x000214E8, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr IID IID_IContextMenu = {0x000214E4, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

constexpr CLIPFORMAT CF_HDROP = 15;
constexpr DWORD DVASPECT_CONTENT = 1;
constexpr DWORD TYMED_HGLOBAL = 1;
constexpr UINT CMF_DEFAULTONLY = 0x1;
constexpr DWORD CMIC_MASK_UNICODE = 0x4000;
constexpr UINT MF_STRING = 0x0;
constexpr UINT MF_BYPOSITION = 0x400;
constexpr UINT MF_SEPARATOR = 0x800;

#endif  // _WIN32
