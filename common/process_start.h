// The seam between a program's decision to start another program and the platform call that does
// it.
#pragma once

#include <string>

namespace tw {

// One request to start a program through the shell, the way ShellExecuteW takes it, in UTF-16: no
// owner window.
struct StartRequest {
    std::u16string verb;
    std::u16string file;
    std::u16string parameters;
    std::u16string directory;
    int showCommand = 0;

    bool operator==(const StartRequest& other) const {
        return verb == other.verb && file == other.file && parameters == other.parameters &&
               directory == other.directory && showCommand == other.showCommand;
    }
};

class ProcessStarter {
  public:
    virtual ~ProcessStarter() = default;
    // Requests the start and returns at once; true when the platform accepted the request.
    virtual bool Start(const StartRequest& request) = 0;
};

// Starts programs with ShellExecuteW (Windows builds only).
ProcessStarter& ShellProcessStarter();

}  // namespace tw
