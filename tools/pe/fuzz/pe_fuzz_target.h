// What the libFuzzer target of the PE reader runs on each input, shared with the host test that
// replays its regressions. A broken invariant prints what broke and aborts.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tw::fuzz {

// The input as a PE file (Parse), and as a version resource (ParseVersion), as are the version
// resources the file holds: each is read or refused with a reason, and what a file gives holds no
// more bytes than its size allows (kUnitsPerByte, kFloorUnits).
int FuzzPeImage(const uint8_t* data, size_t size);

}  // namespace tw::fuzz
