// What the libFuzzer targets run on each input, shared with the host test that replays their seeds.
// A broken invariant prints what broke and aborts.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tw::fuzz {

// The input as a registry script, run in code pages 1252 and 932 against an in-memory registry:
// registering, then unregistering. Every key is closed after each run, a failed run says where it
// stopped within the script, and what a registration wrote survives a trip through a .reg file.
int FuzzScriptText(const uint8_t* data, size_t size);

// The input as a .reg file read into an in-memory registry: every key is closed afterwards, and
// what it read writes out and reads back the same.
int FuzzRegFile(const uint8_t* data, size_t size);

}  // namespace tw::fuzz
