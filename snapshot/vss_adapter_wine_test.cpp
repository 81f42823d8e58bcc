// The Windows adapters of the snapshot tool that the tests of the real twVss_64.exe cannot reach:
// the VSSAPI.DLL entry point as Wine provides it, and the process queries. (The VSS adapters
// themselves run inside the real tool against the stand-in service: twvss_standin_wine_test.)
#include "driver.h"
#include "twvss_wine_support.h"
#include "vss_win.h"

namespace tw::test {
namespace {

TEST(PlatformVss, WineHasNoBackupComponentsObject) {
    TW_SKIP_UNLESS_WINE();
    // Measured: Wine's VSSAPI.DLL answers E_NOTIMPL and hands out nothing.
    PlatformVss vss;
    VssBackupComponents* backupComponents = nullptr;
    EXPECT_EQ(vss.CreateBackupComponents(&backupComponents), E_NOTIMPL);
    EXPECT_EQ(backupComponents, nullptr);
}

TEST(PlatformEnvironment, ReadsTheTokenAndDecodesUtf8WhateverTheCodePage) {
    EXPECT_EQ(PlatformEnvironment().IsProcessElevated(), ProcessIsElevated());
    if (RunsUnderWine()) {
        // Measured: a Wine process reports elevated, and Wine's ANSI code page here is 1252.
        EXPECT_TRUE(PlatformEnvironment().IsProcessElevated());
        EXPECT_EQ(GetACP(), 1252u);
    }
    // A decoding through any ANSI code page but UTF-8 would differ below.
    ASSERT_NE(GetACP(), static_cast<UINT>(CP_UTF8));
    struct Case {
        std::string bytes;
        std::wstring units;
    };
    const Case cases[] = {
        {"", L""},
        {"C:\\", L"C:\\"},
        {"D:\\\xc3\xa9t\xc3\xa9\\", L"D:\\\u00e9t\u00e9\\"},
        {"\xf0\x9f\x93\x81", L"\xd83d\xdcc1"},
        // Malformed bytes do not stop the decoding.
        {"a\x80z", L"a\ufffdz"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PlatformEnvironment().Utf8ToUtf16(c.bytes), c.units) << c.bytes;
    }
}

}  // namespace
}  // namespace tw::test
