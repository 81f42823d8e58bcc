#include "process_start.h"

#include <windows.h>
#include <shellapi.h>

namespace tw {
namespace {

class ShellExecuteStarter final : public ProcessStarter {
  public:
    bool Start(const StartRequest& request) override {
        HINSTANCE result = ShellExecuteA(nullptr, request.verb.c_str(), request.file.c_str(),
                                         request.parameters.c_str(), request.directory.c_str(),
                                         request.showCommand);
        // ShellExecuteA reports success with a value greater than 32.
        return reinterpret_cast<INT_PTR>(result) > 32;
    }
};

}  // namespace

ProcessStarter& ShellProcessStarter() {
    static ShellExecuteStarter starter;
    return starter;
}

}  // namespace tw
