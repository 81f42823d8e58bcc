// The Volume Shadow Copy declarations that the snapshot logic uses, and the COM security values a
// requester sets. A Windows build takes them from the platform headers, so the logic hands its
// records straight to the platform; the host build gets minimal stand-ins with the same names and
// values.
#pragma once

#include "win_types.h"

#ifdef _WIN32

#include <vss.h>

#else  // host build

using VSS_ID = GUID;
using VSS_PWSZ = WCHAR*;

enum VSS_OBJECT_TYPE { VSS_OBJECT_NONE = 1, VSS_OBJECT_SNAPSHOT = 3 };
enum VSS_BACKUP_TYPE { VSS_BT_COPY = 5 };
// Persistent (1), client accessible (4), not released with the backup components object (8).
enum VSS_SNAPSHOT_CONTEXT { VSS_CTX_CLIENT_ACCESSIBLE_WRITERS = 13 };

struct VSS_SNAPSHOT_PROP {
    VSS_ID m_SnapshotId;
    VSS_PWSZ m_pwszSnapshotDeviceObject;
};
union VSS_OBJECT_UNION {
    VSS_SNAPSHOT_PROP Snap;
};
struct VSS_OBJECT_PROP {
    VSS_OBJECT_TYPE Type;
    VSS_OBJECT_UNION Obj;
};

constexpr DWORD INFINITE = 0xFFFFFFFFu;

// Every packet authenticated and encrypted; servers may identify, not impersonate, this process;
// the identity of a call is that of the thread at the time of the call.
constexpr DWORD RPC_C_AUTHN_LEVEL_PKT_PRIVACY = 6;
constexpr DWORD RPC_C_IMP_LEVEL_IDENTIFY = 2;
enum EOLE_AUTHENTICATION_CAPABILITIES { EOAC_DYNAMIC_CLOAKING = 0x40 };

#endif  // _WIN32
