// What the fuzz targets and their replay tests share: the check that stops a fuzzer on a broken
// property, and the whole-file read that replays a saved input.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace tw::fuzz {

// Stops the run, naming the property, when `holds` is false: libFuzzer keeps the input.
inline void Check(bool holds, const char* what) {
    if (!holds) {
        std::fprintf(stderr, "fuzz check failed: %s\n", what);
        std::abort();
    }
}

// The bytes of the file at `path`, whole; empty when it cannot be read.
inline std::string ReadInputFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

}  // namespace tw::fuzz
