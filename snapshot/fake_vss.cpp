#include "fake_vss.h"

#include <algorithm>
#include <cstdio>

namespace tw::test {
namespace {

std::string IdText(const VSS_ID& id) {
    char text[32];
    std::snprintf(text, sizeof(text), "id=0x%x", static_cast<unsigned>(id.Data1));
    return text;
}

std::string GuidText(const VSS_ID& id) {
    return IsEqualGUID(id, GUID_NULL) ? "GUID_NULL" : "other";
}

// Hands out `object` when the result is a success code, as COM does.
template <typename Seam>
HRESULT HandOut(HRESULT result, Seam* object, Seam** out) {
    *out = SUCCEEDED(result) ? object : nullptr;
    return result;
}

class FakeAsync final : public VssAsyncOperation, public FakeVss::Object {
  public:
    using Object::Object;
    HRESULT Wait(DWORD milliseconds) override {
        return Call("Wait " + name_, std::to_string(milliseconds));
    }
    void Release() override { Released(); }
};

class FakeEnumerator final : public VssSnapshotEnumerator, public FakeVss::Object {
  public:
    FakeEnumerator(FakeVss& vss, std::vector<FakeVss::Snapshot> snapshots)
        : Object(vss, "enumerator"), snapshots_(std::move(snapshots)) {}
    HRESULT Next(ULONG count, VSS_OBJECT_PROP* records, ULONG* fetched) override {
        Call("Next", std::to_string(count));
        if (next_ == snapshots_.size()) {
            *fetched = 0;
            return S_FALSE;
        }
        const FakeVss::Snapshot& snapshot = snapshots_[next_++];
        records[0].Type = VSS_OBJECT_SNAPSHOT;
        records[0].Obj.Snap.m_SnapshotId = MakeId(snapshot.id);
        records[0].Obj.Snap.m_pwszSnapshotDeviceObject = vss_.AllocateString(snapshot.deviceObject);
        *fetched = 1;
        return S_OK;
    }
    void Release() override { Released(); }

  private:
    std::vector<FakeVss::Snapshot> snapshots_;
    size_t next_ = 0;
};

class FakeBackupComponents final : public VssBackupComponents, public FakeVss::Object {
  public:
    explicit FakeBackupComponents(FakeVss& vss) : Object(vss, "backupComponents") {}

    HRESULT InitializeForBackup() override { return Call("InitializeForBackup"); }
    HRESULT SetContext(LONG context) override {
        return Call("SetContext", std::to_string(context));
    }
    HRESULT GatherWriterMetadata(VssAsyncOperation** async) override {
        return MakeAsync("GatherWriterMetadata", "metadata", async);
    }
    HRESULT FreeWriterMetadata() override { return Call("FreeWriterMetadata"); }
    HRESULT StartSnapshotSet(VSS_ID* snapshotSetId) override {
        const HRESULT result = Call("StartSnapshotSet");
        *snapshotSetId = MakeId(vss_.snapshotSetId);
        return result;
    }
    HRESULT AddToSnapshotSet(VSS_PWSZ volumeName, const VSS_ID& providerId,
                             VSS_ID* snapshotId) override {
        const HRESULT result = Call("AddToSnapshotSet", "provider=" + GuidText(providerId));
        vss_.addedVolumes.push_back(volumeName);
        *snapshotId = MakeId(vss_.newSnapshotId);
        return result;
    }
    HRESULT SetBackupState(bool selectComponents, bool backupBootableSystemState,
                           VSS_BACKUP_TYPE backupType, bool partialFileSupport) override {
        return Call("SetBackupState", std::to_string(selectComponents) + " " +
                                          std::to_string(backupBootableSystemState) + " " +
                                          std::to_string(backupType) + " " +
                                          std::to_string(partialFileSupport));
    }
    HRESULT PrepareForBackup(VssAsyncOperation** async) override {
        return MakeAsync("PrepareForBackup", "prepare", async);
    }
    HRESULT DoSnapshotSet(VssAsyncOperation** async) override {
        return MakeAsync("DoSnapshotSet", "snapshot", async);
    }
    HRESULT GetSnapshotProperties(const VSS_ID& snapshotId,
                                  VSS_SNAPSHOT_PROP* properties) override {
        const HRESULT result = Call("GetSnapshotProperties", IdText(snapshotId));
        if (result == S_OK) {
            properties->m_SnapshotId = snapshotId;
            properties->m_pwszSnapshotDeviceObject = vss_.AllocateString(vss_.newDeviceObject);
        }
        return result;
    }
    HRESULT Query(const VSS_ID& queriedObjectId, VSS_OBJECT_TYPE queriedObjectType,
                  VSS_OBJECT_TYPE returnedObjectsType,
                  VssSnapshotEnumerator** enumerator) override {
        const HRESULT result =
            Call("Query", GuidText(queriedObjectId) + " " + std::to_string(queriedObjectType) +
                              " " + std::to_string(returnedObjectsType));
        return HandOut<VssSnapshotEnumerator>(
            result, SUCCEEDED(result) ? vss_.Make<FakeEnumerator>(vss_.snapshots) : nullptr,
            enumerator);
    }
    HRESULT DeleteSnapshots(const VSS_ID& sourceObjectId, VSS_OBJECT_TYPE sourceObjectType,
                            bool forceDelete, LONG* deletedSnapshots,
                            VSS_ID* nondeletedSnapshotId) override {
        HRESULT result = Call("DeleteSnapshots", IdText(sourceObjectId) +
                                                     " type=" + std::to_string(sourceObjectType) +
                                                     " force=" + std::to_string(forceDelete));
        *deletedSnapshots = 0;
        *nondeletedSnapshotId = GUID_NULL;
        if (result == S_OK) {
            auto& list = vss_.snapshots;
            const auto found = std::find_if(list.begin(), list.end(), [&](const auto& s) {
                return s.id == sourceObjectId.Data1;
            });
            if (found == list.end()) {
                return MakeHresult(0x80042308u);  // VSS_E_OBJECT_NOT_FOUND
            }
            list.erase(found);
            *deletedSnapshots = 1;
        }
        return result;
    }
    void Release() override { Released(); }

  private:
    HRESULT MakeAsync(const std::string& method, const std::string& name,
                      VssAsyncOperation** async) {
        const HRESULT result = Call(method);
        return HandOut<VssAsyncOperation>(
            result, SUCCEEDED(result) ? vss_.Make<FakeAsync>(name) : nullptr, async);
    }
};

}  // namespace

VSS_ID MakeId(uint32_t n) {
    VSS_ID id{};
    id.Data1 = n;
    id.Data4[7] = 0x42;  // never GUID_NULL, even for 0
    return id;
}

FakeVss::FakeVss() = default;
FakeVss::~FakeVss() = default;

HRESULT FakeVss::Call(const std::string& name, const std::string& arguments) {
    calls.push_back(arguments.empty() ? name : name + " " + arguments);
    const auto scripted = results.find(name);
    return scripted == results.end() ? S_OK : scripted->second;
}

WCHAR* FakeVss::AllocateString(const std::wstring& text) {
    auto copy = std::make_unique<WCHAR[]>(text.size() + 1);
    std::copy(text.begin(), text.end(), copy.get());
    WCHAR* raw = copy.get();
    liveStrings_[raw] = std::move(copy);
    return raw;
}

HRESULT FakeVss::InitializeCom() {
    return Call("CoInitialize");
}

HRESULT FakeVss::CreateBackupComponents(VssBackupComponents** backupComponents) {
    const HRESULT result = Call("CreateBackupComponents");
    return HandOut<VssBackupComponents>(
        result, SUCCEEDED(result) ? Make<FakeBackupComponents>() : nullptr, backupComponents);
}

void FakeVss::FreeSnapshotProperties(VSS_SNAPSHOT_PROP* properties) {
    calls.push_back("FreeSnapshotProperties " + IdText(properties->m_SnapshotId));
    if (liveStrings_.erase(properties->m_pwszSnapshotDeviceObject) == 0) {
        misuse.push_back(calls.back() + " of unknown properties");
    }
    properties->m_pwszSnapshotDeviceObject = nullptr;
}

HRESULT FakeVss::Object::Call(const std::string& method, const std::string& arguments) {
    if (released_) {
        vss_.misuse.push_back(method + " on released " + name_);
    }
    return vss_.Call(method, arguments);
}

void FakeVss::Object::Released() {
    vss_.calls.push_back("Release " + name_);
    if (released_) {
        vss_.misuse.push_back("second Release of " + name_);
    }
    released_ = true;
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
