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

TEST_F(Twrgs, ReportsAFailingScriptWithWhereItStoppedAndWhy) {
    struct Case {
        std::string script;
        std::vector<std::string> substitutions;
        std::string error;
    };
    const std::string product = Read(TW_PRODUCT_SCRIPT);
    const Case cases[] = {
        {"HKCR\r\n{\r\n    K = q 'x'\r\n}\r\n",
         {},
         "twrgs: 0x80020009 DISP_E_EXCEPTION at line 3, column 9: \"q\" is no value type (s, m, d "
         "or b)\n"},
        // An undefined substitution, by its name; the product's script without its module.
        {product,
         {"APPID="},
         "twrgs: 0x80020009 DISP_E_EXCEPTION at line 7, column 33: MODULE is not defined; give it "
         "with -s MODULE=...\n"},
        {"HKCR { K = s '%MODULE' }",
         {},
         "twrgs: 0x80020009 DISP_E_EXCEPTION at line 1, column 15: a % without its closing % (a "
         "percent sign is written %%)\n"},
        // A byte-order mark, which an editor may have added, and an unknown root.
        {"\xEF\xBB\xBFHKCR\n{\n}\n",
         {},
         "twrgs: 0x80020009 DISP_E_EXCEPTION at line 1, column 1: the script starts with a UTF-8 "
         "byte-order mark; save it as 8-bit text in code page 1252, without one\n"},
        {std::string("\xFF\xFEH\0K\0C\0R\0", 10),
         {},
         "twrgs: 0x80020009 DISP_E_EXCEPTION at line 1, column 1: the script starts with a UTF-16 "
         "byte-order mark; save it as 8-bit text in code page 1252, without one\n"},
        {"HKXX { }",
         {},
         "twrgs: 0x80020009 DISP_E_EXCEPTION at line 1, column 1: \"HKXX\" is no root key: a root "
         "block starts with HKCR, HKCU, HKLM, HKU, HKPD, HKDD, HKCC or one of their HKEY_ names\n"},
        {"%ROOT% { }",
         {"ROOT=HKEY_CLASSES"},
         "twrgs: 0x80020009 DISP_E_EXCEPTION at line 1, column 1: the text of %ROOT% is no root "
         "key: a root block starts with HKCR, HKCU, HKLM, HKU, HKPD, HKDD, HKCC or one of their "
         "HKEY_ names\n"},
        // Quotes: one that is never closed, one that is not doubled in the script or in a value.
        {"HKCR\n{\n    K = s 'abc\n}\n",
         {},
         "twrgs: 0x80020009 DISP_E_EXCEPTION at line 3, column 11: the quote that opens here is "
         "not closed (inside quotes, a quote is written twice: '')\n"},
        {"HKCR { val 'it's' = s 'x' }",
         {},
         "twrgs: 0x80020009 DISP_E_EXCEPTION at line 1, column 16: \"s'\" where the = after the "
         "value's name is needed; a quote inside quotes is written twice (''), or it ends the "
         "token\n"},
        {product,
         {"APPID=", "MODULE=C:\\Client's Data\\x.dll"},
         "twrgs: 0x80020009 DISP_E_EXCEPTION at line 7, column 33: a key name with a backslash, "
         "the text of %MODULE%: an entry names one key, and a nested block the next; the value of "
         "-s MODULE holds a single quote that is not doubled, which ends a quoted token\n"},
        {"HKCR { K = b 'abc' }",
         {},
         "twrgs: 0x80004005 E_FAIL at line 1, column 14: a b value of an odd number of characters, "
         "\"abc\": two hexadecimal digits make a byte\n"},
        {"HKCR { K = s '%" + std::string(32, 'N') + "%' }",
         {},
         "twrgs: 0x80004005 E_FAIL at line 1, column 15: the substitution name \"" +
             std::string(32, 'N') + "\" has 32 bytes; at most 31\n"},
        {"HKCR {\n K = d 'x' }",
         {},
         "twrgs: 0x80020005 DISP_E_TYPEMISMATCH at line 2, column 8: \"x\" is no number for a d "
         "value\n"},
        {"HKCR { " + std::string(300, 'k') + " }",
         {},
         "twrgs: 0x800700EA HRESULT_FROM_WIN32(ERROR_MORE_DATA) at line 1, column 8\n"},
        {" \n ",
         {},
         "twrgs: 0x80020009 DISP_E_EXCEPTION at line 2, column 2: the script ends where more is "
         "needed: an entry or a block is not complete\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        std::vector<std::string> arguments;
        for (const std::string& substitution : c.substitutions) {
            arguments.insert(arguments.end(), {"-s", substitution});
        }
        arguments.push_back(Write("bad.rgs", c.script));
        EXPECT_EQ(Run(arguments), 1);
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
        {{"--dll", script, "--dll", script}, "twrgs: --dll may be given once\n"},
        {{script, "--dll", script}, "twrgs: a SCRIPT or --dll FILE, not both\n"},
        {{"--dll", script, script}, "twrgs: a SCRIPT or --dll FILE, not both\n"},
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

// --help answers with every option, one line each, and the exit codes, on standard output.
TEST_F(Twrgs, HelpListsEveryOptionAndTheExitCodes) {
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--help"}, {"-h"}, {"--format", "wix", "--help"}}) {
        EXPECT_EQ(Run(arguments), 0);
        EXPECT_EQ(err, "");
        std::vector<std::string> options;
        std::istringstream lines(out);
        for (std::string line; std::getline(lines, line);) {
            if (line.compare(0, 3, "  -") == 0) {
                options.push_back(line.substr(2, line.find("  ", 2) - 2));
                EXPECT_LE(line.size(), 80u) << line;
            }
        }
        EXPECT_EQ(options, (std::vector<std::string>{
                               "--dll FILE", "-s NAME=VALUE", "--approved", "--unregister",
                               "--from FILE", "--format reg|wix", "--wix-id ID", "-h, --help"}));
        EXPECT_EQ(out.compare(0, 31, "usage: twrgs [OPTION]... SCRIPT"), 0) << out;
        for (const char* status : {"Exit status: 0 ", "; 1 when", "; 2 for"}) {
            EXPECT_NE(out.find(status), std::string::npos) << status;
        }
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
    EXPECT_EQ(err,
              "twrgs: 0x80020009 DISP_E_EXCEPTION at line 1, column 1: \"HKXX\" is no root key: a "
              "root block starts with HKCR, HKCU, HKLM, HKU, HKPD, HKDD, HKCC or one of their "
              "HKEY_ names\n");
    EXPECT_EQ(run("--unregister"), 2);
    EXPECT_EQ(out, "");
    EXPECT_NE(err.find("usage: twrgs"), std::string::npos);
}

}  // namespace
}  // namespace tw::test
