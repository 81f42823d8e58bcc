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

// How the stand-in logs a snapshot's identifier.
inline std::string IdText(unsigned id) {
    char text[32];
    std::snprintf(text, sizeof(text), "id=0x%x", id);
    return text;
}

// The calls of a successful creation of `volume` (UTF-8, `units` UTF-16 units long) whose new
// snapshot gets the identifier `snapshotId`: COM and its security for a requester, then VSS.
inline Calls CreationCalls(const std::string& volume, size_t units, unsigned snapshotId) {
    return {
        "CoInitialize",
        // No security descriptor (anyone may call back), authentication services chosen by COM,
        // packet privacy, identify, dynamic cloaking.
        "CoInitializeSecurity null -1 null null 6 2 null 0x40 null",
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
        "GetSnapshotProperties " + IdText(snapshotId),
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
    bool abortsBackup;      // it comes after StartSnapshotSet succeeded
    bool deletesSnapshot;   // it comes after the snapshot was taken
};
inline const std::vector<FailingStep> kFailingSteps = {
    {"CreateBackupComponents", 0, "Error : Failed to create VssComponents...", false, nullptr,
     "backupComponents", false, false},
    {"InitializeForBackup", 0, "Error : Failed to initialize for backup...", false, &kC1, nullptr,
     false, false},
    {"SetContext", 0, "Error : Failed to SetContext(), returned = ", true, &kC1, nullptr, false,
     false},
    {"GatherWriterMetadata", 0, "Error : Failed to gather writer metadata...", false, &kC2,
     "metadata", false, false},
    {"Wait metadata", 1, "Error : Failed to gather metadata from writers...", false, &kC3, nullptr,
     false, false},
    {"StartSnapshotSet", 2, "Error : Failed to StartSnapshotSet(), returned = ", true, &kC3,
     nullptr, false, false},
    {"AddToSnapshotSet", 3, "Error : AddToSnapshotSet() failed, returned = ", true, &kC3, nullptr,
     true, false},
    {"SetBackupState", 3, "Error : SetBackupState() failed, returned = ", true, &kC3, nullptr, true,
     false},
    {"PrepareForBackup", 4, "Error : Failed to prepare for backup...", false, &kC3, "prepare", true,
     false},
    {"Wait prepare", 4, "Error : Failed to wait after preparing for backup...", false, &kC4,
     nullptr, true, false},
    {"DoSnapshotSet", 4, "Error : Failed to DoSnapshotSet()...", false, &kC4, "snapshot", true,
     false},
    {"Wait snapshot", 5, "Error : Failed to wait while taking snapshots...", false, &kC5, nullptr,
     true, false},
    {"GetSnapshotProperties", 6, "Error : SnapshotProperties() failed.", false, &kC5, nullptr, true,
     true},
};

// The calls of a creation whose step `failing` fails, out of the calls `all` of a successful one
// whose snapshot gets the identifier `snapshotId`: those up to the failing call; what the creation
// takes back before its clean-up (its snapshot, deleted by that identifier, then its backup,
// aborted); the release of the object the failing call handed out if `handedOut`; then its
// clean-up level.
inline Calls CallsOfFailure(const Calls& all, const FailingStep& failing, bool handedOut,
                            unsigned snapshotId) {
    Calls calls;
    for (const std::string& call : all) {
        calls.push_back(call);
        if (call.rfind(failing.step, 0) == 0) {
            break;
        }
    }
    if (failing.deletesSnapshot) {
        calls.push_back("DeleteSnapshots " + IdText(snapshotId) + " type=3 force=0");
    }
    if (failing.abortsBackup) {
        calls.push_back("AbortBackup");
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

// The calls with which a deletion starts.
inline const Calls kDeletionSetUp = {"CoInitialize", "CreateBackupComponents",
                                     "InitializeForBackup document=null", "SetContext 13",
                                     "Query GUID_NULL 1 3"};

}  // namespace tw::test
