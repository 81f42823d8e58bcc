// Reads a Windows binary (PE file) on any host: machine, subsystem, imported DLLs, exports,
// resources and the version block. twrgs --dll reads a DLL's registry script with it, and the tests
// of the shipped files inspect dist/ with it. Bounds-checked throughout: a damaged or hostile file
// gives an error, never a crash or a read past its end.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tw::pe {

constexpr uint16_t kMachineI386 = 0x14C;
constexpr uint16_t kMachineAmd64 = 0x8664;
constexpr uint16_t kSubsystemGui = 2;
constexpr uint16_t kSubsystemConsole = 3;
constexpr uint16_t kCharacteristicDll = 0x2000;

// A resource type or name: a number, or a string (upper-case as stored) when `name` is not empty.
struct ResourceId {
    uint32_t id = 0;
    std::string name;
    bool operator==(const ResourceId& o) const { return id == o.id && name == o.name; }
    std::string ToString() const;
};

struct Resource {
    ResourceId type;
    ResourceId name;
    uint32_t language = 0;
    std::string bytes;
};

struct Export {
    std::string name;  // empty for an export by ordinal only
    uint32_t ordinal = 0;
};

struct Image {
    uint16_t machine = 0;
    uint16_t characteristics = 0;
    uint16_t subsystem = 0;
    std::vector<std::string> importedDlls;  // as written in the import table
    std::vector<Export> exports;
    std::vector<Resource> resources;

    // The resources of a numeric type (RT_BITMAP 2, RT_STRING 6, RT_VERSION 16, RT_MANIFEST 24).
    std::vector<const Resource*> ResourcesOfType(uint32_t type) const;
    std::vector<const Resource*> ResourcesOfType(const std::string& typeName) const;
};

// Parses the file's bytes; on failure returns false and says why in `error`.
//
// Time and memory are proportional to the file's size, whatever its tables say: they may point
// anywhere, many times over (every import descriptor at one long name, every resource entry below
// one name of 65,535 units, thousands of sections looked through for every address). Each read,
// byte copied, section looked through and record made costs a unit, and a file that needs more
// than kUnitsPerByte units per byte of it, and kFloorUnits besides, is refused. So the strings the
// image holds never add up to more bytes than that. (Every PE file of Wine 8.0's x86-64 and i386
// libraries reads within 2 units per byte.)
constexpr uint64_t kUnitsPerByte = 16;
constexpr uint64_t kFloorUnits = 1 << 16;
bool Parse(const std::string& bytes, Image& image, std::string& error);
// Reads and parses a file.
bool Load(const std::string& path, Image& image, std::string& error);

// Compares two DLL names without regard to case.
bool IsSameDll(const std::string& a, const std::string& b);

// The DLLs that ship with every supported Windows version and may be imported by a deliverable.
bool IsSystemDll(const std::string& dllName);

// The fixed part and the string table of a version resource (VS_VERSIONINFO).
struct VersionInfo {
    uint64_t fileVersion = 0;  // major << 48 | minor << 32 | build << 16 | revision
    uint64_t productVersion = 0;
    uint32_t fileType = 0;  // VFT_APP 1, VFT_DLL 2
    // "040904B0" -> {"FileDescription" -> "..."}; texts converted from UTF-16 to UTF-8.
    std::map<std::string, std::map<std::string, std::string>> strings;
};
bool ParseVersion(const std::string& bytes, VersionInfo& info, std::string& error);

constexpr uint64_t MakeVersion(uint16_t a, uint16_t b, uint16_t c, uint16_t d) {
    return (uint64_t{a} << 48) | (uint64_t{b} << 32) | (uint64_t{c} << 16) | d;
}

}  // namespace tw::pe
