// The uninstall helper, built for x86-64 from the deliverable's source, started for real under
// Wine: it must have the real regsvr32 unregister both DLLs that sit beside it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>

#include "winsupport.h"

namespace tw::test {
namespace {

std::wstring Lower(std::wstring s) {
    std::transform(s.begin(), s.end(), s.begin(), [](wchar_t c) { return std::towlower(c); });
    return s;
}

// Copies the helper into a new folder whose path has spaces, as "TwUninstall.exe".
std::wstring InstallHelper(const TempDir& dir) {
    const std::wstring helper = dir.path() + L"TwUninstall.exe";
    EXPECT_TRUE(CopyFileTo(ExeDirectory() + L"TwUninstall_64test.exe", helper));
    return helper;
}

TEST(UninstallHelper, HasRegsvr32UnregisterBothDllsBesideIt) {
    TempDir installed(L"Tarnwick App with spaces");
    TempDir elsewhere(L"another current directory");
    ASSERT_FALSE(installed.path().empty());
    ASSERT_FALSE(elsewhere.path().empty());
    const std::wstring helper = InstallHelper(installed);
    // Both names get the trace DLL: the 32-bit build cannot run here, so the 64-bit stand-in takes
    // its name too, and each trace tells which of the two starts happened.
    for (const wchar_t* name : {L"twShellExt.dll", L"twShellExt_64.dll"}) {
        ASSERT_TRUE(CopyFileTo(ExeDirectory() + L"fake_shellext.dll", installed.path() + name));
    }

    const ProcessResult run =
        RunProcess(QuoteArgument(helper), ProcessOptions{elsewhere.path(), 60000});
    ASSERT_TRUE(run.started);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");

    // regsvr32 runs on its own after the helper has ended; wait for its traces.
    for (const wchar_t* name : {L"twShellExt.dll", L"twShellExt_64.dll"}) {
        const std::wstring trace = installed.path() + name + L".unregistered";
        ASSERT_TRUE(WaitForFile(trace, 60000)) << Narrow(trace);
        std::string content;
        // The file may be seen before its writer has closed it.
        for (int i = 0; i < 100 && content.find('\n', content.find('\n') + 1) == std::string::npos;
             ++i) {
            Sleep(50);
            content = ReadFileBytes(trace);
        }
        const std::wstring lines = Widen(content);
        const std::wstring cwd = lines.substr(0, lines.find(L'\n'));
        const std::wstring commandLine = lines.substr(lines.find(L'\n') + 1);
        // regsvr32 ran in the helper's directory (Wine reports it without the trailing backslash).
        std::wstring expectedDir = installed.path();
        expectedDir.pop_back();
        EXPECT_EQ(Lower(cwd), Lower(expectedDir));
        EXPECT_NE(Lower(commandLine).find(Lower(std::wstring(name) + L" /s /u")),
                  std::wstring::npos)
            << Narrow(commandLine);
    }
    // Nothing was looked for in the helper's own current directory.
    EXPECT_FALSE(FileExists(elsewhere.path() + L"twShellExt_64.dll.unregistered"));
    Sleep(500);  // let regsvr32 unload the DLLs before the folder is removed
}

TEST(UninstallHelper, ExitsWithZeroAndWritesNothingWhenNoDllIsPresent) {
    TempDir installed(L"Tarnwick empty install");
    TempDir elsewhere(L"another current directory");
    const std::wstring helper = InstallHelper(installed);
    const ProcessResult run = RunProcess(QuoteArgument(helper) + L" unexpected arguments /u",
                                         ProcessOptions{elsewhere.path()});
    ASSERT_TRUE(run.started);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
}

}  // namespace
}  // namespace tw::test
