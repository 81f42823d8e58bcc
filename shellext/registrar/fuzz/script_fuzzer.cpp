// libFuzzer target: registry scripts through CRegObject::RunScriptText.
#include "fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return tw::fuzz::FuzzScriptText(data, size);
}
