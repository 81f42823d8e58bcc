// Checks that the tests of every shipped binary share.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "pe_image.h"
#include "version.h"

namespace tw::pe {

// The fixture of the tests of one shipped file: loads dist/<name> into `image` before each test,
// or skips the test, saying so, when make dist has not made the file yet.
class ShippedBinaryTest : public ::testing::Test {
  protected:
    explicit ShippedBinaryTest(std::string name) : name_(std::move(name)) {}
    void SetUp() override;
    Image image;

  private:
    std::string name_;
};

// Every import is a DLL that ships with Windows, and `required` (a DLL the binary must use) is
// among them.
::testing::AssertionResult ImportsOnlySystemDlls(const Image& image, const std::string& required);

// The binary has one manifest, with the given resource number, that runs it with the rights of
// its caller (asInvoker, uiAccess false).
::testing::AssertionResult HasAsInvokerManifest(const Image& image, uint32_t resourceId);

// The binary has exactly one version resource, which parses into `info`.
::testing::AssertionResult ReadsVersionBlock(const Image& image, VersionInfo& info);

// The product version of common/version.h, as a version block holds it in numbers ...
constexpr uint64_t kProductVersion =
    MakeVersion(TW_VERSION_MAJOR, TW_VERSION_MINOR, TW_VERSION_PATCH, TW_VERSION_BUILD);
// ... and as text: "3.0.0.0", made from the numbers.
std::string ProductVersionText();

}  // namespace tw::pe
