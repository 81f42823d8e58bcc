#include "shell_platform_host.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>

#include "utf16.h"

namespace tw {

// Any recognisable non-null values: the host stand-ins ignore module handles.
HINSTANCE moduleInstance = reinterpret_cast<HINSTANCE>(uintptr_t{0x180000000});
HINSTANCE dllInstance = nullptr;

namespace shell {
namespace {

struct Bitmap {
    WORD id;
};

class RefusingStarter final : public ProcessStarter {
  public:
    bool Start(const StartRequest&) override { return false; }
};

struct State {
    std::set<WORD> failingBitmaps;
    std::atomic<int> liveBitmaps{0};  // handlers may be made on several threads at once
    std::u16string moduleFileName;
    ProcessStarter* starter = nullptr;
};

State& state() {
    static State s;
    return s;
}

host::DropMemory& Memory(HGLOBAL memory) {
    return *static_cast<host::DropMemory*>(memory);
}

}  // namespace

HDROP LockDropList(HGLOBAL memory) {
    host::DropMemory& m = Memory(memory);
    if (m.lockFails) {
        return nullptr;
    }
    ++m.locks;
    return reinterpret_cast<HDROP>(memory);
}

void UnlockDropList(HGLOBAL memory) {
    ++Memory(memory).unlocks;
}

UINT DroppedNameCount(HDROP drop) {
    return static_cast<UINT>(Memory(drop).names.size());
}

UINT DroppedNameLength(HDROP drop, UINT index) {
    const host::DropMemory& m = Memory(drop);
    if (m.lengthFails || index >= m.names.size()) {
        return 0;
    }
    return static_cast<UINT>(m.names[index].size());
}

UINT CopyDroppedName(HDROP drop, UINT index, char16_t* buffer, UINT size) {
    const host::DropMemory& m = Memory(drop);
    if (m.copyFails || index >= m.names.size() || size == 0) {
        return 0;
    }
    const std::u16string& name = m.names[index];
    const size_t copied = std::min<size_t>(name.size(), size - 1);
    name.copy(buffer, copied);
    buffer[copied] = u'\0';
    return static_cast<UINT>(copied);
}

void ReleaseMedium(STGMEDIUM& medium) {
    ++Memory(medium.hGlobal).releases;
}

bool IsDirectory(const std::u16string& path) {
    struct stat info;
    return stat(Utf16ToUtf8(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

HBITMAP LoadBitmapResource(HINSTANCE, WORD id) {
    if (state().failingBitmaps.count(id) != 0) {
        return nullptr;
    }
    ++state().liveBitmaps;
    return reinterpret_cast<HBITMAP>(new Bitmap{id});
}

void DeleteBitmap(HBITMAP bitmap) {
    if (bitmap != nullptr) {
        --state().liveBitmaps;
        delete reinterpret_cast<Bitmap*>(bitmap);
    }
}

void InsertMenuEntry(HMENU menu, UINT position, UINT flags, UINT_PTR id, const char* text) {
    auto& items = reinterpret_cast<host::Menu*>(menu)->items;
    host::Menu::Item item;
    item.separator = (flags & MF_SEPARATOR) != 0;
    item.id = id;
    if (!item.separator && text != nullptr) {
        item.text = text;
    }
    // Like InsertMenuA: a position past the end appends.
    items.insert(items.begin() + std::min<size_t>(position, items.size()), std::move(item));
}

void SetMenuEntryPicture(HMENU menu, UINT position, HBITMAP picture) {
    auto& items = reinterpret_cast<host::Menu*>(menu)->items;
    if (position < items.size()) {
        items[position].picture = picture;
    }
}

std::u16string ModuleFileName(HINSTANCE) {
    return state().moduleFileName;
}

ProcessStarter& HelperStarter() {
    static RefusingStarter refusing;
    return state().starter != nullptr ? *state().starter : refusing;
}

namespace host {

void SetFailingBitmaps(std::set<WORD> failing) {
    state().failingBitmaps = std::move(failing);
}

WORD BitmapId(HBITMAP bitmap) {
    return bitmap == nullptr ? 0 : reinterpret_cast<const Bitmap*>(bitmap)->id;
}

int LiveBitmapCount() {
    return state().liveBitmaps;
}

void SetModuleFileName(const std::u16string& fileName) {
    state().moduleFileName = fileName;
}

void SetHelperStarter(ProcessStarter* starter) {
    state().starter = starter;
}

void Reset() {
    State& s = state();
    s.failingBitmaps.clear();
    s.moduleFileName.clear();
    s.starter = nullptr;
}

}  // namespace host
}  // namespace shell
}  // namespace tw
