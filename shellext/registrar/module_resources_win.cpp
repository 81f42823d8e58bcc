#include "platform_win.h"
#include "utf16.h"

namespace tw {
namespace {

HRESULT LastErrorResult() {
    const DWORD error = GetLastError();
    return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
}

class WindowsModuleResources final : public ModuleResources {
  public:
    HRESULT Load(const std::u16string& path, Module* module) override {
        // Resource-only: nothing of the module runs, and its resources come from the file.
        HMODULE loaded =
            LoadLibraryExW(AsWide(path), nullptr,
                           LOAD_LIBRARY_AS_DATAFILE_EXCLUSIVE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        if (loaded == nullptr) {
            loaded = LoadLibraryExW(AsWide(path), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        }
        if (loaded == nullptr) {
            return LastErrorResult();
        }
        *module = loaded;
        return S_OK;
    }

    HRESULT Find(Module module, const ResourceId& id, const char* type, const char** data,
                 DWORD* size) override {
        const HMODULE loaded = static_cast<HMODULE>(module);
        const HRSRC resource = FindResourceA(
            loaded, id.IsNumber() ? MAKEINTRESOURCEA(id.Number()) : id.Name().c_str(), type);
        if (resource == nullptr) {
            return LastErrorResult();
        }
        const HGLOBAL handle = LoadResource(loaded, resource);
        if (handle == nullptr) {
            return LastErrorResult();
        }
        *size = SizeofResource(loaded, resource);
        *data = static_cast<const char*>(LockResource(handle));
        if (*data == nullptr && *size != 0) {
            return LastErrorResult();
        }
        return S_OK;
    }

    void Free(Module module) override { FreeLibrary(static_cast<HMODULE>(module)); }
};

}  // namespace

ModuleResources& PlatformModuleResources() {
    static WindowsModuleResources resources;
    return resources;
}

}  // namespace tw
