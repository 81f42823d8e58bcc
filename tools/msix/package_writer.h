// An app package (.msix) as Microsoft's package format lays it out, for a package whose content is
// a few small files: a ZIP archive whose local headers carry the sizes (no data descriptors) and no
// extra fields, without ZIP64 records, its central directory in the entries' order. The payload
// parts come first, stored (AppxManifest.xml among them), then AppxBlockMap.xml and
// [Content_Types].xml, deflated. Signing (osslsigncode) adds AppxSignature.p7x at the end and its
// content type before the closing </Types>; it writes the new [Content_Types].xml deflated and
// keeps the entry's compression method, which must therefore be deflate already (osslsigncode 2.9
// leaves a stored one marked stored and the package unreadable).
//
// AppxBlockMap.xml, in the 2010 block-map namespace: for each payload part, its name with
// backslashes, its size, the size of its local header (LfhSize), and the base64 SHA-256 of each
// 64 KiB block of its data (the last one shorter); a stored part's blocks carry no Size, which is
// the size of a block's compressed data. HashMethod is the last attribute of <BlockMap>, where a
// signing tool that reads it as text finds it.
//
// [Content_Types].xml: a Default by extension for the payload parts, and an Override for
// /AppxManifest.xml and /AppxBlockMap.xml.
#pragma once

#include <string>
#include <vector>

namespace tw::msix {

struct Part {
    std::string name;  // the part's name in the archive, segments separated by "/"
    std::string contentType;
    std::string bytes;
};

// Writes the package of `payload`, which must hold AppxManifest.xml. False, with the reason in
// `error`, for a name the package format does not allow (empty, absolute, with "\" or an empty
// segment, a name of the package's own files, twice the same), two parts with one extension but
// different content types, or more than the archive's 32-bit sizes and 16-bit counts hold.
bool WritePackage(const std::vector<Part>& payload, std::string* package, std::string* error);

}  // namespace tw::msix
