// The uninstall helper, built for x86-64 from the deliverable's source, started for real under
// Wine: it must have the real regsvr32 unregister both DLLs that sit beside it, from a folder of
// any length.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <cwchar>
#include <utility>

#include "winsupport.h"

namespace tw::test {
namespace {

std::wstring Lower(std::wstring s) {
    std::transform(s.begin(), s.end(), s.begin(), [](wchar_t c) { return std::towlower(c); });
    return s;
}

// Copies the helper into `folder` as "TwUninstall.exe".
std::wstring InstallHelper(const std::wstring& folder) {
    const std::wstring helper = folder + L"TwUninstall.exe";
    EXPECT_TRUE(CopyFileTo(ExeDirectory() + L"TwUninstall_64test.exe", helper));
    return helper;
}
std::wstring InstallHelper(const TempDir& dir) {
    return InstallHelper(dir.path());
}

// Both names get the trace DLL: the 32-bit build cannot run here, so the 64-bit stand-in takes
// its name too, and each trace tells which of the two starts happened.
const wchar_t* const kDllNames[] = {L"twShellExt.dll", L"twShellExt_64.dll"};

void InstallTraceDlls(const std::wstring& folder) {
    for (const wchar_t* name : kDllNames) {
        ASSERT_TRUE(CopyFileTo(ExeDirectory() + L"fake_shellext.dll", folder + name));
    }
}

// Runs the helper from another current directory: it exits with 0 and writes nothing.
void RunHelper(const std::wstring& helper, const std::wstring& currentDirectory) {
    const ProcessResult run =
        RunProcess(QuoteArgument(helper), ProcessOptions{currentDirectory, 60000});
    ASSERT_TRUE(run.started);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
}

// The current directory and the command line of the regsvr32 that unregistered the trace DLL
// `name` in `folder`, once its trace can be read whole; empty when none came.
std::pair<std::wstring, std::wstring> WaitForTrace(const std::wstring& folder,
                                                   const wchar_t* name) {
    const std::wstring trace = folder + name + L".unregistered";
    if (!WaitForFile(trace, 60000)) {
        return {};
    }
    std::string content;
    // The file may be seen before its writer has closed it.
    for (int i = 0; i < 100 && content.find('\n', content.find('\n') + 1) == std::string::npos;
         ++i) {
        Sleep(50);
        content = ReadFileBytes(trace);
    }
    const std::wstring lines = Widen(content);
    return {lines.substr(0, lines.find(L'\n')), lines.substr(lines.find(L'\n') + 1)};
}

TEST(UninstallHelper, HasRegsvr32UnregisterBothDllsBesideIt) {
    TempDir installed(L"Tarnwick App with spaces");
    TempDir elsewhere(L"another current directory");
    ASSERT_FALSE(installed.path().empty());
    ASSERT_FALSE(elsewhere.path().empty());
    const std::wstring helper = InstallHelper(installed);
    InstallTraceDlls(installed.path());
    RunHelper(helper, elsewhere.path());

    // regsvr32 runs on its own after the helper has ended; wait for its traces.
    for (const wchar_t* name : kDllNames) {
        const auto [cwd, commandLine] = WaitForTrace(installed.path(), name);
        ASSERT_FALSE(cwd.empty()) << Narrow(name);
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

// Windows starts a program in a folder, and loads a DLL named there, only below MAX_PATH (Wine
// does not insist). The helper in a folder of 244 units: "twShellExt.dll" fits beside it (258
// units), "twShellExt_64.dll" does not (261), so the second regsvr32 starts in the folder's short
// form, or, when the folder has no shorter form, is not started at all.
TEST(UninstallHelper, EachRegsvr32StartsInAFormOfTheFolderThatFitsItsDll) {
    for (const bool hasShortForm : {true, false}) {
        SCOPED_TRACE(hasShortForm ? "long names" : "8.3 names");
        FolderOfLength deep(244, hasShortForm);
        TempDir elsewhere(L"another current directory");
        const std::wstring& folder = deep.path();
        ASSERT_EQ(folder.size(), 244u);
        const std::wstring helper = InstallHelper(folder);
        InstallTraceDlls(folder);
        RunHelper(helper, elsewhere.path());

        const auto [cwd, commandLine] = WaitForTrace(folder, L"twShellExt.dll");
        EXPECT_EQ(Lower(cwd + L"\\"), Lower(folder));
        EXPECT_NE(Lower(commandLine).find(L"twshellext.dll /s /u"), std::wstring::npos)
            << Narrow(commandLine);
        if (hasShortForm) {
            const auto [cwd64, commandLine64] = WaitForTrace(folder, L"twShellExt_64.dll");
            ASSERT_FALSE(cwd64.empty());
            EXPECT_LT(cwd64.size() + 1 + std::wcslen(L"twShellExt_64.dll"),
                      static_cast<size_t>(MAX_PATH))
                << Narrow(cwd64);
            EXPECT_EQ(Lower(LongPathForm(cwd64) + L"\\"), Lower(folder)) << Narrow(cwd64);
            EXPECT_NE(Lower(commandLine64).find(L"twshellext_64.dll /s /u"), std::wstring::npos)
                << Narrow(commandLine64);
        } else {
            // A regsvr32 started anyway would have left its trace by now: the first one has.
            Sleep(5000);
            EXPECT_FALSE(FileExists(folder + L"twShellExt_64.dll.unregistered"));
        }
        Sleep(500);  // let regsvr32 unload the DLLs before the folder is removed
    }
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
