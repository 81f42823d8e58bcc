#include "shell_platform.h"

#include "module_path.h"
#include "paths.h"
#include "utf16.h"

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
    return DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
}

UINT DroppedNameLength(HDROP drop, UINT index) {
    return DragQueryFileW(drop, index, nullptr, 0);
}

UINT CopyDroppedName(HDROP drop, UINT index, char16_t* buffer, UINT size) {
    return DragQueryFileW(drop, index, AsWide(buffer), size);
}

void ReleaseMedium(STGMEDIUM& medium) {
    ReleaseStgMedium(&medium);
}

bool IsDirectory(const std::u16string& path) {
    // A long name is tested in the form that has no length limit.
    const DWORD attributes = GetFileAttributesW(AsWide(ExtendedLengthPath(path)));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
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

std::u16string ModuleFileName(HINSTANCE module) {
    std::u16string name;
    DWORD error = 0;
    return tw::ModuleFileName(module, &name, &error) ? name : std::u16string();
}

ProcessStarter& HelperStarter() {
    return ShellProcessStarter();
}

}  // namespace shell
}  // namespace tw
