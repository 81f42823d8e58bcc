#include "fake_vss_com.h"

namespace tw::standin {
namespace {

using ObjectId = StandInService::ObjectId;

// No exception leaves a COM method: a failure inside the stand-in answers `failure`.
template <typename Result, typename Action>
Result Guarded(Result failure, Action action) noexcept {
    try {
        return action();
    } catch (...) {
        return failure;
    }
}

// One of the service's objects behind a COM interface.
template <typename Interface>
class ComObject : public Interface, public StandInService::FrontEnd {
  public:
    ComObject(StandInService& service, ObjectId id) : service_(service), id_(id) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        if (object != nullptr) {
            *object = nullptr;
        }
        Unexpected("QueryInterface");
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        return Guarded(ULONG{0}, [&] { return service_.AddRef(id_); });
    }
    ULONG STDMETHODCALLTYPE Release() override {
        return Guarded(ULONG{0}, [&] { return service_.Release(id_); });
    }

  protected:
    HRESULT Unexpected(const char* method) {
        return Guarded(E_NOTIMPL, [&] { return service_.Unexpected(id_, method); });
    }
    // Hands the service's object, if any, to the caller behind the interface `FrontEnd` gives.
    template <typename FrontEnd, typename Out>
    void HandOut(ObjectId object, Out** out) {
        if (out != nullptr) {
            *out = object == 0 ? nullptr : service_.Keep<FrontEnd>(service_, object);
        }
    }
    StandInService& service_;
    ObjectId id_;
};

class StandInAsync final : public ComObject<IVssAsync> {
  public:
    using ComObject::ComObject;
    HRESULT STDMETHODCALLTYPE Wait(DWORD milliseconds) override {
        return Guarded(E_OUTOFMEMORY, [&] { return service_.Wait(id_, milliseconds); });
    }
    HRESULT STDMETHODCALLTYPE Cancel() override { return Unexpected("Cancel"); }
    HRESULT STDMETHODCALLTYPE QueryStatus(HRESULT*, INT*) override {
        return Unexpected("QueryStatus");
    }
};

class StandInEnumerator final : public ComObject<IVssEnumObject> {
  public:
    using ComObject::ComObject;
    HRESULT STDMETHODCALLTYPE Next(ULONG count, VSS_OBJECT_PROP* records, ULONG* fetched) override {
        return Guarded(E_OUTOFMEMORY, [&] { return service_.Next(id_, count, records, fetched); });
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return Unexpected("Skip"); }
    HRESULT STDMETHODCALLTYPE Reset() override { return Unexpected("Reset"); }
    HRESULT STDMETHODCALLTYPE Clone(IVssEnumObject**) override { return Unexpected("Clone"); }
};

class StandInBackupComponents final : public ComObject<IVssBackupComponents> {
  public:
    using ComObject::ComObject;

    // What the tool calls.
    HRESULT STDMETHODCALLTYPE InitializeForBackup(BSTR xml) override {
        return Guarded(E_OUTOFMEMORY, [&] { return service_.InitializeForBackup(id_, xml); });
    }
    HRESULT STDMETHODCALLTYPE SetContext(LONG context) override {
        return Guarded(E_OUTOFMEMORY, [&] { return service_.SetContext(id_, context); });
    }
    HRESULT STDMETHODCALLTYPE GatherWriterMetadata(IVssAsync** async) override {
        return Guarded(E_OUTOFMEMORY, [&] {
            ObjectId object = 0;
            const HRESULT result =
                service_.GatherWriterMetadata(id_, async == nullptr ? nullptr : &object);
            HandOut<StandInAsync>(object, async);
            return result;
        });
    }
    HRESULT STDMETHODCALLTYPE FreeWriterMetadata() override {
        return Guarded(E_OUTOFMEMORY, [&] { return service_.FreeWriterMetadata(id_); });
    }
    HRESULT STDMETHODCALLTYPE StartSnapshotSet(VSS_ID* snapshotSetId) override {
        return Guarded(E_OUTOFMEMORY,
                       [&] { return service_.StartSnapshotSet(id_, snapshotSetId); });
    }
    HRESULT STDMETHODCALLTYPE AddToSnapshotSet(VSS_PWSZ volumeName, VSS_ID providerId,
                                               VSS_ID* snapshotId) override {
        return Guarded(E_OUTOFMEMORY, [&] {
            return service_.AddToSnapshotSet(id_, volumeName, providerId, snapshotId);
        });
    }
    HRESULT STDMETHODCALLTYPE SetBackupState(boolean selectComponents,
                                             boolean backupBootableSystemState,
                                             VSS_BACKUP_TYPE backupType,
                                             boolean partialFileSupport) override {
        return Guarded(E_OUTOFMEMORY, [&] {
            return service_.SetBackupState(id_, selectComponents, backupBootableSystemState,
                                           backupType, partialFileSupport);
        });
    }
    HRESULT STDMETHODCALLTYPE PrepareForBackup(IVssAsync** async) override {
        return Guarded(E_OUTOFMEMORY, [&] {
            ObjectId object = 0;
            const HRESULT result =
                service_.PrepareForBackup(id_, async == nullptr ? nullptr : &object);
            HandOut<StandInAsync>(object, async);
            return result;
        });
    }
    HRESULT STDMETHODCALLTYPE DoSnapshotSet(IVssAsync** async) override {
        return Guarded(E_OUTOFMEMORY, [&] {
            ObjectId object = 0;
            const HRESULT result =
                service_.DoSnapshotSet(id_, async == nullptr ? nullptr : &object);
            HandOut<StandInAsync>(object, async);
            return result;
        });
    }
    HRESULT STDMETHODCALLTYPE AbortBackup() override {
        return Guarded(E_OUTOFMEMORY, [&] { return service_.AbortBackup(id_); });
    }
    HRESULT STDMETHODCALLTYPE GetSnapshotProperties(VSS_ID snapshotId,
                                                    VSS_SNAPSHOT_PROP* properties) override {
        return Guarded(E_OUTOFMEMORY,
                       [&] { return service_.GetSnapshotProperties(id_, snapshotId, properties); });
    }
    HRESULT STDMETHODCALLTYPE Query(VSS_ID queriedObjectId, VSS_OBJECT_TYPE queriedObjectType,
                                    VSS_OBJECT_TYPE returnedObjectsType,
                                    IVssEnumObject** enumerator) override {
        return Guarded(E_OUTOFMEMORY, [&] {
            ObjectId object = 0;
            const HRESULT result =
                service_.Query(id_, queriedObjectId, queriedObjectType, returnedObjectsType,
                               enumerator == nullptr ? nullptr : &object);
            HandOut<StandInEnumerator>(object, enumerator);
            return result;
        });
    }
    HRESULT STDMETHODCALLTYPE DeleteSnapshots(VSS_ID sourceObjectId,
                                              VSS_OBJECT_TYPE sourceObjectType, WINBOOL forceDelete,
                                              LONG* deletedSnapshots,
                                              VSS_ID* nondeletedSnapshotId) override {
        return Guarded(E_OUTOFMEMORY, [&] {
            return service_.DeleteSnapshots(id_, sourceObjectId, sourceObjectType,
                                            forceDelete != FALSE, deletedSnapshots,
                                            nondeletedSnapshotId);
        });
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

}  // namespace

HRESULT CreateBackupComponentsObject(StandInService& service, IVssBackupComponents** out) {
    return Guarded(E_OUTOFMEMORY, [&] {
        ObjectId object = 0;
        const HRESULT result = service.CreateBackupComponents(out == nullptr ? nullptr : &object);
        if (out != nullptr) {
            *out = object == 0 ? nullptr : service.Keep<StandInBackupComponents>(service, object);
        }
        return result;
    });
}

}  // namespace tw::standin
