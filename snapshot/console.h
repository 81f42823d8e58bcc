// The seam between the snapshot tool and its console: whole lines, each to one standard stream.
#pragma once

#include <string>
#include <string_view>

#include "win_types.h"

namespace tw {

class Console {
  public:
    virtual ~Console() = default;
    // Info lines and the result line. Ends the line and flushes it at once.
    virtual void Out(std::string_view line) = 0;
    // Error lines. Standard output is flushed first, so that both streams keep the program's order
    // when they go to the same place; the line is then ended and flushed.
    virtual void Err(std::string_view line) = 0;
};

// The console of the process: standard output and standard error, in text mode (Windows builds).
Console& StandardConsole();

// A message followed by a result code as a signed decimal number (0x80070005 gives -2147024891).
inline std::string WithResultCode(std::string_view message, HRESULT code) {
    return std::string(message) + std::to_string(static_cast<long>(code));
}

}  // namespace tw
