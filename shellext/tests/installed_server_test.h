// Where every test of the whole DLL starts, as Explorer finds the product: COM initialised,
// twShellExt_64.dll and the recording twHelper.exe installed in a folder whose path has spaces and
// the DLL loaded from there, and a folder for the items to select. At the end nothing made from
// the DLL lives any more.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

#include "shellext_wine_support.h"
#include "winsupport.h"

namespace tw::test {

class InstalledServerTest : public ::testing::Test {
  protected:
    explicit InstalledServerTest(const wchar_t* installFolder) : install(installFolder) {}

    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        ASSERT_FALSE(install.path().empty());
        ASSERT_FALSE(selection.path().empty());
        server = InstallServer(install.path());
        ASSERT_NE(server, nullptr);
        ASSERT_EQ(server->canUnloadNow(), S_OK);
    }

    void TearDown() override {
        if (server) {
            EXPECT_EQ(server->canUnloadNow(), S_OK);
            server.reset();
        }
        CoUninitialize();
    }

    // The exact command line twHelper.exe gets: its path, then the parameters as passed.
    std::wstring ExpectedCommandLine(const std::wstring& parameters) const {
        return QuoteArgument(install.path() + L"twHelper.exe") + L" " + parameters;
    }

    TempDir install;
    TempDir selection{L"Selection with spaces"};
    const std::wstring dll = install.path() + L"twShellExt_64.dll";
    std::unique_ptr<LoadedServer> server;
};

}  // namespace tw::test
