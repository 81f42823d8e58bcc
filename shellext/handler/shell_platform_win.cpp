#include "shell_platform.h"

#include <shlwapi.h>

#include <cstring>

// The linker's symbol for the start of this module's own image: its module handle.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace tw {

HINSTANCE moduleInstance = reinterpret_cast<HINSTANCE>(&__ImageBase);
HINSTANCE dllInstance = nullptr;

namespace shell {

HDROP LockDropList(HGLOBAL memory) {
    return static_cast<HDROP>(GlobalLock(memory));
}

void UnlockDropList(HGLOBAL memory) {
    GlobalUnlock(memory);
}

UINT DroppedNameCount(HDROP drop) {
    return DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
}

UINT CopyDroppedName(HDROP drop, UINT index, char* buffer, UINT size) {
    return DragQueryFileA(drop, index, buffer, size);
}

void ReleaseMedium(STGMEDIUM& medium) {
    ReleaseStgMedium(&medium);
}

bool IsDirectory(const char* path) {
    return PathIsDirectoryA(path) != FALSE;
}

HBITMAP LoadBitmapResource(HINSTANCE module, WORD id) {
    return LoadBitmapA(module, MAKEINTRESOURCEA(id));
}

void DeleteBitmap(HBITMAP bitmap) {
    if (bitmap != nullptr) {
        DeleteObject(bitmap);
    }
}

void InsertMenuEntry(HMENU menu, UINT position, UINT flags, UINT_PTR id, const char* text) {
    InsertMenuA(menu, position, flags, id, text);
}

void SetMenuEntryPicture(HMENU menu, UINT position, HBITMAP picture) {
    SetMenuItemBitmaps(menu, position, MF_BYPOSITION, picture, nullptr);
}

std::string ModuleFileName(HINSTANCE module) {
    char buffer[MAX_PATH + 1] = "";
    GetModuleFileNameA(module, buffer, MAX_PATH + 1);
    // A path that filled the buffer may lack its terminator on older systems.
    return std::string(buffer, strnlen(buffer, MAX_PATH + 1));
}

ProcessStarter& HelperStarter() {
    return ShellProcessStarter();
}

}  // namespace shell
}  // namespace tw
