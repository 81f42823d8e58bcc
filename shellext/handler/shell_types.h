// The Explorer shell declarations that the context-menu handler's and the Explorer command's logic
// use. A Windows build takes them from the platform headers; the host build, which compiles the
// same logic for unit tests and benchmarks, gets stand-ins with the same names, layouts and values
// (only what the two use).
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

// The Explorer command's side: the shell's items and the command interfaces. A WCHAR string is
// char16_t here, the UTF-16 unit that WCHAR is on Windows (utf16.h), so that the same code reads
// and writes both.
using LPWSTR = char16_t*;
using SFGAOF = ULONG;
using EXPCMDSTATE = DWORD;
using EXPCMDFLAGS = DWORD;
struct IBindCtx;

enum SIGDN : uint32_t { SIGDN_FILESYSPATH = 0x80058000u };
constexpr SFGAOF SFGAO_STREAM = 0x00400000;
constexpr SFGAOF SFGAO_FOLDER = 0x20000000;
constexpr SFGAOF SFGAO_FILESYSTEM = 0x40000000;
constexpr EXPCMDSTATE ECS_ENABLED = 0x0;
constexpr EXPCMDSTATE ECS_HIDDEN = 0x2;
constexpr EXPCMDFLAGS ECF_DEFAULT = 0x0;
constexpr EXPCMDFLAGS ECF_HASSUBCOMMANDS = 0x1;

// Only what the command asks of an item and of a selection is declared.
struct IShellItem : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetDisplayName(SIGDN sigdnName, LPWSTR* ppszName) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAttributes(SFGAOF sfgaoMask, SFGAOF* psfgaoAttribs) = 0;
};

struct IShellItemArray : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetCount(DWORD* pdwNumItems) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetItemAt(DWORD dwIndex, IShellItem** ppsi) = 0;
};

struct IEnumExplorerCommand;

struct IExplorerCommand : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetTitle(IShellItemArray* psiItemArray, LPWSTR* ppszName) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetIcon(IShellItemArray* psiItemArray, LPWSTR* ppszIcon) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetToolTip(IShellItemArray* psiItemArray,
                                                 LPWSTR* ppszInfotip) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCanonicalName(GUID* pguidCommandName) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetState(IShellItemArray* psiItemArray, BOOL fOkToBeSlow,
                                               EXPCMDSTATE* pCmdState) = 0;
    virtual HRESULT STDMETHODCALLTYPE Invoke(IShellItemArray* psiItemArray, IBindCtx* pbc) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFlags(EXPCMDFLAGS* pFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumSubCommands(IEnumExplorerCommand** ppEnum) = 0;
};

struct IEnumExplorerCommand : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Next(ULONG celt, IExplorerCommand** pUICommand,
                                           ULONG* pceltFetched) = 0;
    virtual HRESULT STDMETHODCALLTYPE Skip(ULONG celt) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
    virtual HRESULT STDMETHODCALLTYPE Clone(IEnumExplorerCommand** ppenum) = 0;
};

constexpr IID IID_IExplorerCommand = {
    0xA08CE4D0, 0xFA25, 0x44AB, {0xB5, 0x7C, 0xC7, 0xB1, 0xC3, 0x23, 0xE0, 0xB9}};
constexpr IID IID_IEnumExplorerCommand = {
    0xA88826F8, 0x186F, 0x4987, {0xAA, 0xDE, 0xEA, 0x0C, 0xEF, 0x8F, 0xBF, 0xE8}};

constexpr CLIPFORMAT CF_HDROP = 15;
constexpr DWORD DVASPECT_CONTENT = 1;
constexpr DWORD TYMED_HGLOBAL = 1;
constexpr UINT CMF_DEFAULTONLY = 0x1;
constexpr DWORD CMIC_MASK_UNICODE = 0x4000;
constexpr UINT MF_STRING = 0x0;
constexpr UINT MF_BYPOSITION = 0x400;
constexpr UINT MF_SEPARATOR = 0x800;

#endif  // _WIN32
