// The class identifiers of the shell extension's two classes, each defined once: the context-menu
// handler, for the class table, registration's Approved entry and the installer fragment (its
// registry script, a resource stored byte for byte, spells the same identifier out; a test checks
// that), and the Explorer command, for the class table and the package that declares it.
#pragma once

#include "win_types.h"

namespace tw {

// {9F264B80-12D4-4C4C-9158-7A1A1803FB58}
inline constexpr CLSID CLSID_SimpleShlExt = {
    0x9F264B80, 0x12D4, 0x4C4C, {0x91, 0x58, 0x7A, 0x1A, 0x18, 0x03, 0xFB, 0x58}};

// {A09105CC-93EB-4C7E-BA18-9038B1D88144}
inline constexpr CLSID CLSID_ExplorerCommand = {
    0xA09105CC, 0x93EB, 0x4C7E, {0xBA, 0x18, 0x90, 0x38, 0xB1, 0xD8, 0x81, 0x44}};

}  // namespace tw
