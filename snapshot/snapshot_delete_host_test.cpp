// The deletion against the scripted fake: matching, output, calls, frees and releases.
#include <gtest/gtest.h>

#include "fake_vss.h"
#include "snapshot_delete.h"
#include "snapshot_test_data.h"

namespace tw::test {
namespace {

const wchar_t kCopy1[] = L"\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy1";
const wchar_t kCopy2[] = L"\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy2";
const char kCopy2Bytes[] = "\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy2";

const Calls& kSetUp = kDeletionSetUp;

struct Deletion {
    explicit Deletion(std::vector<FakeVss::Snapshot> snapshots) {
        vss.snapshots = std::move(snapshots);
    }
    void Delete(const std::string& argument) { DeleteSnapshot(argument, vss, console); }
    std::vector<uint32_t> Remaining() const {
        std::vector<uint32_t> ids;
        for (const auto& s : vss.snapshots) {
            ids.push_back(s.id);
        }
        return ids;
    }
    FakeVss vss;
    RecordingConsole console;
};

TEST(DeleteSnapshot, DeletesTheMatchingSnapshotFreeingEveryRecordAndReleasingAll) {
    Deletion run({{1, kCopy1}, {2, kCopy2}, {3, L"\\\\?\\GLOBALROOT\\Device\\X"}});
    run.Delete(kCopy2Bytes);
    EXPECT_EQ(run.console.out,
              std::string("Info : Managed to delete the snapshot: ") + kCopy2Bytes + "\n");
    EXPECT_EQ(run.console.err, "");
    EXPECT_EQ(run.Remaining(), (std::vector<uint32_t>{1, 3}));
    // The record passed over is freed too, and the enumerator goes back before the components.
    EXPECT_EQ(run.vss.calls, Concat(kSetUp, {"Next 1", "FreeSnapshotProperties id=0x1", "Next 1",
                                             "DeleteSnapshots id=0x2 type=3 force=0",
                                             "FreeSnapshotProperties id=0x2", "Release enumerator",
                                             "Release backupComponents"}));
    EXPECT_EQ(run.vss.LivePropertyStrings(), 0u);
    EXPECT_EQ(run.vss.misuse, Calls());
}

// Which snapshot an argument deletes, if any. The names compare unit for unit with the argument
// widened byte by byte with sign extension.
TEST(DeleteSnapshot, MatchesOnlyTheExactWidenedName) {
    struct Case {
        const char* what;
        std::string argument;
        std::vector<FakeVss::Snapshot> snapshots;
        int deleted;  // identifier of the deleted snapshot, 0 for none
    };
    const std::vector<FakeVss::Snapshot> two = {{1, kCopy1}, {2, kCopy2}};
    const Case cases[] = {
        {"no match", "\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy3", two, 0},
        {"letter case", "\\\\?\\globalroot\\device\\harddiskvolumeshadowcopy1", two, 0},
        {"trailing backslash", "\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy1\\", two, 0},
        {"prefix", "\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy", two, 0},
        {"forward slashes", "//?/GLOBALROOT/Device/HarddiskVolumeShadowCopy1", two, 0},
        {"first of two equal names",
         "\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy2",
         {{1, kCopy1}, {2, kCopy2}, {3, kCopy2}},
         2},
        // A byte of 0x80 or above becomes 0xFF80-0xFFFF: never U+0080-U+00FF, never ASCII.
        {"byte 0xE9", "Copy\xe9", {{1, L"Copy\u00e9"}, {2, L"Copy\uffe9"}, {3, L"Copy"}}, 2},
        {"byte 0xE9 against ASCII names",
         "\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy1\xe9", two, 0},
        {"byte 0x80", "\x80", {{1, L"\u0080"}, {2, L"\uff80"}}, 2},
        {"empty argument, no empty name", "", two, 0},
        {"empty argument, empty name", "", {{1, kCopy1}, {2, L""}}, 2},
        {"no snapshots", "\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy1", {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Deletion run(c.snapshots);
        run.Delete(c.argument);
        EXPECT_EQ(run.console.out,
                  c.deleted ? "Info : Managed to delete the snapshot: " + c.argument + "\n" : "");
        EXPECT_EQ(run.console.err, "");
        std::vector<uint32_t> remaining;
        for (const auto& s : c.snapshots) {
            if (static_cast<int>(s.id) != c.deleted) {
                remaining.push_back(s.id);
            }
        }
        EXPECT_EQ(run.Remaining(), remaining);
        EXPECT_EQ(run.vss.LivePropertyStrings(), 0u);
        EXPECT_EQ(run.vss.calls.back(), "Release backupComponents");
        EXPECT_EQ(run.vss.misuse, Calls());
    }
}

TEST(DeleteSnapshot, TheSameNameGivenTwiceDeletesOnceThenWritesNothing) {
    Deletion run({{1, kCopy1}, {2, kCopy2}});
    run.Delete(kCopy2Bytes);
    run.console.out.clear();
    run.Delete(kCopy2Bytes);
    EXPECT_EQ(run.console.out, "");
    EXPECT_EQ(run.console.err, "");
    EXPECT_EQ(run.Remaining(), std::vector<uint32_t>{1});
}

TEST(DeleteSnapshot, FailuresWriteNothingAndReleaseWhatIsHeld) {
    struct Case {
        const char* step;
        HRESULT result;
        Calls after;  // the calls after the set-up
    };
    const Case cases[] = {
        {"Query", E_ACCESSDENIED, {"Release backupComponents"}},
        {"Query", S_FALSE, {"Release enumerator", "Release backupComponents"}},
        // The matching snapshot is not deleted, and no other is tried.
        {"DeleteSnapshots",
         E_ACCESSDENIED,
         {"Next 1", "DeleteSnapshots id=0x1 type=3 force=0", "FreeSnapshotProperties id=0x1",
          "Release enumerator", "Release backupComponents"}},
        {"DeleteSnapshots",
         S_FALSE,
         {"Next 1", "DeleteSnapshots id=0x1 type=3 force=0", "FreeSnapshotProperties id=0x1",
          "Release enumerator", "Release backupComponents"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.step) + " " + std::to_string(c.result));
        Deletion run({{1, kCopy1}, {2, kCopy1}});
        run.vss.results[c.step] = c.result;
        run.Delete("\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy1");
        EXPECT_EQ(run.console.out, "");
        EXPECT_EQ(run.console.err, "");
        EXPECT_EQ(run.vss.calls, Concat(kSetUp, c.after));
        EXPECT_EQ(run.Remaining(), (std::vector<uint32_t>{1, 2}));
        EXPECT_EQ(run.vss.LivePropertyStrings(), 0u);
        EXPECT_EQ(run.vss.misuse, Calls());
    }
}

TEST(DeleteSnapshot, SetUpResultsAreNotJudged) {
    for (const char* step : {"CoInitialize", "InitializeForBackup", "SetContext"}) {
        SCOPED_TRACE(step);
        Deletion run({{1, kCopy1}, {2, kCopy2}});
        run.vss.results[step] = E_UNEXPECTED;
        run.Delete(kCopy2Bytes);
        EXPECT_EQ(run.console.out,
                  std::string("Info : Managed to delete the snapshot: ") + kCopy2Bytes + "\n");
        EXPECT_EQ(run.Remaining(), std::vector<uint32_t>{1});
    }
}

TEST(DeleteSnapshot, EndsQuietlyWithoutABackupComponentsObject) {
    Deletion run({{1, kCopy1}});
    run.vss.results["CreateBackupComponents"] = E_NOTIMPL;
    run.Delete("\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy1");
    EXPECT_EQ(run.console.out, "");
    EXPECT_EQ(run.console.err, "");
    EXPECT_EQ(run.vss.calls, (Calls{"CoInitialize", "CreateBackupComponents"}));
    EXPECT_EQ(run.vss.misuse, Calls());
}

TEST(WidenArgument, ExtendsEachByteAsASignedValue) {
    EXPECT_EQ(WidenArgument(""), L"");
    EXPECT_EQ(WidenArgument("C:\\"), L"C:\\");
    const std::wstring widened = WidenArgument("\x7f\x80\xe9\xff");
    ASSERT_EQ(widened.size(), 4u);
    EXPECT_EQ(static_cast<uint32_t>(widened[0]), 0x7Fu);
    EXPECT_EQ(static_cast<uint32_t>(widened[1]), 0xFF80u);
    EXPECT_EQ(static_cast<uint32_t>(widened[2]), 0xFFE9u);
    EXPECT_EQ(static_cast<uint32_t>(widened[3]), 0xFFFFu);
}

}  // namespace
}  // namespace tw::test
