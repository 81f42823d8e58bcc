#include "fake_vss_service.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "utf8.h"

namespace tw::standin {
namespace {

// VSS_E_OBJECT_NOT_FOUND: no snapshot has the identifier asked for.
const HRESULT kObjectNotFound = static_cast<HRESULT>(0x80042308u);

std::string IdText(const VSS_ID& id) {
    char text[32];
    std::snprintf(text, sizeof(text), "id=0x%x", static_cast<unsigned>(id.Data1));
    return text;
}

std::string GuidText(const VSS_ID& id) {
    return IsEqualGUID(id, GUID_NULL) ? "GUID_NULL" : "other";
}

// A result code as the script writes it: decimal (a leading '-' allowed) or hexadecimal after 0x.
bool ParseCode(const std::string& text, HRESULT* code) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const long long value = std::strtoll(text.c_str(), &end, hex ? 16 : 10);
    if (errno != 0 || *end != '\0' || value < INT32_MIN ||
        value > static_cast<long long>(UINT32_MAX)) {
        return false;
    }
    *code = static_cast<HRESULT>(static_cast<uint32_t>(value));
    return true;
}

bool ParseId(const std::string& text, uint32_t* id) {
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 16);
    if (text.empty() || errno != 0 || *end != '\0' || value > UINT32_MAX) {
        return false;
    }
    *id = static_cast<uint32_t>(value);
    return true;
}

// Splits off the first word of `rest` (up to a space); `rest` keeps what follows the space.
std::string FirstWord(std::string& rest) {
    const size_t space = rest.find(' ');
    std::string word = rest.substr(0, space);
    rest = space == std::string::npos ? std::string() : rest.substr(space + 1);
    return word;
}

void AppendUnits(std::wstring& out, uint32_t c) {
    if (sizeof(wchar_t) == 2 && c >= 0x10000) {
        c -= 0x10000;
        out.push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
        out.push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
    } else {
        out.push_back(static_cast<wchar_t>(c));
    }
}

bool IsSurrogate(uint32_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}

}  // namespace

VSS_ID MakeId(uint32_t n) {
    VSS_ID id{};
    id.Data1 = n;
    id.Data4[7] = 0x42;
    return id;
}

std::string ToUtf8(std::wstring_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = static_cast<uint32_t>(text[i]);
        if (sizeof(wchar_t) == 2 && c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
            const uint32_t low = static_cast<uint32_t>(text[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        AppendUtf8(IsSurrogate(c) || c > 0x10FFFF ? 0xFFFD : c, &out);
    }
    return out;
}

std::wstring FromUtf8(std::string_view text) {
    std::wstring out;
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        const uint32_t minimum = length == 1   ? 0
                                 : length == 2 ? 0x80
                                 : length == 3 ? 0x800
                                               : 0x10000;
        uint32_t c = length == 1 ? lead : lead & (0x7F >> length);
        bool valid = (length == 1 || lead >= 0xC0) && lead < 0xF8 && i + length <= text.size();
        for (size_t k = 1; valid && k < length; ++k) {
            const auto trail = static_cast<unsigned char>(text[i + k]);
            valid = (trail & 0xC0) == 0x80;
            c = (c << 6) | (trail & 0x3F);
        }
        if (!valid || c < minimum || c > 0x10FFFF || IsSurrogate(c)) {
            out.push_back(static_cast<wchar_t>(0xFFFD));
            ++i;
            continue;
        }
        AppendUnits(out, c);
        i += length;
    }
    return out;
}

Script ParseScript(std::string_view text) {
    Script script;
    size_t number = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string line(text.substr(start, end - start));
        start = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::string rest = line;
        const std::string keyword = FirstWord(rest);
        bool understood = false;
        if (keyword == "result") {
            // The call's name may hold spaces ("Wait metadata"); the code is the last word.
            const size_t space = rest.rfind(' ');
            HRESULT code = S_OK;
            if (space != std::string::npos && space > 0 &&
                ParseCode(rest.substr(space + 1), &code)) {
                script.results[rest.substr(0, space)] = code;
                understood = true;
            }
        } else if (keyword == "hand-out" && !rest.empty()) {
            script.handOut.insert(rest);
            understood = true;
        } else if (keyword == "device-object") {
            script.setsDeviceObject = true;
            script.deviceObject = FromUtf8(rest);
            understood = true;
        } else if (keyword == "snapshot") {
            uint32_t id = 0;
            const std::string idText = FirstWord(rest);
            if (ParseId(idText, &id)) {
                script.snapshots.push_back({id, FromUtf8(rest)});
                understood = true;
            }
        }
        if (!understood) {
            script.errors.push_back("script line " + std::to_string(number) +
                                    " not understood: " + line);
        }
    }
    return script;
}

std::string StoreText(const std::vector<Snapshot>& snapshots) {
    std::string text;
    for (const Snapshot& snapshot : snapshots) {
        char id[16];
        std::snprintf(id, sizeof(id), "%x", static_cast<unsigned>(snapshot.id));
        text += std::string("snapshot ") + id + " " + ToUtf8(snapshot.deviceObject) + "\n";
    }
    return text;
}

StandInService::StandInService() = default;
StandInService::~StandInService() = default;

bool StandInService::Load(const Script& store, const Script& script) {
    snapshots = store.snapshots;
    bool seeded = false;
    for (const Snapshot& seed : script.snapshots) {
        const bool known = std::any_of(snapshots.begin(), snapshots.end(),
                                       [&](const Snapshot& s) { return s.id == seed.id; });
        if (!known) {
            snapshots.push_back(seed);
            seeded = true;
        }
    }
    results = script.results;
    handOut = script.handOut;
    uint32_t highest = 0;
    for (const Snapshot& snapshot : snapshots) {
        highest = std::max(highest, snapshot.id);
    }
    newSnapshotId = highest + 1;
    newDeviceObject = script.setsDeviceObject
                          ? script.deviceObject
                          : L"\\\\?\\GLOBALROOT\\Device\\HarddiskVolumeShadowCopy" +
                                std::to_wstring(newSnapshotId);
    for (const std::string& error : store.errors) {
        Misuse("store: " + error);
    }
    for (const std::string& error : script.errors) {
        Misuse(error);
    }
    return seeded;
}

void StandInService::Log(const std::string& line) {
    calls.push_back(line);
    if (onLine) {
        onLine(line);
    }
}

void StandInService::Misuse(const std::string& what) {
    misuse.push_back(what);
    if (onLine) {
        onLine("! " + what);
    }
}

void StandInService::StoreChanged() {
    if (onStoreChanged) {
        onStoreChanged();
    }
}

HRESULT StandInService::Call(const std::string& name, const std::string& arguments) {
    Log(arguments.empty() ? name : name + " " + arguments);
    const auto scripted = results.find(name);
    return scripted == results.end() ? S_OK : scripted->second;
}

HRESULT StandInService::CoInitializeSecurity(const void* securityDescriptor,
                                             LONG authenticationServiceCount,
                                             const void* authenticationServices,
                                             const void* reserved1, DWORD authenticationLevel,
                                             DWORD impersonationLevel,
                                             const void* authenticationList, DWORD capabilities,
                                             const void* reserved3) {
    const auto pointer = [](const void* p) { return std::string(p == nullptr ? "null" : "set"); };
    char flags[16];
    std::snprintf(flags, sizeof(flags), "0x%x", static_cast<unsigned>(capabilities));
    return Call("CoInitializeSecurity",
                pointer(securityDescriptor) + " " + std::to_string(authenticationServiceCount) +
                    " " + pointer(authenticationServices) + " " + pointer(reserved1) + " " +
                    std::to_string(authenticationLevel) + " " + std::to_string(impersonationLevel) +
                    " " + pointer(authenticationList) + " " + flags + " " + pointer(reserved3));
}

HRESULT StandInService::Call(ObjectId self, const std::string& name, const std::string& arguments) {
    const HRESULT result = Call(name, arguments);
    const Object* object = Find(self, name);
    if (object != nullptr && object->references == 0) {
        Misuse(name + " on released " + object->name);
    }
    return result;
}

bool StandInService::HandsOut(const std::string& name, HRESULT result) const {
    return SUCCEEDED(result) || handOut.count(name) != 0;
}

StandInService::ObjectId StandInService::NewObject(const std::string& name) {
    std::string unique = name;
    for (int n = 2; std::any_of(objects_.begin(), objects_.end(),
                                [&](const Object& o) { return o.name == unique; });
         ++n) {
        unique = name + "#" + std::to_string(n);
    }
    Object object;
    object.name = unique;
    objects_.push_back(std::move(object));
    return objects_.size();
}

WCHAR* StandInService::AllocateString(const std::wstring& text) {
    auto copy = std::make_unique<WCHAR[]>(text.size() + 1);
    std::copy(text.begin(), text.end(), copy.get());
    WCHAR* raw = copy.get();
    liveStrings_[raw] = std::move(copy);
    ++allocated_;
    return raw;
}

HRESULT StandInService::CreateBackupComponents(ObjectId* components) {
    const HRESULT result = Call("CreateBackupComponents", "");
    if (components != nullptr) {
        *components =
            HandsOut("CreateBackupComponents", result) ? NewObject("backupComponents") : 0;
    }
    return result;
}

HRESULT StandInService::InitializeForBackup(ObjectId self, const void* document) {
    return Call(self, "InitializeForBackup",
                document == nullptr ? "document=null" : "document=set");
}

HRESULT StandInService::SetContext(ObjectId self, LONG context) {
    return Call(self, "SetContext", std::to_string(context));
}

HRESULT StandInService::MakeAsync(ObjectId self, const std::string& method, const std::string& name,
                                  ObjectId* async) {
    const HRESULT result = Call(self, method, "");
    if (async == nullptr) {
        Misuse(method + " without an output");
        return E_POINTER;
    }
    *async = HandsOut(method, result) ? NewObject(name) : 0;
    return result;
}

HRESULT StandInService::GatherWriterMetadata(ObjectId self, ObjectId* async) {
    return MakeAsync(self, "GatherWriterMetadata", "metadata", async);
}

HRESULT StandInService::FreeWriterMetadata(ObjectId self) {
    return Call(self, "FreeWriterMetadata", "");
}

HRESULT StandInService::StartSnapshotSet(ObjectId self, VSS_ID* snapshotSetIdOut) {
    const HRESULT result = Call(self, "StartSnapshotSet", "");
    if (snapshotSetIdOut != nullptr && HandsOut("StartSnapshotSet", result)) {
        *snapshotSetIdOut = MakeId(snapshotSetId);
    }
    return result;
}

HRESULT StandInService::AddToSnapshotSet(ObjectId self, const WCHAR* volume, const VSS_ID& provider,
                                         VSS_ID* snapshotId) {
    const std::wstring name = volume == nullptr ? std::wstring() : std::wstring(volume);
    const HRESULT result =
        Call(self, "AddToSnapshotSet",
             (volume == nullptr ? std::string("volume=null") : "volume=\"" + ToUtf8(name) + "\"") +
                 " units=" + std::to_string(name.size()) + " provider=" + GuidText(provider));
    addedVolumes.push_back(name);
    if (snapshotId != nullptr && HandsOut("AddToSnapshotSet", result)) {
        *snapshotId = MakeId(newSnapshotId);
    }
    pending_ = result == S_OK;
    return result;
}

HRESULT StandInService::SetBackupState(ObjectId self, bool selectComponents,
                                       bool backupBootableSystemState, int backupType,
                                       bool partialFileSupport) {
    return Call(self, "SetBackupState",
                std::to_string(selectComponents) + " " + std::to_string(backupBootableSystemState) +
                    " " + std::to_string(backupType) + " " + std::to_string(partialFileSupport));
}

HRESULT StandInService::PrepareForBackup(ObjectId self, ObjectId* async) {
    return MakeAsync(self, "PrepareForBackup", "prepare", async);
}

HRESULT StandInService::DoSnapshotSet(ObjectId self, ObjectId* async) {
    return MakeAsync(self, "DoSnapshotSet", "snapshot", async);
}

HRESULT StandInService::AbortBackup(ObjectId self) {
    return Call(self, "AbortBackup", "");
}

HRESULT StandInService::Wait(ObjectId async, DWORD milliseconds) {
    const std::string name = async == 0 || async > objects_.size() ? "?" : objects_[async - 1].name;
    const std::string method = "Wait " + name;
    const HRESULT result = Call(async, method, std::to_string(milliseconds));
    // The snapshot is taken when the wait for DoSnapshotSet ends well.
    if (name == "snapshot" && result == S_OK && pending_) {
        pending_ = false;
        snapshots.push_back({newSnapshotId, newDeviceObject});
        StoreChanged();
    }
    return result;
}

HRESULT StandInService::GetSnapshotProperties(ObjectId self, const VSS_ID& snapshotId,
                                              VSS_SNAPSHOT_PROP* properties) {
    HRESULT result = Call(self, "GetSnapshotProperties", IdText(snapshotId));
    if (properties == nullptr || !HandsOut("GetSnapshotProperties", result)) {
        return result;
    }
    const auto found = std::find_if(snapshots.begin(), snapshots.end(), [&](const Snapshot& s) {
        return IsEqualGUID(MakeId(s.id), snapshotId);
    });
    if (found == snapshots.end()) {
        return kObjectNotFound;
    }
    *properties = VSS_SNAPSHOT_PROP{};
    properties->m_SnapshotId = snapshotId;
    properties->m_pwszSnapshotDeviceObject = AllocateString(found->deviceObject);
    return result;
}

HRESULT StandInService::Query(ObjectId self, const VSS_ID& queriedObjectId, int queriedObjectType,
                              int returnedObjectsType, ObjectId* enumerator) {
    const HRESULT result =
        Call(self, "Query",
             GuidText(queriedObjectId) + " " + std::to_string(queriedObjectType) + " " +
                 std::to_string(returnedObjectsType));
    if (enumerator == nullptr) {
        Misuse("Query without an output");
        return E_POINTER;
    }
    *enumerator = 0;
    if (HandsOut("Query", result)) {
        *enumerator = NewObject("enumerator");
        objects_[*enumerator - 1].enumerated = snapshots;
    }
    return result;
}

HRESULT StandInService::Next(ObjectId enumerator, ULONG count, VSS_OBJECT_PROP* records,
                             ULONG* fetched) {
    const HRESULT result = Call(enumerator, "Next", std::to_string(count));
    if (enumerator == 0 || enumerator > objects_.size()) {
        return E_POINTER;
    }
    if (records == nullptr || fetched == nullptr) {
        Misuse("Next without its outputs");
        return E_POINTER;
    }
    Object& object = objects_[enumerator - 1];
    *fetched = 0;
    while (*fetched < count && object.next < object.enumerated.size()) {
        const Snapshot& snapshot = object.enumerated[object.next++];
        VSS_OBJECT_PROP& record = records[(*fetched)++];
        record = VSS_OBJECT_PROP{};
        record.Type = VSS_OBJECT_SNAPSHOT;
        record.Obj.Snap.m_SnapshotId = MakeId(snapshot.id);
        record.Obj.Snap.m_pwszSnapshotDeviceObject = AllocateString(snapshot.deviceObject);
    }
    return *fetched < count ? S_FALSE : result;
}

HRESULT StandInService::DeleteSnapshots(ObjectId self, const VSS_ID& sourceObjectId,
                                        int sourceObjectType, bool forceDelete,
                                        LONG* deletedSnapshots, VSS_ID* nondeletedSnapshotId) {
    const HRESULT result =
        Call(self, "DeleteSnapshots",
             IdText(sourceObjectId) + " type=" + std::to_string(sourceObjectType) +
                 " force=" + std::to_string(forceDelete));
    if (deletedSnapshots == nullptr || nondeletedSnapshotId == nullptr) {
        Misuse("DeleteSnapshots without its outputs");
        return E_POINTER;
    }
    *deletedSnapshots = 0;
    *nondeletedSnapshotId = GUID_NULL;
    if (result != S_OK) {
        return result;
    }
    const auto found = std::find_if(snapshots.begin(), snapshots.end(), [&](const Snapshot& s) {
        return IsEqualGUID(MakeId(s.id), sourceObjectId);
    });
    if (found == snapshots.end()) {
        return kObjectNotFound;
    }
    snapshots.erase(found);
    *deletedSnapshots = 1;
    StoreChanged();
    return result;
}

void StandInService::FreeSnapshotProperties(VSS_SNAPSHOT_PROP* properties) {
    if (properties == nullptr) {
        Misuse("FreeSnapshotProperties of null");
        return;
    }
    Log("FreeSnapshotProperties " + IdText(properties->m_SnapshotId));
    if (liveStrings_.erase(properties->m_pwszSnapshotDeviceObject) == 0) {
        Misuse(calls.back() + " of unknown properties");
    } else {
        ++freed_;
    }
    properties->m_pwszSnapshotDeviceObject = nullptr;
}

StandInService::Object* StandInService::Find(ObjectId object, const std::string& method) {
    if (object == 0 || object > objects_.size()) {
        Misuse(method + " on an unknown object");
        return nullptr;
    }
    return &objects_[object - 1];
}

ULONG StandInService::AddRef(ObjectId object) {
    Object* o = Find(object, "AddRef");
    if (o == nullptr) {
        return 0;
    }
    Log("AddRef " + o->name);
    if (o->references == 0) {
        Misuse("AddRef on released " + o->name);
    }
    return ++o->references;
}

ULONG StandInService::Release(ObjectId object) {
    Object* o = Find(object, "Release");
    if (o == nullptr) {
        return 0;
    }
    Log("Release " + o->name);
    if (o->references == 0) {
        Misuse("second Release of " + o->name);
        return 0;
    }
    return --o->references;
}

HRESULT StandInService::Unexpected(ObjectId object, const std::string& method) {
    const std::string name =
        object == 0 || object > objects_.size() ? "an unknown object" : objects_[object - 1].name;
    Misuse("unexpected " + method + " on " + name);
    return E_NOTIMPL;
}

std::vector<std::string> StandInService::Report() const {
    std::vector<std::string> lines;
    for (const Object& object : objects_) {
        lines.push_back(object.name + " references " + std::to_string(object.references));
    }
    lines.push_back("properties allocated " + std::to_string(allocated_) + " freed " +
                    std::to_string(freed_));
    return lines;
}

}  // namespace tw::standin
