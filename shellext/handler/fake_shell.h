// A stand-in for the handler's platform operations, for tests and benchmarks on the host and
// wherever the real shell is not wanted. Directory tests are real (the host's file system, the
// UTF-16 path taken as UTF-8); everything else is recorded. Constructed first, it becomes the
// process's platform (shell_platform.h).
#pragma once

#include <atomic>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "shell_platform.h"

namespace tw {

// A data object's global memory holding a drop list. Its address is the HGLOBAL, and locking it
// gives the HDROP. Counts how it was used.
struct FakeDropMemory {
    std::vector<std::u16string> names;
    bool lockFails = false;    // LockDropList gives null
    bool lengthFails = false;  // DroppedNameLength gives 0
    bool copyFails = false;    // CopyDroppedName copies nothing and gives 0
    int locks = 0;
    int unlocks = 0;
    int releases = 0;  // ReleaseMedium calls for a medium holding this memory

    HGLOBAL handle() { return this; }
};

// The IUnknown part of a stand-in that lives as long as its owner: it answers no other interface
// and counts nothing.
template <class Interface>
class Uncounted : public Interface {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** result) override {
        *result = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
};

// The same for a stand-in that counts the references taken and given back (without living by them).
template <class Interface>
class Counted : public Uncounted<Interface> {
  public:
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--references); }

    int references = 0;  // taken and not given back
};

// The shell's data object for a selection: hands out `memory` as its CF_HDROP medium, or fails
// with `result`, and records what it was asked. Not counted: it lives as long as its owner.
class FakeDataObject : public Uncounted<IDataObject> {
  public:
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
        askedFormat = *format;
        offeredMedium = *medium;
        ++calls;
        if (SUCCEEDED(result)) {
            medium->tymed = TYMED_HGLOBAL;
            medium->hGlobal = memory.handle();
        }
        return result;
    }

    FakeDropMemory memory;
    HRESULT result = S_OK;
    FORMATETC askedFormat = {};
    STGMEDIUM offeredMedium = {};
    int calls = 0;
};

// A popup menu as InsertMenuEntry and SetMenuEntryPicture leave it. Its address is the HMENU.
struct FakeMenu {
    struct Item {
        bool separator = false;
        UINT_PTR id = 0;
        std::string text;
        HBITMAP picture = nullptr;  // set by SetMenuEntryPicture
    };
    std::vector<Item> items;

    HMENU handle() { return reinterpret_cast<HMENU>(this); }
};

// A shell item as the shell's own items answer: its file-system path (none for a virtual item,
// whose name request fails) and its attributes (SFGAO_FILESYSTEM among them for an item with a
// path). Counts the references taken and given back and what
// it was asked. Lives as long as its owner; the counts only record.
class FakeShellItem : public Counted<IShellItem> {
  public:
    // The path as a new string of task memory, as the shell hands names out.
    HRESULT STDMETHODCALLTYPE GetDisplayName(SIGDN form, LPWSTR* name) override;
    // The attributes of `mask` that the item has: S_OK when it has them all, S_FALSE otherwise.
    HRESULT STDMETHODCALLTYPE GetAttributes(SFGAOF mask, SFGAOF* result) override;

    bool hasPath = true;
    std::u16string path;
    SFGAOF attributes = 0;
    HRESULT attributesResult = S_OK;  // a failure here is returned as it is
    std::vector<SIGDN> askedNames;
    std::vector<SFGAOF> askedAttributes;
};

// The selection Explorer hands an Explorer command: its items, in order, each handed out with a
// reference of its own. Counts the references taken and given back; lives as long as its owner.
class FakeShellItemArray : public Counted<IShellItemArray> {
  public:
    HRESULT STDMETHODCALLTYPE GetCount(DWORD* count) override;
    HRESULT STDMETHODCALLTYPE GetItemAt(DWORD index, IShellItem** item) override;

    std::vector<FakeShellItem*> items;
    HRESULT countResult = S_OK;  // a failure of GetCount
    HRESULT itemResult = S_OK;   // a failure of GetItemAt
};

class FakeShell final : public ShellPlatform {
  public:
    FakeShell() = default;

    // Bitmaps: every successful load makes a new handle, which DeleteBitmap frees. Loads of the
    // identifiers in `failingBitmaps` give null.
    std::set<WORD> failingBitmaps;
    // What ModuleFileName gives (for any module handle), or, with `moduleFileNameThrows`, the
    // std::bad_alloc of a copy that ran out of memory.
    std::u16string moduleFileName;
    bool moduleFileNameThrows = false;
    // Where HelperStarter's requests go; null: a starter that refuses every request.
    ProcessStarter* starter = nullptr;
    // The short forms ShortPathName gives; every other path has none.
    std::map<std::u16string, std::u16string> shortPaths;

    // The resource identifier a bitmap handle was loaded from (0 for null), and how many bitmaps
    // are loaded and not yet deleted.
    static WORD BitmapId(HBITMAP bitmap);
    int LiveBitmapCount() const { return liveBitmaps.load(); }

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

  private:
    std::atomic<int> liveBitmaps{0};  // handlers may be made on several threads at once
};

}  // namespace tw
