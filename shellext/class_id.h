// The class identifier of the shell extension's one class, the context-menu handler, defined once
// for the class table, registration's Approved entry and the installer fragment. (Its registry
// script, a resource stored byte for byte, spells the same identifier out; a test checks that.)
#pragma once

#include "win_types.h"

namespace tw {

// {9F264B80-12D4-4C4C-9158-7A1A1803FB58}
inline constexpr CLSID CLSID_SimpleShlExt = {
    0x9F264B80, 0x12D4, 0x4C4C, {0x91, 0x58, 0x7A, 0x1A, 0x18, 0x03, 0xFB, 0x58}};

}  // namespace tw
