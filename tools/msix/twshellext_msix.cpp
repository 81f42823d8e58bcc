// twshellext_msix: makes twShellExt_64.msix, the package with external location that declares the
// shell extension's Explorer command to Windows 11 (manifest.h): its manifest, its logos and the
// package's own files (package_writer.h). Unsigned; scripts/sign.sh signs it.
//     twshellext_msix --out FILE [--certificate CERT.pem]
// The Publisher is the subject of the signing certificate (the first certificate of CERT.pem), as
// Windows compares it (publisher.h); without a certificate, the test publisher of unsigned
// packages. Exit status 0, 1 when the package cannot be made, 2 for a wrong command line.
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <string>
#include <vector>

#include "logo.h"
#include "manifest.h"
#include "package_writer.h"
#include "png.h"
#include "publisher.h"

namespace {

int Usage() {
    std::fprintf(stderr, "usage: twshellext_msix --out FILE [--certificate CERT.pem]\n");
    return 2;
}

int Fail(const std::string& why) {
    std::fprintf(stderr, "twshellext_msix: %s\n", why.c_str());
    return 1;
}

int Run(int argc, char** argv) {
    std::string out, certificate;
    for (int i = 1; i < argc; ++i) {
        std::string* target = nullptr;
        if (std::strcmp(argv[i], "--out") == 0) {
            target = &out;
        } else if (std::strcmp(argv[i], "--certificate") == 0) {
            target = &certificate;
        }
        if (target == nullptr || i + 1 == argc || !target->empty()) {
            return Usage();
        }
        *target = argv[++i];
    }
    if (out.empty()) {
        return Usage();
    }
    std::string publisher = tw::msix::kTestPublisher, error;
    if (!certificate.empty() &&
        !tw::msix::PublisherFromCertificateFile(certificate, &publisher, &error)) {
        return Fail(error);
    }

    std::vector<tw::msix::Part> payload;
    for (const tw::msix::LogoFile& logo : tw::msix::kLogos) {
        const std::string png =
            tw::msix::PngFile(logo.side, logo.side, tw::msix::LogoPixels(logo.side));
        if (png.empty()) {
            return Fail(std::string("cannot make ") + logo.file);
        }
        payload.push_back({std::string(tw::msix::kLogoFolder) + "/" + logo.file, "image/png", png});
    }
    payload.push_back({"AppxManifest.xml", "", tw::msix::ShellExtensionManifest(publisher)});
    std::string package;
    if (!tw::msix::WritePackage(payload, &package, &error)) {
        return Fail(error);
    }
    std::ofstream file(out, std::ios::binary | std::ios::trunc);
    file.write(package.data(), static_cast<std::streamsize>(package.size()));
    file.close();
    if (!file) {
        return Fail("cannot write " + out);
    }
    std::printf("%s: %zu bytes, publisher \"%s\"\n", out.c_str(), package.size(),
                publisher.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        return Fail(e.what());
    }
}
