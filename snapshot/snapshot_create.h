// Making one persistent, client-accessible VSS snapshot of a volume and printing its device object
// name.
#pragma once

#include <string>

#include "console.h"
#include "vss_requester.h"

namespace tw {

// The creation's working record. The caller provides it with every reference null and the
// properties zeroed; the creation fills it and gives back every reference it obtained.
struct SnapshotState {
    VssBackupComponents* backupComponents = nullptr;
    VssAsyncOperation* metadataAsync = nullptr;
    VssAsyncOperation* prepareAsync = nullptr;
    // Filled by GetSnapshotProperties; only the device object name is used. The strings in it stay
    // allocated: the process ends right after the creation.
    VSS_SNAPSHOT_PROP snapshotProperties{};
    // The new snapshot set's identifier, then the new snapshot's.
    VSS_ID snapshotId{};
};

// Takes a snapshot of `volumeName` (passed to the service as given, whatever its length) as a copy
// backup. Progress goes to standard output as Info lines, a failure to standard error as one Error
// line; on success the last line is "CREATED : " followed by the snapshot's device object name,
// each UTF-16 unit cut to its low 8 bits. The snapshot outlives the process. A creation that fails
// after StartSnapshotSet leaves nothing behind: it aborts the backup and deletes a snapshot that
// was already taken, writing no line about either.
void CreateSnapshot(const std::wstring& volumeName, SnapshotState& state, VssService& vss,
                    Console& console);

// The byte form of a device object name in the result line: each UTF-16 unit up to the terminator
// becomes one byte, its low 8 bits, with no code-page conversion. A null name gives no bytes.
std::string DeviceObjectBytes(const WCHAR* deviceObject);

}  // namespace tw
