// The snapshot tool's command line: "-c VOLUME" creates a snapshot, "-d DEVICE_OBJECT" deletes one.
#pragma once

#include <string>

#include "console.h"
#include "vss_requester.h"

namespace tw {

// What the driver asks of the process and of the platform's text services.
class ProcessEnvironment {
  public:
    virtual ~ProcessEnvironment() = default;
    // True when the process token reports elevation; false also when the token cannot be read.
    virtual bool IsProcessElevated() = 0;
    // Decodes UTF-8 bytes into UTF-16 units; malformed bytes do not stop the decoding.
    virtual std::wstring Utf8ToUtf16(const std::string& bytes) = 0;
};

// Runs the tool for the arguments of `main` and returns its exit code, which is always 0. A process
// that is not elevated gets the single line "Error : Not Elevated" whatever its arguments.
// Otherwise exactly two arguments are read: "-c" hands the value, decoded as UTF-8, to
// CreateSnapshot; "-d" hands the bytes unchanged to DeleteSnapshot. Any other command line does
// nothing.
int RunSnapshotTool(int argc, const char* const* argv, ProcessEnvironment& environment,
                    VssService& vss, Console& console);

// The Windows implementation: token query and MultiByteToWideChar (Windows builds only).
ProcessEnvironment& PlatformEnvironment();

}  // namespace tw
