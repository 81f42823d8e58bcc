// The substitution pass of a registry script: "%%" becomes "%", "%NAME%" becomes the 8-bit form of
// the first substitution whose name matches NAME without regard to case. It runs over the whole
// text before parsing and ignores quoting.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "script_fault.h"
#include "text_services.h"

namespace tw {

// One named value: the name in 8-bit text, the value in UTF-16.
struct Substitution {
    std::string name;
    std::u16string value;
};

// The longest substitution name, in bytes.
constexpr size_t kMaxSubstitutionName = 31;

struct ExpandedScript {
    // Where the expanded text differs from the original: the bytes [expandedStart, expandedEnd)
    // replace the original bytes [originalStart, originalEnd). In text order.
    struct Replacement {
        size_t expandedStart;
        size_t expandedEnd;
        size_t originalStart;
        size_t originalEnd;
    };

    std::string text;
    std::vector<Replacement> replacements;

    // The offset in the original text that an offset in the expanded text comes from; an offset
    // inside a substituted value maps to the "%" that started the reference.
    size_t OriginalOffset(size_t expandedOffset) const;
};

// Expands `input` (NUL-terminated). Failures: a "%" without a closing "%" or an unknown name,
// DISP_E_EXCEPTION; a name of 32 bytes or more, E_FAIL; a value that cannot be converted,
// E_OUTOFMEMORY. On failure `errorOffset` receives the offset of the reference's first "%", and
// `fault` why.
HRESULT ExpandSubstitutions(const char* input, const std::vector<Substitution>& substitutions,
                            const TextServices& text, ExpandedScript* expanded, size_t* errorOffset,
                            ScriptFault* fault);

}  // namespace tw
