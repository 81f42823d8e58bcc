// Replays the fuzz targets' inputs as an ordinary test, on the host and under Wine: the script
// cases of the tests, the product's script, the corpus, and the regressions (fuzz/regressions).
#include <gtest/gtest.h>

#include <filesystem>

#include "corpus.h"
#include "fuzz_support.h"
#include "fuzz_targets.h"
#include "product_script.h"
#include "script_cases.h"

namespace tw::test {
namespace {

int Replay(int (*target)(const uint8_t*, size_t), const std::string& input) {
    return target(reinterpret_cast<const uint8_t*>(input.data()), input.size());
}

// Feeds every file of a regression folder to `target`; returns how many there were.
size_t ReplayFolder(int (*target)(const uint8_t*, size_t), const std::string& folder) {
    size_t count = 0;
    if (std::filesystem::is_directory(folder)) {
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            SCOPED_TRACE(entry.path().string());
            EXPECT_EQ(Replay(target, fuzz::ReadInputFile(entry.path())), 0);
            ++count;
        }
    }
    return count;
}

TEST(FuzzReplay, ScriptTargetTakesTheSeedsAndRegressions) {
    const std::string header = "Windows Registry Editor Version 5.00\n\n";
    for (const ScriptCase& c : ScriptCases()) {
        SCOPED_TRACE(c.name);
        const CodePageText& text =
            c.codePage == 932 ? CodePageText::Japanese() : CodePageText::Western();
        EXPECT_EQ(Replay(fuzz::FuzzScriptText, ScriptBytes(c, text)), 0);
        EXPECT_EQ(Replay(fuzz::FuzzRegFile, header + c.before), 0);
        EXPECT_EQ(Replay(fuzz::FuzzRegFile, header + c.after), 0);
    }
    EXPECT_EQ(Replay(fuzz::FuzzScriptText, ProductScript()), 0);
    // The folder is found wherever the test runs: it holds the scripts that broke the interpreter.
    EXPECT_GT(ReplayFolder(fuzz::FuzzScriptText, TW_FUZZ_REGRESSIONS "/script"), 0u);
    ReplayFolder(fuzz::FuzzRegFile, TW_FUZZ_REGRESSIONS "/regfile");
}

TEST(FuzzReplay, ScriptTargetTakesTheCorpus) {
    std::vector<CorpusScript> scripts;
    std::string error;
    if (!ReadCorpus(TW_CORPUS_DIR, &scripts, &error)) {
        GTEST_SKIP() << error;
    }
    for (const CorpusScript& script : scripts) {
        SCOPED_TRACE(script.file);
        EXPECT_EQ(Replay(fuzz::FuzzScriptText, script.bytes), 0);
    }
}

}  // namespace
}  // namespace tw::test
