// A stand-in for the platform's short names: the short forms a test gives it; every other path has
// none.
#pragma once

#include <map>
#include <string>

#include "path_policy.h"

namespace tw {

class FakeShortPathNames : public ShortPathNames {
  public:
    bool ShortPathName(const std::u16string& path, std::u16string* shortPath) override {
        const auto found = shortPaths.find(path);
        if (found == shortPaths.end()) {
            return false;
        }
        *shortPath = found->second;
        return true;
    }
    std::map<std::u16string, std::u16string> shortPaths;
};

}  // namespace tw
