// A stand-in for self-registration's platform operations, for tests on the host. Its registry is
// an in-memory one that starts as a fresh Windows installation has it: the Approved list key of
// HKEY_LOCAL_MACHINE exists, empty, and nothing else. The system's and the thread's ANSI code page
// are two settings, as on a machine whose regional format is not the one its system code page was
// chosen for. It keeps Windows' limits, which Wine does not: the module file cannot be loaded by a
// path of MAX_PATH units or more. Constructed first, it becomes the process's platform
// (registration_platform.h).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "memory_registry.h"
#include "registration_platform.h"

namespace tw {

class FakeRegistrationPlatform final : public RegistrationPlatform {
  public:
    FakeRegistrationPlatform();

    InMemoryRegistry registry;
    // The text services of the system's and of the thread's ANSI code page; null:
    // CodePageText::Western().
    const TextServices* systemText = nullptr;
    const TextServices* threadText = nullptr;
    // What Version gives (initially a Windows NT version, bit 31 clear).
    DWORD version = 0x23F00206;  // 6.2, build 9200

    // The module's path that ModulePath gives, whole; the module file can be loaded for its
    // resources by that path or its short form, when either has fewer than MAX_PATH units.
    // FailModulePath makes ModulePath fail with `error`.
    void SetModulePath(const std::u16string& path);
    void FailModulePath(DWORD error);
    // The short form ShortPathName gives for `path`; other paths have none (initially none has).
    void SetShortPathName(const std::u16string& path, const std::u16string& shortPath);
    // The module file holds this one resource (none initially).
    void SetResource(const ResourceId& id, const std::string& type, const std::string& bytes);
    // The paths loaded so far, and how many loaded modules were not freed again.
    const std::vector<std::u16string>& LoadedPaths() const { return resources_.loadedPaths; }
    int ModulesHeld() const { return resources_.held; }

    Registry& GetRegistry() override { return registry; }
    const TextServices& GetText(AnsiCodePage codePage) override;
    ModuleResources& GetResources() override { return resources_; }
    DWORD Version() override { return version; }
    bool ModulePath(std::u16string* path, DWORD* lastError) override;
    bool ShortPathName(const std::u16string& path, std::u16string* shortPath) override;

  private:
    // The module file's resources: one module, holding at most one resource.
    class Resources final : public ModuleResources {
      public:
        explicit Resources(FakeRegistrationPlatform& platform) : platform_(platform) {}
        HRESULT Load(const std::u16string& path, Module* module) override;
        HRESULT Find(Module module, const ResourceId& id, const char* type, const char** data,
                     DWORD* size) override;
        void Free(Module) override { --held; }

        std::u16string moduleFileName;
        bool hasResource = false;
        ResourceId resourceId{static_cast<unsigned short>(0)};
        std::string resourceType;
        std::string resourceBytes;
        std::vector<std::u16string> loadedPaths;
        int held = 0;

      private:
        FakeRegistrationPlatform& platform_;
    };

    Resources resources_{*this};
    bool modulePathFails_ = false;
    DWORD modulePathError_ = 0;
    std::map<std::u16string, std::u16string> shortPaths_;
};

}  // namespace tw
