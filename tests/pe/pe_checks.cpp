#include "pe_checks.h"

#include <algorithm>
#include <filesystem>

namespace tw::pe {

void ShippedBinaryTest::SetUp() {
    const std::string path = std::string(TW_DIST_DIR) + "/" + name_;
    if (!std::filesystem::exists(path)) {
        GTEST_SKIP() << "dist/" << name_ << " is not there: make dist makes it";
    }
    std::string error;
    ASSERT_TRUE(Load(path, image, error)) << error;
}

::testing::AssertionResult ImportsOnlySystemDlls(const Image& image, const std::string& required) {
    for (const std::string& dll : image.importedDlls) {
        if (!IsSystemDll(dll)) {
            return ::testing::AssertionFailure() << "imports " << dll;
        }
    }
    if (std::none_of(image.importedDlls.begin(), image.importedDlls.end(),
                     [&](const std::string& dll) { return IsSameDll(dll, required); })) {
        return ::testing::AssertionFailure() << "does not import " << required;
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult HasAsInvokerManifest(const Image& image, uint32_t resourceId) {
    const auto manifests = image.ResourcesOfType(24u);
    if (manifests.size() != 1) {
        return ::testing::AssertionFailure() << manifests.size() << " manifests";
    }
    if (manifests[0]->name.id != resourceId || !manifests[0]->name.name.empty()) {
        return ::testing::AssertionFailure()
               << "manifest is resource " << manifests[0]->name.ToString();
    }
    const std::string& xml = manifests[0]->bytes;
    if (xml.find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>") ==
        std::string::npos) {
        return ::testing::AssertionFailure() << "execution level not asInvoker:\n" << xml;
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult ReadsVersionBlock(const Image& image, VersionInfo& info) {
    const auto versions = image.ResourcesOfType(16u);
    if (versions.size() != 1) {
        return ::testing::AssertionFailure() << versions.size() << " version resources";
    }
    std::string error;
    if (!ParseVersion(versions[0]->bytes, info, error)) {
        return ::testing::AssertionFailure() << error;
    }
    return ::testing::AssertionSuccess();
}

std::string ProductVersionText() {
    return std::to_string(TW_VERSION_MAJOR) + "." + std::to_string(TW_VERSION_MINOR) + "." +
           std::to_string(TW_VERSION_PATCH) + "." + std::to_string(TW_VERSION_BUILD);
}

}  // namespace tw::pe
