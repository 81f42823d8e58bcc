// The package's Publisher from the certificate that signs it. Windows accepts a signed package only
// when the Publisher of its manifest's Identity is the certificate's subject exactly as Windows
// writes a name in X.500 form, most specific part first (CertNameToStr with CERT_X500_NAME_STR and
// CERT_NAME_STR_REVERSE_FLAG): the subject's parts in the reverse of their encoded order, joined by
// ", ", each as KEY=value with Windows' key names (CN, O, OU, L, S, C, E, ...; "OID." and the
// dotted number for any other attribute), and a value quoted ("...", an inner quote doubled) when
// it is empty, starts or ends with a space, or holds one of , + = " < > # ;.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tw::msix {

// One part of a subject: the attribute's dotted object identifier and its value in UTF-8.
struct NamePart {
    std::string oid;
    std::string value;
};

// The Publisher text of a subject whose parts are given in their encoded order, each part its own
// relative name. False, with the reason in `error`, for what a Publisher cannot hold: no part, a
// value with a line break or another control character.
bool PublisherFromParts(const std::vector<NamePart>& parts, std::string* publisher,
                        std::string* error);

// The Publisher of the first certificate in a PEM file (the signing certificate when the file
// holds a chain, as osslsigncode reads it). False, with the reason in `error`, when the file holds
// no certificate, the subject has a part of several attributes (Windows joins them with "+",
// which a Publisher cannot hold) or a value that is not text, or PublisherFromParts refuses it.
bool PublisherFromCertificateFile(const std::string& pemPath, std::string* publisher,
                                  std::string* error);

}  // namespace tw::msix
