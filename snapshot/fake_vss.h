// Host test stand-ins for the VSS service and the console. The fake service is the stand-in
// service (fake_vssapi/fake_vss_service.h) behind the tool's seam: it records every call, release
// and free in one list, takes each call's result from `results`, hands out objects only with a
// success code (as COM does), and notes any use of an object after its release in `misuse`.
#pragma once

#include "console.h"
#include "fake_vss_service.h"
#include "vss_requester.h"

namespace tw::test {

using standin::MakeId;

class FakeVss final : public VssService, public standin::StandInService {
  public:
    using Snapshot = standin::Snapshot;

    // CoInitialize is logged as "CoInitialize", CoInitializeSecurity with the arguments the
    // platform adapter passes, the backup components object's creation as
    // "CreateBackupComponents", a free as "FreeSnapshotProperties id=0x<n>".
    HRESULT InitializeCom() override;
    HRESULT InitializeComSecurity(DWORD authenticationLevel, DWORD impersonationLevel,
                                  DWORD capabilities) override;
    HRESULT CreateBackupComponents(VssBackupComponents** backupComponents) override;
    void FreeSnapshotProperties(VSS_SNAPSHOT_PROP* properties) override;
};

// Records the lines written to each stream, and both in program order.
class RecordingConsole final : public Console {
  public:
    void Out(std::string_view line) override;
    void Err(std::string_view line) override;
    std::string out, err, merged;
};

}  // namespace tw::test
