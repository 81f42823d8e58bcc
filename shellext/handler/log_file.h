// The process-wide diagnostic log object. It carries a file name and an output stream, but the
// stream is never opened and every message is discarded: the handler writes nothing anywhere.
#pragma once

#include <fstream>
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

  private:
    CLogFile();

    std::ofstream stream;  // constructed without a file, never opened
    std::string fileName;
};

}  // namespace tw
