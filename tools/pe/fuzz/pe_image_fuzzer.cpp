// libFuzzer target: any file through the PE reader, as twrgs --dll reads it.
#include "pe_fuzz_target.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return tw::fuzz::FuzzPeImage(data, size);
}
