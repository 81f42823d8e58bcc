// What the Windows tests of twVss_64.exe share: how a run is judged, and when a test cannot run on
// the machine it finds itself on (they run under Wine, and natively on Windows).
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "winsupport.h"

namespace tw::test {

// The tool ended on its own, with exit code 0 and exactly these bytes on each stream.
inline void ExpectOutput(const ProcessResult& run, const std::string& out, const std::string& err) {
    ASSERT_TRUE(run.started);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.out, out);
    EXPECT_EQ(run.err, err);
}

}  // namespace tw::test

// The tool works only elevated: a test that needs it skips when the tests run from a prompt that
// is not elevated. Under Wine every process is elevated.
#define TW_SKIP_UNLESS_ELEVATED()         \
    if (!::tw::test::ProcessIsElevated()) \
    GTEST_SKIP() << "twVss_64.exe works only elevated: run the tests from an elevated prompt"

// A test of what Wine's own VSS service does (it has no backup components object) skips on Windows,
// where the same command line would make a real snapshot.
#define TW_SKIP_UNLESS_WINE()         \
    if (!::tw::test::RunsUnderWine()) \
    GTEST_SKIP() << "a fact about Wine's VSS service; this is not Wine"
