#include "unregister.h"

#include "recording_starter.h"

#include <gtest/gtest.h>

#include <vector>

namespace tw {
namespace {

std::vector<StartRequest> ExpectedStarts(const std::string& directory) {
    return {
        {"open", "regsvr32", "twShellExt.dll /s /u", directory, 5},
        {"open", "regsvr32", "twShellExt_64.dll /s /u", directory, 5},
    };
}

TEST(UnregisterShellExtensions, StartsBothUnregistrationsInOrderFromTheHelpersDirectory) {
    struct Case {
        const char* helperPath;
        const char* directory;
    };
    const Case cases[] = {
        {"C:\\Apps\\Backup\\TwUninstall.exe", "C:\\Apps\\Backup\\"},
        // Spaces stay as they are, unquoted.
        {"C:\\Program Files\\Tarnwick App\\TwUninstall.exe", "C:\\Program Files\\Tarnwick App\\"},
        {"C:\\TwUninstall.exe", "C:\\"},
        {"\\\\server\\share\\tw\\TwUninstall.exe", "\\\\server\\share\\tw\\"},
        // Forward slashes are not directory separators here.
        {"C:\\a/b/TwUninstall.exe", "C:\\"},
    };
    for (const Case& c : cases) {
        RecordingStarter starter;
        UnregisterShellExtensions(c.helperPath, starter);
        EXPECT_EQ(starter.requests, ExpectedStarts(c.directory)) << c.helperPath;
    }
}

TEST(UnregisterShellExtensions, SecondStartIsMadeWhenTheFirstFails) {
    RecordingStarter starter;
    starter.refused = {0, 1};
    UnregisterShellExtensions("D:\\x y\\TwUninstall.exe", starter);
    EXPECT_EQ(starter.requests, ExpectedStarts("D:\\x y\\"));
}

TEST(UnregisterShellExtensions, StartsNothingWithoutABackslashInThePath) {
    for (const char* path : {"", "TwUninstall.exe", "C:TwUninstall.exe", "/usr/bin/TwUninstall"}) {
        RecordingStarter starter;
        UnregisterShellExtensions(path, starter);
        EXPECT_TRUE(starter.requests.empty()) << path;
    }
}

TEST(DirectoryWithBackslash, KeepsEverythingUpToTheLastBackslash) {
    EXPECT_EQ(DirectoryWithBackslash("C:\\a\\b\\"), "C:\\a\\b\\");
    EXPECT_EQ(DirectoryWithBackslash("\\"), "\\");
    EXPECT_EQ(DirectoryWithBackslash("C:\\a\\b.exe"), "C:\\a\\");
    EXPECT_EQ(DirectoryWithBackslash("noslash"), "");
}

}  // namespace
}  // namespace tw
