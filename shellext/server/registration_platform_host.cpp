#include "registration_platform_host.h"

#include <cctype>
#include <memory>

#include "code_page_text.h"

namespace tw::registration {
namespace host {

const char* const kApprovedKeyPath =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";

namespace {

// The in-memory registry, which holds one level per name, opening paths of several levels as the
// platform does: the levels above the last are opened without access rights, the last with the
// rights asked for.
class PathRegistry final : public tw::Registry {
  public:
    LONG Open(RegKey parent, const char* name, REGSAM access, RegKey* key) override {
        const std::string path = name == nullptr ? "" : name;
        size_t start = 0;
        RegKey at = parent;
        bool opened = false;  // `at` is a handle of ours, not the caller's
        for (size_t end; (end = path.find('\\', start)) != std::string::npos; start = end + 1) {
            RegKey next = 0;
            const LONG error = memory.Open(at, path.substr(start, end - start).c_str(), 0, &next);
            if (opened) {
                memory.Close(at);
            }
            if (error != ERROR_SUCCESS) {
                return error;
            }
            at = next;
            opened = true;
        }
        const LONG error = memory.Open(at, path.c_str() + start, access, key);
        if (opened) {
            memory.Close(at);
        }
        return error;
    }
    LONG Create(RegKey parent, const char* name, REGSAM access, RegKey* key) override {
        return memory.Create(parent, name, access, key);
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
    HRESULT Load(const std::string& path, Module* module) override {
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

    std::string moduleFileName;
    bool hasResource = false;
    ResourceId resourceId{static_cast<unsigned short>(0)};
    std::string resourceType;
    std::string resourceBytes;
    std::vector<std::string> loadedPaths;
    int held = 0;
};

const char* const kDefaultModuleFileName = "C:\\Program Files\\Tarnwick\\twShellExt_64.dll";
const DWORD kWindowsNtVersion = 0x23F00206;  // 6.2, build 9200

struct State {
    State() {
        resources.moduleFileName = kDefaultModuleFileName;
        // Level by level, as the in-memory registry holds one level per name.
        const std::string path = kApprovedKeyPath;
        RegKey at = RootKey(RegistryRoot::LocalMachine);
        for (size_t start = 0, end = 0; end != std::string::npos; start = end + 1) {
            end = path.find('\\', start);
            RegKey next = 0;
            memory().Create(at, path.substr(start, end - start).c_str(), KEY_READ | KEY_WRITE,
                            &next);
            memory().Close(at);
            at = next;
        }
        memory().Close(at);
    }
    InMemoryRegistry& memory() { return registry.memory; }

    PathRegistry registry;
    Resources resources;
    DWORD version = kWindowsNtVersion;
    bool moduleFileNameFails = false;
    DWORD moduleFileNameError = 0;
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

void SetModuleFileName(const std::string& path) {
    Current().resources.moduleFileName = path;
    Current().moduleFileNameFails = false;
}

void FailModuleFileName(DWORD error) {
    Current().moduleFileNameFails = true;
    Current().moduleFileNameError = error;
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

const std::vector<std::string>& LoadedPaths() {
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

DWORD ServerModuleFileName(char* buffer, DWORD size, DWORD* lastError) {
    const host::State& state = host::Current();
    if (state.moduleFileNameFails) {
        *lastError = state.moduleFileNameError;
        return 0;
    }
    const std::string& path = state.resources.moduleFileName;
    if (size == 0) {
        *lastError = ERROR_INSUFFICIENT_BUFFER;
        return 0;
    }
    if (path.size() >= size) {
        path.copy(buffer, size - 1);
        buffer[size - 1] = '\0';
        *lastError = ERROR_INSUFFICIENT_BUFFER;
        return size;
    }
    path.copy(buffer, path.size());
    buffer[path.size()] = '\0';
    *lastError = ERROR_SUCCESS;
    return static_cast<DWORD>(path.size());
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
