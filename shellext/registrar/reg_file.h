// Registry content as the text of an exported .reg file ("Windows Registry Editor Version 5.00"),
// in UTF-8: one [KEY] section per key, "@=" for a default value, "name"="text" for a string,
// dword:, hex: for binary data, hex(7): for a multi-string (UTF-16LE bytes, as the format has
// them) and hex(N): for anything else. The registry holds 8-bit text in a code page; names and
// strings are converted through it (RegFileText).
#pragma once

#include <string>

#include "code_page_text.h"
#include "registry.h"
#include "registry_snapshot.h"

namespace tw {

// How the registry's 8-bit text and the file's text (UTF-16) turn into each other. This one
// converts through the code page and takes only what the code page carries exactly: a look-alike
// or '?' would name another key, or change the value. A tool whose registry text carries more
// than the code page derives its own.
class RegFileText {
  public:
    explicit RegFileText(const CodePageText& text) : text_(text) {}
    virtual ~RegFileText() = default;
    RegFileText(const RegFileText&) = delete;
    RegFileText& operator=(const RegFileText&) = delete;

    virtual bool ToUtf16(const std::string& registryText, std::u16string* wide) const;
    // False, with why in `why`, when `wide` cannot become registry text exactly.
    virtual bool FromUtf16(const std::u16string& wide, std::string* registryText,
                           std::string* why) const;

  protected:
    const CodePageText& text_;
};

// Writes every key of `snapshot`, in its order. A string value that is not a plain string (a
// missing terminator, a NUL inside, a line break) is written as hex(1):. False, with a message in
// `error`, when a key or value name holds a line break, which the format cannot carry.
bool WriteRegFile(const RegistrySnapshot& snapshot, const RegFileText& text, std::string* out,
                  std::string* error);
// The same through the code page of `text` (RegFileText).
bool WriteRegFile(const RegistrySnapshot& snapshot, const CodePageText& text, std::string* out,
                  std::string* error);

// Creates the keys and sets the values that `content` describes, through `registry`. Accepts what
// WriteRegFile writes and what a registry editor exports (CR LF line ends, a UTF-8 or UTF-16LE byte
// order mark, comment lines, hex data continued over several lines); deletions ([-KEY], "name"=-)
// are not accepted. False, with "line N: why" in `error`, for anything else.
bool ReadRegFile(const std::string& content, Registry& registry, const RegFileText& text,
                 std::string* error);
// The same through the code page of `text` (RegFileText).
bool ReadRegFile(const std::string& content, Registry& registry, const CodePageText& text,
                 std::string* error);

}  // namespace tw
