#include "twrgs.h"

#include <gtest/gtest.h>

#include "product_script.h"
#include "scratch_folder.h"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace tw::test {
namespace {

const char* const kModule = "MODULE=C:\\Program Files\\Tarnwick\\twShellExt_64.dll";

// What the tool prints: a .reg file, its header and then each key's section followed by a blank
// line, here of the sections that the product's script leaves (product_script.h).
std::string RegFile(const std::string& sections) {
    std::string file = "Windows Registry Editor Version 5.00\n";
    for (size_t start = 0; start < sections.size();) {
        const size_t end = sections.find('\n', start);
        const std::string line = sections.substr(start, end - start);
        if (!line.empty() && line[0] == '[') {
            file += '\n';
        }
        if (!line.empty()) {
            file += line + '\n';
        }
        start = end == std::string::npos ? sections.size() : end + 1;
    }
    return file + '\n';
}

const std::string kRegistered =
    RegFile(ProductScriptRegistered("C:\\\\Program Files\\\\Tarnwick\\\\twShellExt_64.dll"));
const std::string kUnregistered = RegFile(kProductScriptUnregistered);

class Twrgs : public ScratchFolder {
  protected:
    int Run(const std::vector<std::string>& arguments) { return RunTwrgs(arguments, &out, &err); }

    std::string out;
    std::string err;
};

TEST_F(Twrgs, ShowsWhatTheProductScriptRegistersAndWhatUnregisteringLeaves) {
    EXPECT_EQ(Run({"-s", kModule, TW_PRODUCT_SCRIPT}), 0);
    EXPECT_EQ(err, "");
    EXPECT_EQ(out, kRegistered);
    const std::string registered = Write("registered.reg", out);
    EXPECT_EQ(Run({"--from", registered, "--unregister", "-s", kModule, TW_PRODUCT_SCRIPT}), 0);
    EXPECT_EQ(err, "");
    EXPECT_EQ(out, kUnregistered);
    // The product script with a module path holding a quote, doubled as registration does it.
    EXPECT_EQ(Run({"-s", "MODULE=C:\\Client''s Data\\x.dll", TW_PRODUCT_SCRIPT}), 0);
    EXPECT_NE(out.find("@=\"C:\\\\Client's Data\\\\x.dll\"\n"), std::string::npos) << out;
}

TEST_F(Twrgs, TakesUtf8Substitutions) {
    const std::string script = Write("s.rgs", "HKCU { K = s '%Name%' { val '%Name%' = d 1 } }");
    EXPECT_EQ(Run({script, "-s", "NAME=Caf\xC3\xA9", "-s", "name=second"}), 0);
    EXPECT_EQ(out,
              "Windows Registry Editor Version 5.00\n\n"
              "[HKEY_CURRENT_USER\\K]\n@=\"Caf\xC3\xA9\"\n\"Caf\xC3\xA9\"=dword:00000001\n\n");
}

TEST_F(Twrgs, ReportsAFailingScriptWithWhereItStopped) {
    struct Case {
        std::string script;
        std::string error;
    };
    const Case cases[] = {
        {"HKCR\r\n{\r\n    K = q 'x'\r\n}\r\n",
         "twrgs: 0x80020009 DISP_E_EXCEPTION at line 3, column 9\n"},
        {"HKCR { K = s '%MISSING%' }", "twrgs: 0x80020009 DISP_E_EXCEPTION at line 1, column 15\n"},
        {"HKCR { K = b 'abc' }", "twrgs: 0x80004005 E_FAIL at line 1, column 14\n"},
        {"HKCR {\n K = d 'x' }", "twrgs: 0x80020005 DISP_E_TYPEMISMATCH at line 2, column 8\n"},
        {"HKCR { " + std::string(300, 'k') + " }",
         "twrgs: 0x800700EA HRESULT_FROM_WIN32(ERROR_MORE_DATA) at line 1, column 8\n"},
        {" \n ", "twrgs: 0x80020009 DISP_E_EXCEPTION at line 2, column 2\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Run({Write("bad.rgs", c.script)}), 1) << c.script;
        EXPECT_EQ(err, c.error);
        EXPECT_EQ(out, "");
    }
}

TEST_F(Twrgs, RefusesBadUsageAndUnreadableFiles) {
    const std::string script = Write("ok.rgs", "HKCR { K }");
    const std::string badReg = Write("bad.reg", "Windows Registry Editor Version 5.00\n\nstray\n");
    struct Case {
        std::vector<std::string> arguments;
        std::string error;
    };
    const Case cases[] = {
        {{}, "twrgs: no SCRIPT given\n"},
        {{"--bogus", script}, "twrgs: unknown option --bogus\n"},
        {{script, script}, "twrgs: only one SCRIPT may be given\n"},
        {{"-s", "NAME", script}, "twrgs: -s takes NAME=VALUE, not 'NAME'\n"},
        {{"-s", "N=\xFF", script}, "twrgs: -s N=\xFF is not UTF-8 text\n"},
        {{script, "--from"}, "twrgs: --from needs an argument\n"},
        {{"--from", badReg, "--from", badReg, script}, "twrgs: --from may be given once\n"},
        {{dir_ + "/missing.rgs"}, "twrgs: cannot read " + dir_ + "/missing.rgs: No such file"},
        {{"--from", dir_ + "/missing.reg", script}, "twrgs: cannot read " + dir_ + "/missing.reg"},
        {{"--from", badReg, script}, "twrgs: " + badReg + ": line 3: unexpected line\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Run(c.arguments), 2) << c.error;
        EXPECT_EQ(err.compare(0, c.error.size(), c.error), 0) << err;
        EXPECT_EQ(out, "");
    }
}

TEST_F(Twrgs, TheProgramWritesItsStreamsAndExitStatus) {
    const std::string command = std::string("'") + TW_TWRGS_PATH + "' ";
    auto run = [&](const std::string& arguments) {
        const int status = std::system(
            (command + arguments + " >'" + dir_ + "/out' 2>'" + dir_ + "/err'").c_str());
        out = Read(dir_ + "/out");
        err = Read(dir_ + "/err");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(run(std::string("-s '") + kModule + "' '" + TW_PRODUCT_SCRIPT + "'"), 0);
    EXPECT_EQ(out, kRegistered);
    EXPECT_EQ(err, "");
    EXPECT_EQ(run("'" + Write("bad.rgs", "HKXX { }") + "'"), 1);
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, "twrgs: 0x80020009 DISP_E_EXCEPTION at line 1, column 1\n");
    EXPECT_EQ(run("--unregister"), 2);
    EXPECT_EQ(out, "");
    EXPECT_NE(err.find("usage: twrgs"), std::string::npos);
}

}  // namespace
}  // namespace tw::test
