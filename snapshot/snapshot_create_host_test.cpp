// The creation's sequence against the scripted fake: lines, streams, calls and releases.
#include <gtest/gtest.h>

#include <algorithm>

#include "fake_vss.h"
#include "snapshot_create.h"
#include "snapshot_test_data.h"

namespace tw::test {
namespace {

// The fake's new snapshot is 0x5a9 (its set 0x5e7).
const unsigned kSnapshotId = 0x5a9;
const Calls kAllCalls = CreationCalls("C:\\", 3, kSnapshotId);

const char kCreated[] = "CREATED : \\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy7\n";

std::string Lines(size_t count) {
    return InfoLines(count, "\n");
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
    EXPECT_EQ(run.console.out, Lines(7) + kCreated);
    EXPECT_EQ(run.console.err, "");
    // COM security set right after COM; no backup completion or abort, no deletion, no freeing of
    // the properties: the snapshot stays.
    EXPECT_EQ(run.vss.calls, Concat(kAllCalls, kC5));
    ASSERT_EQ(run.vss.snapshots.size(), 1u);
    EXPECT_EQ(run.vss.snapshots[0].id, kSnapshotId);
    EXPECT_EQ(run.vss.misuse, Calls());
    EXPECT_EQ(run.vss.addedVolumes, std::vector<std::wstring>{L"C:\\"});
    EXPECT_EQ(run.state.backupComponents, nullptr);
    EXPECT_EQ(run.state.metadataAsync, nullptr);
    EXPECT_EQ(run.state.prepareAsync, nullptr);
}

// Each step fails in turn, with a failure code and with a positive success code that the creation
// must refuse as well. After the failure no VSS call is made but what takes back what the creation
// began (a failure after StartSnapshotSet aborts the backup, one after the snapshot was taken
// deletes it first) and the clean-up of its level; a reference that the failing call handed out
// anyway (with S_FALSE) is given back first. No snapshot is left in the service.
TEST(CreateSnapshot, EachFailingStepWritesItsLineAndCleansUpItsLevel) {
    struct Code {
        HRESULT value;
        const char* text;
    };
    const Code codes[] = {{E_ACCESSDENIED, "-2147024891"}, {S_FALSE, "1"}};
    for (const FailingStep& c : kFailingSteps) {
        for (const Code& code : codes) {
            SCOPED_TRACE(std::string(c.step) + " returning " + code.text);
            Creation run;
            run.vss.results[c.step] = code.value;
            run.Create();

            EXPECT_EQ(run.console.out, Lines(c.infoLines));
            EXPECT_EQ(run.console.err,
                      std::string(c.error) + (c.printsCode ? code.text : "") + "\n");
            EXPECT_EQ(run.console.merged, run.console.out + run.console.err);
            EXPECT_EQ(run.vss.calls,
                      CallsOfFailure(kAllCalls, c, code.value == S_FALSE, kSnapshotId));
            EXPECT_EQ(run.vss.misuse, Calls());
            EXPECT_EQ(run.vss.snapshots.size(), 0u);
        }
    }
}

// Of COM's set-up only CoInitialize is judged, and its failure only reported. CoInitializeSecurity
// fails harmlessly where the process's security is already set (RPC_E_TOO_LATE).
TEST(CreateSnapshot, OnlyCoInitializeFailingIsReportedAndTheCreationGoesOn) {
    struct Case {
        const char* call;
        HRESULT result;
        bool reported;
    };
    const Case cases[] = {
        {"CoInitialize", S_OK, false},
        {"CoInitialize", S_FALSE, false},                  // already initialised on this thread
        {"CoInitialize", MakeHresult(0x80010106u), true},  // RPC_E_CHANGED_MODE
        {"CoInitialize", E_OUTOFMEMORY, true},
        {"CoInitialize", MakeHresult(2), true},
        {"CoInitializeSecurity", MakeHresult(0x80010119u), false},  // RPC_E_TOO_LATE
        {"CoInitializeSecurity", E_OUTOFMEMORY, false},
        {"CoInitializeSecurity", S_FALSE, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.call) + " returning " + std::to_string(c.result));
        Creation run;
        run.vss.results[c.call] = c.result;
        run.Create();
        EXPECT_EQ(run.console.out, Lines(7) + kCreated);
        EXPECT_EQ(run.console.err, c.reported ? "Error : CoInitialize() failed!\n" : "");
        EXPECT_EQ(run.vss.calls, Concat(kAllCalls, kC5));
    }
}

// What a failed creation takes back is not judged: whether the deletion of its snapshot or the
// abort fails, the lines and the clean-up stay the same. A snapshot that could not be deleted
// stays.
TEST(CreateSnapshot, TakingBackAfterAFailureIsNotJudged) {
    struct Case {
        const char* failingStep;
        const char* call;  // fails with `result` as well
        HRESULT result;
        size_t snapshotsLeft;
    };
    const Case cases[] = {
        {"GetSnapshotProperties", "DeleteSnapshots", MakeHresult(0x80042308u), 1},  // not found
        {"GetSnapshotProperties", "DeleteSnapshots", S_FALSE, 1},
        {"GetSnapshotProperties", "AbortBackup", MakeHresult(0x80042301u), 0},  // VSS_E_BAD_STATE
        {"AddToSnapshotSet", "AbortBackup", E_UNEXPECTED, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.failingStep) + ", then " + c.call);
        const auto step = std::find_if(
            kFailingSteps.begin(), kFailingSteps.end(),
            [&](const FailingStep& s) { return s.step == std::string(c.failingStep); });
        ASSERT_NE(step, kFailingSteps.end());
        Creation run;
        run.vss.results[c.failingStep] = E_FAIL;
        run.vss.results[c.call] = c.result;
        run.Create();
        EXPECT_EQ(run.console.out, Lines(step->infoLines));
        EXPECT_EQ(run.console.err,
                  std::string(step->error) + (step->printsCode ? "-2147467259" : "") + "\n");
        EXPECT_EQ(run.vss.calls, CallsOfFailure(kAllCalls, *step, false, kSnapshotId));
        EXPECT_EQ(run.vss.misuse, Calls());
        EXPECT_EQ(run.vss.snapshots.size(), c.snapshotsLeft);
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
        EXPECT_EQ(run.console.out, Lines(7) + "CREATED : " + c.printed + "\n");
    }
    EXPECT_EQ(DeviceObjectBytes(nullptr), "");
}

}  // namespace
}  // namespace tw::test
