// Walks an expanded registry script: registers or unregisters every root block against a registry,
// reading the script with the lexer (script_lexer.h), the entry grammar's pieces
// (script_entries.h) and the value encoder (value_encoder.h).
#pragma once

#include <cstddef>
#include <string>

#include "registry.h"
#include "script_entries.h"
#include "script_fault.h"
#include "text_services.h"

namespace tw {

struct WalkResult {
    HRESULT result = S_OK;
    // On failure, the offset in the expanded text where the walk stopped (the start of the token
    // it was at); std::string::npos on success.
    size_t stopOffset = std::string::npos;
    // On failure, why, where the walk knows (script_fault.h).
    ScriptFault fault = ScriptFault::None;
};

// What a registering walk does with each entry it carries out, for tools that translate a script
// into another form (twrgs --format wix). Offsets are those of the entry's key or value name in the
// text walked. A listener that throws std::bad_alloc ends the walk with E_OUTOFMEMORY.
class ScriptListener {
  public:
    enum class KeyKind {
        Plain,        // opened, or created when missing; unregistering deletes it unless it has
                      // subkeys
        NoRemove,     // opened, or created when missing; unregistering keeps it
        ForceRemove,  // its old tree deleted, then created (not for a protected name, which
                      // "ForceRemove" leaves alone: that entry is Plain)
    };
    virtual ~ScriptListener() = default;
    // A key entry whose key is now open as `key`.
    virtual void OnKey(RegKey key, KeyKind kind, size_t offset) = 0;
    // A value written to `key`: a "val" entry's (`name`), or a key entry's default value (`name`
    // null). `noRemove` when the entry carries "NoRemove".
    virtual void OnValue(RegKey key, const char* name, bool noRemove, size_t offset) = 0;
    // A value about to be encoded and written: its type and its token, as the walk reads them,
    // at the token's offset (before OnValue, and also for a value whose encoding fails). A
    // listener that needs no more than the entries leaves it alone.
    virtual void OnValueText(DWORD /*type*/, const std::string& /*token*/, size_t /*offset*/) {}
    // A "Delete" entry that deleted the tree parent\name, or found nothing there to delete (a
    // protected name, which the entry leaves alone, is not told).
    virtual void OnDelete(RegKey parent, const std::string& name, size_t offset) = 0;
};

// Registers (or unregisters) every root block of `script`. A failing root block is unregistered
// again when registering; earlier root blocks stay. A listener hears of every entry a registering
// walk carries out (none when unregistering, nor for the unregistering of a failed root block).
WalkResult WalkScript(const std::string& script, bool registering, Registry& registry,
                      const TextServices& text, ScriptListener* listener = nullptr);

}  // namespace tw
