#include "unregister.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace tw {
namespace {

// Records every request; the requests whose index is in `failing` are refused.
class RecordingStarter : public ProcessStarter {
  public:
    bool Start(const StartRequest& request) override {
        requests.push_back(request);
        return failing.count(requests.size() - 1) == 0;
    }
    std::vector<StartRequest> requests;
    std::set<size_t> failing;
};

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
    starter.failing = {0, 1};
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
