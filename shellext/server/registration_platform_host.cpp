#include "registration_platform_host.h"

#include <cctype>
#include <memory>

#include "code_page_text.h"
#include "registration.h"

namespace tw::registration {
namespace host {

namespace {

// The in-memory registry, which holds one level per name, opening and creating paths of several
// levels as the platform does: the levels above the last are opened (or created) with only the
// right to go on below them, the last with the rights asked for.
class PathRegistry final : public tw::Registry {
  public:
    LONG Open(RegKey parent, const char* name, REGSAM access, RegKey* key) override {
        return Walk(parent, name, false, access, key);
    }
    LONG Create(RegKey parent, const char* name, REGSAM access, RegKey* key) override {
        return Walk(parent, name, true, access, key);
    }
    LONG SetValue(RegKey key, const char* name, DWORD type, const BYTE* data, DWORD size) override {
        return memory.SetValue(key, name, type, data, size);
    }
    LONG DeleteValue(RegKey key, const char* name) override {
        return memory.DeleteValue(key, name);
    }
    LONG EnumFirstSubkey(RegKey key, std::string* name) override {
        return memory.EnumFirstSubkey(key, name);
    }
    LONG CountSubkeys(RegKey key, DWORD* count) override { return memory.CountSubkeys(key, count); }
    LONG DeleteKey(RegKey parent, const char* name) override {
        return memory.DeleteKey(parent, name);
    }
    LONG Close(RegKey key) override { return memory.Close(key); }

    InMemoryRegistry memory;

  private:
    LONG Walk(RegKey parent, const char* name, bool create, REGSAM access, RegKey* key) {
        const std::string path = name == nullptr ? "" : name;
        RegKey at = parent;
        bool ours = false;  // `at` is a handle opened here, not the caller's
        for (size_t start = 0;;) {
            const size_t end = path.find('\\', start);
            const bool last = end == std::string::npos;
            const std::string level = path.substr(start, last ? std::string::npos : end - start);
            const REGSAM rights = last ? access : create ? KEY_CREATE_SUB_KEY : 0;
            RegKey next = 0;
            const LONG error = create ? memory.Create(at, level.c_str(), rights, &next)
                                      : memory.Open(at, level.c_str(), rights, &next);
            if (ours) {
                memory.Close(at);
            }
            if (error != ERROR_SUCCESS || last) {
                if (error == ERROR_SUCCESS) {
                    *key = next;
                }
                return error;
            }
            at = next;
            ours = true;
            start = end + 1;
        }
    }
};

bool SameType(const std::string& a, const char* b) {
    const std::string other = b == nullptr ? "" : b;
    if (a.size() != other.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(other[i]))) {
            return false;
        }
    }
    return true;
}

// The module file's resources: one module, holding at most one resource.
class Resources final : public ModuleResources {
  public:
    HRESULT Load(const std::u16string& path, Module* module) override {
        loadedPaths.push_back(path);
        if (path != moduleFileName) {
            return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
        }
        ++held;
        *module = this;
        return S_OK;
    }
    HRESULT Find(Module, const ResourceId& id, const char* type, const char** data,
                 DWORD* size) override {
        if (!hasResource || !SameType(resourceType, type)) {
            return HRESULT_FROM_WIN32(ERROR_RESOURCE_TYPE_NOT_FOUND);
        }
        if (id.IsNumber() != resourceId.IsNumber() || id.Number() != resourceId.Number() ||
            !SameType(resourceId.Name(), id.Name().c_str())) {
            return HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND);
        }
        *data = resourceBytes.data();
        *size = static_cast<DWORD>(resourceBytes.size());
        return S_OK;
    }
    void Free(Module) override { --held; }

    std::u16string moduleFileName;
    bool hasResource = false;
    ResourceId resourceId{static_cast<unsigned short>(0)};
    std::string resourceType;
    std::string resourceBytes;
    std::vector<std::u16string> loadedPaths;
    int held = 0;
};

const char16_t* const kDefaultModuleFileName = u"C:\\Program Files\\Tarnwick\\twShellExt_64.dll";
const DWORD kWindowsNtVersion = 0x23F00206;  // 6.2, build 9200

struct State {
    State() {
        resources.moduleFileName = kDefaultModuleFileName;
        RegKey approved = 0;
        registry.Create(RootKey(RegistryRoot::LocalMachine), kApprovedKey, KEY_READ, &approved);
        registry.Close(approved);
    }
    InMemoryRegistry& memory() { return registry.memory; }

    PathRegistry registry;
    Resources resources;
    DWORD version = kWindowsNtVersion;
    bool moduleFileNameFails = false;
    DWORD moduleFileNameError = 0;
    std::u16string shortPathOf;  // the one path that has a short form
    std::u16string shortPath;
    const TextServices* text = nullptr;
};

std::unique_ptr<State>& CurrentState() {
    static std::unique_ptr<State> state;
    return state;
}

State& Current() {
    std::unique_ptr<State>& state = CurrentState();
    if (!state) {
        state = std::make_unique<State>();
    }
    return *state;
}

}  // namespace

InMemoryRegistry& Registry() {
    return Current().memory();
}

void SetVersion(DWORD version) {
    Current().version = version;
}

void SetModuleFileName(const std::u16string& path) {
    Current().resources.moduleFileName = path;
    Current().moduleFileNameFails = false;
}

void FailModuleFileName(DWORD error) {
    Current().moduleFileNameFails = true;
    Current().moduleFileNameError = error;
}

void SetShortPathName(const std::u16string& path, const std::u16string& shortPath) {
    Current().shortPathOf = path;
    Current().shortPath = shortPath;
}

void SetText(const TextServices* text) {
    Current().text = text;
}

void SetResource(const ResourceId& id, const std::string& type, const std::string& bytes) {
    Resources& resources = Current().resources;
    resources.hasResource = true;
    resources.resourceId = id;
    resources.resourceType = type;
    resources.resourceBytes = bytes;
}

const std::vector<std::u16string>& LoadedPaths() {
    return Current().resources.loadedPaths;
}

int ModulesHeld() {
    return Current().resources.held;
}

void Reset() {
    CurrentState() = std::make_unique<State>();
}

}  // namespace host

DWORD PlatformVersion() {
    return host::Current().version;
}

bool ServerModulePath(std::u16string* path, DWORD* lastError) {
    const host::State& state = host::Current();
    if (state.moduleFileNameFails) {
        *lastError = state.moduleFileNameError;
        return false;
    }
    *path = state.resources.moduleFileName;
    *lastError = ERROR_SUCCESS;
    return true;
}

bool ShortPathName(const std::u16string& path, std::u16string* shortPath) {
    const host::State& state = host::Current();
    if (state.shortPathOf.empty() || path != state.shortPathOf) {
        return false;
    }
    *shortPath = state.shortPath;
    return true;
}

Registry& PlatformRegistry() {
    return host::Current().registry;
}

const TextServices& PlatformText() {
    const TextServices* text = host::Current().text;
    return text != nullptr ? *text : CodePageText::Western();
}

ModuleResources& PlatformResources() {
    return host::Current().resources;
}

}  // namespace tw::registration
