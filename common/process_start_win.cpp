#include "process_start.h"

#include <windows.h>
#include <shellapi.h>

#include "utf16.h"

namespace tw {
namespace {

class ShellExecuteStarter final : public ProcessStarter {
  public:
    bool Start(const StartRequest& request) override {
        HINSTANCE result = ShellExecuteW(nullptr, AsWide(request.verb), AsWide(request.file),
                                         AsWide(request.parameters), AsWide(request.directory),
                                         request.showCommand);
        // ShellExecuteW reports success with a value greater than 32.
        return reinterpret_cast<INT_PTR>(result) > 32;
    }
};

}  // namespace

ProcessStarter& ShellProcessStarter() {
    static ShellExecuteStarter starter;
    return starter;
}

}  // namespace tw
