// twrgs --format wix: what registering a script writes, as a fragment of a WiX v3 installer, in
// the subset of WiX that Debian's wixl builds:
// - one ComponentGroup with one 64-bit Component (Win64="yes", Guid="*") under TARGETDIR;
// - one RegistryValue per value the registration writes, with its exact type: "string" for
//   REG_SZ, "integer" for REG_DWORD (signed decimal), and for REG_MULTI_SZ a "string" whose text
//   separates the strings with "[~]" and starts and ends with it (wixl refuses Type="multiString"
//   with MultiStringValue children); REG_BINARY cannot be declared (wixl writes binary values as
//   text);
// - for each key that an entry force-removes, the row that removes the key's whole tree at
//   uninstall (Name="-" with an empty value), or, when the key holds nothing, the row that also
//   creates it (Name="*");
// - for an empty key that registration creates and no value creates, the row that creates it:
//   Name="+" when the script only opens it ("NoRemove"), Name="*" when it owns it.
// Keys that the script only opens are never the installer's: no row removes them. The installer's
// text is formatted text, so "[" and "]" of the script become "[\[]" and "[\]]", and so do its
// braces, "[\{]" and "[\}]", except around a plain group such as a class identifier's "{...}",
// which the installer leaves alone (braces around a property, an empty pair and nested pairs it
// does not); the values of substitutions pass through as given ("[#file]" names the installed
// path of a file), any character included.
//
// What an installer cannot do the way registration does is reported, not changed: a REG_BINARY
// value; a value that unregistering keeps (a NoRemove key's default value, or a "NoRemove val" in
// a NoRemove key); a "Delete" entry (an installer of this subset cannot delete a key at install);
// a root other than HKCR, HKCU, HKLM and HKU; a value directly in a root key; text with a control
// character; a key path or value name longer than the 255 characters of the Registry table.
//
// At install, a "ForceRemove" key's old tree is not deleted first, as registration does: an
// installer of this subset has no row for that (wixl refuses RemoveRegistryKey).
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "code_page_text.h"
#include "memory_registry.h"
#include "registry_snapshot.h"
#include "script_walk.h"

namespace tw {

// What the fragment needs to know of a registration besides its result: how each entry treated
// its key and which entry wrote each value. Listen to the registrar with it while registering
// into `registry`.
class WixFacts final : public ScriptListener {
  public:
    WixFacts(const InMemoryRegistry& registry, const CodePageText& text)
        : registry_(registry), text_(text) {}

    void OnKey(RegKey key, KeyKind kind, size_t offset) override;
    void OnValue(RegKey key, const char* name, bool noRemove, size_t offset) override;
    void OnDelete(RegKey parent, const std::string& name, size_t offset) override;

    struct Key {
        KeyKind kind = KeyKind::NoRemove;  // Plain or ForceRemove when any entry made it so
        size_t offset = 0;                 // the first entry's
    };
    struct Value {
        bool noRemove = false;
        size_t offset = 0;  // the last entry's
    };
    struct Deletion {
        std::string path;
        size_t offset = 0;
    };
    // By key path (and value name), folded as the registry compares them.
    const Key* FindKey(const std::string& path) const;
    const Value* FindValue(const std::string& path, const std::string& name) const;
    const std::vector<Deletion>& Deletions() const { return deletions_; }

  private:
    std::string Fold(const std::string& text) const;

    const InMemoryRegistry& registry_;
    const CodePageText& text_;
    std::map<std::string, Key> keys_;
    std::map<std::pair<std::string, std::string>, Value> values_;
    std::vector<Deletion> deletions_;
};

// Something the fragment cannot declare, with the offset in the script of the entry it comes from
// (std::string::npos when it comes from no entry).
struct WixProblem {
    size_t offset;
    std::string what;
};

// Writes the fragment (UTF-8) of the registration that turned `before` into `after`: every value
// of `after` is one the registration wrote, and a key of `before` is one the installer must not
// create. `id` names the ComponentGroup and its Component. False, with every problem in `problems`
// and nothing in `out`, when the registration cannot be declared.
bool WriteWixFragment(const RegistrySnapshot& before, const RegistrySnapshot& after,
                      const WixFacts& facts, const std::string& id, const CodePageText& text,
                      std::string* out, std::vector<WixProblem>* problems);

// Whether `id` can name a WiX element: a letter or "_", then letters, digits, "_" and ".", at most
// 72 characters.
bool IsWixIdentifier(const std::string& id);

// Substitution values are the installer's formatted text and pass through exactly, unescaped,
// though the script runs in an 8-bit code page. Before a value is handed to the registrar, its
// "[", "]", "{" and "}" are replaced by these four control characters, in that order, and the
// rest is marked as twrgs marks any value (marked_text.h); the fragment turns both back. A script
// that holds any of these or the mark of a unit already cannot be declared.
constexpr char kFormattedMarks[] = "\x01\x02\x03\x04";
std::u16string MarkFormattedText(const std::u16string& value, const CodePageText& text);

}  // namespace tw
