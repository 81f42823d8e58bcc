// Test tooling, never shipped: the stand-in service (fake_vss_service.h) behind the platform's own
// VSS interfaces, IVssBackupComponents, IVssAsync and IVssEnumObject, with the layouts of the
// Windows SDK headers. The stand-in vssapi.dll hands these objects out to twVss_64.exe; the adapter
// test drives the tool's Windows adapters against them in its own process. Every method the tool
// does not call answers E_NOTIMPL (QueryInterface: E_NOINTERFACE) and is noted as unexpected.
#pragma once

#include <vsbackup.h>

#include "fake_vss_service.h"

namespace tw::standin {

// What CreateVssBackupComponentsInternal does: the service's CreateBackupComponents, with the
// object it hands out, if any, put behind IVssBackupComponents. The objects live as long as the
// service.
HRESULT CreateBackupComponentsObject(StandInService& service, IVssBackupComponents** out);

}  // namespace tw::standin
