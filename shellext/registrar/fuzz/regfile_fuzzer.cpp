// libFuzzer target: .reg files through ReadRegFile, as twrgs --from reads them.
#include "fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return tw::fuzz::FuzzRegFile(data, size);
}
