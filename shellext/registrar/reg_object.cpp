#include "reg_object.h"

#include <new>
#include <optional>

#include "script_walk.h"

namespace tw {
namespace {

// Passes a walk's events on with the offsets moved from the expanded text to the original one.
class OriginalOffsets final : public ScriptListener {
  public:
    OriginalOffsets(const ExpandedScript& expanded, ScriptListener& listener)
        : expanded_(expanded), listener_(listener) {}
    void OnKey(RegKey key, KeyKind kind, size_t offset) override {
        listener_.OnKey(key, kind, expanded_.OriginalOffset(offset));
    }
    void OnValue(RegKey key, const char* name, bool noRemove, size_t offset) override {
        listener_.OnValue(key, name, noRemove, expanded_.OriginalOffset(offset));
    }
    void OnDelete(RegKey parent, const std::string& name, size_t offset) override {
        listener_.OnDelete(parent, name, expanded_.OriginalOffset(offset));
    }
    void OnValueText(DWORD type, const std::string& token, size_t offset) override {
        listener_.OnValueText(type, token, expanded_.OriginalOffset(offset));
    }

  private:
    const ExpandedScript& expanded_;
    ScriptListener& listener_;
};

}  // namespace

CRegObject::CRegObject(Registry& registry, const TextServices& text, ModuleResources* resources)
    : registry_(registry), text_(text), resources_(resources) {}

CRegObject::~CRegObject() {
    ClearSubstitutions();
}

HRESULT STDMETHODCALLTYPE CRegObject::QueryInterface(REFIID, void**) {
    return E_NOTIMPL;
}

ULONG STDMETHODCALLTYPE CRegObject::AddRef() {
    return 1;
}

ULONG STDMETHODCALLTYPE CRegObject::Release() {
    return 0;
}

HRESULT STDMETHODCALLTYPE CRegObject::AddSubstitution(const char16_t* name, const char16_t* value) {
    if (name == nullptr || value == nullptr) {
        return E_INVALIDARG;
    }
    try {
        Substitution substitution;
        if (!text_.FromUtf16(name, &substitution.name)) {
            return E_OUTOFMEMORY;
        }
        substitution.value = value;
        substitutions_.push_back(std::move(substitution));
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT STDMETHODCALLTYPE CRegObject::ClearSubstitutions() {
    substitutions_.clear();
    substitutions_.shrink_to_fit();
    return S_OK;
}

HRESULT CRegObject::RunScriptText(const char* text, bool registering) {
    stopOffset_ = std::string::npos;
    stopFault_ = ScriptFault::None;
    if (text == nullptr) {
        return E_INVALIDARG;
    }
    try {
        ExpandedScript expanded;
        size_t errorOffset = std::string::npos;
        HRESULT hr =
            ExpandSubstitutions(text, substitutions_, text_, &expanded, &errorOffset, &stopFault_);
        if (FAILED(hr)) {
            stopOffset_ = errorOffset;
            return hr;
        }
        std::optional<OriginalOffsets> offsets;
        if (listener_ != nullptr) {
            offsets.emplace(expanded, *listener_);
        }
        const WalkResult walk =
            WalkScript(expanded.text, registering, registry_, text_, offsets ? &*offsets : nullptr);
        if (FAILED(walk.result) && walk.stopOffset != std::string::npos) {
            stopOffset_ = expanded.OriginalOffset(walk.stopOffset);
            stopFault_ = walk.fault;
        }
        return walk.result;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CRegObject::RunScriptResource(const char16_t* moduleFile, const ResourceId& id,
                                      const char* type, bool registering) {
    stopOffset_ = std::string::npos;
    stopFault_ = ScriptFault::None;
    try {
        if (moduleFile == nullptr) {
            return E_OUTOFMEMORY;
        }
        if (resources_ == nullptr) {
            return E_NOTIMPL;
        }
        // The module is loaded through its UTF-16 path, so that any name on disk can be read.
        ModuleResources::Module module = nullptr;
        HRESULT hr = resources_->Load(moduleFile, &module);
        if (FAILED(hr)) {
            return hr;
        }
        const char* data = nullptr;
        DWORD size = 0;
        hr = resources_->Find(module, id, type, &data, &size);
        if (SUCCEEDED(hr)) {
            if (size == 0xFFFFFFFFu) {
                hr = E_OUTOFMEMORY;  // no room for the terminating NUL
            } else {
                // n bytes and a NUL: an embedded NUL ends the script early.
                std::string script;
                try {
                    script.assign(data, size);
                } catch (const std::bad_alloc&) {
                    hr = E_OUTOFMEMORY;
                }
                if (SUCCEEDED(hr)) {
                    hr = RunScriptText(script.c_str(), registering);
                }
            }
        }
        resources_->Free(module);
        return hr;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace tw
