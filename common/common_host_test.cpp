// The pieces the deliverables share: a path's directory, the extended-length form of long
// paths, the forms of a path Windows can use below MAX_PATH, reading a module's file name of any
// length, a GUID's text.
#include <gtest/gtest.h>

#include <string>

#include "fake_short_path_names.h"
#include "guid_text.h"
#include "module_path.h"
#include "path_policy.h"
#include "paths.h"

namespace tw {
namespace {

TEST(DirectoryWithBackslash, KeepsEverythingUpToTheLastBackslash) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"C:\\Apps\\Backup\\TwUninstall.exe", u"C:\\Apps\\Backup\\"},
        {u"C:\\a\\b\\", u"C:\\a\\b\\"},
        {u"\\", u"\\"},
        {u"\\\\server\\share\\x.dll", u"\\\\server\\share\\"},
        {u"C:\\Программы\\Tarnwick\\twShellExt_64.dll", u"C:\\Программы\\Tarnwick\\"},
        // Forward slashes are not directory separators here.
        {u"C:\\a/b/c.exe", u"C:\\"},
        {u"noslash", u""},
        {u"", u""},
    };
    for (const auto& [path, directory] : cases) {
        EXPECT_EQ(DirectoryWithBackslash(path), directory);
    }
}

TEST(ExtendedLengthPath, PrefixesOnlyLongAbsolutePathsItCanCarryUnchanged) {
    const std::u16string longTail(300, u'n');
    const std::u16string justShort(kMaxLegacyPath - 4, u's');  // "C:\" + this = 259 units
    struct Case {
        std::u16string path;
        std::u16string expected;
    };
    const Case cases[] = {
        {u"C:\\Data\\" + longTail, u"\\\\?\\C:\\Data\\" + longTail},
        {u"d:\\" + longTail, u"\\\\?\\d:\\" + longTail},
        {u"\\\\server\\share\\" + longTail, u"\\\\?\\UNC\\server\\share\\" + longTail},
        // Short paths keep the form every file function takes.
        {u"C:\\" + justShort, u"C:\\" + justShort},
        {u"C:\\" + justShort + u"x", u"\\\\?\\C:\\" + justShort + u"x"},
        {u"C:\\Data\\Отчёт 2026.txt", u"C:\\Data\\Отчёт 2026.txt"},
        // Already a device path, relative, or resolved differently once prefixed: unchanged.
        {u"\\\\?\\C:\\" + longTail, u"\\\\?\\C:\\" + longTail},
        {u"\\\\.\\pipe\\" + longTail, u"\\\\.\\pipe\\" + longTail},
        {u"Data\\" + longTail, u"Data\\" + longTail},
        {u"C:Data\\" + longTail, u"C:Data\\" + longTail},
        {u"C:\\Data/" + longTail, u"C:\\Data/" + longTail},
        {u"C:\\Data\\..\\" + longTail, u"C:\\Data\\..\\" + longTail},
        {u"C:\\.\\" + longTail, u"C:\\.\\" + longTail},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ExtendedLengthPath(c.path), c.expected) << c.path.size();
    }
}

TEST(WithoutExtendedLengthPrefix, GivesThePlainFormOfDrivePathsAndShares) {
    const std::u16string longTail(300, u'n');
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"\\\\?\\C:\\LONGNA~1\\TW.DLL", u"C:\\LONGNA~1\\TW.DLL"},
        {u"\\\\?\\d:\\" + longTail, u"d:\\" + longTail},
        {u"\\\\?\\UNC\\server\\share\\X~1\\", u"\\\\server\\share\\X~1\\"},
        {u"\\\\?\\unc\\server\\share", u"\\\\server\\share"},
        // Plain already, or a device path that has no plain form: unchanged.
        {u"C:\\Program Files\\", u"C:\\Program Files\\"},
        {u"\\\\server\\share\\x", u"\\\\server\\share\\x"},
        {u"\\\\?\\Volume{0}\\x", u"\\\\?\\Volume{0}\\x"},
        {u"\\\\.\\pipe\\x", u"\\\\.\\pipe\\x"},
        {u"", u""},
    };
    for (const auto& [path, plain] : cases) {
        EXPECT_EQ(WithoutExtendedLengthPrefix(path), plain);
        // What ExtendedLengthPath prefixes comes back as it was.
        EXPECT_EQ(WithoutExtendedLengthPrefix(ExtendedLengthPath(plain)), plain);
    }
}

// Windows takes a module, a registered server or a working directory only below MAX_PATH: the
// path when it fits, else its short form when that fits, else nothing.
TEST(UsablePathForms, ThePathWhenItFitsThenItsShortFormThenNothing) {
    // "C:\" and these make 259 and 260 units.
    const std::u16string longest = u"C:\\" + std::u16string(256, u'a');
    const std::u16string tooLong = longest + u"b";
    const std::u16string deep = u"C:\\Program Files\\" + std::u16string(257, u'\u0436') + u"\\";
    struct Case {
        const char* name;
        std::u16string path;
        std::u16string shortPath;  // empty: the platform gives none
        std::u16string appended;
        std::vector<std::u16string> forms;
    };
    const Case cases[] = {
        {"fits, no short form", longest, u"", u"", {longest}},
        {"fits, and so does its short form",
         u"C:\\Program Files\\",
         u"C:\\PROGRA~1\\",
         u"",
         {u"C:\\Program Files\\", u"C:\\PROGRA~1\\"}},
        {"short names off: the path itself comes back", longest, longest, u"", {longest}},
        {"one unit too long, no short form", tooLong, u"", u"", {}},
        {"one unit too long, with a short form", tooLong, u"C:\\AAAAAA~1", u"", {u"C:\\AAAAAA~1"}},
        {"a 275-unit path by its short form",
         deep,
         u"C:\\PROGRA~1\\____~1\\",
         u"",
         {u"C:\\PROGRA~1\\____~1\\"}},
        {"a short form that is too long as well", tooLong, tooLong + u"~1", u"", {}},
        // What Windows adds to a working directory before it loads from there counts.
        {"fits with the file name",
         u"C:\\" + std::u16string(243, u'a') + u"\\",
         u"",
         u"twHelper.exe",
         {u"C:\\" + std::u16string(243, u'a') + u"\\"}},
        {"too long with the file name",
         u"C:\\" + std::u16string(244, u'a') + u"\\",
         u"C:\\AAAAAA~1\\",
         u"twHelper.exe",
         {u"C:\\AAAAAA~1\\"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeShortPathNames names;
        if (!c.shortPath.empty()) {
            names.shortPaths[c.path] = c.shortPath;
        }
        EXPECT_EQ(UsablePathForms(c.path, names, c.appended), c.forms) << c.path.size();
    }
}

// Imitates GetModuleFileNameW for a module named `name`: a name that does not fit is cut to the
// buffer and the buffer's size returned with ERROR_INSUFFICIENT_BUFFER, with a terminator (newer
// systems) or without one (older ones).
struct FakeModuleName {
    std::u16string name;
    bool terminatesCutNames = true;
    int calls = 0;

    DWORD operator()(char16_t* buffer, DWORD size, DWORD* lastError) {
        ++calls;
        if (name.size() < size) {
            name.copy(buffer, name.size());
            buffer[name.size()] = u'\0';
            *lastError = ERROR_SUCCESS;
            return static_cast<DWORD>(name.size());
        }
        const size_t copied = terminatesCutNames ? size - 1 : size;
        name.copy(buffer, copied);
        if (terminatesCutNames) {
            buffer[size - 1] = u'\0';
        }
        *lastError = ERROR_INSUFFICIENT_BUFFER;
        return size;
    }
};

TEST(ReadWholeModuleName, GrowsTheBufferUntilTheWholeNameFits) {
    for (size_t length : {1u, 259u, 260u, 261u, 300u, 519u, 520u, 4000u, 32767u}) {
        for (bool terminates : {true, false}) {
            FakeModuleName fake;
            fake.name = u"C:\\" + std::u16string(length - 1, u'ж');
            fake.name.resize(length);
            fake.terminatesCutNames = terminates;
            std::u16string name;
            DWORD error = 12345;
            ASSERT_TRUE(ReadWholeModuleName(std::ref(fake), &name, &error)) << length;
            EXPECT_EQ(name, fake.name) << length;
            // One call per buffer size tried: 260 units, then doubled until the name fits.
            int expectedCalls = 1;
            for (size_t size = 260; size <= length; size *= 2) {
                ++expectedCalls;
            }
            EXPECT_EQ(fake.calls, expectedCalls) << length;
        }
    }
}

TEST(ReadWholeModuleName, ReportsTheCallsFailure) {
    std::u16string name = u"untouched";
    DWORD error = 0;
    auto failing = [](char16_t*, DWORD, DWORD* lastError) {
        *lastError = ERROR_ACCESS_DENIED;
        return DWORD{0};
    };
    EXPECT_FALSE(ReadWholeModuleName(failing, &name, &error));
    EXPECT_EQ(error, ERROR_ACCESS_DENIED);
    EXPECT_EQ(name, u"untouched");

    // A name longer than any buffer the platform could need ends the growth.
    FakeModuleName endless;
    endless.name = std::u16string(kLastModuleNameBuffer + 10, u'x');
    EXPECT_FALSE(ReadWholeModuleName(std::ref(endless), &name, &error));
    EXPECT_EQ(error, ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(name, u"untouched");
}

TEST(GuidText, WritesUpperCaseHexadecimalInBraces) {
    const GUID guid = {
        0x0A1B2C3D, 0x4E5F, 0x0607, {0x80, 0x91, 0xA2, 0xB3, 0xC4, 0xD5, 0xE6, 0xF7}};
    EXPECT_EQ(GuidText(guid), "{0A1B2C3D-4E5F-0607-8091-A2B3C4D5E6F7}");
    EXPECT_EQ(GuidText(GUID_NULL), "{00000000-0000-0000-0000-000000000000}");
}

}  // namespace
}  // namespace tw
