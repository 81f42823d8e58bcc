// The real twVss_64.exe under Wine, for the paths that need no working VSS, and the tool's console
// through a probe program that writes with the same code.
//
// Measured under Wine 8.0 here: a process token reports elevated and has a linked limited token
// that reports not elevated; CreateVssBackupComponentsInternal returns E_NOTIMPL, so "-c" ends at
// its first Error line and "-d" ends quietly.
#include <gtest/gtest.h>

#include "winsupport.h"

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

void ExpectOutput(const ProcessResult& run, const std::string& out, const std::string& err) {
    ASSERT_TRUE(run.started);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.out, out);
    EXPECT_EQ(run.err, err);
}

// Closes a token handle on scope exit.
struct Token {
    HANDLE handle = nullptr;
    ~Token() {
        if (handle != nullptr) {
            CloseHandle(handle);
        }
    }
};

bool IsElevated(HANDLE token) {
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    return GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size) &&
           elevation.TokenIsElevated != 0;
}

TEST(TwVssExe, CommandLinesOfAnyOtherShapeWriteNothing) {
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
    ExpectOutput(RunTool(L" -c C:\\"), "", "Error : Failed to create VssComponents...\r\n");
}

TEST(TwVssExe, DeletionWithoutBackupComponentsEndsQuietly) {
    ExpectOutput(RunTool(L" -d \\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy1"), "", "");
    ExpectOutput(RunTool(L" -d \"\""), "", "");
}

TEST(TwVssExe, NotElevatedWritesOnlyItsErrorLineWhateverTheArguments) {
    Token self;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE, &self.handle));
    ASSERT_TRUE(IsElevated(self.handle));
    TOKEN_LINKED_TOKEN linked{};
    DWORD size = 0;
    ASSERT_TRUE(GetTokenInformation(self.handle, TokenLinkedToken, &linked, sizeof(linked), &size));
    Token limited{linked.LinkedToken};
    ASSERT_FALSE(IsElevated(limited.handle));
    // A process is started with a primary token.
    Token primary;
    ASSERT_TRUE(DuplicateTokenEx(limited.handle, TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation,
                                 TokenPrimary, &primary.handle));

    for (const wchar_t* arguments : {L"", L" -c C:\\", L" -d name", L" -x y z"}) {
        SCOPED_TRACE(Narrow(arguments));
        ExpectOutput(RunTool(arguments, primary.handle), "", "Error : Not Elevated\r\n");
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
