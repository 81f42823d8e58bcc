// The seam between RunScriptResource and the platform's resource loading: the Windows adapter
// (module_resources_win.cpp) loads the module file as a resource-only image; tests pass fakes.
#pragma once

#include <string>

#include "registrar_types.h"

namespace tw {

// A resource identifier: a number, or a name, as the platform's resource functions take them.
class ResourceId {
  public:
    ResourceId(unsigned short number) : number_(number) {}  // NOLINT: converts like MAKEINTRESOURCE
    ResourceId(const char* name) : number_(0), name_(name == nullptr ? "" : name) {}  // NOLINT

    bool IsNumber() const { return number_ != 0; }
    unsigned short Number() const { return number_; }
    const std::string& Name() const { return name_; }

  private:
    unsigned short number_;
    std::string name_;
};

class ModuleResources {
  public:
    using Module = void*;

    virtual ~ModuleResources() = default;
    // Loads the module file at `path` (UTF-16, whole) for its resources only, reading the file on
    // disk rather than an image already loaded. A failure is the platform's last error as an
    // HRESULT.
    virtual HRESULT Load(const std::u16string& path, Module* module) = 0;
    // Finds the resource `id` of type `type` in a loaded module. Its `size` bytes at `data` stay
    // valid until Free.
    virtual HRESULT Find(Module module, const ResourceId& id, const char* type, const char** data,
                         DWORD* size) = 0;
    virtual void Free(Module module) = 0;
};

}  // namespace tw
