// Host stand-ins of the handler's platform operations, and what tests and benchmarks use to drive
// and inspect them. Directory tests are real (the host's file system, the UTF-16 path taken as
// UTF-8); everything else is recorded.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "shell_platform.h"

namespace tw::shell::host {

// A data object's global memory holding a drop list. Its address is the HGLOBAL, and locking it
// gives the HDROP. Counts how it was used.
struct DropMemory {
    std::vector<std::u16string> names;
    bool lockFails = false;    // LockDropList gives null
    bool lengthFails = false;  // DroppedNameLength gives 0
    bool copyFails = false;    // CopyDroppedName copies nothing and gives 0
    int locks = 0;
    int unlocks = 0;
    int releases = 0;  // ReleaseMedium calls for a medium holding this memory

    HGLOBAL handle() { return this; }
};

// The shell's data object for a selection: hands out `memory` as its CF_HDROP medium, or fails
// with `result`, and records what it was asked. Not counted: it lives as long as its owner.
class DataObject : public IDataObject {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** result) override {
        *result = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
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

    DropMemory memory;
    HRESULT result = S_OK;
    FORMATETC askedFormat = {};
    STGMEDIUM offeredMedium = {};
    int calls = 0;
};

// A popup menu as InsertMenuEntry and SetMenuEntryPicture leave it. Its address is the HMENU.
struct Menu {
    struct Item {
        bool separator = false;
        UINT_PTR id = 0;
        std::string text;
        HBITMAP picture = nullptr;  // set by SetMenuEntryPicture
    };
    std::vector<Item> items;

    HMENU handle() { return reinterpret_cast<HMENU>(this); }
};

// Bitmaps: every successful load makes a new handle, which DeleteBitmap frees. Loads of the
// identifiers in `failing` give null.
void SetFailingBitmaps(std::set<WORD> failing);
WORD BitmapId(HBITMAP bitmap);
int LiveBitmapCount();

// What ModuleFileName gives (for any module handle).
void SetModuleFileName(const std::u16string& fileName);

// Where HelperStarter's requests go; null restores a starter that refuses every request.
void SetHelperStarter(ProcessStarter* starter);

// Puts every stand-in back to its initial state.
void Reset();

}  // namespace tw::shell::host
