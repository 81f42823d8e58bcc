// The corpus of registry scripts from other projects (../shared/corpus/rgs beside the tree, read
// where it lies at test time): the scripts, the substitutions each uses, the values the tests give
// them, and the scripts the interpreter rejects, with the reason.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "registrar_types.h"

namespace tw::test {

struct CorpusScript {
    std::string file;
    std::string bytes;
    // Each substitution name the script uses, with the value the tests give it.
    std::vector<std::pair<std::u16string, std::u16string>> substitutions;
    // The result of registering it into an empty registry.
    HRESULT expected;
};

// Reads the manifest and every script it lists from `folder`; false when the folder or its
// manifest is missing, with the reason in `error`.
bool ReadCorpus(const std::string& folder, std::vector<CorpusScript>* scripts, std::string* error);

}  // namespace tw::test
