// Test data shared by the host tests and the Windows tests of the snapshot tool: the lines it
// writes, and the VSS calls it makes as the stand-in service logs them (fake_vssapi/).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace tw::test {

using Calls = std::vector<std::string>;

inline Calls Concat(Calls a, const Calls& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The VSS calls of a successful creation of `volume` (UTF-8, `units` UTF-16 units long) whose new
// snapshot gets the identifier `snapshotId`. CoInitialize is not a VSS call and not among them.
inline Calls CreationCalls(const std::string& volume, size_t units, unsigned snapshotId) {
    char id[32];
    std::snprintf(id, sizeof(id), "id=0x%x", snapshotId);
    return {
        "CreateBackupComponents",
        "InitializeForBackup document=null",
        "SetContext 13",
        "GatherWriterMetadata",
        "Wait metadata 4294967295",
        "StartSnapshotSet",
        "AddToSnapshotSet volume=\"" + volume + "\" units=" + std::to_string(units) +
            " provider=GUID_NULL",
        "SetBackupState 0 0 5 0",
        "PrepareForBackup",
        "Wait prepare 4294967295",
        "DoSnapshotSet",
        "Wait snapshot 4294967295",
        // The snapshot's identifier, which AddToSnapshotSet wrote over the set's.
        std::string("GetSnapshotProperties ") + id,
    };
}

// The first seven lines of a successful creation; the eighth is "CREATED : " and the name.
inline const std::vector<std::string> kInfoLines = {
    "Info : Gathering metadata from writers...",
    "Info : Calling StartSnapshotSet()...",
    "Info : Calling AddToSnapshotSet()...",
    "Info : Preparing for backup...",
    "Info : Taking snapshots...",
    "Info : Getting the snapshot device object from the properties...",
    "Info : Managed to create a snapshot...",
};

// The clean-up levels: what each releases, in order.
inline const Calls kC1 = {"Release backupComponents"};
inline const Calls kC2 = {"FreeWriterMetadata", "Release backupComponents"};
inline const Calls kC3 = {"Release metadata", "FreeWriterMetadata", "Release backupComponents"};
inline const Calls kC4 = {"Release prepare", "Release metadata", "FreeWriterMetadata",
                          "Release backupComponents"};
inline const Calls kC5 = {"Release snapshot", "Release prepare", "Release metadata",
                          "FreeWriterMetadata", "Release backupComponents"};

// Each step of a creation that can fail, with what the tool writes and gives back then.
struct FailingStep {
    const char* step;       // the failing call's log name
    size_t infoLines;       // standard-output lines written before it
    const char* error;      // its Error line
    bool printsCode;        // the line ends in the result code
    const Calls* level;     // its clean-up level (null: nothing held)
    const char* handedOut;  // the object the call hands out, if it hands one out
};
inline const std::vector<FailingStep> kFailingSteps = {
    {"CreateBackupComponents", 0, "Error : Failed to create VssComponents...", false, nullptr,
     "backupComponents"},
    {"InitializeForBackup", 0, "Error : Failed to initialize for backup...", false, &kC1, nullptr},
    {"SetContext", 0, "Error : Failed to SetContext(), returned = ", true, &kC1, nullptr},
    {"GatherWriterMetadata", 0, "Error : Failed to gather writer metadata...", false, &kC2,
     "metadata"},
    {"Wait metadata", 1, "Error : Failed to gather metadata from writers...", false, &kC3, nullptr},
    {"StartSnapshotSet", 2, "Error : Failed to StartSnapshotSet(), returned = ", true, &kC3,
     nullptr},
    {"AddToSnapshotSet", 3, "Error : AddToSnapshotSet() failed, returned = ", true, &kC3, nullptr},
    {"SetBackupState", 3, "Error : SetBackupState() failed, returned = ", true, &kC3, nullptr},
    {"PrepareForBackup", 4, "Error : Failed to prepare for backup...", false, &kC3, "prepare"},
    {"Wait prepare", 4, "Error : Failed to wait after preparing for backup...", false, &kC4,
     nullptr},
    {"DoSnapshotSet", 4, "Error : Failed to DoSnapshotSet()...", false, &kC4, "snapshot"},
    {"Wait snapshot", 5, "Error : Failed to wait while taking snapshots...", false, &kC5, nullptr},
    {"GetSnapshotProperties", 6, "Error : SnapshotProperties() failed.", false, &kC5, nullptr},
};

// The calls of a creation whose step `failing` fails, out of the calls `all` of a successful one:
// those up to the failing call, the release of the object it handed out if `handedOut`, then its
// clean-up level.
inline Calls CallsOfFailure(const Calls& all, const FailingStep& failing, bool handedOut) {
    Calls calls;
    for (const std::string& call : all) {
        calls.push_back(call);
        if (call.rfind(failing.step, 0) == 0) {
            break;
        }
    }
    if (handedOut && failing.handedOut != nullptr) {
        calls.push_back(std::string("Release ") + failing.handedOut);
    }
    if (failing.level != nullptr) {
        calls.insert(calls.end(), failing.level->begin(), failing.level->end());
    }
    return calls;
}

// The first `count` Info lines of a creation, each ended with `end`.
inline std::string InfoLines(size_t count, const std::string& end) {
    std::string text;
    for (size_t i = 0; i < count; ++i) {
        text += kInfoLines[i] + end;
    }
    return text;
}

// The VSS calls with which a deletion starts.
inline const Calls kDeletionSetUp = {"CreateBackupComponents", "InitializeForBackup document=null",
                                     "SetContext 13", "Query GUID_NULL 1 3"};

}  // namespace tw::test
