#include "fake_shell.h"

#include <sys/stat.h>

#include <algorithm>
#include <new>

#include "com_platform.h"

#include "utf16.h"

namespace tw {
namespace {

struct Bitmap {
    WORD id;
};

class RefusingStarter final : public ProcessStarter {
  public:
    bool Start(const StartRequest&) override { return false; }
};

FakeDropMemory& Memory(void* memory) {
    return *static_cast<FakeDropMemory*>(memory);
}

}  // namespace

HDROP FakeShell::LockDropList(HGLOBAL memory) {
    FakeDropMemory& m = Memory(memory);
    if (m.lockFails) {
        return nullptr;
    }
    ++m.locks;
    return reinterpret_cast<HDROP>(memory);
}

void FakeShell::UnlockDropList(HGLOBAL memory) {
    ++Memory(memory).unlocks;
}

UINT FakeShell::DroppedNameCount(HDROP drop) {
    return static_cast<UINT>(Memory(drop).names.size());
}

UINT FakeShell::DroppedNameLength(HDROP drop, UINT index) {
    const FakeDropMemory& m = Memory(drop);
    if (m.lengthFails || index >= m.names.size()) {
        return 0;
    }
    return static_cast<UINT>(m.names[index].size());
}

UINT FakeShell::CopyDroppedName(HDROP drop, UINT index, char16_t* buffer, UINT size) {
    const FakeDropMemory& m = Memory(drop);
    if (m.copyFails || index >= m.names.size() || size == 0) {
        return 0;
    }
    const std::u16string& name = m.names[index];
    const size_t copied = std::min<size_t>(name.size(), size - 1);
    name.copy(buffer, copied);
    buffer[copied] = u'\0';
    return static_cast<UINT>(copied);
}

void FakeShell::ReleaseMedium(STGMEDIUM& medium) {
    ++Memory(medium.hGlobal).releases;
}

bool FakeShell::IsDirectory(const std::u16string& path) {
    struct stat info;
    return stat(Utf16ToUtf8(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

HBITMAP FakeShell::LoadBitmapResource(HINSTANCE, WORD id) {
    if (failingBitmaps.count(id) != 0) {
        return nullptr;
    }
    ++liveBitmaps;
    return reinterpret_cast<HBITMAP>(new Bitmap{id});
}

void FakeShell::DeleteBitmap(HBITMAP bitmap) {
    if (bitmap != nullptr) {
        --liveBitmaps;
        delete reinterpret_cast<Bitmap*>(bitmap);
    }
}

WORD FakeShell::BitmapId(HBITMAP bitmap) {
    return bitmap == nullptr ? 0 : reinterpret_cast<const Bitmap*>(bitmap)->id;
}

void FakeShell::InsertMenuEntry(HMENU menu, UINT position, UINT flags, UINT_PTR id,
                                const char* text) {
    auto& items = reinterpret_cast<FakeMenu*>(menu)->items;
    FakeMenu::Item item;
    item.separator = (flags & MF_SEPARATOR) != 0;
    item.id = id;
    if (!item.separator && text != nullptr) {
        item.text = text;
    }
    // Like InsertMenuA: a position past the end appends.
    items.insert(items.begin() + std::min<size_t>(position, items.size()), std::move(item));
}

void FakeShell::SetMenuEntryPicture(HMENU menu, UINT position, HBITMAP picture) {
    auto& items = reinterpret_cast<FakeMenu*>(menu)->items;
    if (position < items.size()) {
        items[position].picture = picture;
    }
}

std::u16string FakeShell::ModuleFileName(HINSTANCE) {
    if (moduleFileNameThrows) {
        throw std::bad_alloc();
    }
    return moduleFileName;
}

bool FakeShell::ShortPathName(const std::u16string& path, std::u16string* shortPath) {
    const auto found = shortPaths.find(path);
    if (found == shortPaths.end()) {
        return false;
    }
    *shortPath = found->second;
    return true;
}

ProcessStarter& FakeShell::HelperStarter() {
    static RefusingStarter refusing;
    return starter != nullptr ? *starter : refusing;
}

HRESULT FakeShellItem::GetDisplayName(SIGDN form, LPWSTR* name) {
    askedNames.push_back(form);
    *name = nullptr;
    if (form != SIGDN_FILESYSPATH || !hasPath) {
        return E_INVALIDARG;
    }
    auto* copy =
        static_cast<char16_t*>(com::AllocateTaskMemory((path.size() + 1) * sizeof(char16_t)));
    if (copy == nullptr) {
        return E_OUTOFMEMORY;
    }
    path.copy(copy, path.size());
    copy[path.size()] = u'\0';
    *name = copy;
    return S_OK;
}

HRESULT FakeShellItem::GetAttributes(SFGAOF mask, SFGAOF* result) {
    askedAttributes.push_back(mask);
    if (FAILED(attributesResult)) {
        return attributesResult;
    }
    *result = attributes & mask;
    return *result == mask ? S_OK : S_FALSE;
}

HRESULT FakeShellItemArray::GetCount(DWORD* count) {
    if (FAILED(countResult)) {
        return countResult;
    }
    *count = static_cast<DWORD>(items.size());
    return S_OK;
}

HRESULT FakeShellItemArray::GetItemAt(DWORD index, IShellItem** item) {
    *item = nullptr;
    if (FAILED(itemResult)) {
        return itemResult;
    }
    if (index >= items.size()) {
        return E_INVALIDARG;
    }
    items[index]->AddRef();
    *item = items[index];
    return S_OK;
}

}  // namespace tw
