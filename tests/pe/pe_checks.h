// Checks that the tests of every shipped binary share.
#pragma once

#include <gtest/gtest.h>

#include "pe_image.h"

namespace tw::pe {

// Every import is a DLL that ships with Windows, and `required` (a DLL the binary must use) is
// among them.
::testing::AssertionResult ImportsOnlySystemDlls(const Image& image, const std::string& required);

// The binary has one manifest, with the given resource number, that runs it with the rights of
// its caller (asInvoker, uiAccess false).
::testing::AssertionResult HasAsInvokerManifest(const Image& image, uint32_t resourceId);

// The binary has exactly one version resource, which parses into `info`.
::testing::AssertionResult ReadsVersionBlock(const Image& image, VersionInfo& info);

}  // namespace tw::pe
