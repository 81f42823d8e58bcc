// Replays the PE reader's fuzz inputs as an ordinary test: the regressions (fuzz/regressions), and
// the shipped binaries when make dist has made them, through the target's checks.
#include <gtest/gtest.h>

#include <filesystem>

#include "fuzz_support.h"
#include "pe_fuzz_target.h"

namespace tw::test {
namespace {

int Replay(const std::string& input) {
    return fuzz::FuzzPeImage(reinterpret_cast<const uint8_t*>(input.data()), input.size());
}

TEST(PeFuzzReplay, TheTargetTakesTheRegressionsAndTheShippedBinaries) {
    size_t regressions = 0;
    for (const auto& entry : std::filesystem::directory_iterator(TW_PE_FUZZ_REGRESSIONS)) {
        if (entry.path().extension() != ".md") {
            SCOPED_TRACE(entry.path().string());
            EXPECT_EQ(Replay(fuzz::ReadInputFile(entry.path())), 0);
            ++regressions;
        }
    }
    EXPECT_GT(regressions, 0u);
    for (const char* file : {"twShellExt_64.dll", "twVss_64.exe", "TwUninstall.exe"}) {
        const std::filesystem::path path = std::filesystem::path(TW_DIST_DIR) / file;
        if (std::filesystem::exists(path)) {
            SCOPED_TRACE(path.string());
            EXPECT_EQ(Replay(fuzz::ReadInputFile(path)), 0);
        }
    }
}

}  // namespace
}  // namespace tw::test
