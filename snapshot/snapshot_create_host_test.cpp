// The creation's sequence against the scripted fake: lines, streams, calls and releases.
#include <gtest/gtest.h>

#include <algorithm>

#include "fake_vss.h"
#include "snapshot_create.h"

namespace tw::test {
namespace {

const std::vector<std::string> kAllCalls = {
    "CoInitialize",
    "CreateBackupComponents",
    "InitializeForBackup",
    "SetContext 13",
    "GatherWriterMetadata",
    "Wait metadata 4294967295",
    "StartSnapshotSet",
    "AddToSnapshotSet provider=GUID_NULL",
    "SetBackupState 0 0 5 0",
    "PrepareForBackup",
    "Wait prepare 4294967295",
    "DoSnapshotSet",
    "Wait snapshot 4294967295",
    // The snapshot's identifier, which AddToSnapshotSet wrote over the set's (0x5e7).
    "GetSnapshotProperties id=0x5a9",
};

const std::vector<std::string> kSuccessLines = {
    "Info : Gathering metadata from writers...",
    "Info : Calling StartSnapshotSet()...",
    "Info : Calling AddToSnapshotSet()...",
    "Info : Preparing for backup...",
    "Info : Taking snapshots...",
    "Info : Getting the snapshot device object from the properties...",
    "Info : Managed to create a snapshot...",
    "CREATED : \\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy7",
};

// The clean-up levels: what each releases, in order.
using Calls = std::vector<std::string>;
const Calls kC1 = {"Release backupComponents"};
const Calls kC2 = {"FreeWriterMetadata", "Release backupComponents"};
const Calls kC3 = {"Release metadata", "FreeWriterMetadata", "Release backupComponents"};
const Calls kC4 = {"Release prepare", "Release metadata", "FreeWriterMetadata",
                   "Release backupComponents"};
const Calls kC5 = {"Release snapshot", "Release prepare", "Release metadata", "FreeWriterMetadata",
                   "Release backupComponents"};

std::string Lines(const std::vector<std::string>& lines, size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        text += lines[i] + "\n";
    }
    return text;
}

Calls Concat(Calls a, const Calls& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct Creation {
    FakeVss vss;
    RecordingConsole console;
    SnapshotState state;
    void Create(const std::wstring& volume = L"C:\\") {
        CreateSnapshot(volume, state, vss, console);
    }
};

TEST(CreateSnapshot, SuccessWritesTheEightLinesAndReleasesEverythingOnce) {
    Creation run;
    run.Create();
    EXPECT_EQ(run.console.out, Lines(kSuccessLines, 8));
    EXPECT_EQ(run.console.err, "");
    // No backup completion or abort, no freeing of the properties: the snapshot stays.
    EXPECT_EQ(run.vss.calls, Concat(kAllCalls, kC5));
    EXPECT_EQ(run.vss.misuse, Calls());
    EXPECT_EQ(run.vss.addedVolumes, std::vector<std::wstring>{L"C:\\"});
    EXPECT_EQ(run.state.backupComponents, nullptr);
    EXPECT_EQ(run.state.metadataAsync, nullptr);
    EXPECT_EQ(run.state.prepareAsync, nullptr);
}

// Each step fails in turn, with a failure code and with a positive success code that the creation
// must refuse as well. After the failure no VSS call is made except the clean-up of its level; a
// reference that the failing call handed out anyway (with S_FALSE) is given back first.
TEST(CreateSnapshot, EachFailingStepWritesItsLineAndCleansUpItsLevel) {
    struct Case {
        const char* step;       // the failing call's log name
        size_t infoLines;       // standard-output lines written before it
        const char* error;      // its Error line
        bool printsCode;        // the line ends in the result code
        const Calls* level;     // its clean-up level (null: nothing held)
        const char* handedOut;  // the object the call hands out with a success code
    };
    const Case cases[] = {
        {"CreateBackupComponents", 0, "Error : Failed to create VssComponents...", false, nullptr,
         "backupComponents"},
        {"InitializeForBackup", 0, "Error : Failed to initialize for backup...", false, &kC1,
         nullptr},
        {"SetContext", 0, "Error : Failed to SetContext(), returned = ", true, &kC1, nullptr},
        {"GatherWriterMetadata", 0, "Error : Failed to gather writer metadata...", false, &kC2,
         "metadata"},
        {"Wait metadata", 1, "Error : Failed to gather metadata from writers...", false, &kC3,
         nullptr},
        {"StartSnapshotSet", 2, "Error : Failed to StartSnapshotSet(), returned = ", true, &kC3,
         nullptr},
        {"AddToSnapshotSet", 3, "Error : AddToSnapshotSet() failed, returned = ", true, &kC3,
         nullptr},
        {"SetBackupState", 3, "Error : SetBackupState() failed, returned = ", true, &kC3, nullptr},
        {"PrepareForBackup", 4, "Error : Failed to prepare for backup...", false, &kC3, "prepare"},
        {"Wait prepare", 4, "Error : Failed to wait after preparing for backup...", false, &kC4,
         nullptr},
        {"DoSnapshotSet", 4, "Error : Failed to DoSnapshotSet()...", false, &kC4, "snapshot"},
        {"Wait snapshot", 5, "Error : Failed to wait while taking snapshots...", false, &kC5,
         nullptr},
        {"GetSnapshotProperties", 6, "Error : SnapshotProperties() failed.", false, &kC5, nullptr},
    };
    struct Code {
        HRESULT value;
        const char* text;
    };
    const Code codes[] = {{E_ACCESSDENIED, "-2147024891"}, {S_FALSE, "1"}};
    for (const Case& c : cases) {
        for (const Code& code : codes) {
            SCOPED_TRACE(std::string(c.step) + " returning " + code.text);
            Creation run;
            run.vss.results[c.step] = code.value;
            run.Create();

            EXPECT_EQ(run.console.out, Lines(kSuccessLines, c.infoLines));
            EXPECT_EQ(run.console.err,
                      std::string(c.error) + (c.printsCode ? code.text : "") + "\n");
            EXPECT_EQ(run.console.merged, run.console.out + run.console.err);

            const auto failing =
                std::find_if(kAllCalls.begin(), kAllCalls.end(),
                             [&](const std::string& call) { return call.rfind(c.step, 0) == 0; });
            ASSERT_NE(failing, kAllCalls.end());
            Calls expected(kAllCalls.begin(), failing + 1);
            if (code.value == S_FALSE && c.handedOut != nullptr) {
                expected.push_back(std::string("Release ") + c.handedOut);
            }
            if (c.level != nullptr) {
                expected = Concat(expected, *c.level);
            }
            EXPECT_EQ(run.vss.calls, expected);
            EXPECT_EQ(run.vss.misuse, Calls());
        }
    }
}

TEST(CreateSnapshot, OnlyCoInitializeFailingIsReportedAndTheCreationGoesOn) {
    struct Case {
        HRESULT result;
        bool reported;
    };
    const Case cases[] = {
        {S_OK, false},
        {S_FALSE, false},                  // already initialised on this thread
        {MakeHresult(0x80010106u), true},  // RPC_E_CHANGED_MODE
        {E_OUTOFMEMORY, true},
        {MakeHresult(2), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.result);
        Creation run;
        run.vss.results["CoInitialize"] = c.result;
        run.Create();
        EXPECT_EQ(run.console.out, Lines(kSuccessLines, 8));
        EXPECT_EQ(run.console.err, c.reported ? "Error : CoInitialize() failed!\n" : "");
        EXPECT_EQ(run.vss.calls, Concat(kAllCalls, kC5));
    }
}

// Names are handed on whole, however long: a shortened volume name could name another volume, and
// a shortened device object name could never be deleted.
TEST(CreateSnapshot, HandsOnTheWholeVolumeNameAsGiven) {
    const std::wstring volumes[] = {
        L"",
        L"C:",
        L"\\\\?\\Volume{6b2c1f0e-0000-0000-0000-100000000000}\\",
        L"D:\\Mount\\\u00e9t\u00e9\\",
        std::wstring(259, L'v'),
        std::wstring(260, L'w'),
        L"E:\\" + std::wstring(400, L'x') + L"\\",
    };
    for (const std::wstring& volume : volumes) {
        SCOPED_TRACE(volume.size());
        Creation run;
        run.Create(volume);
        EXPECT_EQ(run.vss.addedVolumes, std::vector<std::wstring>{volume});
    }
}

TEST(CreateSnapshot, ResultLineCarriesTheWholeDeviceObjectNameCutToBytes) {
    struct Case {
        std::wstring deviceObject;
        std::string printed;
    };
    const std::wstring longName = L"\\\\?\\GLOBALROOT\\Device\\" + std::wstring(300, L'S');
    const Case cases[] = {
        {L"\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy12",
         "\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy12"},
        {longName, "\\\\?\\GLOBALROOT\\Device\\" + std::string(300, 'S')},
        // Each unit keeps its low 8 bits; there is no code-page conversion.
        {L"Copy\u00e9\u0141\uffe9", "Copy\xe9\x41\xe9"},
        {L"", ""},
    };
    for (const Case& c : cases) {
        Creation run;
        run.vss.newDeviceObject = c.deviceObject;
        run.Create();
        EXPECT_EQ(run.console.out, Lines(kSuccessLines, 7) + "CREATED : " + c.printed + "\n");
    }
    EXPECT_EQ(DeviceObjectBytes(nullptr), "");
}

}  // namespace
}  // namespace tw::test
