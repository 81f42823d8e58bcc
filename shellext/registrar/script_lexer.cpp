#include "script_lexer.h"

namespace tw {
namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

}  // namespace

bool ScriptLexer::AtEnd() {
    while (pos_ < script_.size() && IsSpace(script_[pos_])) {
        ++pos_;
    }
    return pos_ == script_.size();
}

HRESULT ScriptLexer::Next() {
    AtEnd();
    tokenStart_ = pos_;
    token_.clear();
    const char* const base = script_.c_str();
    const char* p = base + pos_;
    if (*p == '\0') {
        return Syntax(ScriptFault::UnexpectedEnd);
    }
    if (*p == '\'') {
        ++p;
        for (;;) {
            if (*p == '\0') {
                return Syntax(ScriptFault::UnclosedQuote);
            }
            if (*p == '\'') {
                if (p[1] != '\'') {
                    ++p;
                    break;
                }
                token_.push_back('\'');
                p += 2;
            } else {
                const char* next = text_.NextChar(p);
                token_.append(p, next);
                p = next;
            }
            if (token_.size() > kMaxTokenBytes) {
                return Syntax(ScriptFault::LongToken);
            }
        }
    } else {
        while (*p != '\0' && !IsSpace(*p)) {
            const char* next = text_.NextChar(p);
            token_.append(p, next);
            p = next;
            if (token_.size() > kMaxTokenBytes) {
                return Syntax(ScriptFault::LongToken);
            }
        }
    }
    pos_ = static_cast<size_t>(p - base);
    return S_OK;
}

HRESULT ScriptLexer::Skip(int count) {
    HRESULT hr = S_OK;
    for (int i = 0; i < count && SUCCEEDED(hr); ++i) {
        hr = Next();
    }
    return hr;
}

}  // namespace tw
