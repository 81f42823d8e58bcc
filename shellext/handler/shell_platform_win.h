// The handler's platform operations on Windows, carried out with the Win32 calls that
// shell_platform.h names (Windows builds only).
#pragma once

#include "shell_platform.h"

namespace tw {

class Win32ShellPlatform final : public ShellPlatform {
  public:
    HDROP LockDropList(HGLOBAL memory) override;
    void UnlockDropList(HGLOBAL memory) override;
    UINT DroppedNameCount(HDROP drop) override;
    UINT DroppedNameLength(HDROP drop, UINT index) override;
    UINT CopyDroppedName(HDROP drop, UINT index, char16_t* buffer, UINT size) override;
    void ReleaseMedium(STGMEDIUM& medium) override;
    bool IsDirectory(const std::u16string& path) override;
    HBITMAP LoadBitmapResource(HINSTANCE module, WORD id) override;
    void DeleteBitmap(HBITMAP bitmap) override;
    void InsertMenuEntry(HMENU menu, UINT position, UINT flags, UINT_PTR id,
                         const char* text) override;
    void SetMenuEntryPicture(HMENU menu, UINT position, HBITMAP picture) override;
    std::u16string ModuleFileName(HINSTANCE module) override;
    ProcessStarter& HelperStarter() override;
    bool ShortPathName(const std::u16string& path, std::u16string* shortPath) override;
};

}  // namespace tw
