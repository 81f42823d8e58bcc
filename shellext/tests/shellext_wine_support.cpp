#include "shellext_wine_support.h"

#include "winsupport.h"

namespace tw::test {

std::vector<MenuItem> ReadMenu(HMENU menu) {
    std::vector<MenuItem> items;
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        char text[128] = {};
        MENUITEMINFOA info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING | MIIM_CHECKMARKS;
        info.dwTypeData = text;
        info.cch = sizeof(text);
        if (!GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info)) {
            items.push_back({false, 0, "(unreadable)", nullptr, nullptr});
            continue;
        }
        items.push_back({(info.fType & MFT_SEPARATOR) != 0, info.wID, text, info.hbmpUnchecked,
                         info.hbmpChecked});
    }
    return items;
}

LoadedServer::LoadedServer(const std::wstring& path) : module(LoadLibraryW(path.c_str())) {
    if (module != nullptr) {
        getClassObject = reinterpret_cast<decltype(getClassObject)>(
            reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
        canUnloadNow = reinterpret_cast<decltype(canUnloadNow)>(
            reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
    }
}

LoadedServer::~LoadedServer() {
    if (module != nullptr) {
        FreeLibrary(module);
    }
}

std::unique_ptr<LoadedServer> InstallServer(const std::wstring& folder) {
    const std::wstring dll = folder + L"twShellExt_64.dll";
    if (!CopyFileTo(ExeDirectory() + L"twShellExt_64.dll", dll) ||
        !CopyFileTo(ExeDirectory() + L"twHelper.exe", folder + L"twHelper.exe")) {
        return nullptr;
    }
    auto server = std::make_unique<LoadedServer>(dll);
    return server->loaded() ? std::move(server) : nullptr;
}

HRESULT ShellDataObject(const std::wstring& path, IDataObject** result) {
    *result = nullptr;
    PIDLIST_ABSOLUTE item = nullptr;
    HRESULT hr = SHParseDisplayName(path.c_str(), nullptr, &item, 0, nullptr);
    if (FAILED(hr)) {
        return hr;
    }
    IShellFolder* parent = nullptr;
    PCUITEMID_CHILD child = nullptr;
    hr = SHBindToParent(item, IID_IShellFolder, reinterpret_cast<void**>(&parent), &child);
    if (SUCCEEDED(hr)) {
        hr = parent->GetUIObjectOf(nullptr, 1, &child, IID_IDataObject, nullptr,
                                   reinterpret_cast<void**>(result));
        parent->Release();
    }
    CoTaskMemFree(item);
    return hr;
}

HRESULT ShellSelection(const std::wstring& name, IShellItemArray** result) {
    *result = nullptr;
    Ref<IShellItem> item;
    const HRESULT hr =
        SHCreateItemFromParsingName(name.c_str(), nullptr, IID_IShellItem, item.out());
    return FAILED(hr) ? hr
                      : SHCreateShellItemArrayFromShellItem(item.get(), IID_IShellItemArray,
                                                            reinterpret_cast<void**>(result));
}

std::vector<HelperRecord> WaitForRecords(const std::wstring& directory, size_t count,
                                         DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        std::vector<HelperRecord> records;
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW(AnyLength(directory + L"twHelper-*.record").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::string text = ReadFileBytes(directory + found.cFileName);
                const size_t first = text.find('\n');
                const size_t second =
                    first == std::string::npos ? first : text.find('\n', first + 1);
                if (second == std::string::npos) {
                    continue;  // not readable yet: read again on the next round
                }
                records.push_back({Widen(text.substr(0, first)),
                                   Widen(text.substr(first + 1, second - first - 1)),
                                   text.substr(second + 1)});
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        if (records.size() >= count || GetTickCount64() >= deadline) {
            return records;
        }
        Sleep(50);
    }
}

void RemoveRecords(const std::wstring& directory) {
    for (;;) {
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW(AnyLength(directory + L"twHelper-*.record").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) {
            return;
        }
        FindClose(search);
        DeleteFileW(AnyLength(directory + found.cFileName).c_str());
    }
}

std::vector<std::string> MenuTexts(IContextMenu* handler) {
    std::vector<std::string> texts;
    HMENU popup = CreatePopupMenu();
    if (handler->QueryContextMenu(popup, 0, 1, 100, CMF_NORMAL) == 3) {
        for (const MenuItem& item : ReadMenu(popup)) {
            texts.push_back(item.text);
        }
    }
    DestroyMenu(popup);
    return texts;
}

HRESULT RegisteredHandlerFor(const std::wstring& path, IContextMenu** result) {
    *result = nullptr;
    Ref<IShellExtInit> init;
    HRESULT hr = CoCreateInstance(kHandlerClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IShellExtInit,
                                  init.out());
    if (FAILED(hr)) {
        return hr;
    }
    Ref<IDataObject> data;
    hr = ShellDataObject(path, reinterpret_cast<IDataObject**>(data.out()));
    if (SUCCEEDED(hr)) {
        hr = init->Initialize(nullptr, data.get(), nullptr);
    }
    if (SUCCEEDED(hr)) {
        hr = init->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(result));
    }
    return hr;
}

}  // namespace tw::test
