// The tokens of an expanded registry script: white space (space, TAB, LF, CR) separates them; a
// token is bare, or quoted with ' ('' inside stands for one quote, nothing else is an escape).
// Characters are stepped with the code page's text services, so a trail byte of a double-byte
// character is never taken for a quote or a space.
#pragma once

#include <cstddef>
#include <string>

#include "script_fault.h"
#include "text_services.h"

namespace tw {

// The longest token, in bytes.
constexpr size_t kMaxTokenBytes = 4094;

class ScriptLexer {
  public:
    ScriptLexer(const std::string& script, const TextServices& text)
        : script_(script), text_(text) {}

    // Reads the next token. DISP_E_EXCEPTION (a syntax error) at the end of the text, for a quoted
    // token without its closing quote, and for a token longer than kMaxTokenBytes.
    HRESULT Next();
    // Reads `count` tokens, stopping at the first failure.
    HRESULT Skip(int count);

    const std::string& Token() const { return token_; }
    // Where the current token starts in the text (its opening quote, for a quoted one).
    size_t TokenStart() const { return tokenStart_; }
    // The token is `word`, without regard to case.
    bool Is(const char* word) const { return text_.EqualNoCase(token_.c_str(), word); }
    bool StartsWith(char c) const { return !token_.empty() && token_[0] == c; }

    // Where reading goes on, and going back there (to walk a block a second time).
    size_t Position() const { return pos_; }
    void Rewind(size_t position) { pos_ = position; }
    // Passes white space; true when nothing but white space is left.
    bool AtEnd();
    // The text is empty (white space is not).
    bool IsEmpty() const { return script_.empty(); }

    // Notes a failure of the walk over this text at `offset`, and why (the first failure noted
    // stays), and returns `result`; Fail(result, fault) notes it at the current token.
    HRESULT Fail(HRESULT result, size_t offset, ScriptFault fault = ScriptFault::None) {
        if (stop_ == std::string::npos) {
            stop_ = offset;
            fault_ = fault;
        }
        return result;
    }
    HRESULT Fail(HRESULT result, ScriptFault fault) { return Fail(result, tokenStart_, fault); }
    HRESULT Syntax(ScriptFault fault) { return Fail(DISP_E_EXCEPTION, fault); }
    // Where the first failure was noted, and why; std::string::npos and ScriptFault::None while
    // there was none.
    size_t StopOffset() const { return stop_; }
    ScriptFault StopFault() const { return fault_; }

  private:
    const std::string& script_;
    const TextServices& text_;
    size_t pos_ = 0;
    std::string token_;
    size_t tokenStart_ = 0;
    size_t stop_ = std::string::npos;
    ScriptFault fault_ = ScriptFault::None;
};

}  // namespace tw
