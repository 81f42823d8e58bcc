#include "substitution.h"

#include <algorithm>
#include <cstring>

namespace tw {

size_t ExpandedScript::OriginalOffset(size_t expandedOffset) const {
    auto after = std::upper_bound(
        replacements.begin(), replacements.end(), expandedOffset,
        [](size_t offset, const Replacement& r) { return offset < r.expandedStart; });
    if (after == replacements.begin()) {
        return expandedOffset;
    }
    const Replacement& r = *(after - 1);
    if (expandedOffset < r.expandedEnd) {
        return r.originalStart;
    }
    return r.originalEnd + (expandedOffset - r.expandedEnd);
}

HRESULT ExpandSubstitutions(const char* input, const std::vector<Substitution>& substitutions,
                            const TextServices& text, ExpandedScript* expanded, size_t* errorOffset,
                            ScriptFault* fault) {
    const size_t length = std::strlen(input);
    expanded->text.clear();
    expanded->replacements.clear();
    // Room for the usual growth; std::string doubles its capacity whenever more is needed.
    expanded->text.reserve(2 * length < 100 ? 1000 : 2 * length);
    // The 8-bit form of each value, converted on its first use in this pass.
    std::vector<std::string> narrowValues(substitutions.size());
    std::vector<bool> converted(substitutions.size(), false);

    const char* p = input;
    while (*p != '\0') {
        if (*p != '%') {
            const char* next = text.NextChar(p);
            expanded->text.append(p, next);
            p = next;
            continue;
        }
        const size_t start = static_cast<size_t>(p - input);
        const size_t expandedStart = expanded->text.size();
        if (p[1] == '%') {
            expanded->text.push_back('%');
            p += 2;
        } else {
            const char* name = p + 1;
            const char* close = name;
            while (*close != '\0' && *close != '%') {
                close = text.NextChar(close);
            }
            *errorOffset = start;
            if (*close == '\0') {
                *fault = ScriptFault::UnclosedPercent;
                return DISP_E_EXCEPTION;
            }
            const std::string wanted(name, close);
            if (wanted.size() > kMaxSubstitutionName) {
                *fault = ScriptFault::LongSubstitutionName;
                return E_FAIL;
            }
            size_t found = 0;
            while (found < substitutions.size() &&
                   !text.EqualNoCase(substitutions[found].name.c_str(), wanted.c_str())) {
                ++found;
            }
            if (found == substitutions.size()) {
                *fault = ScriptFault::UnknownSubstitution;
                return DISP_E_EXCEPTION;
            }
            if (!converted[found]) {
                if (!text.FromUtf16(substitutions[found].value, &narrowValues[found])) {
                    return E_OUTOFMEMORY;
                }
                converted[found] = true;
            }
            expanded->text += narrowValues[found];
            p = close + 1;
        }
        expanded->replacements.push_back(
            {expandedStart, expanded->text.size(), start, static_cast<size_t>(p - input)});
    }
    return S_OK;
}

}  // namespace tw
