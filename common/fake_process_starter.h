// A stand-in for the process-start seam: records every request and refuses the chosen ones, and
// those Windows refuses: a program file or a working directory of MAX_PATH (260) units or more
// (Wine would start them).
#pragma once

#include <ostream>
#include <set>
#include <vector>

#include "paths.h"
#include "process_start.h"
#include "utf16.h"

namespace tw {

class FakeProcessStarter : public ProcessStarter {
  public:
    bool Start(const StartRequest& request) override {
        requests.push_back(request);
        if (request.file.size() >= kMaxLegacyPath || request.directory.size() >= kMaxLegacyPath) {
            return false;
        }
        return refuseAll ? false : refused.count(requests.size() - 1) == 0;
    }
    std::vector<StartRequest> requests;
    std::set<size_t> refused;  // indexes of the requests to refuse
    bool refuseAll = false;
};

// How GoogleTest shows a request in a failure message (UTF-8).
inline void PrintTo(const StartRequest& request, std::ostream* out) {
    *out << "{" << Utf16ToUtf8(request.verb) << ", " << Utf16ToUtf8(request.file) << ", ["
         << Utf16ToUtf8(request.parameters) << "], " << Utf16ToUtf8(request.directory) << ", "
         << request.showCommand << "}";
}

}  // namespace tw
