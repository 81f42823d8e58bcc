#include "snapshot_delete.h"

#include <cstdint>
#include <string_view>

namespace tw {
namespace {

// Equal only with the same length and the same units: case, slashes and a trailing backslash all
// count. A record without a name matches nothing.
bool IsSameName(const std::wstring& widened, const WCHAR* deviceObject) {
    return deviceObject != nullptr && std::wstring_view(deviceObject) == widened;
}

}  // namespace

std::wstring WidenArgument(const std::string& bytes) {
    std::wstring widened;
    widened.reserve(bytes.size());
    for (const char byte : bytes) {
        const auto extended = static_cast<int16_t>(static_cast<signed char>(byte));
        widened.push_back(static_cast<wchar_t>(static_cast<uint16_t>(extended)));
    }
    return widened;
}

void DeleteSnapshot(const std::string& deviceObject, VssService& vss, Console& console) {
    const std::wstring widened = WidenArgument(deviceObject);

    // The set-up results are not judged; without an object there is nothing to ask.
    vss.InitializeCom();
    VssBackupComponents* backupComponents = nullptr;
    vss.CreateBackupComponents(&backupComponents);
    if (backupComponents == nullptr) {
        return;
    }
    VssSnapshotEnumerator* enumerator = nullptr;
    // The enumerator goes back before the backup components object, on every path.
    const OnScopeExit releaseAll([&] {
        ReleaseReference(enumerator);
        ReleaseReference(backupComponents);
    });
    backupComponents->InitializeForBackup();
    backupComponents->SetContext(VSS_CTX_CLIENT_ACCESSIBLE_WRITERS);
    if (backupComponents->Query(GUID_NULL, VSS_OBJECT_NONE, VSS_OBJECT_SNAPSHOT, &enumerator) !=
            S_OK ||
        enumerator == nullptr) {
        return;
    }
    for (;;) {
        VSS_OBJECT_PROP record{};
        ULONG fetched = 0;
        enumerator->Next(1, &record, &fetched);
        if (fetched == 0) {
            return;
        }
        VSS_SNAPSHOT_PROP& snapshot = record.Obj.Snap;
        // Every record fetched is freed, the ones passed over as well as the one acted on.
        const OnScopeExit freeRecord([&] { vss.FreeSnapshotProperties(&snapshot); });
        if (!IsSameName(widened, snapshot.m_pwszSnapshotDeviceObject)) {
            continue;
        }
        LONG deletedSnapshots = 0;
        VSS_ID nondeletedSnapshotId{};
        if (backupComponents->DeleteSnapshots(snapshot.m_SnapshotId, VSS_OBJECT_SNAPSHOT, false,
                                              &deletedSnapshots, &nondeletedSnapshotId) == S_OK) {
            console.Out("Info : Managed to delete the snapshot: " + deviceObject);
        }
        // The first match ends the run, whatever became of its deletion.
        return;
    }
}

}  // namespace tw
