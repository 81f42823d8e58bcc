#include "snapshot_create.h"

#include <vector>

namespace tw {

std::string DeviceObjectBytes(const WCHAR* deviceObject) {
    std::string bytes;
    if (deviceObject == nullptr) {
        return bytes;
    }
    for (const WCHAR* unit = deviceObject; *unit != 0; ++unit) {
        bytes.push_back(static_cast<char>(static_cast<unsigned>(*unit) & 0xFFu));
    }
    return bytes;
}

void CreateSnapshot(const std::wstring& volumeName, SnapshotState& state, VssService& vss,
                    Console& console) {
    // The whole name with its terminator, however long: a shortened name could name another
    // volume.
    std::vector<WCHAR> volume(volumeName.begin(), volumeName.end());
    volume.push_back(0);

    VssAsyncOperation* snapshotAsync = nullptr;
    bool writerMetadataRequested = false;
    // What a creation that ends without its result line takes back first: a backup begun with
    // StartSnapshotSet is aborted, so that the service closes the snapshot set and the writers
    // hear of it; a snapshot already taken is deleted, since no line names it and, persistent,
    // it would hold its volume's shadow storage until an administrator found it.
    bool backupStarted = false;
    bool snapshotTaken = false;
    bool created = false;
    // Gives back what is held when the creation ends, on every path, the most recent first:
    // the snapshot's wait object, the preparation's, the metadata gathering's, the writer
    // metadata, and last the backup components object. A reference that a failing call handed
    // out anyway is given back too.
    const OnScopeExit cleanUp([&] {
        if (!created && state.backupComponents != nullptr) {
            // Neither result is judged: nothing more could be done about either.
            if (snapshotTaken) {
                LONG deleted = 0;
                VSS_ID notDeleted{};
                state.backupComponents->DeleteSnapshots(state.snapshotId, VSS_OBJECT_SNAPSHOT,
                                                        false, &deleted, &notDeleted);
            }
            if (backupStarted) {
                state.backupComponents->AbortBackup();
            }
        }
        ReleaseReference(snapshotAsync);
        ReleaseReference(state.prepareAsync);
        ReleaseReference(state.metadataAsync);
        if (writerMetadataRequested && state.backupComponents != nullptr) {
            state.backupComponents->FreeWriterMetadata();
        }
        ReleaseReference(state.backupComponents);
    });

    const HRESULT com = vss.InitializeCom();
    if (com != S_OK && com != S_FALSE) {
        console.Err("Error : CoInitialize() failed!");
    }
    // Writers and the service call back into this process under their own accounts: without this
    // the process's default security refuses them. Not judged: it fails harmlessly when the
    // process's security is already set.
    vss.InitializeComSecurity(RPC_C_AUTHN_LEVEL_PKT_PRIVACY, RPC_C_IMP_LEVEL_IDENTIFY,
                              EOAC_DYNAMIC_CLOAKING);
    if (vss.CreateBackupComponents(&state.backupComponents) != S_OK ||
        state.backupComponents == nullptr) {
        console.Err("Error : Failed to create VssComponents...");
        return;
    }
    VssBackupComponents& components = *state.backupComponents;
    if (components.InitializeForBackup() != S_OK) {
        console.Err("Error : Failed to initialize for backup...");
        return;
    }
    HRESULT result = components.SetContext(VSS_CTX_CLIENT_ACCESSIBLE_WRITERS);
    if (result != S_OK) {
        console.Err(WithResultCode("Error : Failed to SetContext(), returned = ", result));
        return;
    }
    writerMetadataRequested = true;
    if (components.GatherWriterMetadata(&state.metadataAsync) != S_OK ||
        state.metadataAsync == nullptr) {
        console.Err("Error : Failed to gather writer metadata...");
        return;
    }
    console.Out("Info : Gathering metadata from writers...");
    // Only the wait's own result counts, not the status of the operation waited for.
    if (state.metadataAsync->Wait(INFINITE) != S_OK) {
        console.Err("Error : Failed to gather metadata from writers...");
        return;
    }
    console.Out("Info : Calling StartSnapshotSet()...");
    result = components.StartSnapshotSet(&state.snapshotId);
    if (result != S_OK) {
        console.Err(WithResultCode("Error : Failed to StartSnapshotSet(), returned = ", result));
        return;
    }
    backupStarted = true;
    console.Out("Info : Calling AddToSnapshotSet()...");
    // GUID_NULL lets the system choose the provider.
    result = components.AddToSnapshotSet(volume.data(), GUID_NULL, &state.snapshotId);
    if (result != S_OK) {
        console.Err(WithResultCode("Error : AddToSnapshotSet() failed, returned = ", result));
        return;
    }
    result = components.SetBackupState(false, false, VSS_BT_COPY, false);
    if (result != S_OK) {
        console.Err(WithResultCode("Error : SetBackupState() failed, returned = ", result));
        return;
    }
    console.Out("Info : Preparing for backup...");
    if (components.PrepareForBackup(&state.prepareAsync) != S_OK || state.prepareAsync == nullptr) {
        console.Err("Error : Failed to prepare for backup...");
        return;
    }
    if (state.prepareAsync->Wait(INFINITE) != S_OK) {
        console.Err("Error : Failed to wait after preparing for backup...");
        return;
    }
    if (components.DoSnapshotSet(&snapshotAsync) != S_OK || snapshotAsync == nullptr) {
        console.Err("Error : Failed to DoSnapshotSet()...");
        return;
    }
    console.Out("Info : Taking snapshots...");
    if (snapshotAsync->Wait(INFINITE) != S_OK) {
        console.Err("Error : Failed to wait while taking snapshots...");
        return;
    }
    // The snapshot exists from here on; AddToSnapshotSet wrote its identifier.
    snapshotTaken = true;
    console.Out("Info : Getting the snapshot device object from the properties...");
    if (components.GetSnapshotProperties(state.snapshotId, &state.snapshotProperties) != S_OK) {
        console.Err("Error : SnapshotProperties() failed.");
        return;
    }
    console.Out("Info : Managed to create a snapshot...");
    // The whole name, however long: a shortened name could never be deleted later.
    console.Out("CREATED : " +
                DeviceObjectBytes(state.snapshotProperties.m_pwszSnapshotDeviceObject));
    // The snapshot is the caller's now; the backup is neither completed nor aborted.
    created = true;
}

}  // namespace tw
