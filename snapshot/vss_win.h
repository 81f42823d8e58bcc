// The Windows side of the VSS seam: thin adapters over IVssBackupComponents, IVssAsync and
// IVssEnumObject, and the two entry points of VSSAPI.DLL.
#pragma once

#include <vsbackup.h>

#include "vss_requester.h"

namespace tw {

using CreateBackupComponentsFunction = HRESULT(STDAPICALLTYPE*)(IVssBackupComponents**);
using FreeSnapshotPropertiesFunction = void(APIENTRY*)(VSS_SNAPSHOT_PROP*);

// The platform's service. Every call goes through unchanged: COM with CoInitialize(nullptr) and
// CoInitializeSecurity (no security descriptor, authentication services chosen by COM), the
// backup components object from `create` (CreateVssBackupComponentsInternal unless a test gives
// another source), and the properties freed with `free` (VssFreeSnapshotPropertiesInternal).
class PlatformVss final : public VssService {
  public:
    PlatformVss(CreateBackupComponentsFunction create = CreateVssBackupComponentsInternal,
                FreeSnapshotPropertiesFunction free = VssFreeSnapshotPropertiesInternal)
        : create_(create), free_(free) {}
    HRESULT InitializeCom() override;
    HRESULT InitializeComSecurity(DWORD authenticationLevel, DWORD impersonationLevel,
                                  DWORD capabilities) override;
    // Wraps the object the platform hands out; its reference goes to the caller with the wrapper.
    HRESULT CreateBackupComponents(VssBackupComponents** backupComponents) override;
    void FreeSnapshotProperties(VSS_SNAPSHOT_PROP* properties) override;

  private:
    CreateBackupComponentsFunction create_;
    FreeSnapshotPropertiesFunction free_;
};

}  // namespace tw
