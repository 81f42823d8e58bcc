// The real twVss_64.exe under Wine, for the paths that need no working VSS, and the tool's console
// through a probe program that writes with the same code.
//
// Measured under Wine 8.0 here: a process token reports elevated and has a linked limited token
// that reports not elevated; CreateVssBackupComponentsInternal returns E_NOTIMPL, so "-c" ends at
// its first Error line and "-d" ends quietly.
#include "twvss_wine_support.h"

namespace tw::test {
namespace {

std::wstring Tool() {
    return QuoteArgument(ExeDirectory() + L"twVss_64.exe");
}

ProcessResult RunTool(const std::wstring& arguments, HANDLE token = nullptr) {
    ProcessOptions options;
    options.token = token;
    options.timeoutMs = 60000;
    return RunProcess(Tool() + arguments, options);
}

TEST(TwVssExe, CommandLinesOfAnyOtherShapeWriteNothing) {
    TW_SKIP_UNLESS_ELEVATED();
    const wchar_t* const shapes[] = {
        L"",          L" -c",      L" C:\\", L" -c C:\\ extra", L" -C C:\\", L" \"-c \" C:\\",
        L" --c C:\\", L" -D name", L" -d",
    };
    for (const wchar_t* arguments : shapes) {
        SCOPED_TRACE(Narrow(arguments));
        ExpectOutput(RunTool(arguments), "", "");
    }
}

TEST(TwVssExe, CreationReportsTheMissingBackupComponentsOnStandardError) {
    TW_SKIP_UNLESS_WINE();
    ExpectOutput(RunTool(L" -c C:\\"), "", "Error : Failed to create VssComponents...\r\n");
}

TEST(TwVssExe, DeletionWithoutBackupComponentsEndsQuietly) {
    TW_SKIP_UNLESS_WINE();
    ExpectOutput(RunTool(L" -d \\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy1"), "", "");
    ExpectOutput(RunTool(L" -d \"\""), "", "");
}

TEST(TwVssExe, NotElevatedWritesOnlyItsErrorLineWhateverTheArguments) {
    // Measured under Wine: the elevated token has a linked limited token that is not elevated.
    const NotElevatedToken limited;
    ASSERT_NE(limited.get(), nullptr);
    for (const wchar_t* arguments : {L"", L" -c C:\\", L" -d name", L" -x y z"}) {
        SCOPED_TRACE(Narrow(arguments));
        ExpectOutput(RunTool(arguments, limited.get()), "", "Error : Not Elevated\r\n");
    }
}

std::wstring Probe() {
    return QuoteArgument(ExeDirectory() + L"twvss_console_probe.exe");
}

TEST(ToolConsole, KeepsProgramOrderAcrossStreamsAndEndsLinesWithCrLf) {
    ProcessOptions merged;
    merged.mergeStreams = true;
    const ProcessResult together = RunProcess(Probe(), merged);
    ExpectOutput(together,
                 "Info : first\r\nError : second, returned = -2147024891\r\nCREATED : third\r\n",
                 "");

    const ProcessResult apart = RunProcess(Probe());
    ExpectOutput(apart, "Info : first\r\nCREATED : third\r\n",
                 "Error : second, returned = -2147024891\r\n");
}

TEST(ToolConsole, EachLineArrivesAsSoonAsItIsWritten) {
    // The probe stays alive after its lines and is terminated: nothing is flushed at exit, so the
    // lines are there only if each was flushed when written.
    ProcessOptions options;
    options.timeoutMs = 3000;
    const ProcessResult run = RunProcess(Probe() + L" stay", options);
    ASSERT_TRUE(run.started);
    EXPECT_FALSE(run.finished);
    EXPECT_EQ(run.out, "Info : first\r\nCREATED : third\r\n");
    EXPECT_EQ(run.err, "Error : second, returned = -2147024891\r\n");
}

}  // namespace
}  // namespace tw::test
