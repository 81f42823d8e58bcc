// The stand-in service's own logic: the script and store formats, the start from a store and a
// script, and the account it keeps of objects, references, records and misuse.
#include <gtest/gtest.h>

#include "fake_vss_service.h"

namespace tw::standin {
namespace {

using Lines = std::vector<std::string>;

TEST(ParseScript, ReadsEachInstruction) {
    const Script script = ParseScript(
        "# a comment\n"
        "\n"
        "result SetContext 0x80070005\r\n"
        "result Wait prepare -2147212543\n"
        "result Query 1\n"
        "hand-out DoSnapshotSet\n"
        "device-object \\\\?\\GLOBALROOT\\Device\\Copy \xc3\xa9\n"
        "snapshot 1f \\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy31\n"
        "snapshot 2 \n");
    EXPECT_EQ(script.errors, Lines());
    const std::map<std::string, HRESULT> results = {
        {"SetContext", static_cast<HRESULT>(0x80070005u)},
        {"Wait prepare", static_cast<HRESULT>(0x80042301u)},
        {"Query", S_FALSE}};
    EXPECT_EQ(script.results, results);
    EXPECT_EQ(script.handOut, std::set<std::string>{"DoSnapshotSet"});
    EXPECT_TRUE(script.setsDeviceObject);
    EXPECT_EQ(script.deviceObject, L"\\\\?\\GLOBALROOT\\Device\\Copy \u00e9");
    ASSERT_EQ(script.snapshots.size(), 2u);
    EXPECT_EQ(script.snapshots[0].id, 0x1Fu);
    EXPECT_EQ(script.snapshots[0].deviceObject,
              L"\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy31");
    EXPECT_EQ(script.snapshots[1].deviceObject, L"");
}

TEST(ParseScript, NamesEveryLineItDoesNotUnderstand) {
    const char* const lines[] = {
        "fail SetContext 5",
        "result SetContext",
        "result 5",
        "result SetContext 0xZZ",
        "result Query 0x100000000",
        "result Query 12a",
        "hand-out",
        "snapshot x name",
        "snapshot",
        "snapshot 100000000 name",
    };
    for (const char* line : lines) {
        SCOPED_TRACE(line);
        const Script script = ParseScript(std::string("# first\n") + line + "\n");
        EXPECT_EQ(script.errors, Lines{std::string("script line 2 not understood: ") + line});
        EXPECT_TRUE(script.results.empty());
        EXPECT_TRUE(script.snapshots.empty());
    }
}

TEST(StoreText, IsReadBackAsTheSameSnapshots) {
    const std::vector<Snapshot> snapshots = {
        {1, L"\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy1"},
        {0xABCDEF01u, L"Copy \u00e9\u0414\u20ac \U0001F4C1"},
        {7, L""},
    };
    const std::string text = StoreText(snapshots);
    EXPECT_EQ(text.substr(0, text.find('\n')),
              "snapshot 1 \\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy1");
    const Script read = ParseScript(text);
    EXPECT_EQ(read.errors, Lines());
    ASSERT_EQ(read.snapshots.size(), snapshots.size());
    for (size_t i = 0; i < snapshots.size(); ++i) {
        EXPECT_EQ(read.snapshots[i].id, snapshots[i].id);
        EXPECT_EQ(read.snapshots[i].deviceObject, snapshots[i].deviceObject);
    }
}

TEST(Utf8, ReplacesWhatCannotBeDecoded) {
    EXPECT_EQ(FromUtf8("a\xc3\xa9\xe2\x82\xac\xf0\x9f\x93\x81"), L"a\u00e9\u20ac\U0001F4C1");
    EXPECT_EQ(ToUtf8(L"a\u00e9\u20ac\U0001F4C1"), "a\xc3\xa9\xe2\x82\xac\xf0\x9f\x93\x81");
    // A stray trail byte, a cut sequence, an overlong form, an encoded surrogate.
    EXPECT_EQ(FromUtf8("\x80z\xc3"), L"\ufffdz\ufffd");
    EXPECT_EQ(FromUtf8("\xc0\xaf"), L"\ufffd\ufffd");
    EXPECT_EQ(FromUtf8("\xed\xa0\x80!"), L"\ufffd\ufffd\ufffd!");
}

TEST(StandInService, StartsFromTheStoreThenTheSeedsItDoesNotHold) {
    StandInService service;
    const Script store = ParseScript("snapshot 3 Copy3\nsnapshot 9 Copy9\n");
    EXPECT_TRUE(service.Load(store, ParseScript("snapshot 9 Other\nsnapshot 4 Copy4\nbad\n")));
    ASSERT_EQ(service.snapshots.size(), 3u);
    EXPECT_EQ(service.snapshots[1].deviceObject, L"Copy9");
    EXPECT_EQ(service.snapshots[2].id, 4u);
    EXPECT_EQ(service.newSnapshotId, 10u);
    EXPECT_EQ(service.newDeviceObject, L"\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy10");
    EXPECT_EQ(service.misuse, Lines{"script line 3 not understood: bad"});

    StandInService again;
    EXPECT_FALSE(again.Load(store, ParseScript("snapshot 3 Copy3\ndevice-object D\n")));
    EXPECT_EQ(again.newDeviceObject, L"D");
    StandInService empty;
    EXPECT_FALSE(empty.Load(Script(), Script()));
    EXPECT_EQ(empty.newSnapshotId, 1u);
}

// A creation and a deletion as the tool makes them, through the service's calls.
struct ServiceRun {
    StandInService service;
    Lines logged;
    int storeChanges = 0;
    ServiceRun() {
        service.Load(Script(), Script());
        service.onLine = [this](const std::string& line) { logged.push_back(line); };
        service.onStoreChanged = [this] { ++storeChanges; };
    }
    StandInService::ObjectId components = 0;
    void Create(HRESULT waitResult = S_OK) {
        service.results["Wait snapshot"] = waitResult;
        service.CreateBackupComponents(&components);
        VSS_ID id{};
        service.AddToSnapshotSet(components, L"C:\\", GUID_NULL, &id);
        StandInService::ObjectId async = 0;
        service.DoSnapshotSet(components, &async);
        service.Wait(async, 0xFFFFFFFFu);
        service.Release(async);
    }
};

TEST(StandInService, TakesTheSnapshotOnlyWhenItsWaitSucceeds) {
    for (const HRESULT wait : {S_OK, S_FALSE, E_ACCESSDENIED}) {
        SCOPED_TRACE(wait);
        ServiceRun run;
        run.Create(wait);
        EXPECT_EQ(run.service.snapshots.size(), wait == S_OK ? 1u : 0u);
        EXPECT_EQ(run.storeChanges, wait == S_OK ? 1 : 0);
        VSS_SNAPSHOT_PROP properties{};
        EXPECT_EQ(run.service.GetSnapshotProperties(run.components, MakeId(1), &properties),
                  wait == S_OK ? S_OK : static_cast<HRESULT>(0x80042308u));
        if (wait == S_OK) {
            EXPECT_EQ(std::wstring(properties.m_pwszSnapshotDeviceObject),
                      L"\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy1");
        }
    }
}

TEST(StandInService, AccountsForEveryReferenceRecordAndMisuse) {
    ServiceRun run;
    StandInService& service = run.service;
    run.Create();
    StandInService::ObjectId enumerator = 0;
    service.results["Query"] = E_ACCESSDENIED;
    service.handOut.insert("Query");
    EXPECT_EQ(service.Query(run.components, GUID_NULL, 1, 3, &enumerator), E_ACCESSDENIED);
    ASSERT_NE(enumerator, 0u);  // handed out while failing
    VSS_OBJECT_PROP records[2]{};
    ULONG fetched = 0;
    EXPECT_EQ(service.Next(enumerator, 2, records, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 1u);
    EXPECT_EQ(service.LivePropertyStrings(), 1u);
    service.FreeSnapshotProperties(&records[0].Obj.Snap);
    service.FreeSnapshotProperties(&records[0].Obj.Snap);  // its string is gone: unknown
    EXPECT_EQ(service.AddRef(enumerator), 2u);
    EXPECT_EQ(service.Release(enumerator), 1u);
    EXPECT_EQ(service.Unexpected(run.components, "AbortBackup"), E_NOTIMPL);
    LONG deleted = 0;
    VSS_ID left{};
    service.results["DeleteSnapshots"] = S_FALSE;
    service.DeleteSnapshots(run.components, MakeId(1), 3, false, &deleted, &left);
    EXPECT_EQ(service.snapshots.size(), 1u);  // only S_OK deletes
    service.results.erase("DeleteSnapshots");
    EXPECT_EQ(service.DeleteSnapshots(run.components, MakeId(1), 3, false, &deleted, &left), S_OK);
    EXPECT_EQ(deleted, 1);
    EXPECT_EQ(service.snapshots.size(), 0u);
    EXPECT_EQ(run.storeChanges, 2);
    service.Release(run.components);
    service.Release(run.components);
    service.SetContext(run.components, 13);

    EXPECT_EQ(service.misuse, (Lines{"FreeSnapshotProperties id=0x1 of unknown properties",
                                     "unexpected AbortBackup on backupComponents",
                                     "second Release of backupComponents",
                                     "SetContext on released backupComponents"}));
    EXPECT_EQ(service.Report(),
              (Lines{"backupComponents references 0", "snapshot references 0",
                     "enumerator references 1", "properties allocated 1 freed 1"}));
    // The log holds calls as they are and misuse after "! ", in order.
    EXPECT_EQ(run.logged.front(), "CreateBackupComponents");
    EXPECT_EQ(run.logged.back(), "! SetContext on released backupComponents");
    EXPECT_EQ(run.logged.size(), service.calls.size() + service.misuse.size());
}

}  // namespace
}  // namespace tw::standin
