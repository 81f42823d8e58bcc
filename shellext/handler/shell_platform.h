// The platform operations the context-menu handler carries its decisions out with, as an
// interface: the Windows build's Win32ShellPlatform (shell_platform_win.h) makes the Win32 calls
// named beside each operation; tests hand in a FakeShell (fake_shell.h).
//
// Handler objects are made by the class object with no arguments, so they find the platform as
// the process's current one (process_wide.h): the DLL constructs its Win32ShellPlatform at load,
// a test constructs its FakeShell.
#pragma once

#include <string>

#include "path_policy.h"
#include "process_start.h"
#include "process_wide.h"
#include "shell_types.h"

namespace tw {

// The short names (GetShortPathNameW) are those of the path policy (path_policy.h), which decides
// the form of the module's folder the helper is started from.
class ShellPlatform : public ProcessWide<ShellPlatform>, public ShortPathNames {
  public:
    virtual ~ShellPlatform() = default;

    // GlobalLock / GlobalUnlock: map a data object's global memory to a drop list and unmap it.
    // Null when the memory cannot be locked.
    virtual HDROP LockDropList(HGLOBAL memory) = 0;
    virtual void UnlockDropList(HGLOBAL memory) = 0;
    // DragQueryFileW with index 0xFFFFFFFF: how many names the drop list holds.
    virtual UINT DroppedNameCount(HDROP drop) = 0;
    // DragQueryFileW without a buffer: the length of name `index` in UTF-16 units, without its
    // terminator; 0 on failure.
    virtual UINT DroppedNameLength(HDROP drop, UINT index) = 0;
    // DragQueryFileW: copies name `index`, NUL-terminated and cut to `size` units including the
    // terminator; returns the number of units copied, 0 on failure.
    virtual UINT CopyDroppedName(HDROP drop, UINT index, char16_t* buffer, UINT size) = 0;
    // ReleaseStgMedium.
    virtual void ReleaseMedium(STGMEDIUM& medium) = 0;
    // GetFileAttributesW: true when `path` names an existing directory, whatever its length.
    virtual bool IsDirectory(const std::u16string& path) = 0;

    // LoadBitmapA by numeric resource identifier; null when it cannot be loaded.
    virtual HBITMAP LoadBitmapResource(HINSTANCE module, WORD id) = 0;
    // DeleteObject on a bitmap loaded above; a null handle is ignored.
    virtual void DeleteBitmap(HBITMAP bitmap) = 0;

    // InsertMenuA by position: a separator (MF_SEPARATOR, no text) or a text entry (MF_STRING).
    virtual void InsertMenuEntry(HMENU menu, UINT position, UINT flags, UINT_PTR id,
                                 const char* text) = 0;
    // SetMenuItemBitmaps by position: `picture` for the unchecked state, none for the checked
    // state.
    virtual void SetMenuEntryPicture(HMENU menu, UINT position, HBITMAP picture) = 0;

    // GetModuleFileNameW, whole however long it is: empty on failure.
    virtual std::u16string ModuleFileName(HINSTANCE module) = 0;

    // The starter of the helper program (ShellExecuteW).
    virtual ProcessStarter& HelperStarter() = 0;
};

}  // namespace tw
