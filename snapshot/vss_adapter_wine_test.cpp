// The Windows adapters of the snapshot tool under Wine: the VSS adapters against objects that
// implement the platform's own VSS interfaces (checking every argument that reaches them and every
// reference given back), the VSSAPI.DLL entry point as Wine provides it, and the process queries.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver.h"
#include "snapshot_create.h"
#include "snapshot_delete.h"
#include "vss_win.h"

namespace tw::test {
namespace {

// Everything the fake objects saw that no adapter should ever call.
std::vector<std::string> unexpected;

// Reference counting as a COM object does it; the test owns the object and checks the counts.
template <typename Interface>
class Counted : public Interface {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        unexpected.push_back("QueryInterface");
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references); }
    ULONG STDMETHODCALLTYPE Release() override {
        ++releases;
        return static_cast<ULONG>(--references);
    }
    LONG references = 1;  // the one reference handed to the adapter
    int releases = 0;
};

HRESULT Unexpected(const char* method) {
    unexpected.push_back(method);
    return E_NOTIMPL;
}

class FakeAsync final : public Counted<IVssAsync> {
  public:
    HRESULT STDMETHODCALLTYPE Cancel() override { return Unexpected("Cancel"); }
    HRESULT STDMETHODCALLTYPE Wait(DWORD milliseconds) override {
        waits.push_back(milliseconds);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE QueryStatus(HRESULT*, INT*) override {
        return Unexpected("QueryStatus");
    }
    std::vector<DWORD> waits;
};

WCHAR* CopyForCaller(const std::wstring& text) {
    auto* copy = static_cast<WCHAR*>(CoTaskMemAlloc((text.size() + 1) * sizeof(WCHAR)));
    text.copy(copy, text.size());
    copy[text.size()] = 0;
    return copy;
}

VSS_ID MakeId(unsigned long n) {
    VSS_ID id{};
    id.Data1 = n;
    id.Data4[7] = 0x42;
    return id;
}

class FakeEnumerator final : public Counted<IVssEnumObject> {
  public:
    HRESULT STDMETHODCALLTYPE Next(ULONG count, VSS_OBJECT_PROP* records, ULONG* fetched) override {
        counts.push_back(count);
        if (next == names.size()) {
            *fetched = 0;
            return S_FALSE;
        }
        records[0] = VSS_OBJECT_PROP{};
        records[0].Type = VSS_OBJECT_SNAPSHOT;
        records[0].Obj.Snap.m_SnapshotId = MakeId(static_cast<unsigned long>(next + 1));
        records[0].Obj.Snap.m_pwszSnapshotDeviceObject = CopyForCaller(names[next]);
        ++next;
        *fetched = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return Unexpected("Skip"); }
    HRESULT STDMETHODCALLTYPE Reset() override { return Unexpected("Reset"); }
    HRESULT STDMETHODCALLTYPE Clone(IVssEnumObject**) override { return Unexpected("Clone"); }
    std::vector<std::wstring> names;
    size_t next = 0;
    std::vector<ULONG> counts;
};

class FakeBackupComponents final : public Counted<IVssBackupComponents> {
  public:
    // What the adapters passed.
    bool initialized = false;
    BSTR document = reinterpret_cast<BSTR>(1);
    std::vector<LONG> contexts;
    std::wstring volume;
    VSS_ID provider = MakeId(99);
    std::vector<std::string> backupState;
    int freeWriterMetadata = 0;
    VSS_ID propertiesId{};
    VSS_ID queried = MakeId(99);
    VSS_OBJECT_TYPE queriedType{}, returnedType{};
    VSS_ID deleted{};
    VSS_OBJECT_TYPE deletedType{};
    WINBOOL force = TRUE;
    bool deleteOutputsGiven = false;
    // What they got.
    FakeAsync metadata, prepare, snapshot;
    FakeEnumerator enumerator;
    std::wstring deviceObject = L"\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy5";

    HRESULT STDMETHODCALLTYPE InitializeForBackup(BSTR xml) override {
        initialized = true;
        document = xml;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetContext(LONG context) override {
        contexts.push_back(context);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GatherWriterMetadata(IVssAsync** async) override {
        *async = &metadata;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE FreeWriterMetadata() override {
        ++freeWriterMetadata;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE StartSnapshotSet(VSS_ID* snapshotSetId) override {
        *snapshotSetId = MakeId(0x5E7);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE AddToSnapshotSet(VSS_PWSZ volumeName, VSS_ID providerId,
                                               VSS_ID* snapshotId) override {
        volume = volumeName;
        provider = providerId;
        *snapshotId = MakeId(0x5A9);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetBackupState(boolean selectComponents,
                                             boolean backupBootableSystemState,
                                             VSS_BACKUP_TYPE backupType,
                                             boolean partialFileSupport) override {
        backupState = {std::to_string(selectComponents), std::to_string(backupBootableSystemState),
                       std::to_string(backupType), std::to_string(partialFileSupport)};
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE PrepareForBackup(IVssAsync** async) override {
        *async = &prepare;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DoSnapshotSet(IVssAsync** async) override {
        *async = &snapshot;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetSnapshotProperties(VSS_ID snapshotId,
                                                    VSS_SNAPSHOT_PROP* properties) override {
        propertiesId = snapshotId;
        *properties = VSS_SNAPSHOT_PROP{};
        properties->m_SnapshotId = snapshotId;
        properties->m_pwszSnapshotDeviceObject = CopyForCaller(deviceObject);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Query(VSS_ID queriedObjectId, VSS_OBJECT_TYPE queriedObjectType,
                                    VSS_OBJECT_TYPE returnedObjectsType,
                                    IVssEnumObject** result) override {
        queried = queriedObjectId;
        queriedType = queriedObjectType;
        returnedType = returnedObjectsType;
        *result = &enumerator;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DeleteSnapshots(VSS_ID sourceObjectId,
                                              VSS_OBJECT_TYPE sourceObjectType, WINBOOL forceDelete,
                                              LONG* deletedSnapshots,
                                              VSS_ID* nondeletedSnapshotId) override {
        deleted = sourceObjectId;
        deletedType = sourceObjectType;
        force = forceDelete;
        deleteOutputsGiven = deletedSnapshots != nullptr && nondeletedSnapshotId != nullptr;
        *deletedSnapshots = 1;
        *nondeletedSnapshotId = GUID_NULL;
        return S_OK;
    }

    // Nothing else is part of what the tool does.
    HRESULT STDMETHODCALLTYPE GetWriterComponentsCount(UINT*) override {
        return Unexpected("GetWriterComponentsCount");
    }
    HRESULT STDMETHODCALLTYPE GetWriterComponents(UINT, IVssWriterComponentsExt**) override {
        return Unexpected("GetWriterComponents");
    }
    HRESULT STDMETHODCALLTYPE InitializeForRestore(BSTR) override {
        return Unexpected("InitializeForRestore");
    }
    HRESULT STDMETHODCALLTYPE SetRestoreState(VSS_RESTORE_TYPE) override {
        return Unexpected("SetRestoreState");
    }
    HRESULT STDMETHODCALLTYPE GetWriterMetadataCount(UINT*) override {
        return Unexpected("GetWriterMetadataCount");
    }
    HRESULT STDMETHODCALLTYPE GetWriterMetadata(UINT, VSS_ID*,
                                                IVssExamineWriterMetadata**) override {
        return Unexpected("GetWriterMetadata");
    }
    HRESULT STDMETHODCALLTYPE AddComponent(VSS_ID, VSS_ID, VSS_COMPONENT_TYPE, LPCWSTR,
                                           LPCWSTR) override {
        return Unexpected("AddComponent");
    }
    HRESULT STDMETHODCALLTYPE AbortBackup() override { return Unexpected("AbortBackup"); }
    HRESULT STDMETHODCALLTYPE GatherWriterStatus(IVssAsync**) override {
        return Unexpected("GatherWriterStatus");
    }
    HRESULT STDMETHODCALLTYPE GetWriterStatusCount(UINT*) override {
        return Unexpected("GetWriterStatusCount");
    }
    HRESULT STDMETHODCALLTYPE FreeWriterStatus() override { return Unexpected("FreeWriterStatus"); }
    HRESULT STDMETHODCALLTYPE GetWriterStatus(UINT, VSS_ID*, VSS_ID*, BSTR*, VSS_WRITER_STATE*,
                                              HRESULT*) override {
        return Unexpected("GetWriterStatus");
    }
    HRESULT STDMETHODCALLTYPE SetBackupSucceeded(VSS_ID, VSS_ID, VSS_COMPONENT_TYPE, LPCWSTR,
                                                 LPCWSTR, boolean) override {
        return Unexpected("SetBackupSucceeded");
    }
    HRESULT STDMETHODCALLTYPE SetBackupOptions(VSS_ID, VSS_COMPONENT_TYPE, LPCWSTR, LPCWSTR,
                                               LPCWSTR) override {
        return Unexpected("SetBackupOptions");
    }
    HRESULT STDMETHODCALLTYPE SetSelectedForRestore(VSS_ID, VSS_COMPONENT_TYPE, LPCWSTR, LPCWSTR,
                                                    boolean) override {
        return Unexpected("SetSelectedForRestore");
    }
    HRESULT STDMETHODCALLTYPE SetRestoreOptions(VSS_ID, VSS_COMPONENT_TYPE, LPCWSTR, LPCWSTR,
                                                LPCWSTR) override {
        return Unexpected("SetRestoreOptions");
    }
    HRESULT STDMETHODCALLTYPE SetAdditionalRestores(VSS_ID, VSS_COMPONENT_TYPE, LPCWSTR, LPCWSTR,
                                                    boolean) override {
        return Unexpected("SetAdditionalRestores");
    }
    HRESULT STDMETHODCALLTYPE SetPreviousBackupStamp(VSS_ID, VSS_COMPONENT_TYPE, LPCWSTR, LPCWSTR,
                                                     LPCWSTR) override {
        return Unexpected("SetPreviousBackupStamp");
    }
    HRESULT STDMETHODCALLTYPE SaveAsXML(BSTR*) override { return Unexpected("SaveAsXML"); }
    HRESULT STDMETHODCALLTYPE BackupComplete(IVssAsync**) override {
        return Unexpected("BackupComplete");
    }
    HRESULT STDMETHODCALLTYPE AddAlternativeLocationMapping(VSS_ID, VSS_COMPONENT_TYPE, LPCWSTR,
                                                            LPCWSTR, LPCWSTR, LPCWSTR, boolean,
                                                            LPCWSTR) override {
        return Unexpected("AddAlternativeLocationMapping");
    }
    HRESULT STDMETHODCALLTYPE AddRestoreSubcomponent(VSS_ID, VSS_COMPONENT_TYPE, LPCWSTR, LPCWSTR,
                                                     LPCWSTR, LPCWSTR, boolean) override {
        return Unexpected("AddRestoreSubcomponent");
    }
    HRESULT STDMETHODCALLTYPE SetFileRestoreStatus(VSS_ID, VSS_COMPONENT_TYPE, LPCWSTR, LPCWSTR,
                                                   VSS_FILE_RESTORE_STATUS) override {
        return Unexpected("SetFileRestoreStatus");
    }
    HRESULT STDMETHODCALLTYPE AddNewTarget(VSS_ID, VSS_COMPONENT_TYPE, LPCWSTR, LPCWSTR, LPCWSTR,
                                           LPCWSTR, boolean, LPCWSTR) override {
        return Unexpected("AddNewTarget");
    }
    HRESULT STDMETHODCALLTYPE SetRangesFilePath(VSS_ID, VSS_COMPONENT_TYPE, LPCWSTR, LPCWSTR, UINT,
                                                LPCWSTR) override {
        return Unexpected("SetRangesFilePath");
    }
    HRESULT STDMETHODCALLTYPE PreRestore(IVssAsync**) override { return Unexpected("PreRestore"); }
    HRESULT STDMETHODCALLTYPE PostRestore(IVssAsync**) override {
        return Unexpected("PostRestore");
    }
    HRESULT STDMETHODCALLTYPE ImportSnapshots(IVssAsync**) override {
        return Unexpected("ImportSnapshots");
    }
    HRESULT STDMETHODCALLTYPE BreakSnapshotSet(VSS_ID) override {
        return Unexpected("BreakSnapshotSet");
    }
    HRESULT STDMETHODCALLTYPE IsVolumeSupported(VSS_ID, VSS_PWSZ, WINBOOL*) override {
        return Unexpected("IsVolumeSupported");
    }
    HRESULT STDMETHODCALLTYPE DisableWriterClasses(const VSS_ID*, UINT) override {
        return Unexpected("DisableWriterClasses");
    }
    HRESULT STDMETHODCALLTYPE EnableWriterClasses(const VSS_ID*, UINT) override {
        return Unexpected("EnableWriterClasses");
    }
    HRESULT STDMETHODCALLTYPE DisableWriterInstances(const VSS_ID*, UINT) override {
        return Unexpected("DisableWriterInstances");
    }
    HRESULT STDMETHODCALLTYPE ExposeSnapshot(VSS_ID, VSS_PWSZ, LONG, VSS_PWSZ, VSS_PWSZ*) override {
        return Unexpected("ExposeSnapshot");
    }
    HRESULT STDMETHODCALLTYPE RevertToSnapshot(VSS_ID, WINBOOL) override {
        return Unexpected("RevertToSnapshot");
    }
    HRESULT STDMETHODCALLTYPE QueryRevertStatus(VSS_PWSZ, IVssAsync**) override {
        return Unexpected("QueryRevertStatus");
    }
};

// The entry points the adapter is given in place of VSSAPI.DLL's.
FakeBackupComponents* created = nullptr;
std::vector<unsigned long> freed;

HRESULT STDAPICALLTYPE CreateFake(IVssBackupComponents** backupComponents) {
    *backupComponents = created;
    return S_OK;
}

void APIENTRY FreeAndRecord(VSS_SNAPSHOT_PROP* properties) {
    freed.push_back(properties->m_SnapshotId.Data1);
    CoTaskMemFree(properties->m_pwszSnapshotDeviceObject);
    properties->m_pwszSnapshotDeviceObject = nullptr;
}

class LineConsole final : public Console {
  public:
    void Out(std::string_view line) override { out.append(line).append("\n"); }
    void Err(std::string_view line) override { err.append(line).append("\n"); }
    std::string out, err;
};

class VssAdapters : public ::testing::Test {
  protected:
    void SetUp() override {
        unexpected.clear();
        freed.clear();
        created = &components;
    }
    void TearDown() override { created = nullptr; }
    // Each object got exactly one Release, for the one reference handed to the adapters.
    void ExpectGivenBack(const char* what, LONG references, int releases) {
        EXPECT_EQ(references, 0) << what;
        EXPECT_EQ(releases, 1) << what;
    }
    FakeBackupComponents components;
    PlatformVss vss{CreateFake, FreeAndRecord};
    LineConsole console;
};

TEST_F(VssAdapters, CreationPassesTheFixedArgumentsAndGivesEveryReferenceBack) {
    SnapshotState state;
    CreateSnapshot(L"\\\\?\\Volume{0e1f2a3b-0000-0000-0000-100000000000}\\", state, vss, console);

    EXPECT_EQ(console.err, "");
    EXPECT_EQ(console.out.substr(console.out.rfind("CREATED : ")),
              "CREATED : \\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy5\n");
    EXPECT_TRUE(components.initialized);
    EXPECT_EQ(components.document, nullptr);
    EXPECT_EQ(components.contexts, std::vector<LONG>{VSS_CTX_CLIENT_ACCESSIBLE_WRITERS});
    EXPECT_EQ(components.contexts[0], 13);
    EXPECT_EQ(components.volume, L"\\\\?\\Volume{0e1f2a3b-0000-0000-0000-100000000000}\\");
    EXPECT_TRUE(IsEqualGUID(components.provider, GUID_NULL));
    EXPECT_EQ(components.backupState, (std::vector<std::string>{"0", "0", "5", "0"}));
    EXPECT_TRUE(IsEqualGUID(components.propertiesId, MakeId(0x5A9)));
    for (FakeAsync* async : {&components.metadata, &components.prepare, &components.snapshot}) {
        EXPECT_EQ(async->waits, std::vector<DWORD>{INFINITE});
    }
    EXPECT_EQ(components.freeWriterMetadata, 1);
    ExpectGivenBack("metadata", components.metadata.references, components.metadata.releases);
    ExpectGivenBack("prepare", components.prepare.references, components.prepare.releases);
    ExpectGivenBack("snapshot", components.snapshot.references, components.snapshot.releases);
    ExpectGivenBack("components", components.references, components.releases);
    EXPECT_EQ(unexpected, std::vector<std::string>());
    // The creation leaves the properties to the end of the process.
    EXPECT_EQ(freed, std::vector<unsigned long>());
    CoTaskMemFree(state.snapshotProperties.m_pwszSnapshotDeviceObject);
}

TEST_F(VssAdapters, DeletionPassesTheQueryAndDeletionArgumentsAndGivesEverythingBack) {
    components.enumerator.names = {L"\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy1",
                                   L"\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy2",
                                   L"\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy3"};
    DeleteSnapshot("\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy2", vss, console);

    EXPECT_EQ(console.out,
              "Info : Managed to delete the snapshot: "
              "\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy2\n");
    EXPECT_EQ(console.err, "");
    EXPECT_TRUE(components.initialized);
    EXPECT_EQ(components.document, nullptr);
    EXPECT_EQ(components.contexts, std::vector<LONG>{13});
    EXPECT_TRUE(IsEqualGUID(components.queried, GUID_NULL));
    EXPECT_EQ(components.queriedType, VSS_OBJECT_NONE);
    EXPECT_EQ(components.returnedType, VSS_OBJECT_SNAPSHOT);
    EXPECT_EQ(components.enumerator.counts, (std::vector<ULONG>{1, 1}));
    EXPECT_TRUE(IsEqualGUID(components.deleted, MakeId(2)));
    EXPECT_EQ(components.deletedType, VSS_OBJECT_SNAPSHOT);
    EXPECT_EQ(components.force, FALSE);
    EXPECT_TRUE(components.deleteOutputsGiven);
    EXPECT_EQ(freed, (std::vector<unsigned long>{1, 2}));
    ExpectGivenBack("enumerator", components.enumerator.references, components.enumerator.releases);
    ExpectGivenBack("components", components.references, components.releases);
    EXPECT_EQ(unexpected, std::vector<std::string>());
}

TEST(PlatformVss, WineHasNoBackupComponentsObject) {
    // Measured: Wine's VSSAPI.DLL answers E_NOTIMPL and hands out nothing.
    PlatformVss vss;
    VssBackupComponents* backupComponents = nullptr;
    EXPECT_EQ(vss.CreateBackupComponents(&backupComponents), E_NOTIMPL);
    EXPECT_EQ(backupComponents, nullptr);
}

TEST(PlatformEnvironment, ReadsTheTokenAndDecodesUtf8WhateverTheCodePage) {
    // Measured: a Wine process reports elevated.
    EXPECT_TRUE(PlatformEnvironment().IsProcessElevated());
    ASSERT_EQ(GetACP(), 1252u);  // so a decoding through the ANSI code page would differ below
    struct Case {
        std::string bytes;
        std::wstring units;
    };
    const Case cases[] = {
        {"", L""},
        {"C:\\", L"C:\\"},
        {"D:\\\xc3\xa9t\xc3\xa9\\", L"D:\\\u00e9t\u00e9\\"},
        {"\xf0\x9f\x93\x81", L"\xd83d\xdcc1"},
        // Malformed bytes do not stop the decoding.
        {"a\x80z", L"a\ufffdz"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PlatformEnvironment().Utf8ToUtf16(c.bytes), c.units) << c.bytes;
    }
}

}  // namespace
}  // namespace tw::test
