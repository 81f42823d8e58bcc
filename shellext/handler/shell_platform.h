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
// DragQueryFileA with index 0xFFFFFFFF: how many names the drop list holds.
UINT DroppedNameCount(HDROP drop);
// DragQueryFileA: copies name `index`, NUL-terminated and cut to `size` characters including the
// terminator; returns the number of characters copied, 0 on failure.
UINT CopyDroppedName(HDROP drop, UINT index, char* buffer, UINT size);
// ReleaseStgMedium.
void ReleaseMedium(STGMEDIUM& medium);
// PathIsDirectoryA: true when `path` names an existing directory.
bool IsDirectory(const char* path);

// LoadBitmapA by numeric resource identifier; null when it cannot be loaded.
HBITMAP LoadBitmapResource(HINSTANCE module, WORD id);
// DeleteObject on a bitmap loaded above; a null handle is ignored.
void DeleteBitmap(HBITMAP bitmap);

// InsertMenuA by position: a separator (MF_SEPARATOR, no text) or a text entry (MF_STRING).
void InsertMenuEntry(HMENU menu, UINT position, UINT flags, UINT_PTR id, const char* text);
// SetMenuItemBitmaps by position: `picture` for the unchecked state, none for the checked state.
void SetMenuEntryPicture(HMENU menu, UINT position, HBITMAP picture);

// GetModuleFileNameA into a buffer of 261 characters set to empty first: empty on failure.
std::string ModuleFileName(HINSTANCE module);

// The starter of the helper program (ShellExecuteA).
ProcessStarter& HelperStarter();

}  // namespace shell
}  // namespace tw
