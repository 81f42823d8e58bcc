#include "unregister.h"

#include "fake_process_starter.h"

#include <gtest/gtest.h>

#include <vector>

namespace tw {
namespace {

std::vector<StartRequest> ExpectedStarts(const std::u16string& directory) {
    return {
        {u"open", u"regsvr32", u"twShellExt.dll /s /u", directory, 5},
        {u"open", u"regsvr32", u"twShellExt_64.dll /s /u", directory, 5},
    };
}

TEST(UnregisterShellExtensions, StartsBothUnregistrationsInOrderFromTheHelpersDirectory) {
    const std::u16string longDirectory = u"C:\\" + std::u16string(300, u'Я') + u"\\";
    struct Case {
        std::u16string helperPath;
        std::u16string directory;
    };
    const Case cases[] = {
        {u"C:\\Apps\\Backup\\TwUninstall.exe", u"C:\\Apps\\Backup\\"},
        // Spaces stay as they are, unquoted.
        {u"C:\\Program Files\\Tarnwick App\\TwUninstall.exe", u"C:\\Program Files\\Tarnwick App\\"},
        {u"C:\\TwUninstall.exe", u"C:\\"},
        {u"\\\\server\\share\\tw\\TwUninstall.exe", u"\\\\server\\share\\tw\\"},
        // Forward slashes are not directory separators here.
        {u"C:\\a/b/TwUninstall.exe", u"C:\\"},
        // Any script, any length: the directory exactly as it is.
        {u"C:\\Программы\\Tarnwick \U0001F4BE\\TwUninstall.exe",
         u"C:\\Программы\\Tarnwick \U0001F4BE\\"},
        {longDirectory + u"TwUninstall.exe", longDirectory},
    };
    for (const Case& c : cases) {
        FakeProcessStarter starter;
        UnregisterShellExtensions(c.helperPath, starter);
        EXPECT_EQ(starter.requests, ExpectedStarts(c.directory)) << c.directory.size();
    }
}

TEST(UnregisterShellExtensions, SecondStartIsMadeWhenTheFirstFails) {
    FakeProcessStarter starter;
    starter.refused = {0, 1};
    UnregisterShellExtensions(u"D:\\x y\\TwUninstall.exe", starter);
    EXPECT_EQ(starter.requests, ExpectedStarts(u"D:\\x y\\"));
}

TEST(UnregisterShellExtensions, StartsNothingWithoutABackslashInThePath) {
    for (const char16_t* path :
         {u"", u"TwUninstall.exe", u"C:TwUninstall.exe", u"/usr/bin/TwUninstall"}) {
        FakeProcessStarter starter;
        UnregisterShellExtensions(path, starter);
        EXPECT_TRUE(starter.requests.empty());
    }
}

}  // namespace
}  // namespace tw
