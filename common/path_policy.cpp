#include "path_policy.h"

#include "paths.h"

namespace tw {

std::vector<std::u16string> UsablePathForms(const std::u16string& path, ShortPathNames& shortNames,
                                            const std::u16string& appended) {
    const auto fits = [&appended](const std::u16string& form) {
        return form.size() + appended.size() < kMaxLegacyPath;
    };
    std::vector<std::u16string> forms;
    if (fits(path)) {
        forms.push_back(path);
    }
    std::u16string shortPath;
    if (shortNames.ShortPathName(path, &shortPath) && shortPath != path && fits(shortPath)) {
        forms.push_back(std::move(shortPath));
    }
    return forms;
}

}  // namespace tw
