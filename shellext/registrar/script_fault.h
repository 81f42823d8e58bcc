// Why a run of a registry script stopped, where the interpreter knows more than its HRESULT says.
// Callers of the registrar get the HRESULT alone; a tool that shows a script's failure to its
// author (twrgs) also reads the fault and the offset the run stopped at, and words the cause
// itself, so that the interpreter carries a number per failure and no text.
#pragma once

namespace tw {

enum class ScriptFault : unsigned char {
    None,  // no failure, or one its HRESULT says all about (a registry error, no memory)
    // The lexer.
    UnexpectedEnd,  // the text ended where a token was needed
    UnclosedQuote,  // a quoted token without its closing quote
    LongToken,      // a token longer than kMaxTokenBytes
    // The grammar.
    UnknownRoot,         // a root block's first token names no root key
    NoRootBlock,         // the token after a root name does not begin with "{"
    EmptyKeyName,        // a key name that is empty
    BraceKeyName,        // a key name that is exactly "{"
    BackslashInKeyName,  // a key name with a backslash
    NoEquals,            // "val NAME" without "=" after the name
    UnknownType,         // a type letter other than s, m, d and b
    TooDeep,             // blocks nested deeper than kMaxBlockDepth
    // The values.
    OddBinary,  // a "b" value of an odd number of characters
    BadNumber,  // a "d" value that the number parser refuses
    // The substitution pass.
    UnclosedPercent,       // a "%" without its closing "%"
    UnknownSubstitution,   // "%NAME%" for a name that no substitution has
    LongSubstitutionName,  // a name longer than kMaxSubstitutionName
};

}  // namespace tw
