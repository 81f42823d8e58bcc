#include "unregister.h"

#include "fake_process_starter.h"
#include "fake_short_path_names.h"

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
        // Any script: the directory exactly as it is.
        {u"C:\\Программы\\Tarnwick \U0001F4BE\\TwUninstall.exe",
         u"C:\\Программы\\Tarnwick \U0001F4BE\\"},
    };
    for (const Case& c : cases) {
        FakeProcessStarter starter;
        FakeShortPathNames names;
        UnregisterShellExtensions(c.helperPath, starter, names);
        EXPECT_EQ(starter.requests, ExpectedStarts(c.directory)) << c.directory.size();
    }
}

// regsvr32 starts in the helper's directory and loads the DLL from there, which Windows does only
// below MAX_PATH: the directory as it is, else its short form, else that start is not made.
TEST(UnregisterShellExtensions, ADirectoryTooLongForWindowsIsGivenByItsShortFormOrNotAtAll) {
    const std::u16string deep = u"C:\\" + std::u16string(300, u'Я') + u"\\";
    // 245 units: with "twShellExt.dll" 259, with "twShellExt_64.dll" 262.
    const std::u16string edge = u"C:\\" + std::u16string(241, u'e') + u"\\";
    const std::u16string shortForm = u"C:\\TARNWI~1\\";
    const StartRequest first{u"open", u"regsvr32", u"twShellExt.dll /s /u", u"", 5};
    const StartRequest second{u"open", u"regsvr32", u"twShellExt_64.dll /s /u", u"", 5};
    const auto in = [](StartRequest request, const std::u16string& directory) {
        request.directory = directory;
        return request;
    };
    struct Case {
        const char* name;
        std::u16string directory;
        std::u16string shortPath;  // empty: the platform gives none
        std::vector<StartRequest> starts;
    };
    const Case cases[] = {
        {"300 units, with a short form",
         deep,
         shortForm,
         {in(first, shortForm), in(second, shortForm)}},
        {"300 units, no short form", deep, u"", {}},
        {"300 units, a short form as long", deep, deep + u"~1\\", {}},
        {"fits with the first name only, no short form", edge, u"", {in(first, edge)}},
        {"fits with the first name only, with a short form",
         edge,
         shortForm,
         {in(first, edge), in(second, shortForm)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeProcessStarter starter;
        FakeShortPathNames names;
        if (!c.shortPath.empty()) {
            names.shortPaths[c.directory] = c.shortPath;
        }
        UnregisterShellExtensions(c.directory + u"TwUninstall.exe", starter, names);
        EXPECT_EQ(starter.requests, c.starts);
    }
}

TEST(UnregisterShellExtensions, SecondStartIsMadeWhenTheFirstFails) {
    FakeProcessStarter starter;
    starter.refused = {0, 1};
    FakeShortPathNames names;
    UnregisterShellExtensions(u"D:\\x y\\TwUninstall.exe", starter, names);
    EXPECT_EQ(starter.requests, ExpectedStarts(u"D:\\x y\\"));
}

TEST(UnregisterShellExtensions, StartsNothingWithoutABackslashInThePath) {
    for (const char16_t* path :
         {u"", u"TwUninstall.exe", u"C:TwUninstall.exe", u"/usr/bin/TwUninstall"}) {
        FakeProcessStarter starter;
        FakeShortPathNames names;
        UnregisterShellExtensions(path, starter, names);
        EXPECT_TRUE(starter.requests.empty());
    }
}

}  // namespace
}  // namespace tw
