// Every script of the corpus registers into an empty registry and unregisters back to the keys it
// marks NoRemove, or is rejected as corpus.cpp expects.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>

#include "corpus.h"
#include "memory_registry.h"
#include "reg_object.h"
#include "script_cases.h"
#include "substitution.h"

namespace tw::test {
namespace {

const CodePageText& kText = CodePageText::Western();

std::string Hex(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
    return text;
}

HRESULT RunCorpusScript(InMemoryRegistry& registry, const CorpusScript& script, bool registering) {
    CRegObject registrar(registry, kText);
    for (const auto& substitution : script.substitutions) {
        registrar.AddSubstitution(substitution.first.c_str(), substitution.second.c_str());
    }
    return registrar.RunScriptText(script.bytes.c_str(), registering);
}

// The names that follow NoRemove in the script, folded.
std::vector<std::string> NoRemoveNames(const CorpusScript& script) {
    std::vector<Substitution> substitutions;
    for (const auto& s : script.substitutions) {
        std::string name;
        kText.FromUtf16(s.first, &name);
        substitutions.push_back({name, s.second});
    }
    ExpandedScript expanded;
    size_t offset;
    ScriptFault fault;
    EXPECT_EQ(
        ExpandSubstitutions(script.bytes.c_str(), substitutions, kText, &expanded, &offset, &fault),
        S_OK);
    std::vector<std::string> names;
    const std::regex noRemove("noremove[ \t\r\n]+('((?:[^']|'')*)'|([^ \t\r\n]+))",
                              std::regex::icase);
    for (std::sregex_iterator it(expanded.text.begin(), expanded.text.end(), noRemove), end;
         it != end; ++it) {
        std::string name = (*it)[2].matched
                               ? std::regex_replace((*it)[2].str(), std::regex("''"), "'")
                               : (*it)[3].str();
        names.push_back(kText.FoldCase(name.data(), name.size()));
    }
    return names;
}

TEST(Corpus, RegistersAndUnregistersEveryScriptOrRejectsItAsExpected) {
    std::vector<CorpusScript> scripts;
    std::string error;
    if (!ReadCorpus(TW_CORPUS_DIR, &scripts, &error)) {
        GTEST_SKIP() << error;
    }
    ASSERT_FALSE(scripts.empty());
    for (const CorpusScript& script : scripts) {
        SCOPED_TRACE(script.file);
        InMemoryRegistry registry;
        const HRESULT result = RunCorpusScript(registry, script, kRegister);
        EXPECT_EQ(Hex(result), Hex(script.expected));
        EXPECT_EQ(registry.OpenHandleCount(), 0u);
        if (FAILED(result)) {
            continue;
        }
        const RegistrySnapshot registered = registry.Snapshot();
        EXPECT_EQ(Hex(RunCorpusScript(registry, script, kUnregister)), Hex(S_OK));
        const RegistrySnapshot left = registry.Snapshot();
        // What is left is the NoRemove keys and the keys above them.
        const std::vector<std::string> noRemove = NoRemoveNames(script);
        for (size_t i = 0; i < left.size(); ++i) {
            const bool hasSubkeys =
                i + 1 < left.size() &&
                left[i + 1].path.compare(0, left[i].path.size() + 1, left[i].path + "\\") == 0;
            const std::string leaf = left[i].path.substr(left[i].path.rfind('\\') + 1);
            const std::string folded = kText.FoldCase(leaf.data(), leaf.size());
            EXPECT_TRUE(hasSubkeys ||
                        std::find(noRemove.begin(), noRemove.end(), folded) != noRemove.end())
                << left[i].path;
        }
        // Registering again gives the same registry, and unregistering again the same rest.
        EXPECT_EQ(Hex(RunCorpusScript(registry, script, kRegister)), Hex(S_OK));
        EXPECT_EQ(RegistrySections(registry.Snapshot(), kText),
                  RegistrySections(registered, kText));
        EXPECT_EQ(Hex(RunCorpusScript(registry, script, kUnregister)), Hex(S_OK));
        EXPECT_EQ(RegistrySections(registry.Snapshot(), kText), RegistrySections(left, kText));
        EXPECT_EQ(registry.OpenHandleCount(), 0u);
    }
}

}  // namespace
}  // namespace tw::test
