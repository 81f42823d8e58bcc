// Support of the programs that exercise the real twShellExt_64.dll under Wine: a counted reference
// holder, the DLL loaded from a path with its two exports, and the data object and the shell item
// array that the shell itself makes for a file or a folder.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <memory>
#include <string>
#include <vector>

namespace tw::test {

// {9F264B80-12D4-4C4C-9158-7A1A1803FB58}, written out here so the tests check the DLL's value.
constexpr CLSID kHandlerClsid = {
    0x9F264B80, 0x12D4, 0x4C4C, {0x91, 0x58, 0x7A, 0x1A, 0x18, 0x03, 0xFB, 0x58}};
// {A09105CC-93EB-4C7E-BA18-9038B1D88144}, the Explorer command's, likewise.
constexpr CLSID kExplorerCommandClsid = {
    0xA09105CC, 0x93EB, 0x4C7E, {0xBA, 0x18, 0x90, 0x38, 0xB1, 0xD8, 0x81, 0x44}};

// Holds one counted reference and releases it.
template <class T>
class Ref {
  public:
    Ref() = default;
    explicit Ref(T* p) : p_(p) {}
    ~Ref() { Reset(); }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    Ref(Ref&& other) noexcept : p_(other.p_) { other.p_ = nullptr; }
    Ref& operator=(Ref&& other) noexcept {
        if (this != &other) {
            Reset();
            p_ = other.p_;
            other.p_ = nullptr;
        }
        return *this;
    }
    void Reset() {
        if (p_ != nullptr) {
            p_->Release();
            p_ = nullptr;
        }
    }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    void** out() {
        Reset();
        return reinterpret_cast<void**>(&p_);
    }

  private:
    T* p_ = nullptr;
};

// One item of a real menu, read back with GetMenuItemInfoA. An item that cannot be read has the
// text "(unreadable)".
struct MenuItem {
    bool separator;
    UINT id;
    std::string text;
    HBITMAP picture;         // unchecked-state bitmap
    HBITMAP checkedPicture;  // checked-state bitmap
};
std::vector<MenuItem> ReadMenu(HMENU menu);

// The texts of the items `handler` puts into a new popup menu (QueryContextMenu at position 0,
// normal flags); empty when it inserts nothing.
std::vector<std::string> MenuTexts(IContextMenu* handler);
// What they are for a file and for a folder: a separator, the two entries, a separator.
inline const std::vector<std::string> kFileEntries = {"", "Backup this file", "Restore this file",
                                                      ""};
inline const std::vector<std::string> kFolderEntries = {"", "Backup this folder",
                                                        "Show available backups", ""};

// What one start of the recording twHelper.exe (fake_twhelper.cpp) received.
struct HelperRecord {
    std::wstring currentDirectory;
    std::wstring commandLine;
    std::string ansiCommandLine;  // as a program reading it in the ANSI code page sees it
};

// The records twHelper.exe left in `directory` (of any length), once `count` of them exist and can
// be read whole (or the time is up).
std::vector<HelperRecord> WaitForRecords(const std::wstring& directory, size_t count,
                                         DWORD timeoutMs = 30000);
// Deletes the records of `directory`.
void RemoveRecords(const std::wstring& directory);

// The DLL loaded with LoadLibraryW, and its exports.
class LoadedServer {
  public:
    explicit LoadedServer(const std::wstring& path);
    ~LoadedServer();
    LoadedServer(const LoadedServer&) = delete;
    LoadedServer& operator=(const LoadedServer&) = delete;
    bool loaded() const { return getClassObject != nullptr && canUnloadNow != nullptr; }

    HMODULE module = nullptr;
    HRESULT(STDAPICALLTYPE* getClassObject)(REFCLSID, REFIID, void**) = nullptr;
    HRESULT(STDAPICALLTYPE* canUnloadNow)() = nullptr;
};

// twShellExt_64.dll and the recording twHelper.exe copied from the test programs' folder into
// `folder` (with its trailing backslash), and the copy of the DLL loaded from there; null when a
// copy fails or the DLL does not load.
std::unique_ptr<LoadedServer> InstallServer(const std::wstring& folder);

// The data object that the shell makes for the item at `path` (as Explorer passes it to a
// context-menu handler): SHParseDisplayName, SHBindToParent, GetUIObjectOf(IID_IDataObject).
HRESULT ShellDataObject(const std::wstring& path, IDataObject** result);

// The selection Explorer hands an Explorer command for the item named `name` (a path, or a
// parsing name such as "::{CLSID}" of a virtual folder): SHCreateItemFromParsingName, then
// SHCreateShellItemArrayFromShellItem.
HRESULT ShellSelection(const std::wstring& name, IShellItemArray** result);

// A handler for the item at `path` as Explorer gets one: made by the COM runtime from the class's
// registration (CoCreateInstance, CLSCTX_INPROC_SERVER) and initialised with the shell's data
// object. Its IContextMenu face.
HRESULT RegisteredHandlerFor(const std::wstring& path, IContextMenu** result);

}  // namespace tw::test
