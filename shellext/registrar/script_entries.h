// The pieces of a registry script's entry grammar, read the same way by the walk that registers
// and the walk that unregisters (script_walk.cpp): root names, key names, "val" entries, value
// assignments, nested blocks. What each walk makes of an entry's prefixes ("ForceRemove",
// "Delete", "NoRemove") is its own; the pieces are read here, over the lexer.
#pragma once

#include <string>

#include "registry.h"
#include "script_lexer.h"
#include "text_services.h"

namespace tw {

// How deep blocks may nest, counting the root block. Each level of nesting is a level of
// recursion in the walks; the bound keeps any script from exhausting the stack. A deeper block
// fails with DISP_E_EXCEPTION.
constexpr int kMaxBlockDepth = 64;

// A value assignment, "= type value", as read after the "=".
struct Assignment {
    DWORD type = REG_NONE;
    std::string value;
    size_t valueOffset = 0;  // where the value token starts
};

class EntryReader {
  public:
    EntryReader(ScriptLexer& lexer, const TextServices& text) : lexer_(lexer), text_(text) {}

    // The current token names a root (HKCR, HKEY_CLASSES_ROOT and the other six pairs, without
    // regard to case): true with the root.
    bool IsRootName(RegistryRoot* root) const;
    // The current token is a key that "ForceRemove" and "Delete" never delete.
    bool IsProtectedKey() const;
    // The current token is a key name: one level, so no backslash. An empty name is refused too
    // (the platform takes it as the parent itself, so "ForceRemove ''", for instance from an
    // empty substitution, would delete every subkey of the parent), and so is a name that is
    // exactly "{", which the format reads as the opening of a block. DISP_E_EXCEPTION otherwise.
    HRESULT CheckKeyName();
    // At "val": reads the value's name and the "=" after it (DISP_E_EXCEPTION without one).
    HRESULT ReadValueName(std::string* name, size_t* nameOffset);
    // At "=": reads the type letter (DISP_E_EXCEPTION for an unknown one, before the value is
    // read) and the value token.
    HRESULT ReadAssignment(Assignment* assignment);
    // At "=": passes the type letter and the value unchecked, and reads the token after them.
    HRESULT SkipAssignment() { return lexer_.Skip(3); }
    // The current token opens a nested block: exactly "{".
    bool OpensBlock() const { return lexer_.Token() == "{"; }
    // A block at `depth` (the root block is 1) may open a nested one; DISP_E_EXCEPTION when that
    // would nest deeper than kMaxBlockDepth.
    HRESULT EnterBlock(int depth);
    // The current token ends a block: it begins with "}".
    bool EndsBlock() const { return lexer_.StartsWith('}'); }

  private:
    ScriptLexer& lexer_;
    const TextServices& text_;
};

}  // namespace tw
