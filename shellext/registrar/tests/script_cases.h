// The table of script cases that the host tests run against the in-memory registry and that
// registrar_wine_test runs against both the in-memory registry and the real one: script,
// substitutions, starting registry and mode, with the result and the registry expected afterwards.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "code_page_text.h"
#include "registry.h"
#include "registry_snapshot.h"

namespace tw::test {

constexpr bool kRegister = true;
constexpr bool kUnregister = false;

struct ScriptCase {
    std::string name;
    // 0: plain ASCII, runs in any code page; 1252 or 932: runs only in that code page.
    unsigned codePage;
    // The script, the registry before and the registry expected after are written in UTF-8 and
    // converted to the code page. The registries are .reg sections without the header line.
    std::string script;
    std::vector<std::pair<std::u16string, std::u16string>> substitutions;
    std::string before;
    bool registering;
    HRESULT result;
    std::string after;
};

const std::vector<ScriptCase>& ScriptCases();

// What running a case gave: the result, and the registry afterwards as .reg sections (no header,
// no blank lines).
struct CaseOutcome {
    HRESULT result = S_OK;
    std::string after;
    std::string error;  // set when the case could not be set up or the registry not written out
};

// Loads the case's starting registry into `registry`, runs the script there with a CRegObject
// and returns the result; the caller writes the registry out with RegistrySections.
HRESULT RunCase(const ScriptCase& c, Registry& registry, const CodePageText& text,
                std::string* error);
// .reg sections of a snapshot, without the header line and blank lines.
std::string RegistrySections(const RegistrySnapshot& snapshot, const CodePageText& text);
// The case's .reg sections the same way (for comparison).
std::string NormalizeSections(const std::string& sections);
// The script in the case's code page.
std::string ScriptBytes(const ScriptCase& c, const CodePageText& text);

}  // namespace tw::test
