#include "reg_file.h"

#include <gtest/gtest.h>

#include "memory_registry.h"

namespace tw::test {
namespace {

const CodePageText& kText = CodePageText::Western();

std::string Write(const InMemoryRegistry& registry) {
    std::string out, error;
    EXPECT_TRUE(WriteRegFile(registry.Snapshot(), kText, &out, &error)) << error;
    return out;
}

TEST(RegFile, WritesWhatItReadsBack) {
    const std::string file =
        "Windows Registry Editor Version 5.00\n"
        "\n"
        "[HKEY_CLASSES_ROOT]\n"
        "\"RootValue\"=\"r\"\n"
        "\n"
        "[HKEY_CLASSES_ROOT\\K]\n"
        "@=\"a \\\"quoted\\\" C:\\\\path \xC3\xA9\"\n"
        "\"Binary\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,\\\n"
        "  15,16,17,18,19,1a,1b,1c,1d,1e,1f\n"
        "\"Empty\"=hex:\n"
        "\"Multi\"=hex(7):61,00,00,00,e9,00,00,00,00,00\n"
        "\"NoTerminator\"=hex(1):61,00,62,00\n"
        "\"Number\"=dword:a0000000\n"
        "\"Other\"=hex(b):01,02\n"
        "\n"
        "[HKEY_CURRENT_USER\\Empty Key]\n"
        "\n";
    InMemoryRegistry registry;
    std::string error;
    ASSERT_TRUE(ReadRegFile(file, registry, kText, &error)) << error;
    EXPECT_EQ(Write(registry), file);
    const RegistrySnapshot snapshot = registry.Snapshot();
    ASSERT_EQ(snapshot.size(), 3u);
    const std::vector<RegistryValue>& values = snapshot[1].values;
    ASSERT_EQ(values.size(), 7u);
    EXPECT_EQ(values[0].data, std::string("a \"quoted\" C:\\path \xE9\0", 21));
    EXPECT_EQ(values[3].data, std::string("a\0\xE9\0\0", 5));
    EXPECT_EQ(values[3].type, REG_MULTI_SZ);
    EXPECT_EQ(values[4].data, "ab");
    EXPECT_EQ(values[4].type, REG_SZ);
    EXPECT_EQ(values[5].data, std::string("\0\0\0\xA0", 4));
    EXPECT_EQ(values[6].type, 0xBu);
}

TEST(RegFile, ReadsAnExportInUtf16WithCrLfAndComments) {
    const std::u16string text =
        u"\uFEFFWindows Registry Editor Version 5.00\r\n\r\n; a comment\r\n"
        u"[HKEY_LOCAL_MACHINE\\Software\\T\u00e9st]\r\n\"V\"=hex:01,\\\r\n  02 \r\n";
    std::string bytes;
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    InMemoryRegistry registry;
    std::string error;
    ASSERT_TRUE(ReadRegFile(bytes, registry, kText, &error)) << error;
    const RegistrySnapshot snapshot = registry.Snapshot();
    ASSERT_EQ(snapshot.size(), 2u);
    EXPECT_EQ(snapshot[1].path, "HKEY_LOCAL_MACHINE\\Software\\T\xE9st");
    ASSERT_EQ(snapshot[1].values.size(), 1u);
    EXPECT_EQ(snapshot[1].values[0].data, "\x01\x02");
}

TEST(RegFile, SaysWhichLineItCannotRead) {
    const std::string header = "Windows Registry Editor Version 5.00\n";
    struct Case {
        std::string file;
        std::string error;
    };
    const Case cases[] = {
        {"REGEDIT4\n", "line 1: the file does not start with"},
        {"", "line 1: the file does not start with"},
        {header + "\"v\"=\"x\"\n", "line 2: a value comes before the first [KEY]"},
        {header + "[HKEY_NOWHERE\\K]\n", "line 2: unknown root key 'HKEY_NOWHERE'"},
        {header + "[HKEY_CLASSES_ROOT\\A\\\\B]\n", "line 2: bad key name"},
        {header + "[-HKEY_CLASSES_ROOT\\A]\n", "line 2: deleting keys is not supported"},
        {header + "[HKEY_CLASSES_ROOT\\A]\n\"v\"=-\n", "line 3: deleting values is not supported"},
        {header + "[HKEY_CLASSES_ROOT\\A]\n\"v\"=dword:123456789\n", "line 3: bad dword"},
        {header + "[HKEY_CLASSES_ROOT\\A]\n\"v\"=hex:1,02\n", "line 3: bad hex byte '1'"},
        {header + "[HKEY_CLASSES_ROOT\\A]\n\"v\"=hex:01,\\\n", "line 3: hex data goes on past"},
        {header + "[HKEY_CLASSES_ROOT\\A]\n\"v\"=\"open\n", "line 3: a quoted text is not closed"},
        {header + "[HKEY_CLASSES_ROOT\\A]\n\"\"=\"x\"\n", "line 3: an empty value name"},
        {header + "[HKEY_CLASSES_ROOT\\A]\nstray\n", "line 3: unexpected line"},
        {header + "[HKEY_CLASSES_ROOT\\A]\n@=hex(7):61\n", "line 3: UTF-16 text of an odd"},
        {header + "[HKEY_CLASSES_ROOT\\" + std::string(257, 'k') + "]\n", "line 2: cannot create"},
        // What code page 1252 cannot carry exactly, in a key, a value name and text: Cyrillic,
        // a letter whose best fit is another ('A' for U+0100), an emoji.
        {header + "[HKEY_CLASSES_ROOT\\\xD0\x9F]\n",
         "line 2: bad key name in 'HKEY_CLASSES_ROOT\\\xD0\x9F': code page 1252 has no "
         "\"\xD0\x9F\" (U+041F)"},
        {header + "[HKEY_CLASSES_ROOT\\A]\n\"\xC4\x80\"=\"x\"\n",
         "line 3: bad value name: code page 1252 has no \"\xC4\x80\" (U+0100)"},
        {header + "[HKEY_CLASSES_ROOT\\A]\n@=\"a\xF0\x9F\x98\x80\"\n",
         "line 3: bad text: code page 1252 has no \"\xF0\x9F\x98\x80\" (U+1F600)"},
        {header + "[HKEY_CLASSES_ROOT\\A]\n@=hex(2):00,01,00,00\n",
         "line 3: bad text: code page 1252 has no \"\xC4\x80\" (U+0100)"},
    };
    for (const Case& c : cases) {
        InMemoryRegistry registry;
        std::string error;
        EXPECT_FALSE(ReadRegFile(c.file, registry, kText, &error)) << c.file;
        EXPECT_EQ(error.compare(0, c.error.size(), c.error), 0) << error;
        EXPECT_EQ(registry.OpenHandleCount(), 0u);
    }
}

TEST(RegFile, RefusesNamesWithLineBreaks) {
    for (const RegistrySnapshot& snapshot :
         {RegistrySnapshot{{"HKEY_CLASSES_ROOT\\a\nb", {}}},
          RegistrySnapshot{{"HKEY_CLASSES_ROOT\\a", {{"x\ry", REG_SZ, std::string("v\0", 2)}}}}}) {
        std::string out, error;
        EXPECT_FALSE(WriteRegFile(snapshot, kText, &out, &error));
        EXPECT_NE(error.find("line break"), std::string::npos);
    }
    // A line break in a string value goes out as hex(1).
    std::string out, error;
    ASSERT_TRUE(WriteRegFile({{"HKEY_CLASSES_ROOT\\a", {{"", REG_SZ, std::string("1\n2\0", 4)}}}},
                             kText, &out, &error));
    EXPECT_NE(out.find("@=hex(1):31,00,0a,00,32,00,00,00\n"), std::string::npos) << out;
}

}  // namespace
}  // namespace tw::test
