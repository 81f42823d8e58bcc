#include "fake_vss.h"

namespace tw::test {
namespace {

using standin::StandInService;
using ObjectId = StandInService::ObjectId;

// The seam's objects, each one of the service's objects.
class SeamObject : public StandInService::FrontEnd {
  public:
    SeamObject(StandInService& service, ObjectId id) : service_(service), id_(id) {}

  protected:
    StandInService& service_;
    ObjectId id_;
};

// Puts a front end around the object the service handed out, if any.
template <typename FrontEnd, typename Seam>
void HandOut(StandInService& service, ObjectId object, Seam** out) {
    *out = object == 0 ? nullptr : service.Keep<FrontEnd>(service, object);
}

class FakeAsync final : public VssAsyncOperation, public SeamObject {
  public:
    using SeamObject::SeamObject;
    HRESULT Wait(DWORD milliseconds) override { return service_.Wait(id_, milliseconds); }
    void Release() override { service_.Release(id_); }
};

class FakeEnumerator final : public VssSnapshotEnumerator, public SeamObject {
  public:
    using SeamObject::SeamObject;
    HRESULT Next(ULONG count, VSS_OBJECT_PROP* records, ULONG* fetched) override {
        return service_.Next(id_, count, records, fetched);
    }
    void Release() override { service_.Release(id_); }
};

class FakeBackupComponents final : public VssBackupComponents, public SeamObject {
  public:
    using SeamObject::SeamObject;

    HRESULT InitializeForBackup() override { return service_.InitializeForBackup(id_, nullptr); }
    HRESULT SetContext(LONG context) override { return service_.SetContext(id_, context); }
    HRESULT GatherWriterMetadata(VssAsyncOperation** async) override {
        ObjectId object = 0;
        const HRESULT result = service_.GatherWriterMetadata(id_, &object);
        HandOut<FakeAsync>(service_, object, async);
        return result;
    }
    HRESULT FreeWriterMetadata() override { return service_.FreeWriterMetadata(id_); }
    HRESULT StartSnapshotSet(VSS_ID* snapshotSetId) override {
        return service_.StartSnapshotSet(id_, snapshotSetId);
    }
    HRESULT AddToSnapshotSet(VSS_PWSZ volumeName, const VSS_ID& providerId,
                             VSS_ID* snapshotId) override {
        return service_.AddToSnapshotSet(id_, volumeName, providerId, snapshotId);
    }
    HRESULT SetBackupState(bool selectComponents, bool backupBootableSystemState,
                           VSS_BACKUP_TYPE backupType, bool partialFileSupport) override {
        return service_.SetBackupState(id_, selectComponents, backupBootableSystemState, backupType,
                                       partialFileSupport);
    }
    HRESULT PrepareForBackup(VssAsyncOperation** async) override {
        ObjectId object = 0;
        const HRESULT result = service_.PrepareForBackup(id_, &object);
        HandOut<FakeAsync>(service_, object, async);
        return result;
    }
    HRESULT DoSnapshotSet(VssAsyncOperation** async) override {
        ObjectId object = 0;
        const HRESULT result = service_.DoSnapshotSet(id_, &object);
        HandOut<FakeAsync>(service_, object, async);
        return result;
    }
    HRESULT AbortBackup() override { return service_.AbortBackup(id_); }
    HRESULT GetSnapshotProperties(const VSS_ID& snapshotId,
                                  VSS_SNAPSHOT_PROP* properties) override {
        return service_.GetSnapshotProperties(id_, snapshotId, properties);
    }
    HRESULT Query(const VSS_ID& queriedObjectId, VSS_OBJECT_TYPE queriedObjectType,
                  VSS_OBJECT_TYPE returnedObjectsType,
                  VssSnapshotEnumerator** enumerator) override {
        ObjectId object = 0;
        const HRESULT result =
            service_.Query(id_, queriedObjectId, queriedObjectType, returnedObjectsType, &object);
        HandOut<FakeEnumerator>(service_, object, enumerator);
        return result;
    }
    HRESULT DeleteSnapshots(const VSS_ID& sourceObjectId, VSS_OBJECT_TYPE sourceObjectType,
                            bool forceDelete, LONG* deletedSnapshots,
                            VSS_ID* nondeletedSnapshotId) override {
        return service_.DeleteSnapshots(id_, sourceObjectId, sourceObjectType, forceDelete,
                                        deletedSnapshots, nondeletedSnapshotId);
    }
    void Release() override { service_.Release(id_); }
};

}  // namespace

HRESULT FakeVss::InitializeCom() {
    return Call("CoInitialize", "");
}

HRESULT FakeVss::InitializeComSecurity(DWORD authenticationLevel, DWORD impersonationLevel,
                                       DWORD capabilities) {
    return CoInitializeSecurity(nullptr, -1, nullptr, nullptr, authenticationLevel,
                                impersonationLevel, nullptr, capabilities, nullptr);
}

HRESULT FakeVss::CreateBackupComponents(VssBackupComponents** backupComponents) {
    ObjectId object = 0;
    const HRESULT result = StandInService::CreateBackupComponents(&object);
    HandOut<FakeBackupComponents>(*this, object, backupComponents);
    return result;
}

void FakeVss::FreeSnapshotProperties(VSS_SNAPSHOT_PROP* properties) {
    StandInService::FreeSnapshotProperties(properties);
}

void RecordingConsole::Out(std::string_view line) {
    out.append(line).append("\n");
    merged.append(line).append("\n");
}

void RecordingConsole::Err(std::string_view line) {
    err.append(line).append("\n");
    merged.append(line).append("\n");
}

}  // namespace tw::test
