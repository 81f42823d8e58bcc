// The seam between the snapshot logic and the platform's Volume Shadow Copy service: the requester
// operations that creating and deleting a snapshot make, in the platform's own terms. The Windows
// adapters (vss_win.h) carry each call to IVssBackupComponents, IVssAsync, IVssEnumObject and
// VSSAPI.DLL unchanged; the host tests put a scripted fake behind it.
//
// Every object handed out carries one reference for the receiver, who gives it back with Release
// exactly once. A result of S_OK is the only success the logic accepts.
#pragma once

#include "vss_types.h"

namespace tw {

// A pending operation (IVssAsync).
class VssAsyncOperation {
  public:
    // Blocks until the operation has ended or `milliseconds` have passed.
    virtual HRESULT Wait(DWORD milliseconds) = 0;
    virtual void Release() = 0;

  protected:
    virtual ~VssAsyncOperation() = default;
};

// An enumeration of the objects a query found (IVssEnumObject).
class VssSnapshotEnumerator {
  public:
    // Fills up to `count` records; `fetched` says how many.
    virtual HRESULT Next(ULONG count, VSS_OBJECT_PROP* records, ULONG* fetched) = 0;
    virtual void Release() = 0;

  protected:
    virtual ~VssSnapshotEnumerator() = default;
};

// The requester object (IVssBackupComponents), with the operations the tool makes.
class VssBackupComponents {
  public:
    // Prepares a backup without a previously saved backup components document.
    virtual HRESULT InitializeForBackup() = 0;
    virtual HRESULT SetContext(LONG context) = 0;
    virtual HRESULT GatherWriterMetadata(VssAsyncOperation** async) = 0;
    virtual HRESULT FreeWriterMetadata() = 0;
    virtual HRESULT StartSnapshotSet(VSS_ID* snapshotSetId) = 0;
    virtual HRESULT AddToSnapshotSet(VSS_PWSZ volumeName, const VSS_ID& providerId,
                                     VSS_ID* snapshotId) = 0;
    virtual HRESULT SetBackupState(bool selectComponents, bool backupBootableSystemState,
                                   VSS_BACKUP_TYPE backupType, bool partialFileSupport) = 0;
    virtual HRESULT PrepareForBackup(VssAsyncOperation** async) = 0;
    virtual HRESULT DoSnapshotSet(VssAsyncOperation** async) = 0;
    // Tells the service and the writers that the backup begun with StartSnapshotSet will not be
    // completed.
    virtual HRESULT AbortBackup() = 0;
    virtual HRESULT GetSnapshotProperties(const VSS_ID& snapshotId,
                                          VSS_SNAPSHOT_PROP* properties) = 0;
    virtual HRESULT Query(const VSS_ID& queriedObjectId, VSS_OBJECT_TYPE queriedObjectType,
                          VSS_OBJECT_TYPE returnedObjectsType,
                          VssSnapshotEnumerator** enumerator) = 0;
    virtual HRESULT DeleteSnapshots(const VSS_ID& sourceObjectId, VSS_OBJECT_TYPE sourceObjectType,
                                    bool forceDelete, LONG* deletedSnapshots,
                                    VSS_ID* nondeletedSnapshotId) = 0;
    virtual void Release() = 0;

  protected:
    virtual ~VssBackupComponents() = default;
};

// The process-wide entry points: COM on this thread, and VSSAPI.DLL.
class VssService {
  public:
    virtual ~VssService() = default;
    // Apartment-threaded COM on the calling thread (CoInitialize).
    virtual HRESULT InitializeCom() = 0;
    // The process's COM security (CoInitializeSecurity): any caller may call back into the process
    // (no security descriptor), with the authentication services COM chooses, at these levels
    // and capabilities.
    virtual HRESULT InitializeComSecurity(DWORD authenticationLevel, DWORD impersonationLevel,
                                          DWORD capabilities) = 0;
    virtual HRESULT CreateBackupComponents(VssBackupComponents** backupComponents) = 0;
    // Frees the strings that the service allocated in a snapshot's properties.
    virtual void FreeSnapshotProperties(VSS_SNAPSHOT_PROP* properties) = 0;
};

// Gives back a held reference, if any, and forgets it.
template <typename Reference>
void ReleaseReference(Reference*& reference) {
    if (reference != nullptr) {
        Reference* held = reference;
        reference = nullptr;
        held->Release();
    }
}

// Runs an action when the scope ends, on every path out of it.
template <typename Action>
class OnScopeExit {
  public:
    explicit OnScopeExit(Action action) : action_(action) {}
    ~OnScopeExit() { action_(); }
    OnScopeExit(const OnScopeExit&) = delete;
    OnScopeExit& operator=(const OnScopeExit&) = delete;

  private:
    Action action_;
};

}  // namespace tw
