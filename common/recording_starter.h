// Test double for the process-start seam: records every request and refuses the chosen ones.
#pragma once

#include <set>
#include <vector>

#include "process_start.h"

namespace tw {

class RecordingStarter : public ProcessStarter {
  public:
    bool Start(const StartRequest& request) override {
        requests.push_back(request);
        return refuseAll ? false : refused.count(requests.size() - 1) == 0;
    }
    std::vector<StartRequest> requests;
    std::set<size_t> refused;  // indexes of the requests to refuse
    bool refuseAll = false;
};

}  // namespace tw
