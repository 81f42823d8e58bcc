// The real twVss_64.exe from dist/ against the machine's own VSS service, for a Windows machine:
// a snapshot of the system volume, a file read through the device object name the tool prints,
// the snapshot deleted with -d, and gone. On Windows it needs an elevated process and a VSS service
// that answers, and fails with the reason where it has neither: a Windows run that made no snapshot
// has not passed. Under Wine, whose VSS service answers E_NOTIMPL, it skips:
// SystemVss.SkipsUnderWine runs it to see that it does.
#include <vsbackup.h>

#include <cstdio>

#include "snapshot_test_data.h"
#include "twvss_wine_support.h"

namespace tw::test {
namespace {

const char kRoundTrip[] = "SystemVss.SnapshotOfTheSystemVolumeIsReadThenDeleted";

// Why the round trip cannot run here, or nothing when it can.
std::string WhyNoSystemVss() {
    if (!ProcessIsElevated()) {
        return "the process is not elevated: run the tests from an elevated prompt";
    }
    const HRESULT com = CoInitialize(nullptr);
    IVssBackupComponents* components = nullptr;
    const HRESULT result = CreateVssBackupComponentsInternal(&components);
    if (components != nullptr) {
        components->Release();
    }
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
    if (result != S_OK) {
        char code[16];
        std::snprintf(code, sizeof(code), "0x%08lX", static_cast<unsigned long>(result));
        return std::string("no VSS service answers here: CreateVssBackupComponentsInternal ") +
               "returned " + code;
    }
    return std::string();
}

std::wstring Tool() {
    return QuoteArgument(BuildPath(TW_DIST_DIR "/twVss_64.exe"));
}

TEST(SystemVss, SnapshotOfTheSystemVolumeIsReadThenDeleted) {
    const std::string reason = WhyNoSystemVss();
    if (!reason.empty() && RunsUnderWine()) {
        GTEST_SKIP() << reason;
    }
    ASSERT_EQ(reason, "") << "this Windows machine cannot make the snapshot";
    wchar_t windows[MAX_PATH] = {};
    wchar_t volume[MAX_PATH] = {};
    ASSERT_NE(GetWindowsDirectoryW(windows, MAX_PATH), 0u);
    ASSERT_TRUE(GetVolumePathNameW(windows, volume, MAX_PATH));
    const std::wstring windowsDir = windows;  // "C:\Windows"
    const std::wstring volumeName = volume;   // "C:\"
    ASSERT_EQ(windowsDir.rfind(volumeName, 0), 0u);

    const ProcessResult created = RunProcess(Tool() + L" -c " + QuoteArgument(volumeName));
    const std::string head = InfoLines(7, "\r\n") + "CREATED : ";
    ASSERT_TRUE(created.finished);
    ASSERT_EQ(created.out.rfind(head, 0), 0u) << created.out << created.err;
    ASSERT_GE(created.out.size(), head.size() + 2);
    const std::string name = created.out.substr(head.size(), created.out.size() - head.size() - 2);
    EXPECT_EQ(created.out, head + name + "\r\n");
    EXPECT_EQ(created.err, "");
    const std::wstring deletion = Tool() + L" -d " + QuoteArgument(Widen(name));
    // Whatever happens below, the snapshot does not outlive the test.
    struct DeleteAtEnd {
        const std::wstring& deletion;
        bool done = false;
        ~DeleteAtEnd() {
            if (!done) {
                RunProcess(deletion);
            }
        }
    } cleanUp{deletion};

    // The volume as it was, through the device object name: C:\Windows\win.ini there.
    const std::wstring live = windowsDir + L"\\win.ini";
    const std::wstring inSnapshot =
        Widen(name) + L"\\" + windowsDir.substr(volumeName.size()) + L"\\win.ini";
    const std::string bytes = ReadFileBytes(live);
    EXPECT_FALSE(bytes.empty());
    ASSERT_TRUE(FileExists(inSnapshot)) << Narrow(inSnapshot);
    EXPECT_EQ(ReadFileBytes(inSnapshot), bytes) << Narrow(inSnapshot);

    const ProcessResult deleted = RunProcess(deletion);
    cleanUp.done = true;
    ExpectOutput(deleted, "Info : Managed to delete the snapshot: " + name + "\r\n", "");
    EXPECT_FALSE(FileExists(inSnapshot));
    // The same name again finds nothing.
    ExpectOutput(RunProcess(deletion), "", "");
}

TEST(SystemVss, SkipsUnderWine) {
    if (!RunsUnderWine()) {
        GTEST_SKIP() << "checks how the round trip behaves under Wine";
    }
    const std::wstring self = ExeDirectory() + L"twvss_system_vss_wine_test.exe";
    const ProcessResult run =
        RunProcess(QuoteArgument(self) + L" --gtest_filter=" + Widen(kRoundTrip));
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_NE(run.out.find(std::string("[  SKIPPED ] ") + kRoundTrip), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("no VSS service answers here: CreateVssBackupComponentsInternal "
                           "returned 0x80004001"),
              std::string::npos)
        << run.out;
}

}  // namespace
}  // namespace tw::test
