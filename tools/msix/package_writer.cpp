#include "package_writer.h"

#include <openssl/evp.h>
#include <zlib.h>

#include <cstdint>
#include <limits>
#include <map>
#include <set>

#include "xml_text.h"

namespace tw::msix {
namespace {

constexpr size_t kBlockSize = 64 * 1024;
constexpr char kManifest[] = "AppxManifest.xml";
constexpr char kBlockMap[] = "AppxBlockMap.xml";
constexpr char kContentTypes[] = "[Content_Types].xml";
constexpr char kSignature[] = "AppxSignature.p7x";
// The archive's fixed time stamp, so that the same content makes the same package: 1980-01-01
// 00:00:00 in MS-DOS form.
constexpr uint16_t kDosTime = 0;
constexpr uint16_t kDosDate = (0 << 9) | (1 << 5) | 1;

void Put16(std::string& out, uint32_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}
void Put32(std::string& out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

std::string Sha256Base64(const char* data, size_t size) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int digestSize = 0;
    EVP_Digest(data, size, digest, &digestSize, EVP_sha256(), nullptr);
    unsigned char text[64];  // 4 * ceil(32 / 3) + 1
    const int length = EVP_EncodeBlock(text, digest, static_cast<int>(digestSize));
    return std::string(reinterpret_cast<char*>(text), length);
}

uint32_t Crc32(const std::string& bytes) {
    return static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

// Raw deflate (no zlib header), as a ZIP entry of method 8 holds it; empty when zlib fails.
std::string Deflated(const std::string& bytes) {
    z_stream stream = {};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        return {};
    }
    std::string out(deflateBound(&stream, bytes.size()), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = reinterpret_cast<Bytef*>(&out[0]);
    stream.avail_out = static_cast<uInt>(out.size());
    const bool done = deflate(&stream, Z_FINISH) == Z_STREAM_END;
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return done ? out : std::string();
}

size_t LocalHeaderSize(const std::string& name) {
    return 30 + name.size();
}

std::string Extension(const std::string& name) {
    const size_t slash = name.rfind('/');
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return {};
    }
    std::string extension = name.substr(dot + 1);
    for (char& c : extension) {
        c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return extension;
}

std::string BlockMap(const std::vector<Part>& payload) {
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<BlockMap xmlns=\"http://schemas.microsoft.com/appx/2010/blockmap\" "
        "HashMethod=\"http://www.w3.org/2001/04/xmlenc#sha256\">\n";
    for (const Part& part : payload) {
        std::string windowsName = part.name;
        for (char& c : windowsName) {
            c = c == '/' ? '\\' : c;
        }
        xml += "  <File Name=\"" + XmlEscaped(windowsName) + "\" Size=\"" +
               std::to_string(part.bytes.size()) + "\" LfhSize=\"" +
               std::to_string(LocalHeaderSize(part.name)) + "\"";
        if (part.bytes.empty()) {
            xml += "/>\n";
            continue;
        }
        xml += ">\n";
        for (size_t at = 0; at < part.bytes.size(); at += kBlockSize) {
            const size_t size = std::min(kBlockSize, part.bytes.size() - at);
            xml += "    <Block Hash=\"" + Sha256Base64(part.bytes.data() + at, size) + "\"/>\n";
        }
        xml += "  </File>\n";
    }
    return xml + "</BlockMap>\n";
}

std::string ContentTypes(const std::map<std::string, std::string>& defaults) {
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">\n";
    for (const auto& [extension, type] : defaults) {
        xml += "  <Default Extension=\"" + XmlEscaped(extension) + "\" ContentType=\"" +
               XmlEscaped(type) + "\"/>\n";
    }
    xml += std::string("  <Override PartName=\"/") + kManifest +
           "\" ContentType=\"application/vnd.ms-appx.manifest+xml\"/>\n"
           "  <Override PartName=\"/" +
           kBlockMap + "\" ContentType=\"application/vnd.ms-appx.blockmap+xml\"/>\n";
    return xml + "</Types>\n";
}

// Why `name` cannot name a payload part; empty when it can.
std::string NameProblem(const std::string& name) {
    if (name.empty() || name.front() == '/' || name.back() == '/' ||
        name.find("//") != std::string::npos) {
        return "the part name \"" + name + "\" is empty, absolute or has an empty segment";
    }
    for (unsigned char c : name) {
        if (c < 0x20 || c >= 0x7F || c == '\\' || c == '%' || c == '"' || c == '<' || c == '>' ||
            c == '?' || c == '*' || c == ':' || c == '|') {
            return "the part name \"" + name + "\" has a character a part name cannot have";
        }
    }
    for (const char* own : {kBlockMap, kContentTypes, kSignature}) {
        if (name == own) {
            return "\"" + name + "\" is a file the package makes itself";
        }
    }
    return {};
}

}  // namespace

bool WritePackage(const std::vector<Part>& payload, std::string* package, std::string* error) {
    std::set<std::string> names;
    std::map<std::string, std::string> defaults;
    for (const Part& part : payload) {
        std::string problem = NameProblem(part.name);
        if (problem.empty() && !names.insert(part.name).second) {
            problem = "the part name \"" + part.name + "\" is given twice";
        }
        if (!problem.empty()) {
            *error = problem;
            return false;
        }
        if (part.name == kManifest) {
            continue;
        }
        const std::string extension = Extension(part.name);
        if (extension.empty()) {
            *error = "the part \"" + part.name + "\" has no extension to give its content type";
            return false;
        }
        const auto known = defaults.emplace(extension, part.contentType);
        if (known.first->second != part.contentType) {
            *error = "the parts of extension \"" + extension + "\" have different content types";
            return false;
        }
    }
    if (names.count(kManifest) == 0) {
        *error = std::string("the package has no ") + kManifest;
        return false;
    }

    // What the archive holds of each entry: the payload stored, the package's own two files
    // deflated.
    struct Entry {
        std::string name;
        const std::string& bytes;
        std::string deflated;
    };
    const std::string blockMap = BlockMap(payload);
    const std::string contentTypes = ContentTypes(defaults);
    std::vector<Entry> entries;
    for (const Part& part : payload) {
        entries.push_back({part.name, part.bytes, {}});
    }
    entries.push_back({kBlockMap, blockMap, Deflated(blockMap)});
    entries.push_back({kContentTypes, contentTypes, Deflated(contentTypes)});
    if (entries[entries.size() - 2].deflated.empty() || entries.back().deflated.empty()) {
        *error = "zlib cannot deflate the package's own files";
        return false;
    }
    constexpr uint64_t kMax32 = std::numeric_limits<uint32_t>::max();
    uint64_t total = 0;
    for (const Entry& entry : entries) {
        total += LocalHeaderSize(entry.name) + entry.bytes.size() + entry.deflated.size() + 46 +
                 entry.name.size();
    }
    if (entries.size() >= 0xFFFF || total + 22 > kMax32) {
        *error = "the package is larger than a ZIP archive without ZIP64 records holds";
        return false;
    }

    std::string archive, directory;
    for (const Entry& entry : entries) {
        const bool deflated = !entry.deflated.empty();
        const std::string& data = deflated ? entry.deflated : entry.bytes;
        const uint32_t offset = static_cast<uint32_t>(archive.size());
        const uint32_t crc = Crc32(entry.bytes);
        const uint32_t method = deflated ? 8 : 0;
        const uint32_t packedSize = static_cast<uint32_t>(data.size());
        const uint32_t size = static_cast<uint32_t>(entry.bytes.size());
        const uint32_t nameSize = static_cast<uint32_t>(entry.name.size());
        // Local file header: version 2.0 needed, no flags.
        Put32(archive, 0x04034B50);
        Put16(archive, 20);
        Put16(archive, 0);
        Put16(archive, method);
        Put16(archive, kDosTime);
        Put16(archive, kDosDate);
        Put32(archive, crc);
        Put32(archive, packedSize);
        Put32(archive, size);
        Put16(archive, nameSize);
        Put16(archive, 0);  // no extra field
        archive += entry.name;
        archive += data;
        // Its central directory entry: made by MS-DOS-compatible version 2.0.
        Put32(directory, 0x02014B50);
        Put16(directory, 20);
        Put16(directory, 20);
        Put16(directory, 0);
        Put16(directory, method);
        Put16(directory, kDosTime);
        Put16(directory, kDosDate);
        Put32(directory, crc);
        Put32(directory, packedSize);
        Put32(directory, size);
        Put16(directory, nameSize);
        Put16(directory, 0);  // extra field
        Put16(directory, 0);  // comment
        Put16(directory, 0);  // disk number
        Put16(directory, 0);  // internal attributes
        Put32(directory, 0);  // external attributes
        Put32(directory, offset);
        directory += entry.name;
    }
    const uint32_t directoryOffset = static_cast<uint32_t>(archive.size());
    archive += directory;
    // End of central directory record.
    Put32(archive, 0x06054B50);
    Put16(archive, 0);
    Put16(archive, 0);
    Put16(archive, static_cast<uint32_t>(entries.size()));
    Put16(archive, static_cast<uint32_t>(entries.size()));
    Put32(archive, static_cast<uint32_t>(directory.size()));
    Put32(archive, directoryOffset);
    Put16(archive, 0);
    *package = std::move(archive);
    return true;
}

}  // namespace tw::msix
