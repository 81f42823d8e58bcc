#include "vss_win.h"

#include <new>

namespace tw {
namespace {

// Hands `object` (one reference, possibly null) to the caller inside a new adapter. The call's own
// result is passed on; when no adapter can be made the reference is given back and the result
// becomes E_OUTOFMEMORY.
template <typename Adapter, typename Interface, typename Seam>
HRESULT HandOut(HRESULT result, Interface* object, Seam** out) {
    *out = nullptr;
    if (object == nullptr) {
        return result;
    }
    Adapter* adapter = new (std::nothrow) Adapter(object);
    if (adapter == nullptr) {
        object->Release();
        return E_OUTOFMEMORY;
    }
    *out = adapter;
    return result;
}

class AsyncAdapter final : public VssAsyncOperation {
  public:
    explicit AsyncAdapter(IVssAsync* async) : async_(async) {}
    HRESULT Wait(DWORD milliseconds) override { return async_->Wait(milliseconds); }
    void Release() override {
        async_->Release();
        delete this;
    }

  private:
    IVssAsync* async_;
};

class EnumeratorAdapter final : public VssSnapshotEnumerator {
  public:
    explicit EnumeratorAdapter(IVssEnumObject* enumerator) : enumerator_(enumerator) {}
    HRESULT Next(ULONG count, VSS_OBJECT_PROP* records, ULONG* fetched) override {
        return enumerator_->Next(count, records, fetched);
    }
    void Release() override {
        enumerator_->Release();
        delete this;
    }

  private:
    IVssEnumObject* enumerator_;
};

class BackupComponentsAdapter final : public VssBackupComponents {
  public:
    explicit BackupComponentsAdapter(IVssBackupComponents* components) : components_(components) {}

    HRESULT InitializeForBackup() override { return components_->InitializeForBackup(nullptr); }
    HRESULT SetContext(LONG context) override { return components_->SetContext(context); }
    HRESULT GatherWriterMetadata(VssAsyncOperation** async) override {
        IVssAsync* object = nullptr;
        const HRESULT result = components_->GatherWriterMetadata(&object);
        return HandOut<AsyncAdapter>(result, object, async);
    }
    HRESULT FreeWriterMetadata() override { return components_->FreeWriterMetadata(); }
    HRESULT StartSnapshotSet(VSS_ID* snapshotSetId) override {
        return components_->StartSnapshotSet(snapshotSetId);
    }
    HRESULT AddToSnapshotSet(VSS_PWSZ volumeName, const VSS_ID& providerId,
                             VSS_ID* snapshotId) override {
        return components_->AddToSnapshotSet(volumeName, providerId, snapshotId);
    }
    HRESULT SetBackupState(bool selectComponents, bool backupBootableSystemState,
                           VSS_BACKUP_TYPE backupType, bool partialFileSupport) override {
        return components_->SetBackupState(selectComponents, backupBootableSystemState, backupType,
                                           partialFileSupport);
    }
    HRESULT PrepareForBackup(VssAsyncOperation** async) override {
        IVssAsync* object = nullptr;
        const HRESULT result = components_->PrepareForBackup(&object);
        return HandOut<AsyncAdapter>(result, object, async);
    }
    HRESULT DoSnapshotSet(VssAsyncOperation** async) override {
        IVssAsync* object = nullptr;
        const HRESULT result = components_->DoSnapshotSet(&object);
        return HandOut<AsyncAdapter>(result, object, async);
    }
    HRESULT AbortBackup() override { return components_->AbortBackup(); }
    HRESULT GetSnapshotProperties(const VSS_ID& snapshotId,
                                  VSS_SNAPSHOT_PROP* properties) override {
        return components_->GetSnapshotProperties(snapshotId, properties);
    }
    HRESULT Query(const VSS_ID& queriedObjectId, VSS_OBJECT_TYPE queriedObjectType,
                  VSS_OBJECT_TYPE returnedObjectsType,
                  VssSnapshotEnumerator** enumerator) override {
        IVssEnumObject* object = nullptr;
        const HRESULT result =
            components_->Query(queriedObjectId, queriedObjectType, returnedObjectsType, &object);
        return HandOut<EnumeratorAdapter>(result, object, enumerator);
    }
    HRESULT DeleteSnapshots(const VSS_ID& sourceObjectId, VSS_OBJECT_TYPE sourceObjectType,
                            bool forceDelete, LONG* deletedSnapshots,
                            VSS_ID* nondeletedSnapshotId) override {
        return components_->DeleteSnapshots(sourceObjectId, sourceObjectType,
                                            forceDelete ? TRUE : FALSE, deletedSnapshots,
                                            nondeletedSnapshotId);
    }
    void Release() override {
        components_->Release();
        delete this;
    }

  private:
    IVssBackupComponents* components_;
};

}  // namespace

HRESULT PlatformVss::InitializeCom() {
    return CoInitialize(nullptr);
}

HRESULT PlatformVss::InitializeComSecurity(DWORD authenticationLevel, DWORD impersonationLevel,
                                           DWORD capabilities) {
    return CoInitializeSecurity(nullptr, -1, nullptr, nullptr, authenticationLevel,
                                impersonationLevel, nullptr, capabilities, nullptr);
}

HRESULT PlatformVss::CreateBackupComponents(VssBackupComponents** backupComponents) {
    IVssBackupComponents* object = nullptr;
    const HRESULT result = create_(&object);
    return HandOut<BackupComponentsAdapter>(result, object, backupComponents);
}

void PlatformVss::FreeSnapshotProperties(VSS_SNAPSHOT_PROP* properties) {
    free_(properties);
}

}  // namespace tw
