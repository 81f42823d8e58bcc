// Walks an expanded registry script: reads its tokens and registers or unregisters every root
// block against a registry.
#pragma once

#include <cstddef>
#include <string>

#include "registry.h"
#include "text_services.h"

namespace tw {

// The longest token, in bytes.
constexpr size_t kMaxTokenBytes = 4094;
// How deep blocks may nest, counting the root block. Each level of nesting is a level of
// recursion here; the bound keeps any script from exhausting the stack. A deeper block fails with
// DISP_E_EXCEPTION.
constexpr int kMaxBlockDepth = 64;

struct WalkResult {
    HRESULT result = S_OK;
    // On failure, the offset in the expanded text where the walk stopped (the start of the token
    // it was at); std::string::npos on success.
    size_t stopOffset = std::string::npos;
};

// Registers (or unregisters) every root block of `script`. A failing root block is unregistered
// again when registering; earlier root blocks stay.
WalkResult WalkScript(const std::string& script, bool registering, Registry& registry,
                      const TextServices& text);

}  // namespace tw
