// Test tooling, never shipped: a scripted Volume Shadow Copy service. It decides what each call
// answers, keeps a store of snapshots, counts the references of the objects it hands out and the
// property records it allocates, and writes every event as one log line. Two front ends put it
// behind an interface: the stand-in vssapi.dll (fake_vss_com.h, the platform's COM interfaces) for
// the Wine tests of the real twVss_64.exe, and the host tests' fake (snapshot/fake_vss.h, the
// tool's seam vss_requester.h). Plain C++, built for the host and for Windows.
//
// The log names a call as the seam does: "SetContext 13", "Wait metadata 4294967295",
// "Release prepare", "CreateBackupComponents" (CreateVssBackupComponentsInternal),
// "FreeSnapshotProperties id=0x1" (VssFreeSnapshotPropertiesInternal), and the requester's COM
// set-up before them: "CoInitialize", "CoInitializeSecurity null -1 null null 6 2 null 0x40 null"
// (every argument in order, a pointer as null or set). A call answers the result
// the script gives its name, S_OK otherwise. It hands out its object or fills its record when that
// result is a success code (S_FALSE too, as COM allows) or when the script says "hand-out"; the
// store changes only with S_OK.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "vss_types.h"

namespace tw::standin {

// A VSS_ID whose first field is `n` and that is never GUID_NULL; the log writes it "id=0x<n>".
VSS_ID MakeId(uint32_t n);

struct Snapshot {
    uint32_t id;
    std::wstring deviceObject;
};

// A script: one instruction per line, UTF-8. Blank lines and lines that start with '#' are
// skipped.
//   result CALL CODE        CALL answers CODE (decimal, possibly negative, or hexadecimal 0x...)
//   hand-out CALL           CALL hands out its object, or fills its record, even while failing
//   device-object NAME      GetSnapshotProperties reports NAME for a new snapshot (rest of line)
//   snapshot ID NAME        the store holds a snapshot ID (hexadecimal) with device object NAME
// CALL is a call's log name: "SetContext", "Wait metadata", "Query"... The store file is a script
// of snapshot lines only.
struct Script {
    std::map<std::string, HRESULT> results;
    std::set<std::string> handOut;
    bool setsDeviceObject = false;
    std::wstring deviceObject;
    std::vector<Snapshot> snapshots;
    std::vector<std::string> errors;  // "script line N not understood: TEXT"
};
Script ParseScript(std::string_view text);
// The store's file: one snapshot line each.
std::string StoreText(const std::vector<Snapshot>& snapshots);

// UTF-16 units (UTF-32 on the host, where wchar_t has 32 bits) to UTF-8 and back; what cannot be
// encoded becomes U+FFFD.
std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);

class StandInService {
  public:
    using ObjectId = size_t;  // 0: no object

    // What the calls answer (see Script).
    std::map<std::string, HRESULT> results;
    std::set<std::string> handOut;
    // The snapshots that Query enumerates, in order; a taken snapshot is added, DeleteSnapshots
    // removes one.
    std::vector<Snapshot> snapshots;
    // What StartSnapshotSet and AddToSnapshotSet write, and the device object of a new snapshot.
    uint32_t snapshotSetId = 0x5E7;
    uint32_t newSnapshotId = 0x5A9;
    std::wstring newDeviceObject = L"\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy7";

    // What happened: every call, AddRef and Release in order; every misuse (a call on a released
    // object, a Release too many, a free of an unknown record, a null output, a method the tool
    // has no business calling, a script line not understood); the volumes AddToSnapshotSet got.
    std::vector<std::string> calls;
    std::vector<std::string> misuse;
    std::vector<std::wstring> addedVolumes;
    // Sees each line as it is logged: calls as they are, misuse after "! ".
    std::function<void(const std::string&)> onLine;
    // Called after each change of `snapshots`.
    std::function<void()> onStoreChanged;

    StandInService();
    ~StandInService();
    StandInService(const StandInService&) = delete;
    StandInService& operator=(const StandInService&) = delete;

    // Starts from a store and a script: the store's snapshots, then the script's seeds whose
    // identifiers are not there yet, the script's results; a new snapshot gets the next free
    // identifier and, unless the script names one, the device object
    // \\?\GLOBALROOT\Device\HarddiskVolumeShadowCopy<identifier in decimal>. Returns whether the
    // seeds changed the store.
    bool Load(const Script& store, const Script& script);

    // Logs a call that no object makes (as "NAME ARGUMENTS") and answers its result.
    HRESULT Call(const std::string& name, const std::string& arguments);
    HRESULT CoInitializeSecurity(const void* securityDescriptor, LONG authenticationServiceCount,
                                 const void* authenticationServices, const void* reserved1,
                                 DWORD authenticationLevel, DWORD impersonationLevel,
                                 const void* authenticationList, DWORD capabilities,
                                 const void* reserved3);
    // The calls, on the objects they were made on. Outputs are written only when not null.
    HRESULT CreateBackupComponents(ObjectId* components);
    HRESULT InitializeForBackup(ObjectId self, const void* document);
    HRESULT SetContext(ObjectId self, LONG context);
    HRESULT GatherWriterMetadata(ObjectId self, ObjectId* async);
    HRESULT FreeWriterMetadata(ObjectId self);
    HRESULT StartSnapshotSet(ObjectId self, VSS_ID* snapshotSetId);
    HRESULT AddToSnapshotSet(ObjectId self, const WCHAR* volume, const VSS_ID& provider,
                             VSS_ID* snapshotId);
    HRESULT SetBackupState(ObjectId self, bool selectComponents, bool backupBootableSystemState,
                           int backupType, bool partialFileSupport);
    HRESULT PrepareForBackup(ObjectId self, ObjectId* async);
    HRESULT DoSnapshotSet(ObjectId self, ObjectId* async);
    HRESULT AbortBackup(ObjectId self);
    HRESULT GetSnapshotProperties(ObjectId self, const VSS_ID& snapshotId,
                                  VSS_SNAPSHOT_PROP* properties);
    HRESULT Query(ObjectId self, const VSS_ID& queriedObjectId, int queriedObjectType,
                  int returnedObjectsType, ObjectId* enumerator);
    HRESULT DeleteSnapshots(ObjectId self, const VSS_ID& sourceObjectId, int sourceObjectType,
                            bool forceDelete, LONG* deletedSnapshots, VSS_ID* nondeletedSnapshotId);
    HRESULT Wait(ObjectId async, DWORD milliseconds);
    HRESULT Next(ObjectId enumerator, ULONG count, VSS_OBJECT_PROP* records, ULONG* fetched);
    void FreeSnapshotProperties(VSS_SNAPSHOT_PROP* properties);
    ULONG AddRef(ObjectId object);
    ULONG Release(ObjectId object);
    // Any other method: noted as misuse ("unexpected METHOD on NAME"); answers E_NOTIMPL.
    HRESULT Unexpected(ObjectId object, const std::string& method);

    // The account at the end: "NAME references N" for every object handed out, in order, then
    // "properties allocated A freed F".
    std::vector<std::string> Report() const;
    // Property strings handed out and not yet freed.
    size_t LivePropertyStrings() const { return liveStrings_.size(); }

    // The objects of a front end live as long as the service, so that a call through a released
    // one is noted instead of reaching freed memory.
    class FrontEnd {
      public:
        virtual ~FrontEnd() = default;
    };
    template <typename Concrete, typename... Args>
    Concrete* Keep(Args&&... args) {
        auto object = std::make_unique<Concrete>(std::forward<Args>(args)...);
        Concrete* raw = object.get();
        frontEnds_.push_back(std::move(object));
        return raw;
    }

  private:
    struct Object {
        std::string name;
        ULONG references = 1;
        std::vector<Snapshot> enumerated;  // an enumerator's records
        size_t next = 0;
    };
    HRESULT Call(ObjectId self, const std::string& name, const std::string& arguments);
    // The object, or null (noted as misuse of `method`) when there is no such object.
    Object* Find(ObjectId object, const std::string& method);
    bool HandsOut(const std::string& name, HRESULT result) const;
    ObjectId NewObject(const std::string& name);
    HRESULT MakeAsync(ObjectId self, const std::string& method, const std::string& name,
                      ObjectId* async);
    WCHAR* AllocateString(const std::wstring& text);
    void Log(const std::string& line);
    void Misuse(const std::string& what);
    void StoreChanged();

    std::vector<Object> objects_;  // ObjectId i is objects_[i - 1]
    std::map<const WCHAR*, std::unique_ptr<WCHAR[]>> liveStrings_;
    size_t allocated_ = 0;
    size_t freed_ = 0;
    bool pending_ = false;  // a volume was added, its snapshot not taken yet
    std::vector<std::unique_ptr<FrontEnd>> frontEnds_;
};

}  // namespace tw::standin
