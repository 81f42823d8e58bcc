// The process-wide diagnostic log object. It carries a file name and an output stream, but the
// stream is never opened and every message is discarded: the handler writes nothing anywhere.
//
// The stream is a C stream of the standard library, held as a null handle: a file stream object
// of the C++ library would link its locale machinery (about 720 KB) into a DLL that Explorer maps
// into every process that shows a file's context menu, for a stream that is never opened.
#pragma once

#include <cstdio>
#include <string>

namespace tw {

class CLogFile {
  public:
    // The one object of the process, created on the first call (safe when several threads make
    // that first call at once). Null only when the object could not be created; the next call
    // then tries again.
    static CLogFile* Instance() noexcept;

    // Discards the message.
    void Log(const std::string& message) noexcept { static_cast<void>(message); }

    const std::string& FileName() const { return fileName; }
    // The stream: never opened, so always null.
    std::FILE* Stream() const { return stream; }

  private:
    CLogFile();

    std::FILE* stream = nullptr;  // never opened
    std::string fileName;
};

}  // namespace tw
