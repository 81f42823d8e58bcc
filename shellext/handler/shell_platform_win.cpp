#include "shell_platform_win.h"

#include "module_path.h"
#include "paths.h"
#include "utf16.h"

namespace tw {

HDROP Win32ShellPlatform::LockDropList(HGLOBAL memory) {
    return static_cast<HDROP>(GlobalLock(memory));
}

void Win32ShellPlatform::UnlockDropList(HGLOBAL memory) {
    GlobalUnlock(memory);
}

UINT Win32ShellPlatform::DroppedNameCount(HDROP drop) {
    return DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
}

UINT Win32ShellPlatform::DroppedNameLength(HDROP drop, UINT index) {
    return DragQueryFileW(drop, index, nullptr, 0);
}

UINT Win32ShellPlatform::CopyDroppedName(HDROP drop, UINT index, char16_t* buffer, UINT size) {
    return DragQueryFileW(drop, index, AsWide(buffer), size);
}

void Win32ShellPlatform::ReleaseMedium(STGMEDIUM& medium) {
    ReleaseStgMedium(&medium);
}

bool Win32ShellPlatform::IsDirectory(const std::u16string& path) {
    // A long name is tested in the form that has no length limit.
    const DWORD attributes = GetFileAttributesW(AsWide(ExtendedLengthPath(path)));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

HBITMAP Win32ShellPlatform::LoadBitmapResource(HINSTANCE module, WORD id) {
    return LoadBitmapA(module, MAKEINTRESOURCEA(id));
}

void Win32ShellPlatform::DeleteBitmap(HBITMAP bitmap) {
    if (bitmap != nullptr) {
        DeleteObject(bitmap);
    }
}

void Win32ShellPlatform::InsertMenuEntry(HMENU menu, UINT position, UINT flags, UINT_PTR id,
                                         const char* text) {
    InsertMenuA(menu, position, flags, id, text);
}

void Win32ShellPlatform::SetMenuEntryPicture(HMENU menu, UINT position, HBITMAP picture) {
    SetMenuItemBitmaps(menu, position, MF_BYPOSITION, picture, nullptr);
}

std::u16string Win32ShellPlatform::ModuleFileName(HINSTANCE module) {
    std::u16string name;
    DWORD error = 0;
    return tw::ModuleFileName(module, &name, &error) ? name : std::u16string();
}

ProcessStarter& Win32ShellPlatform::HelperStarter() {
    return ShellProcessStarter();
}

bool Win32ShellPlatform::ShortPathName(const std::u16string& path, std::u16string* shortPath) {
    return PlatformShortPathNames().ShortPathName(path, shortPath);
}

}  // namespace tw
