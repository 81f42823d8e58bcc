// The platform operations the context-menu handler carries its decisions out with. The Windows
// build implements them with the Win32 calls named beside each one (shell_platform_win.cpp); the
// host build with small stand-ins that tests and benchmarks can drive (shell_platform_host.h).
#pragma once

#include <string>

#include "process_start.h"
#include "shell_types.h"

namespace tw {

// The server module's handle in the process. `moduleInstance` is the image base, known from load,
// and is used to load resources; `dllInstance` is recorded by the entry point and is used to find
// the module's own file.
extern HINSTANCE moduleInstance;
extern HINSTANCE dllInstance;

namespace shell {

// GlobalLock / GlobalUnlock: map a data object's global memory to a drop list and unmap it. Null
// when the memory cannot be locked.
HDROP LockDropList(HGLOBAL memory);
void UnlockDropList(HGLOBAL memory);
// DragQueryFileW with index 0xFFFFFFFF: how many names the drop list holds.
UINT DroppedNameCount(HDROP drop);
// DragQueryFileW without a buffer: the length of name `index` in UTF-16 units, without its
// terminator; 0 on failure.
UINT DroppedNameLength(HDROP drop, UINT index);
// DragQueryFileW: copies name `index`, NUL-terminated and cut to `size` units including the
// terminator; returns the number of units copied, 0 on failure.
UINT CopyDroppedName(HDROP drop, UINT index, char16_t* buffer, UINT size);
// ReleaseStgMedium.
void ReleaseMedium(STGMEDIUM& medium);
// GetFileAttributesW: true when `path` names an existing directory, whatever its length.
bool IsDirectory(const std::u16string& path);

// LoadBitmapA by numeric resource identifier; null when it cannot be loaded.
HBITMAP LoadBitmapResource(HINSTANCE module, WORD id);
// DeleteObject on a bitmap loaded above; a null handle is ignored.
void DeleteBitmap(HBITMAP bitmap);

// InsertMenuA by position: a separator (MF_SEPARATOR, no text) or a text entry (MF_STRING).
void InsertMenuEntry(HMENU menu, UINT position, UINT flags, UINT_PTR id, const char* text);
// SetMenuItemBitmaps by position: `picture` for the unchecked state, none for the checked state.
void SetMenuEntryPicture(HMENU menu, UINT position, HBITMAP picture);

// GetModuleFileNameW, whole however long it is: empty on failure.
std::u16string ModuleFileName(HINSTANCE module);

// The starter of the helper program (ShellExecuteW).
ProcessStarter& HelperStarter();

}  // namespace shell
}  // namespace tw
