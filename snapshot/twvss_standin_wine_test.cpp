// The real twVss_64.exe from dist/ against the stand-in VSS service (fake_vssapi/): a copy of the
// tool beside the stand-in vssapi.dll in a scratch folder, the stand-in's script written before a
// run, its log and its store of snapshots read after it. Under Wine the test prefix makes a
// twVss_64.exe load a vssapi.dll that lies beside it (scripts/wine-prefix.sh); on Windows the
// application folder comes first anyway.
#include <algorithm>

#include "snapshot_test_data.h"
#include "twvss_wine_support.h"

namespace tw::test {
namespace {

const char kCopy1[] = "\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy1";

// The stand-in's log of one process, sorted by kind of line.
struct StandInLog {
    std::vector<std::string> headers;  // "== process PID: COMMAND LINE"
    Calls calls;                       // every call, AddRef and Release
    std::vector<std::string> misuse;   // "! ..." without the mark
    std::vector<std::string> account;  // "= ..." without the mark
};

// The folder with the tool and the stand-in. Each run starts from a new log.
class StandInFolder {
  public:
    StandInFolder() {
        installed_ =
            !dir_.path().empty() &&
            CopyFileTo(BuildPath(TW_DIST_DIR "/twVss_64.exe"), dir_.path() + L"twVss_64.exe") &&
            CopyFileTo(BuildPath(TW_VSS_STANDIN_DIR "/vssapi.dll"), dir_.path() + L"vssapi.dll");
    }
    bool installed() const { return installed_; }

    // No script, an empty store.
    void Reset() {
        for (const wchar_t* name : {kScript, kStore, kLog}) {
            DeleteFileW(File(name).c_str());
        }
    }
    // The script for the runs that follow.
    void Script(const std::string& text) { WriteFileBytes(File(kScript), text); }
    ProcessResult Run(const std::wstring& arguments, HANDLE token = nullptr) {
        DeleteFileW(File(kLog).c_str());
        ProcessOptions options;
        options.token = token;
        options.timeoutMs = 60000;
        return RunProcess(QuoteArgument(dir_.path() + L"twVss_64.exe") + arguments, options);
    }
    StandInLog Log() const {
        StandInLog log;
        const std::string text = ReadFileBytes(File(kLog));
        size_t start = 0;
        while (start < text.size()) {
            const size_t end = std::min(text.find('\n', start), text.size());
            const std::string line = text.substr(start, end - start);
            start = end + 1;
            if (line.rfind("== ", 0) == 0) {
                log.headers.push_back(line);
            } else if (line.rfind("! ", 0) == 0) {
                log.misuse.push_back(line.substr(2));
            } else if (line.rfind("= ", 0) == 0) {
                log.account.push_back(line.substr(2));
            } else {
                log.calls.push_back(line);
            }
        }
        return log;
    }
    // The store's file: "snapshot ID NAME" lines.
    std::string Store() const { return ReadFileBytes(File(kStore)); }

  private:
    static constexpr const wchar_t* kScript = L"vss-standin-script.txt";
    static constexpr const wchar_t* kStore = L"vss-standin-store.txt";
    static constexpr const wchar_t* kLog = L"vss-standin-log.txt";
    std::wstring File(const wchar_t* name) const { return dir_.path() + name; }
    TempDir dir_{L"twvss standin"};
    bool installed_ = false;
};

// One process called the stand-in, misused nothing, and at its end held no reference to any
// object; `allocated` and `freed` property records.
void ExpectCleanRun(const StandInLog& log, size_t allocated, size_t freed) {
    // The stand-in answered, in the copy of the tool.
    ASSERT_EQ(log.headers.size(), 1u);
    EXPECT_NE(log.headers[0].find("twVss_64.exe"), std::string::npos) << log.headers[0];
    EXPECT_EQ(log.misuse, std::vector<std::string>());
    ASSERT_FALSE(log.account.empty());
    for (size_t i = 0; i + 1 < log.account.size(); ++i) {
        const std::string& line = log.account[i];
        EXPECT_EQ(line.substr(line.rfind(' ') + 1), "0") << line;
    }
    EXPECT_EQ(log.account.back(), "properties allocated " + std::to_string(allocated) + " freed " +
                                      std::to_string(freed));
}

// The command-line spelling of an argument that a program receives as exactly these bytes in its
// narrow argv, which the runtime makes from the command line with the ANSI code page.
std::wstring AnsiArgument(const std::string& bytes) {
    const int size = static_cast<int>(bytes.size());
    std::wstring wide(bytes.size(), L'\0');
    wide.resize(static_cast<size_t>(
        std::max(MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, wide.data(), size), 0)));
    std::string back(bytes.size(), '\0');
    back.resize(static_cast<size_t>(
        std::max(WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()),
                                     back.data(), size, nullptr, nullptr),
                 0)));
    EXPECT_EQ(back, bytes) << "the ANSI code page cannot carry these bytes";
    return QuoteArgument(wide);
}

// The eight lines of a creation whose snapshot has the device object `name` (bytes).
std::string Created(const std::string& name) {
    return InfoLines(7, "\r\n") + "CREATED : " + name + "\r\n";
}

class StandInTool : public ::testing::Test {
  protected:
    void SetUp() override {
        TW_SKIP_UNLESS_ELEVATED();
        ASSERT_TRUE(folder.installed()) << "make dist first: the test runs dist/twVss_64.exe";
        folder.Reset();
    }
    StandInFolder folder;
};

// COM's security is set right after COM, as a requester's must be; the fixed values reach the
// service (context 13, a copy backup without component selection, the GUID_NULL provider, infinite
// waits, a null document) and the volume arrives unit for unit; every reference goes back once,
// FreeWriterMetadata comes once, the properties stay allocated, the backup is neither completed nor
// aborted.
TEST_F(StandInTool, CreationWritesTheEightLinesAndHandsTheVolumeOnWhole) {
    const std::string volumes[] = {
        "C:\\", "\\\\?\\Volume{6b2c1f0e-0000-0000-0000-100000000000}\\",
        "D:\\Donn\xc3\xa9"
        "es\\\xd0\x94\xe2\x82\xac\\",    // non-ASCII UTF-8
        "E:\\" + std::string(297, 'v'),  // 300 units
    };
    for (const std::string& volume : volumes) {
        SCOPED_TRACE(volume);
        folder.Reset();
        ExpectOutput(folder.Run(L" -c " + AnsiArgument(volume)), Created(kCopy1), "");
        const StandInLog log = folder.Log();
        EXPECT_EQ(log.calls, Concat(CreationCalls(volume, Widen(volume).size(), 1), kC5));
        ExpectCleanRun(log, 1, 0);
        // The snapshot outlives the process.
        EXPECT_EQ(folder.Store(), std::string("snapshot 1 ") + kCopy1 + "\n");
    }
}

TEST_F(StandInTool, TheResultLineCarriesTheWholeDeviceObjectNameAsBytes) {
    struct Case {
        std::string deviceObject;  // UTF-8, as the script gives it
        std::string printed;
    };
    const std::string longName = "\\\\?\\GLOBALROOT\\Device\\" + std::string(300, 'S');
    const Case cases[] = {
        {longName, longName},  // 322 units
        // Each unit keeps its low 8 bits: U+00E9 gives 0xE9, U+0141 gives 0x41.
        {"Copy\xc3\xa9\xc5\x81", "Copy\xe9\x41"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.printed.size());
        folder.Reset();
        folder.Script("device-object " + c.deviceObject + "\n");
        ExpectOutput(folder.Run(L" -c C:\\"), Created(c.printed), "");
        ExpectCleanRun(folder.Log(), 1, 0);
    }
}

// Each step fails in turn, with failure codes and positive success codes alike. Standard output
// holds the lines before the step, standard error its one line; no call follows the failure but
// the abort of a backup that StartSnapshotSet began, the deletion of a snapshot already taken and
// the clean-up, which gives back what the failing call handed out as well. Nothing is left in the
// service's store.
TEST_F(StandInTool, EachFailingStepWritesItsLineAndGivesBackWhatItHolds) {
    struct Code {
        const char* script;
        const char* printed;
        bool success;  // a success code, with which a call hands out its record as well
    };
    const Code codes[] = {{"0x80070005", "-2147024891", false},
                          {"1", "1", true},
                          {"0x80042301", "-2147212543", false},
                          {"2", "2", true}};
    const Calls all = CreationCalls("C:\\", 3, 1);
    for (size_t i = 0; i < kFailingSteps.size(); ++i) {
        const FailingStep& step = kFailingSteps[i];
        const Code& code = codes[i % 4];
        SCOPED_TRACE(std::string(step.step) + " answering " + code.script);
        folder.Reset();
        std::string script = std::string("result ") + step.step + " " + code.script + "\n";
        if (step.handedOut != nullptr) {
            script += std::string("hand-out ") + step.step + "\n";
        }
        folder.Script(script);
        ExpectOutput(folder.Run(L" -c C:\\"), InfoLines(step.infoLines, "\r\n"),
                     std::string(step.error) + (step.printsCode ? code.printed : "") + "\r\n");
        const StandInLog log = folder.Log();
        EXPECT_EQ(log.calls, CallsOfFailure(all, step, true, 1));
        const bool properties = std::string(step.step) == "GetSnapshotProperties";
        ExpectCleanRun(log, properties && code.success ? 1 : 0, 0);
        // The snapshot exists once its wait has ended well: when only the properties fail, no line
        // names it, and it is deleted.
        EXPECT_EQ(folder.Store(), "");
    }
}

// What the creation asks of COM and takes back after a failure is not judged: the lines stay the
// same when the process's security is already set (RPC_E_TOO_LATE), or when the abort or the
// deletion of the snapshot fails; a snapshot that could not be deleted stays.
TEST_F(StandInTool, NeitherComSecurityNorTakingBackIsJudged) {
    struct Case {
        const char* script;
        std::string out;
        std::string err;
        Calls calls;
        size_t records;  // property records handed out
        std::string store;
    };
    const Calls all = CreationCalls("C:\\", 3, 1);
    const FailingStep& properties = kFailingSteps.back();
    ASSERT_EQ(properties.step, std::string("GetSnapshotProperties"));
    const std::string propertiesError = std::string(properties.error) + "\r\n";
    const Case cases[] = {
        {"result CoInitializeSecurity 0x80010119\n", Created(kCopy1), "", Concat(all, kC5), 1,
         std::string("snapshot 1 ") + kCopy1 + "\n"},
        {"result GetSnapshotProperties 0x80004005\nresult AbortBackup 0x80042301\n",
         InfoLines(6, "\r\n"), propertiesError, CallsOfFailure(all, properties, false, 1), 0, ""},
        {"result GetSnapshotProperties 0x80004005\nresult DeleteSnapshots 0x80042308\n",
         InfoLines(6, "\r\n"), propertiesError, CallsOfFailure(all, properties, false, 1), 0,
         std::string("snapshot 1 ") + kCopy1 + "\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        folder.Reset();
        folder.Script(c.script);
        ExpectOutput(folder.Run(L" -c C:\\"), c.out, c.err);
        const StandInLog log = folder.Log();
        EXPECT_EQ(log.calls, c.calls);
        ExpectCleanRun(log, c.records, 0);
        EXPECT_EQ(folder.Store(), c.store);
    }
}

const Calls kDeletedFirst = {"Next 1", "DeleteSnapshots id=0x1 type=3 force=0",
                             "FreeSnapshotProperties id=0x1", "Release enumerator",
                             "Release backupComponents"};

TEST_F(StandInTool, CreatedThenDeletedInANewProcessByThePrintedName) {
    const ProcessResult created = folder.Run(L" -c C:\\");
    ExpectOutput(created, Created(kCopy1), "");
    // The name as the caller reads it from the result line, passed back unchanged.
    const size_t at = created.out.rfind("CREATED : ");
    ASSERT_NE(at, std::string::npos);
    const std::string name = created.out.substr(at + 10, created.out.size() - at - 12);
    const std::wstring deletion = L" -d " + AnsiArgument(name);

    ExpectOutput(folder.Run(deletion), "Info : Managed to delete the snapshot: " + name + "\r\n",
                 "");
    StandInLog log = folder.Log();
    EXPECT_EQ(log.calls, Concat(kDeletionSetUp, kDeletedFirst));
    ExpectCleanRun(log, 1, 1);
    EXPECT_EQ(folder.Store(), "");

    // The snapshot is gone: the same name again writes nothing.
    ExpectOutput(folder.Run(deletion), "", "");
    log = folder.Log();
    EXPECT_EQ(log.calls,
              Concat(kDeletionSetUp, {"Next 1", "Release enumerator", "Release backupComponents"}));
    ExpectCleanRun(log, 0, 0);
}

TEST_F(StandInTool, ANameInOtherLetterCaseOrWithATrailingBackslashMatchesNothing) {
    ExpectOutput(folder.Run(L" -c C:\\"), Created(kCopy1), "");
    const std::string store = folder.Store();
    const std::string names[] = {"\\\\?\\globalroot\\device\\harddiskvolumeshadowcopy1",
                                 std::string(kCopy1) + "\\"};
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        ExpectOutput(folder.Run(L" -d " + AnsiArgument(name)), "", "");
        const StandInLog log = folder.Log();
        EXPECT_EQ(log.calls,
                  Concat(kDeletionSetUp, {"Next 1", "FreeSnapshotProperties id=0x1", "Next 1",
                                          "Release enumerator", "Release backupComponents"}));
        ExpectCleanRun(log, 1, 1);
        EXPECT_EQ(folder.Store(), store);
    }
}

TEST_F(StandInTool, OfThreeSnapshotsOnlyTheMatchingOneIsDeleted) {
    folder.Script(
        "snapshot 10 \\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy16\n"
        "snapshot 11 \\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy17\n"
        "snapshot 12 \\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy18\n");
    const std::string name = "\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy17";
    ExpectOutput(folder.Run(L" -d " + AnsiArgument(name)),
                 "Info : Managed to delete the snapshot: " + name + "\r\n", "");
    const StandInLog log = folder.Log();
    // The record passed over is freed too.
    EXPECT_EQ(log.calls,
              Concat(kDeletionSetUp,
                     {"Next 1", "FreeSnapshotProperties id=0x10", "Next 1",
                      "DeleteSnapshots id=0x11 type=3 force=0", "FreeSnapshotProperties id=0x11",
                      "Release enumerator", "Release backupComponents"}));
    ExpectCleanRun(log, 2, 2);
    EXPECT_EQ(folder.Store(),
              "snapshot 10 \\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy16\n"
              "snapshot 12 \\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy18\n");
}

TEST_F(StandInTool, AFailedQueryOrDeletionWritesNothingAndKeepsEverySnapshot) {
    struct Case {
        const char* script;
        Calls after;  // the calls after the set-up
        size_t records;
    };
    const Case cases[] = {
        {"result DeleteSnapshots 0x80042308\n", kDeletedFirst, 1},
        {"result Query 0x80070005\n", {"Release backupComponents"}, 0},
        // A positive result fails as well; the enumerator it hands out goes back unused.
        {"result Query 1\n", {"Release enumerator", "Release backupComponents"}, 0},
    };
    const std::string seeds = std::string("snapshot 1 ") + kCopy1 +
                              "\nsnapshot 2 \\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy2\n";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        folder.Reset();
        folder.Script(seeds + c.script);
        ExpectOutput(folder.Run(L" -d " + AnsiArgument(kCopy1)), "", "");
        const StandInLog log = folder.Log();
        EXPECT_EQ(log.calls, Concat(kDeletionSetUp, c.after));
        ExpectCleanRun(log, c.records, c.records);
        EXPECT_EQ(folder.Store(), seeds);
    }
}

TEST(StandInToolNotElevated, WritesOnlyItsErrorLineAndNeverCallsTheStandIn) {
    StandInFolder folder;
    ASSERT_TRUE(folder.installed()) << "make dist first: the test runs dist/twVss_64.exe";
    const NotElevatedToken limited;
    ASSERT_NE(limited.get(), nullptr);
    for (const std::wstring& arguments : {std::wstring(L" -c C:\\"), L" -d " + Widen(kCopy1)}) {
        SCOPED_TRACE(Narrow(arguments));
        folder.Reset();
        folder.Script(std::string("snapshot 1 ") + kCopy1 + "\n");
        ExpectOutput(folder.Run(arguments, limited.get()), "", "Error : Not Elevated\r\n");
        // The stand-in was loaded, since it wrote its account when the process ended, and it was
        // never called: it did not even read its script.
        const StandInLog log = folder.Log();
        EXPECT_EQ(log.headers.size(), 1u);
        EXPECT_EQ(log.calls, Calls());
        EXPECT_EQ(log.account, std::vector<std::string>{"no calls"});
        EXPECT_EQ(folder.Store(), "");
    }
}

}  // namespace
}  // namespace tw::test
