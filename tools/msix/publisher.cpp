#include "publisher.h"

#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/objects.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <memory>

namespace tw::msix {
namespace {

// Windows' X.500 key names, which the manifest schema's Publisher pattern lists; any other
// attribute is written "OID." and its number.
struct KeyName {
    const char* oid;
    const char* key;
};
constexpr KeyName kKeyNames[] = {
    {"2.5.4.3", "CN"},
    {"2.5.4.7", "L"},
    {"2.5.4.10", "O"},
    {"2.5.4.11", "OU"},
    {"1.2.840.113549.1.9.1", "E"},
    {"2.5.4.6", "C"},
    {"2.5.4.8", "S"},
    {"2.5.4.9", "STREET"},
    {"2.5.4.12", "T"},
    {"2.5.4.42", "G"},
    {"2.5.4.43", "I"},
    {"2.5.4.4", "SN"},
    {"0.9.2342.19200300.100.1.25", "DC"},
    {"2.5.4.5", "SERIALNUMBER"},
    {"2.5.4.13", "Description"},
    {"2.5.4.17", "PostalCode"},
    {"2.5.4.18", "POBox"},
    {"2.5.4.20", "Phone"},
    {"2.5.4.24", "X21Address"},
    {"2.5.4.46", "dnQualifier"},
};

std::string Key(const std::string& oid) {
    for (const KeyName& name : kKeyNames) {
        if (oid == name.oid) {
            return name.key;
        }
    }
    return "OID." + oid;
}

bool NeedsQuotes(const std::string& value) {
    if (value.empty() || value.front() == ' ' || value.back() == ' ') {
        return true;
    }
    return value.find_first_of(",+=\"<>#;") != std::string::npos;
}

std::string Quoted(const std::string& value) {
    std::string quoted = "\"";
    for (char c : value) {
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    }
    return quoted + '"';
}

struct BioDeleter {
    void operator()(BIO* bio) const { BIO_free(bio); }
};
struct X509Deleter {
    void operator()(X509* certificate) const { X509_free(certificate); }
};

}  // namespace

bool PublisherFromParts(const std::vector<NamePart>& parts, std::string* publisher,
                        std::string* error) {
    if (parts.empty()) {
        *error = "the subject is empty";
        return false;
    }
    std::string text;
    for (auto part = parts.rbegin(); part != parts.rend(); ++part) {
        for (unsigned char c : part->value) {
            if (c < 0x20 || c == 0x7F) {
                *error = "the subject's " + Key(part->oid) +
                         " holds a control character, which a Publisher cannot hold";
                return false;
            }
        }
        if (!text.empty()) {
            text += ", ";
        }
        text +=
            Key(part->oid) + "=" + (NeedsQuotes(part->value) ? Quoted(part->value) : part->value);
    }
    *publisher = text;
    return true;
}

bool PublisherFromCertificateFile(const std::string& pemPath, std::string* publisher,
                                  std::string* error) {
    std::unique_ptr<BIO, BioDeleter> file(BIO_new_file(pemPath.c_str(), "r"));
    if (!file) {
        *error = "cannot read " + pemPath;
        return false;
    }
    std::unique_ptr<X509, X509Deleter> certificate(
        PEM_read_bio_X509(file.get(), nullptr, nullptr, nullptr));
    if (!certificate) {
        *error = pemPath + " holds no PEM certificate";
        return false;
    }
    const X509_NAME* subject = X509_get_subject_name(certificate.get());
    std::vector<NamePart> parts;
    int lastSet = -1;
    for (int i = 0; i < X509_NAME_entry_count(subject); ++i) {
        const X509_NAME_ENTRY* entry = X509_NAME_get_entry(subject, i);
        if (X509_NAME_ENTRY_set(entry) == lastSet) {
            *error = "the subject has a part of several attributes, which a Publisher cannot hold";
            return false;
        }
        lastSet = X509_NAME_ENTRY_set(entry);
        char oid[128];
        if (OBJ_obj2txt(oid, sizeof oid, X509_NAME_ENTRY_get_object(entry), 1) <= 0) {
            *error = "the subject has an attribute without a readable identifier";
            return false;
        }
        const ASN1_STRING* data = X509_NAME_ENTRY_get_data(entry);
        unsigned char* utf8 = nullptr;
        const int length = ASN1_STRING_to_UTF8(&utf8, data);
        if (length < 0) {
            *error = std::string("the subject's ") + oid + " is not text";
            return false;
        }
        parts.push_back({oid, std::string(reinterpret_cast<char*>(utf8), length)});
        OPENSSL_free(utf8);
    }
    return PublisherFromParts(parts, publisher, error);
}

}  // namespace tw::msix
