// Host test stand-ins for the VSS service and the console. The fake service records every call,
// every release and every free in one list, takes each call's result from a script, hands out
// objects only with a success code (as COM does), and notes any use of an object after its release.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "console.h"
#include "vss_requester.h"

namespace tw::test {

// A VSS_ID whose first field is `n`; the log writes it as "id=0x<n>".
VSS_ID MakeId(uint32_t n);

class FakeVss final : public VssService {
  public:
    struct Snapshot {
        uint32_t id;
        std::wstring deviceObject;
    };

    FakeVss();
    ~FakeVss() override;

    // The result of each call, by the name that starts its log entry ("SetContext",
    // "Wait metadata", ...). Calls not listed return S_OK.
    std::map<std::string, HRESULT> results;
    // Every call in order: "SetContext 13", "Release metadata", "FreeSnapshotProperties id=0x2"...
    std::vector<std::string> calls;
    // Calls through released objects, second releases, frees of unknown records.
    std::vector<std::string> misuse;

    // The snapshots that Query enumerates, in order; a successful DeleteSnapshots removes one.
    std::vector<Snapshot> snapshots;
    // The identifiers StartSnapshotSet and AddToSnapshotSet write.
    uint32_t snapshotSetId = 0x5E7;
    uint32_t newSnapshotId = 0x5A9;
    // The device object name GetSnapshotProperties reports.
    std::wstring newDeviceObject = L"\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy7";
    // The volume names AddToSnapshotSet was given.
    std::vector<std::wstring> addedVolumes;

    // Property strings handed out and not yet freed.
    size_t LivePropertyStrings() const { return liveStrings_.size(); }

    HRESULT InitializeCom() override;
    HRESULT CreateBackupComponents(VssBackupComponents** backupComponents) override;
    void FreeSnapshotProperties(VSS_SNAPSHOT_PROP* properties) override;

    // Used by the fake's objects.
    HRESULT Call(const std::string& name, const std::string& arguments = std::string());
    WCHAR* AllocateString(const std::wstring& text);
    template <typename Concrete, typename... Args>
    Concrete* Make(Args&&... args) {
        auto object = std::make_unique<Concrete>(*this, std::forward<Args>(args)...);
        Concrete* raw = object.get();
        objects_.push_back(std::move(object));
        return raw;
    }

    // Base of the fake's objects: logs the release and notes misuse.
    class Object {
      public:
        Object(FakeVss& vss, std::string name) : vss_(vss), name_(std::move(name)) {}
        virtual ~Object() = default;

      protected:
        HRESULT Call(const std::string& method, const std::string& arguments = std::string());
        void Released();
        FakeVss& vss_;
        std::string name_;
        bool released_ = false;
    };

  private:
    std::vector<std::unique_ptr<Object>> objects_;
    std::map<const WCHAR*, std::unique_ptr<WCHAR[]>> liveStrings_;
};

// Records the lines written to each stream, and both in program order.
class RecordingConsole final : public Console {
  public:
    void Out(std::string_view line) override;
    void Err(std::string_view line) override;
    std::string out, err, merged;
};

}  // namespace tw::test
