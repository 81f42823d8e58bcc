#include "pe_image.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <sstream>

#include "utf8.h"

namespace tw::pe {
namespace {

// What reading a file may cost (pe_image.h): its tables may point anywhere, many times over, so
// every read, byte copied, section looked through and record made costs a unit of a budget that
// grows with the file's size.
// Little-endian reads that fail instead of reading past the end, or beyond the budget.
class Reader {
  public:
    explicit Reader(const std::string& bytes)
        : bytes_(bytes), unitsLeft_(kUnitsPerByte * bytes.size() + kFloorUnits) {}
    bool Has(uint64_t offset, uint64_t size) const {
        return offset <= bytes_.size() && size <= bytes_.size() - offset;
    }
    // Takes `units` from the budget; false (and so forever after) when it is spent.
    bool Spend(uint64_t units) {
        if (units > unitsLeft_) {
            unitsLeft_ = 0;
            exhausted_ = true;
            return false;
        }
        unitsLeft_ -= units;
        return true;
    }
    // Whether a read failed because the budget was spent.
    bool Exhausted() const { return exhausted_; }
    bool U16(uint64_t offset, uint16_t& v) {
        if (!Has(offset, 2) || !Spend(1))
            return false;
        v = static_cast<uint16_t>(Byte(offset) | Byte(offset + 1) << 8);
        return true;
    }
    bool U32(uint64_t offset, uint32_t& v) {
        uint16_t lo = 0, hi = 0;
        if (!U16(offset, lo) || !U16(offset + 2, hi))
            return false;
        v = lo | static_cast<uint32_t>(hi) << 16;
        return true;
    }
    bool CString(uint64_t offset, std::string& s) {
        s.clear();
        for (uint64_t i = offset; i < bytes_.size(); ++i) {
            if (!Spend(2))  // the byte read, and the byte kept
                return false;
            if (bytes_[i] == '\0')
                return true;
            s.push_back(bytes_[i]);
        }
        return false;
    }
    bool Slice(uint64_t offset, uint64_t size, std::string& s) {
        if (!Has(offset, size) || !Spend(size))
            return false;
        s = bytes_.substr(offset, size);
        return true;
    }

  private:
    uint32_t Byte(uint64_t offset) const { return static_cast<unsigned char>(bytes_[offset]); }
    const std::string& bytes_;
    uint64_t unitsLeft_;
    bool exhausted_ = false;
};

struct Section {
    uint32_t virtualAddress, virtualSize, rawSize, rawOffset;
};

struct Layout {
    std::vector<Section> sections;
    // The file offset of an address; each section looked through costs a unit.
    bool ToOffset(Reader& r, uint32_t rva, uint64_t& offset) const {
        for (const Section& s : sections) {
            if (!r.Spend(1))
                return false;
            const uint32_t span = std::max(s.virtualSize, s.rawSize);
            if (rva >= s.virtualAddress && rva - s.virtualAddress < span) {
                if (rva - s.virtualAddress >= s.rawSize)
                    return false;
                offset = uint64_t{s.rawOffset} + (rva - s.virtualAddress);
                return true;
            }
        }
        return false;
    }
};

bool ParseImports(Reader& r, const Layout& layout, uint32_t rva, Image& image, std::string& error) {
    uint64_t offset = 0;
    if (!layout.ToOffset(r, rva, offset)) {
        error = "import table outside the sections";
        return false;
    }
    for (;; offset += 20) {
        uint32_t lookup = 0, nameRva = 0, thunk = 0;
        if (!r.U32(offset, lookup) || !r.U32(offset + 12, nameRva) || !r.U32(offset + 16, thunk)) {
            error = "import table cut short";
            return false;
        }
        if (lookup == 0 && nameRva == 0 && thunk == 0)
            return true;
        uint64_t nameOffset = 0;
        std::string name;
        if (!layout.ToOffset(r, nameRva, nameOffset) || !r.CString(nameOffset, name) ||
            !r.Spend(sizeof name)) {
            error = "bad import name";
            return false;
        }
        image.importedDlls.push_back(name);
    }
}

bool ParseExports(Reader& r, const Layout& layout, uint32_t rva, Image& image, std::string& error) {
    uint64_t dir = 0;
    uint32_t base = 0, functionCount = 0, nameCount = 0, functionsRva = 0, namesRva = 0,
             ordinalsRva = 0;
    if (!layout.ToOffset(r, rva, dir) || !r.U32(dir + 16, base) ||
        !r.U32(dir + 20, functionCount) || !r.U32(dir + 24, nameCount) ||
        !r.U32(dir + 28, functionsRva) || !r.U32(dir + 32, namesRva) ||
        !r.U32(dir + 36, ordinalsRva)) {
        error = "bad export directory";
        return false;
    }
    uint64_t functions = 0, names = 0, ordinals = 0;
    if (functionCount > 0x10000 || nameCount > functionCount ||
        !layout.ToOffset(r, functionsRva, functions) ||
        (nameCount > 0 &&
         (!layout.ToOffset(r, namesRva, names) || !layout.ToOffset(r, ordinalsRva, ordinals)))) {
        error = "bad export tables";
        return false;
    }
    if (!r.Spend(uint64_t{functionCount} * (sizeof(std::string) + sizeof(Export)))) {
        error = "bad export tables";
        return false;
    }
    std::vector<std::string> nameOf(functionCount);
    for (uint32_t j = 0; j < nameCount; ++j) {
        uint32_t nameRva = 0;
        uint16_t index = 0;
        uint64_t nameOffset = 0;
        std::string name;
        if (!r.U32(names + 4ull * j, nameRva) || !r.U16(ordinals + 2ull * j, index) ||
            index >= functionCount || !layout.ToOffset(r, nameRva, nameOffset) ||
            !r.CString(nameOffset, name) || !r.Spend(name.size())) {
            error = "bad export name";
            return false;
        }
        nameOf[index] = name;
    }
    for (uint32_t i = 0; i < functionCount; ++i) {
        uint32_t address = 0;
        if (!r.U32(functions + 4ull * i, address)) {
            error = "export address table cut short";
            return false;
        }
        if (address != 0)
            image.exports.push_back(Export{nameOf[i], base + i});
    }
    return true;
}

// The resource tree's three levels (type, name, language) may point anywhere in the file, so a
// damaged or hostile file could have its entries share subdirectories, names and data many times
// over. Besides the budget of the reader, which every entry and every copy of a name draws on, the
// walk refuses a tree whose data adds up to more bytes than the file holds, which a tree that
// stores each resource once never does.

class ResourceWalker {
  public:
    ResourceWalker(Reader& r, const Layout& layout, uint64_t root, uint64_t fileSize, Image& image)
        : r_(r), layout_(layout), root_(root), bytesLeft_(fileSize), image_(image) {}

    bool Walk(std::string& error) { return Directory(root_, 0, Resource{}, error); }

  private:
    bool Id(uint32_t raw, ResourceId& id) {
        if ((raw & 0x80000000u) == 0) {
            id.id = raw;
            return true;
        }
        const uint64_t at = root_ + (raw & 0x7FFFFFFFu);
        uint16_t length = 0;
        if (!r_.U16(at, length))
            return false;
        for (uint16_t i = 0; i < length; ++i) {
            uint16_t c = 0;
            if (!r_.U16(at + 2 + 2ull * i, c))
                return false;
            AppendUtf8(c, &id.name);
        }
        return r_.Spend(id.name.size());
    }

    bool Directory(uint64_t at, int level, const Resource& partial, std::string& error) {
        uint16_t named = 0, numbered = 0;
        if (level > 2 || !r_.U16(at + 12, named) || !r_.U16(at + 14, numbered)) {
            error = "bad resource directory";
            return false;
        }
        for (uint32_t i = 0; i < uint32_t{named} + numbered; ++i) {
            uint32_t rawId = 0, target = 0;
            if (!r_.U32(at + 16 + 8ull * i, rawId) || !r_.U32(at + 20 + 8ull * i, target)) {
                error = "resource entries cut short";
                return false;
            }
            // Each entry is a copy of its parent's, with the names it holds.
            if (!r_.Spend(sizeof(Resource) + partial.type.name.size() + partial.name.name.size())) {
                error = "resource entries cut short";
                return false;
            }
            Resource entry = partial;
            ResourceId id;
            if (!Id(rawId, id)) {
                error = "bad resource name";
                return false;
            }
            if (level == 0)
                entry.type = id;
            if (level == 1)
                entry.name = id;
            if (level == 2)
                entry.language = id.id;
            const uint64_t next = root_ + (target & 0x7FFFFFFFu);
            if (target & 0x80000000u) {
                if (!Directory(next, level + 1, entry, error))
                    return false;
                continue;
            }
            uint32_t dataRva = 0, size = 0;
            uint64_t dataOffset = 0;
            if (level != 2 || !r_.U32(next, dataRva) || !r_.U32(next + 4, size) ||
                !layout_.ToOffset(r_, dataRva, dataOffset) || !r_.Has(dataOffset, size)) {
                error = "bad resource data entry";
                return false;
            }
            if (size > bytesLeft_) {
                error = "resource data larger than the file";
                return false;
            }
            bytesLeft_ -= size;
            if (!r_.Slice(dataOffset, size, entry.bytes)) {
                error = "bad resource data entry";
                return false;
            }
            image_.resources.push_back(std::move(entry));
        }
        return true;
    }

    Reader& r_;
    const Layout& layout_;
    uint64_t root_;
    uint64_t bytesLeft_;
    Image& image_;
};

}  // namespace

std::string ResourceId::ToString() const {
    return name.empty() ? std::to_string(id) : name;
}

std::vector<const Resource*> Image::ResourcesOfType(uint32_t type) const {
    std::vector<const Resource*> found;
    for (const Resource& r : resources) {
        if (r.type.name.empty() && r.type.id == type)
            found.push_back(&r);
    }
    return found;
}

std::vector<const Resource*> Image::ResourcesOfType(const std::string& typeName) const {
    std::vector<const Resource*> found;
    for (const Resource& r : resources) {
        if (r.type.name == typeName)
            found.push_back(&r);
    }
    return found;
}

namespace {

// The headers, the section table and the tables of the file (Parse).
bool ParseHeaders(Reader& r, const std::string& bytes, Image& image, std::string& error) {
    uint32_t peOffset = 0, signature = 0;
    if (bytes.compare(0, 2, "MZ") != 0 || !r.U32(0x3C, peOffset) || !r.U32(peOffset, signature) ||
        signature != 0x4550) {
        error = "not a PE file";
        return false;
    }
    const uint64_t coff = peOffset + 4ull;
    uint16_t sectionCount = 0, optionalSize = 0, magic = 0;
    if (!r.U16(coff, image.machine) || !r.U16(coff + 2, sectionCount) ||
        !r.U16(coff + 16, optionalSize) || !r.U16(coff + 18, image.characteristics)) {
        error = "COFF header cut short";
        return false;
    }
    const uint64_t optional = coff + 20;
    if (!r.U16(optional, magic) || (magic != 0x10B && magic != 0x20B) ||
        !r.U16(optional + 68, image.subsystem)) {
        error = "bad optional header";
        return false;
    }
    const uint64_t directories = optional + (magic == 0x20B ? 112 : 96);
    uint32_t directoryCount = 0;
    if (!r.U32(directories - 4, directoryCount)) {
        error = "bad optional header";
        return false;
    }
    Layout layout;
    const uint64_t sectionTable = optional + optionalSize;
    for (uint16_t i = 0; i < sectionCount; ++i) {
        Section s{};
        const uint64_t at = sectionTable + 40ull * i;
        if (!r.U32(at + 8, s.virtualSize) || !r.U32(at + 12, s.virtualAddress) ||
            !r.U32(at + 16, s.rawSize) || !r.U32(at + 20, s.rawOffset) || !r.Spend(sizeof s)) {
            error = "section table cut short";
            return false;
        }
        layout.sections.push_back(s);
    }
    auto directory = [&](uint32_t index, uint32_t& rva) {
        uint32_t size = 0;
        rva = 0;
        return index < directoryCount && r.U32(directories + 8ull * index, rva) &&
               r.U32(directories + 8ull * index + 4, size) && rva != 0 && size != 0;
    };
    uint32_t rva = 0;
    if (directory(0, rva) && !ParseExports(r, layout, rva, image, error))
        return false;
    if (directory(1, rva) && !ParseImports(r, layout, rva, image, error))
        return false;
    if (directory(2, rva)) {
        uint64_t root = 0;
        if (!layout.ToOffset(r, rva, root)) {
            error = "resource directory outside the sections";
            return false;
        }
        if (!ResourceWalker(r, layout, root, bytes.size(), image).Walk(error))
            return false;
    }
    return true;
}

}  // namespace

bool Parse(const std::string& bytes, Image& image, std::string& error) {
    image = Image{};
    Reader r(bytes);
    if (!ParseHeaders(r, bytes, image, error)) {
        // Whatever a table said, the budget ran out first: say so.
        if (r.Exhausted()) {
            error = "the file's tables ask for more than its size allows (" + error + ")";
        }
        image = Image{};
        return false;
    }
    return true;
}

bool Load(const std::string& path, Image& image, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot open " + path;
        return false;
    }
    const std::string bytes((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    return Parse(bytes, image, error);
}

bool IsSameDll(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

bool IsSystemDll(const std::string& dllName) {
    static const char* const kSystemDlls[] = {
        "kernel32.dll", "user32.dll",   "gdi32.dll",  "advapi32.dll", "shell32.dll",  "shlwapi.dll",
        "ole32.dll",    "oleaut32.dll", "vssapi.dll", "msvcrt.dll",   "comctl32.dll", "version.dll",
    };
    return std::any_of(std::begin(kSystemDlls), std::end(kSystemDlls),
                       [&](const char* system) { return IsSameDll(dllName, system); });
}

namespace {

// One node of a version resource: a length, a value length, a type, a UTF-16 key, a value, and
// children, each aligned to four bytes from the start of the resource.
struct VersionNode {
    uint16_t length = 0, valueLength = 0, type = 0;
    std::string key;
    uint64_t value = 0, children = 0, end = 0;
};

uint64_t Align4(uint64_t v) {
    return (v + 3) & ~uint64_t{3};
}

bool ReadNode(Reader& r, uint64_t at, uint64_t limit, VersionNode& node) {
    if (!r.U16(at, node.length) || !r.U16(at + 2, node.valueLength) || !r.U16(at + 4, node.type) ||
        node.length < 6 || at + node.length > limit) {
        return false;
    }
    node.end = at + node.length;
    uint64_t p = at + 6;
    node.key.clear();
    for (;; p += 2) {
        uint16_t c = 0;
        if (p + 2 > node.end || !r.U16(p, c))
            return false;
        if (c == 0)
            break;
        AppendUtf8(c, &node.key);
    }
    node.value = Align4(p + 2);
    // Text values count their length in UTF-16 units, binary ones in bytes.
    const uint64_t valueBytes = node.type == 1 ? 2ull * node.valueLength : node.valueLength;
    node.children = Align4(node.value + valueBytes);
    return node.value + valueBytes <= node.end;
}

std::string Utf16Text(Reader& r, uint64_t at, uint64_t units) {
    std::string text;
    for (uint64_t i = 0; i < units; ++i) {
        uint16_t c = 0;
        if (!r.U16(at + 2 * i, c) || c == 0)
            break;
        AppendUtf8(c, &text);
    }
    return text;
}

}  // namespace

bool ParseVersion(const std::string& bytes, VersionInfo& info, std::string& error) {
    info = VersionInfo{};
    Reader r(bytes);
    VersionNode root;
    uint32_t signature = 0, fileMs = 0, fileLs = 0, productMs = 0, productLs = 0;
    if (!ReadNode(r, 0, bytes.size(), root) || root.key != "VS_VERSION_INFO" ||
        root.valueLength < 52 || !r.U32(root.value, signature) || signature != 0xFEEF04BD ||
        !r.U32(root.value + 8, fileMs) || !r.U32(root.value + 12, fileLs) ||
        !r.U32(root.value + 16, productMs) || !r.U32(root.value + 20, productLs) ||
        !r.U32(root.value + 36, info.fileType)) {
        error = "bad VS_VERSIONINFO";
        return false;
    }
    info.fileVersion = uint64_t{fileMs} << 32 | fileLs;
    info.productVersion = uint64_t{productMs} << 32 | productLs;
    for (uint64_t at = root.children; at + 6 <= root.end;) {
        VersionNode block;
        if (!ReadNode(r, at, root.end, block)) {
            error = "bad version block";
            return false;
        }
        if (block.key == "StringFileInfo") {
            for (uint64_t t = block.children; t + 6 <= block.end;) {
                VersionNode table;
                if (!ReadNode(r, t, block.end, table)) {
                    error = "bad string table";
                    return false;
                }
                auto& strings = info.strings[table.key];
                for (uint64_t s = table.children; s + 6 <= table.end;) {
                    VersionNode entry;
                    if (!ReadNode(r, s, table.end, entry)) {
                        error = "bad version string";
                        return false;
                    }
                    strings[entry.key] = Utf16Text(r, entry.value, entry.valueLength);
                    s = Align4(entry.end);
                }
                t = Align4(table.end);
            }
        }
        at = Align4(block.end);
    }
    return true;
}

}  // namespace tw::pe
