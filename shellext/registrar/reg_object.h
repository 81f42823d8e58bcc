// CRegObject, the registrar: it keeps a list of named substitutions and runs registry scripts,
// registering or unregistering the keys and values they describe.
//
// A script is 8-bit text in the system's ANSI code page, the one the registry reads it with:
//     HKCR
//     {
//         NoRemove CLSID
//         {
//             ForceRemove {GUID} = s 'Name'
//             {
//                 InprocServer32 = s '%MODULE%'
//                 {
//                     val ThreadingModel = s 'Apartment'
//                 }
//             }
//         }
//     }
// Root names (HKCR, HKEY_CLASSES_ROOT and the other six pairs), keywords (ForceRemove, Delete,
// NoRemove, Val) and value types (s, m, d, b) are matched with ASCII letters without regard to
// case, whatever the user's locale. README.md describes the format, the limits and the failure
// results.
//
// Where this registrar is stricter than a literal reading of the format, for safety: a key name
// must not be empty (the platform would take it as the parent key, so "ForceRemove ''" would empty
// the parent) nor be exactly "{"; blocks nest at most kMaxBlockDepth deep; when unregistering,
// a syntax error inside the block of a key that does not exist stops the run; a key name is never
// shortened before it is deleted; and a subkey of any name length can be enumerated for a
// recursive delete.
//
// UTF-16 arguments are char16_t strings (see utf16.h).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "module_resources.h"
#include "registry.h"
#include "script_fault.h"
#include "script_walk.h"
#include "substitution.h"
#include "text_services.h"

namespace tw {

// The registrar's interface. Slots in order: QueryInterface, AddRef, Release, AddSubstitution,
// ClearSubstitutions, and the virtual destructor.
struct IRegistrarBase : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE AddSubstitution(const char16_t* name,
                                                      const char16_t* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE ClearSubstitutions() = 0;
    virtual ~IRegistrarBase() = default;
};

class CRegObject final : public IRegistrarBase {
  public:
#ifdef _WIN32
    // The platform's registry, text services (of the system's ANSI code page) and resource
    // loading.
    CRegObject();
#endif
    // Runs scripts against `registry` with `text`; RunScriptResource loads through `resources`
    // and answers E_NOTIMPL without them.
    CRegObject(Registry& registry, const TextServices& text, ModuleResources* resources = nullptr);
    ~CRegObject() override;
    CRegObject(const CRegObject&) = delete;
    CRegObject& operator=(const CRegObject&) = delete;

    // Not reference-counted: the owner creates and destroys the object. QueryInterface answers
    // E_NOTIMPL for every interface and leaves `object` untouched; AddRef returns 1, Release 0.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // Appends a substitution (E_INVALIDARG for a null argument, E_OUTOFMEMORY when the name
    // cannot be converted or stored). Names are looked up without regard to case; the first
    // pair added under a name wins.
    HRESULT STDMETHODCALLTYPE AddSubstitution(const char16_t* name, const char16_t* value) override;
    // Forgets every substitution; always S_OK.
    HRESULT STDMETHODCALLTYPE ClearSubstitutions() override;

    // Loads the script resource `id` of type `type` from the module file `moduleFile` (UTF-16, read
    // from disk as a resource-only image) and runs it. The resource's bytes are used as they are;
    // an embedded NUL ends the script.
    HRESULT RunScriptResource(const char16_t* moduleFile, const ResourceId& id, const char* type,
                              bool registering);
    // Expands the substitutions in `text` (NUL-terminated) and registers or unregisters every root
    // block. A failure stops the run; when registering, the failing root block is unregistered
    // again and earlier root blocks stay.
    HRESULT RunScriptText(const char* text, bool registering);

    // Tells `listener` (null: nobody) what each later registering run does with every entry, with
    // offsets in the script text as given, before its substitutions were expanded.
    void SetListener(ScriptListener* listener) {
        listener_ = listener;
    }

    // After a failed run: the byte offset in the script text where the interpreter stopped (the
    // token, or the "%" of the substitution reference, it was at). std::string::npos after a
    // success, or when the failure came before the script was read.
    size_t StopOffset() const {
        return stopOffset_;
    }
    // After a failed run: why it stopped where the interpreter knows it (script_fault.h), for
    // tools that word the cause; ScriptFault::None otherwise.
    ScriptFault StopFault() const {
        return stopFault_;
    }

  private:
    Registry& registry_;
    const TextServices& text_;
    ModuleResources* resources_;
    ScriptListener* listener_ = nullptr;
    std::vector<Substitution> substitutions_;
    size_t stopOffset_ = std::string::npos;
    ScriptFault stopFault_ = ScriptFault::None;
};

}  // namespace tw
