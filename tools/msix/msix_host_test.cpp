// The package builder's pieces: the Publisher from a certificate's subject as Windows writes it,
// the PNG writer and the logos, and packages of files around the block size, read back by the
// independent reader tests/msix/msix_checks.py.
#include <gtest/gtest.h>

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include <sys/wait.h>

#include "logo.h"
#include "manifest.h"
#include "package_writer.h"
#include "png.h"
#include "publisher.h"

namespace tw::msix {
namespace {

std::string Publisher(const std::vector<NamePart>& parts) {
    std::string publisher, error;
    EXPECT_TRUE(PublisherFromParts(parts, &publisher, &error)) << error;
    return publisher;
}

TEST(Publisher, IsTheSubjectMostSpecificPartFirstWithWindowsKeyNames) {
    // Parts in their encoded order, as a certificate holds them.
    EXPECT_EQ(Publisher({{"2.5.4.3", "Tarnwick"}}), "CN=Tarnwick");
    EXPECT_EQ(Publisher({{"2.5.4.6", "US"},
                         {"2.5.4.8", "Washington"},
                         {"2.5.4.7", "Redmond"},
                         {"2.5.4.10", "Tarnwick Ltd"},
                         {"2.5.4.11", "Backup"},
                         {"2.5.4.3", "Tarnwick Ltd"}}),
              "CN=Tarnwick Ltd, OU=Backup, O=Tarnwick Ltd, L=Redmond, S=Washington, C=US");
    EXPECT_EQ(Publisher({{"1.2.840.113549.1.9.1", "a@b.example"},
                         {"0.9.2342.19200300.100.1.25", "example"},
                         {"2.5.4.9", "1 Main St"},
                         {"2.5.4.5", "123"}}),
              "SERIALNUMBER=123, STREET=1 Main St, DC=example, E=a@b.example");
    // An attribute without an X.500 key name in Windows, as the extended validation fields are.
    EXPECT_EQ(Publisher({{"1.3.6.1.4.1.311.60.2.1.3", "DE"}, {"2.5.4.15", "Private Organization"}}),
              "OID.2.5.4.15=Private Organization, OID.1.3.6.1.4.1.311.60.2.1.3=DE");
}

TEST(Publisher, QuotesTheValuesWindowsQuotes) {
    const struct {
        const char* value;
        const char* written;
    } cases[] = {
        {"Tarnwick, Inc.", "\"Tarnwick, Inc.\""},
        {"A+B", "\"A+B\""},
        {"a=b", "\"a=b\""},
        {"Say \"hi\"", "\"Say \"\"hi\"\"\""},
        {"<x>", "\"<x>\""},
        {"#1", "\"#1\""},
        {"a;b", "\"a;b\""},
        {" lead", "\" lead\""},
        {"trail ", "\"trail \""},
        {"", "\"\""},
        {"Ünïcode Ltd", "Ünïcode Ltd"},
        {"it's fine", "it's fine"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Publisher({{"2.5.4.10", c.value}}), std::string("O=") + c.written) << c.value;
    }
}

TEST(Publisher, RefusesWhatAPublisherCannotHold) {
    std::string publisher = "unchanged", error;
    EXPECT_FALSE(PublisherFromParts({}, &publisher, &error));
    EXPECT_FALSE(PublisherFromParts({{"2.5.4.3", "two\nlines"}}, &publisher, &error));
    EXPECT_NE(error.find("control character"), std::string::npos) << error;
    EXPECT_EQ(publisher, "unchanged");
}

// A certificate with the given subject entries (each with 0 to start a part of its own, or -1 to
// join the previous part, as X509_NAME_add_entry_by_txt takes it), signed by a throwaway key,
// written as PEM into `path`.
void WriteCertificate(const std::string& path,
                      const std::vector<std::tuple<const char*, int, std::string, int>>& entries) {
    EVP_PKEY* key = EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256");
    ASSERT_NE(key, nullptr);
    X509* certificate = X509_new();
    X509_NAME* name = X509_get_subject_name(certificate);
    for (const auto& [field, type, value, set] : entries) {
        ASSERT_EQ(X509_NAME_add_entry_by_txt(name, field, type,
                                             reinterpret_cast<const unsigned char*>(value.data()),
                                             static_cast<int>(value.size()), -1, set),
                  1);
    }
    X509_set_issuer_name(certificate, name);
    X509_set_pubkey(certificate, key);
    X509_gmtime_adj(X509_getm_notBefore(certificate), 0);
    X509_gmtime_adj(X509_getm_notAfter(certificate), 3600);
    ASSERT_GT(X509_sign(certificate, key, EVP_sha256()), 0);
    FILE* file = std::fopen(path.c_str(), "w");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(PEM_write_X509(file, certificate), 1);
    std::fclose(file);
    X509_free(certificate);
    EVP_PKEY_free(key);
}

TEST(Publisher, ComesFromTheCertificatesSubject) {
    const std::string path = testing::TempDir() + "msix_publisher_test.pem";
    std::string publisher, error;
    WriteCertificate(path, {{"C", MBSTRING_ASC, "DE", 0},
                            {"ST", MBSTRING_ASC, "Berlin", 0},
                            {"O", MBSTRING_UTF8, "Tärnwick, GmbH", 0},
                            {"CN", MBSTRING_UTF8, "Tärnwick", 0}});
    ASSERT_TRUE(PublisherFromCertificateFile(path, &publisher, &error)) << error;
    EXPECT_EQ(publisher, "CN=Tärnwick, O=\"Tärnwick, GmbH\", S=Berlin, C=DE");

    // Two attributes in one part of the name: Windows would join them with "+".
    WriteCertificate(path, {{"O", MBSTRING_ASC, "Tarnwick", 0}, {"CN", MBSTRING_ASC, "x", -1}});
    EXPECT_FALSE(PublisherFromCertificateFile(path, &publisher, &error));
    EXPECT_NE(error.find("several attributes"), std::string::npos) << error;

    std::ofstream(path) << "not a certificate\n";
    EXPECT_FALSE(PublisherFromCertificateFile(path, &publisher, &error));
    EXPECT_FALSE(PublisherFromCertificateFile(path + ".absent", &publisher, &error));
    std::remove(path.c_str());
}

uint32_t Big32(const std::string& bytes, size_t at) {
    return static_cast<uint32_t>(static_cast<uint8_t>(bytes[at])) << 24 |
           static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 1])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 2])) << 8 |
           static_cast<uint8_t>(bytes[at + 3]);
}

TEST(Png, ChunksCarryTheirCrcAndThePixelsInflateBack) {
    const int width = 3, height = 2;
    const std::vector<Rgba> pixels = {{1, 2, 3, 4},    {5, 6, 7, 8},     {9, 10, 11, 12},
                                      {13, 14, 15, 0}, {255, 0, 0, 255}, {0, 0, 0, 128}};
    const std::string png = PngFile(width, height, pixels);
    ASSERT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    std::vector<std::string> types;
    std::string idat, ihdr;
    for (size_t at = 8; at + 12 <= png.size();) {
        const uint32_t length = Big32(png, at);
        const std::string typed = png.substr(at + 4, 4 + length);
        EXPECT_EQ(Big32(png, at + 8 + length),
                  crc32(0, reinterpret_cast<const Bytef*>(typed.data()), typed.size()));
        types.push_back(typed.substr(0, 4));
        if (types.back() == "IDAT") {
            idat += typed.substr(4);
        } else if (types.back() == "IHDR") {
            ihdr += typed.substr(4);
        }
        at += 12 + length;
    }
    EXPECT_EQ(types, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
    ASSERT_EQ(ihdr.size(), 13u);
    EXPECT_EQ(Big32(ihdr, 0), 3u);
    EXPECT_EQ(Big32(ihdr, 4), 2u);
    EXPECT_EQ(ihdr.substr(8), std::string("\x08\x06\0\0\0", 5));
    std::string rows(height * (1 + width * 4), '\0');
    uLongf size = rows.size();
    ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(&rows[0]), &size,
                         reinterpret_cast<const Bytef*>(idat.data()), idat.size()),
              Z_OK);
    ASSERT_EQ(size, rows.size());
    for (int y = 0; y < height; ++y) {
        EXPECT_EQ(rows[y * (1 + width * 4)], '\0');  // no filter
        for (int x = 0; x < width; ++x) {
            const Rgba& p = pixels[y * width + x];
            EXPECT_EQ(rows.substr(y * (1 + width * 4) + 1 + x * 4, 4),
                      std::string({static_cast<char>(p.red), static_cast<char>(p.green),
                                   static_cast<char>(p.blue), static_cast<char>(p.alpha)}));
        }
    }
    EXPECT_EQ(PngFile(2, 2, pixels), "");
}

TEST(Logo, IsTheEmblemOnATransparentGroundWithItsArrowKept) {
    for (const LogoFile& logo : kLogos) {
        const std::vector<Rgba> pixels = LogoPixels(logo.side);
        ASSERT_EQ(pixels.size(), static_cast<size_t>(logo.side * logo.side));
        auto at = [&](double fx, double fy) {
            return pixels[static_cast<int>(fy * logo.side) * logo.side +
                          static_cast<int>(fx * logo.side)];
        };
        EXPECT_EQ(at(0, 0).alpha, 0) << logo.file;
        EXPECT_EQ(at(0.99, 0.99).alpha, 0) << logo.file;
        // The emblem's centre row, left of the arrow's shaft: orange.
        const Rgba orange = at(0.35, 0.47);
        EXPECT_EQ(orange.alpha, 255) << logo.file;
        EXPECT_GT(orange.red, orange.blue) << logo.file;
        // The arrow's shaft, inside the emblem: white and opaque.
        const Rgba arrow = at(0.5, 0.5);
        EXPECT_EQ(arrow.alpha, 255) << logo.file;
        EXPECT_EQ(arrow.red + arrow.green + arrow.blue, 3 * 255) << logo.file;
    }
}

TEST(PackageWriter, RefusesWhatThePackageFormatDoesNotAllow) {
    const Part manifest = {"AppxManifest.xml", "", "<Package/>"};
    const struct {
        std::vector<Part> payload;
        const char* why;
    } cases[] = {
        {{}, "no AppxManifest.xml"},
        {{manifest, {"", "a/b", "x"}}, "empty"},
        {{manifest, {"/abs.png", "image/png", "x"}}, "absolute"},
        {{manifest, {"a//b.png", "image/png", "x"}}, "empty segment"},
        {{manifest, {"a\\b.png", "image/png", "x"}}, "cannot have"},
        {{manifest, {"AppxBlockMap.xml", "text/xml", "x"}}, "makes itself"},
        {{manifest, {"AppxSignature.p7x", "x/y", "x"}}, "makes itself"},
        {{manifest, manifest}, "twice"},
        {{manifest, {"README", "text/plain", "x"}}, "no extension"},
        {{manifest, {"a.png", "image/png", "x"}, {"b.PNG", "image/x", "x"}}, "different content"},
    };
    for (const auto& c : cases) {
        std::string package = "unchanged", error;
        EXPECT_FALSE(WritePackage(c.payload, &package, &error)) << c.why;
        EXPECT_NE(error.find(c.why), std::string::npos) << error;
        EXPECT_EQ(package, "unchanged");
    }
}

// Runs the independent reader on `package`; its exit status, with its lines in `output`.
int Check(const std::string& package, const std::string& options, std::string* output) {
    const std::string log = package + ".log";
    const int status = std::system(
        ("python3 " TW_MSIX_CHECKS " '" + package + "' " + options + " >'" + log + "' 2>&1")
            .c_str());
    std::ifstream in(log);
    output->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    std::remove(log.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(PackageWriter, FilesOfEverySizeAroundABlockReadBackWhole) {
    std::vector<Part> payload = {{"AppxManifest.xml", "", ShellExtensionManifest("CN=Test")}};
    for (const LogoFile& logo : kLogos) {
        payload.push_back({std::string(kLogoFolder) + "/" + logo.file, "image/png",
                           PngFile(logo.side, logo.side, LogoPixels(logo.side))});
    }
    std::string bytes;
    for (size_t i = 0; i < 200000; ++i) {
        bytes += static_cast<char>((i * 7919) >> 5);
    }
    for (size_t size : {size_t{0}, size_t{1}, size_t{65535}, size_t{65536}, size_t{65537},
                        size_t{131072}, size_t{200000}}) {
        payload.push_back({"Data/f" + std::to_string(size) + ".bin", "application/octet-stream",
                           bytes.substr(0, size)});
    }
    std::string package, error, output;
    ASSERT_TRUE(WritePackage(payload, &package, &error)) << error;
    const std::string path = testing::TempDir() + "msix_writer_test.msix";
    std::ofstream(path, std::ios::binary) << package;
    EXPECT_EQ(Check(path, "--publisher 'CN=Test'", &output), 0) << output;

    // The reader sees a changed byte in the middle block of the largest file.
    const size_t middle = package.find(bytes.substr(0, 200000)) + 65536 + 100;
    ASSERT_LT(middle, package.size());
    package[middle] = static_cast<char>(package[middle] ^ 0x5A);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << package;
    EXPECT_EQ(Check(path, "", &output), 1) << output;
    EXPECT_NE(output.find("Data/f200000.bin: block 1 has another hash"), std::string::npos)
        << output;
    std::remove(path.c_str());
}

}  // namespace
}  // namespace tw::msix
