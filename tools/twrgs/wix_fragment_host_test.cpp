// twrgs --format wix: the fragment of the product's script, how each kind of entry and value is
// declared, what cannot be declared, --dll, and every corpus script through wixl; and how
// substitution values of any character pass into both forms of output, or are refused.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "code_page_text.h"
#include "corpus.h"
#include "scratch_folder.h"
#include "twrgs.h"

namespace tw::test {
namespace {

const char* const kProductModule = "Module=[#twShellExt_64.dll]";

// The rows of the product's fragment, in the registry's order.
const std::vector<std::string> kProductRows = {
    R"(<RegistryValue Root="HKCR" Key="*\shellex\ContextMenuHandlers\TarnwickShellExtension" Name="-" Type="string" Value=""/>)",
    R"(<RegistryValue Root="HKCR" Key="*\shellex\ContextMenuHandlers\TarnwickShellExtension" Type="string" Value="{9F264B80-12D4-4C4C-9158-7A1A1803FB58}" KeyPath="yes"/>)",
    R"(<RegistryValue Root="HKCR" Key="CLSID\{9F264B80-12D4-4C4C-9158-7A1A1803FB58}" Name="-" Type="string" Value=""/>)",
    R"(<RegistryValue Root="HKCR" Key="CLSID\{9F264B80-12D4-4C4C-9158-7A1A1803FB58}" Type="string" Value="TarnwickShellExtension Class"/>)",
    R"(<RegistryValue Root="HKCR" Key="CLSID\{9F264B80-12D4-4C4C-9158-7A1A1803FB58}\InprocServer32" Type="string" Value="[#twShellExt_64.dll]"/>)",
    R"(<RegistryValue Root="HKCR" Key="CLSID\{9F264B80-12D4-4C4C-9158-7A1A1803FB58}\InprocServer32" Name="ThreadingModel" Type="string" Value="Apartment"/>)",
    R"(<RegistryValue Root="HKCR" Key="Directory\shellex\ContextMenuHandlers\TarnwickShellExtension" Name="-" Type="string" Value=""/>)",
    R"(<RegistryValue Root="HKCR" Key="Directory\shellex\ContextMenuHandlers\TarnwickShellExtension" Type="string" Value="{9F264B80-12D4-4C4C-9158-7A1A1803FB58}"/>)",
};

// The fragment's RegistryValue elements, without their indentation.
std::vector<std::string> Rows(const std::string& fragment) {
    std::vector<std::string> rows;
    std::istringstream lines(fragment);
    for (std::string line; std::getline(lines, line);) {
        const size_t start = line.find("<RegistryValue ");
        if (start != std::string::npos) {
            rows.push_back(line.substr(start));
        }
    }
    return rows;
}

class WixFragment : public ScratchFolder {
  protected:
    int Wix(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"--format", "wix"});
        return RunTwrgs(arguments, &out, &err);
    }
    // Builds an x64 installer from `fragments` and the product part below with wixl; returns what
    // wixl wrote (nothing when it built without a warning), or a failure note.
    std::string BuildWithWixl(const std::vector<std::string>& fragments, const std::string& ids) {
        std::string refs;
        std::istringstream names(ids);
        for (std::string id; names >> id;) {
            refs += "<ComponentGroupRef Id=\"" + id + "\"/>";
        }
        const std::string product = Write(
            "product.wxs",
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
            "<Wix xmlns=\"http://schemas.microsoft.com/wix/2006/wi\"><Product Id=\"*\" "
            "Name=\"Test\" Language=\"1033\" Version=\"1.0.0\" Manufacturer=\"Tarnwick\" "
            "UpgradeCode=\"{3F0B4A52-0C9E-4C55-9E1D-6A2B7C8D9E0F}\"><Package "
            "InstallerVersion=\"500\" Compressed=\"yes\" InstallScope=\"perMachine\"/><Directory "
            "Id=\"TARGETDIR\" Name=\"SourceDir\"/><Feature Id=\"All\" Level=\"1\">" +
                refs + "</Feature></Product></Wix>\n");
        std::string command = "wixl -a x64 -o '" + dir_ + "/test.msi' '" + product + "'";
        for (const std::string& fragment : fragments) {
            command += " '" + fragment + "'";
        }
        const int status = std::system((command + " >'" + dir_ + "/wixl.log' 2>&1").c_str());
        const std::string log = Read(dir_ + "/wixl.log");
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            return "wixl failed: " + log;
        }
        return log;
    }

    std::string out;
    std::string err;
};

TEST_F(WixFragment, DeclaresTheProductScriptAndBuildsWithWixl) {
    ASSERT_EQ(Wix({"--wix-id", "TwShellExtRegistration", "-s", kProductModule, TW_PRODUCT_SCRIPT}),
              0)
        << err;
    EXPECT_EQ(err, "");
    EXPECT_EQ(Rows(out), kProductRows);
    EXPECT_NE(out.find("<ComponentGroup Id=\"TwShellExtRegistration\" Directory=\"TARGETDIR\">"),
              std::string::npos);
    EXPECT_NE(out.find("<Component Id=\"TwShellExtRegistration\" Guid=\"*\" Win64=\"yes\">"),
              std::string::npos);
    // The comment holds no "--", which XML refuses there.
    const size_t comment = out.find("<!--") + 4;
    EXPECT_EQ(out.substr(comment, out.find("-->") - comment).find("--"), std::string::npos);
    EXPECT_EQ(BuildWithWixl({Write("fragment.wxs", out)}, "TwShellExtRegistration"), "");

    // The same from the shipped DLL's resource.
    if (!std::filesystem::exists(TW_DIST_DIR "/twShellExt_64.dll")) {
        GTEST_SKIP() << "dist/twShellExt_64.dll is not there: make dist makes it";
    }
    const std::string fromFile = out;
    ASSERT_EQ(Wix({"--wix-id", "TwShellExtRegistration", "-s", kProductModule, "--dll",
                   TW_DIST_DIR "/twShellExt_64.dll"}),
              0)
        << err;
    EXPECT_EQ(out, fromFile);
    // The fragment make dist ships is the one the shipped tool makes from the shipped DLL, the
    // Approved value included, as docs/installer.md tells an installer author to make it.
    ASSERT_EQ(Wix({"--approved", "--wix-id", "TwShellExtRegistration", "-s", "APPID=", "-s",
                   kProductModule, "-s", "Module_Raw=[#twShellExt_64.dll]", "--dll",
                   TW_DIST_DIR "/twShellExt_64.dll"}),
              0)
        << err;
    EXPECT_EQ(out, Read(TW_DIST_DIR "/twShellExt_64.wxs"));
    EXPECT_NE(out.find("Name=\"{9F264B80-12D4-4C4C-9158-7A1A1803FB58}\" Type=\"string\" "
                       "Value=\"Tarnwick Shell Extension\""),
              std::string::npos);
}

// --approved: the value DllRegisterServer writes besides the script, in a key that is not the
// installer's; in a .reg file too, and deleted again by unregistering.
TEST_F(WixFragment, ApprovedAddsTheValueRegistrationWritesItself) {
    const std::string approvedRow =
        R"(<RegistryValue Root="HKLM" Key="Software\Microsoft\Windows\CurrentVersion\Shell )"
        R"(Extensions\Approved" Name="{9F264B80-12D4-4C4C-9158-7A1A1803FB58}" Type="string" )"
        R"(Value="Tarnwick Shell Extension"/>)";
    ASSERT_EQ(Wix({"--approved", "-s", kProductModule, TW_PRODUCT_SCRIPT}), 0) << err;
    std::vector<std::string> rows = kProductRows;
    rows.push_back(approvedRow);
    EXPECT_EQ(Rows(out), rows);
    EXPECT_EQ(BuildWithWixl({Write("fragment.wxs", out)}, "Registration"), "");

    const std::string approvedSection =
        "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Shell "
        "Extensions\\Approved]\n\"{9F264B80-12D4-4C4C-9158-7A1A1803FB58}\"=\"Tarnwick Shell "
        "Extension\"\n";
    ASSERT_EQ(RunTwrgs({"--approved", "-s", kProductModule, TW_PRODUCT_SCRIPT}, &out, &err), 0);
    EXPECT_NE(out.find(approvedSection), std::string::npos) << out;
    const std::string registered = Write("registered.reg", out);
    ASSERT_EQ(RunTwrgs({"--approved", "--unregister", "--from", registered, "-s", kProductModule,
                        TW_PRODUCT_SCRIPT},
                       &out, &err),
              0);
    EXPECT_EQ(out.find("Tarnwick Shell Extension"), std::string::npos) << out;
    EXPECT_NE(out.find("Shell Extensions\\Approved]\n\n"), std::string::npos) << out;

    // It is the product's value: a script that does not register the class cannot have it.
    const std::string other = Write("other.rgs", "HKCR { K = s 'k' }");
    EXPECT_EQ(Wix({"--approved", other}), 2);
    EXPECT_EQ(out, "");
    EXPECT_EQ(err,
              "twrgs: --approved adds the Approved value of the class "
              "{9F264B80-12D4-4C4C-9158-7A1A1803FB58}, which " +
                  other + " does not register\n");
}

TEST_F(WixFragment, DeclaresEachKindOfKeyAndValue) {
    struct Case {
        std::string script;
        std::vector<std::string> substitutions;
        std::vector<std::string> rows;
    };
    const Case cases[] = {
        // Empty keys: created and removed when owned or force-removed, only created when the
        // script only opens them; a key that holds values or subkeys needs no row of its own.
        {"HKCR { ForceRemove F NoRemove N Plain NoRemove P { V = s 'v' } }",
         {},
         {R"(<RegistryValue Root="HKCR" Key="F" Name="*" Type="string" Value=""/>)",
          R"(<RegistryValue Root="HKCR" Key="N" Name="+" Type="string" Value=""/>)",
          R"(<RegistryValue Root="HKCR" Key="P\V" Type="string" Value="v" KeyPath="yes"/>)",
          R"(<RegistryValue Root="HKCR" Key="Plain" Name="*" Type="string" Value=""/>)"}},
        // "ForceRemove" of a protected name deletes nothing, so the installer removes nothing.
        {"HKCR { ForceRemove CLSID { K = s 'k' } }",
         {},
         {R"(<RegistryValue Root="HKCR" Key="CLSID\K" Type="string" Value="k" KeyPath="yes"/>)"}},
        // Numbers as signed 32-bit integers; multi-strings between [~] separators; empty text.
        {"HKCU { K { val D = d 7 val H = d '&HFFFFFFFF' val M = m 'a\\0b' val E = m '' "
         "val S = s '' val N = s '#1' } }",
         {},
         {R"(<RegistryValue Root="HKCU" Key="K" Name="D" Type="integer" Value="7" KeyPath="yes"/>)",
          R"(<RegistryValue Root="HKCU" Key="K" Name="E" Type="string" Value="[~]"/>)",
          R"(<RegistryValue Root="HKCU" Key="K" Name="H" Type="integer" Value="-1"/>)",
          R"(<RegistryValue Root="HKCU" Key="K" Name="M" Type="string" Value="[~]a[~]b[~]"/>)",
          R"(<RegistryValue Root="HKCU" Key="K" Name="N" Type="string" Value="#1"/>)",
          R"(<RegistryValue Root="HKCU" Key="K" Name="S" Type="string" Value=""/>)"}},
        // The script's brackets are the installer's escapes, a substitution's pass through;
        // XML's special characters, line breaks and code page 1252 text.
        {"HKLM { '[k]' = s '{[%F%]} a&b<\"c\">' { val 'x\ty' = m '[1]\\0%F%' val E = s '\xE9\x80' "
         "} }",
         {"F=[#file]"},
         {R"(<RegistryValue Root="HKLM" Key="[\[]k[\]]" Type="string" Value="[\{][\[][#file][\]][\}] a&amp;b&lt;&quot;c&quot;&gt;" KeyPath="yes"/>)",
          "<RegistryValue Root=\"HKLM\" Key=\"[\\[]k[\\]]\" Name=\"E\" Type=\"string\" "
          "Value=\"\xC3\xA9\xE2\x82\xAC\"/>",
          R"(<RegistryValue Root="HKLM" Key="[\[]k[\]]" Name="x&#9;y" Type="string" Value="[~][\[]1[\]][~][#file][~]"/>)"}},
        // The installer leaves a plain "{...}" as it is and reads other braces as its own: the
        // script's are escaped then, a substitution's pass through.
        {"HKCU { K { val A = s '{GUID}' val B = s '{}' val C = s '{{a}}' val D = s 'a}{b' "
         "val E = s '{%F%}' val G = s '%G%' } }",
         {"F=[P]", "G={[P]}"},
         {R"(<RegistryValue Root="HKCU" Key="K" Name="A" Type="string" Value="{GUID}" KeyPath="yes"/>)",
          R"(<RegistryValue Root="HKCU" Key="K" Name="B" Type="string" Value="[\{][\}]"/>)",
          R"(<RegistryValue Root="HKCU" Key="K" Name="C" Type="string" Value="[\{]{a}[\}]"/>)",
          R"(<RegistryValue Root="HKCU" Key="K" Name="D" Type="string" Value="a[\}][\{]b"/>)",
          R"(<RegistryValue Root="HKCU" Key="K" Name="E" Type="string" Value="[\{][P][\}]"/>)",
          R"(<RegistryValue Root="HKCU" Key="K" Name="G" Type="string" Value="{[P]}"/>)"}},
        {"HKU { NoRemove '.DEFAULT' { NoRemove K { val V = s '%M%' } } }",
         {"M=C:\\Program Files\\x.dll"},
         {R"(<RegistryValue Root="HKU" Key=".DEFAULT\K" Name="V" Type="string" Value="C:\Program Files\x.dll" KeyPath="yes"/>)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        std::vector<std::string> arguments;
        for (const std::string& substitution : c.substitutions) {
            arguments.insert(arguments.end(), {"-s", substitution});
        }
        arguments.push_back(Write("case.rgs", c.script));
        ASSERT_EQ(Wix(arguments), 0) << err;
        EXPECT_EQ(Rows(out), c.rows);
        EXPECT_EQ(BuildWithWixl({Write("case.wxs", out)}, "Registration"), "");
    }
}

// A substitution's value reaches both forms exactly, any character included: as a key name, a
// value name, a string and a multi-string (its UTF-16LE bytes in a .reg file), and through a .reg
// file read back with --from, where names are found without regard to case.
TEST_F(WixFragment, PassesSubstitutionValuesExactlyIntoBothForms) {
    struct Case {
        std::string folder;       // UTF-8
        std::string otherCase;    // the same name in other letter case
        std::string folderBytes;  // its UTF-16LE bytes, as a .reg file writes them
    };
    const Case cases[] = {
        {"\xD0\x9F\xD1\x80\xD0\xBE\xD0\xB3\xD1\x80\xD0\xB0\xD0\xBC\xD0\xBC\xD1\x8B",  // Программы
         "\xD0\x9F\xD0\xA0\xD0\x9E\xD0\x93\xD0\xA0\xD0\x90\xD0\x9C\xD0\x9C\xD0\xAB",  // ПРОГРАММЫ
         "1f,04,40,04,3e,04,33,04,40,04,30,04,3c,04,3c,04,4b,04"},
        // Its best fit in code page 1252, "Abc", names another folder.
        {"\xC4\x80"
         "bc",
         "\xC4\x80"
         "BC",
         "00,01,62,00,63,00"},
        {"x\xF0\x9F\x98\x80", "X\xF0\x9F\x98\x80", "78,00,3d,d8,00,de"},  // an emoji
        {"Programs", "PROGRAMS", "50,00,72,00,6f,00,67,00,72,00,61,00,6d,00,73,00"},
    };
    const std::string script =
        Write("s.rgs",
              "HKCU { NoRemove Software { '%FOLDER%' { val '%MODULE%' = s '%MODULE%' val M = m "
              "'%FOLDER%' } } }");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        const std::string module = "C:\\" + c.folder + "\\x.dll";
        const std::string folderArgument = "FOLDER=" + c.folder;
        ASSERT_EQ(RunTwrgs({"-s", "MODULE=" + module, "-s", folderArgument, script}, &out, &err), 0)
            << err;
        const std::string quotedModule = "\"C:\\\\" + c.folder + "\\\\x.dll\"";
        const std::string folderSection = "[HKEY_CURRENT_USER\\Software\\" + c.folder + "]\n" +
                                          quotedModule + "=" + quotedModule +
                                          "\n\"M\"=hex(7):" + c.folderBytes + ",00,00,00,00\n\n";
        EXPECT_EQ(out, "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software]\n\n" +
                           folderSection);

        ASSERT_EQ(Wix({"-s", "MODULE=" + module, "-s", folderArgument, script}), 0) << err;
        const std::string key = "<RegistryValue Root=\"HKCU\" Key=\"Software\\" + c.folder + "\" ";
        EXPECT_EQ(Rows(out),
                  (std::vector<std::string>{
                      key + "Name=\"" + module + "\" Type=\"string\" Value=\"" + module +
                          "\" KeyPath=\"yes\"/>",
                      key + "Name=\"M\" Type=\"string\" Value=\"[~]" + c.folder + "[~]\"/>"}));

        // Read back with --from, a REG_EXPAND_SZ beside: registering again changes nothing, and
        // unregistering with the name in other letter case removes the key.
        const std::string kept =
            "[HKEY_CURRENT_USER\\Software]\n\"E\"=hex(2):" + c.folderBytes + ",00,00\n\n";
        const std::string before =
            Write("before.reg", "Windows Registry Editor Version 5.00\n\n" + kept + folderSection);
        ASSERT_EQ(
            RunTwrgs({"--from", before, "-s", "MODULE=" + module, "-s", folderArgument, script},
                     &out, &err),
            0)
            << err;
        EXPECT_EQ(out, Read(before));
        ASSERT_EQ(RunTwrgs({"--from", before, "--unregister", "-s", "MODULE=" + module, "-s",
                            "FOLDER=" + c.otherCase, script},
                           &out, &err),
                  0)
            << err;
        EXPECT_EQ(out, "Windows Registry Editor Version 5.00\n\n" + kept);
    }
}

// What the script reads in code page 1252 itself must be in it exactly: a substitution's name, and
// the text of a b or d value. Refused in both forms, with the substitution, the character and the
// code page, and nothing on standard output; so are the control characters twrgs marks text with.
TEST_F(WixFragment, RefusesWhatCodePage1252MustCarryAndCannot) {
    struct Case {
        std::string script;
        std::vector<std::string> substitutions;
        int status;
        std::string error;
    };
    const Case cases[] = {
        // The name is compared in the code page: a look-alike could match another reference.
        {"HKCU { K = s '%MOD\xC4\x80LE%' }",
         {"MOD\xC4\x80LE=x"},
         2,
         "twrgs: -s MOD\xC4\x80LE: code page 1252, in which the script names its substitutions, "
         "has no \"\xC4\x80\" (U+0100)\n"},
        // Hexadecimal digits and numbers are read in the code page: the best fit of a full-width
        // digit would be a digit.
        {"HKCU { K = b '%V%' }",
         {"V=\xC4\x80"
          "0"},
         2,
         "twrgs: -s V: code page 1252, in which the b value at line 1, column 14 reads its text, "
         "has no \"\xC4\x80\" (U+0100)\n"},
        {"HKCU { K = b '%E%' }",
         {"E=\xF0\x9F\x98\x80"},  // an emoji
         2,
         "twrgs: -s E: code page 1252, in which the b value at line 1, column 14 reads its text, "
         "has no \"\xF0\x9F\x98\x80\" (U+1F600)\n"},
        {"HKCU {\n K { val N = d '1%N%' } }",
         {"N=\xEF\xBC\x91"},  // １
         2,
         "twrgs: -s N: code page 1252, in which the d value at line 2, column 16 reads its text, "
         "has no \"\xEF\xBC\x91\" (U+FF11)\n"},
        {"HKCU { K = s '%V%' }",
         {"V=a\x05"
          "041Fx"},
         2,
         "twrgs: -s V: the value holds the control character 0x05, which twrgs uses to mark "
         "text\n"},
    };
    for (const Case& c : cases) {
        for (const char* format : {"reg", "wix"}) {
            SCOPED_TRACE(c.script + " " + format);
            std::vector<std::string> arguments = {"--format", format};
            for (const std::string& substitution : c.substitutions) {
                arguments.insert(arguments.end(), {"-s", substitution});
            }
            arguments.push_back(Write("case.rgs", c.script));
            EXPECT_EQ(RunTwrgs(arguments, &out, &err), c.status);
            EXPECT_EQ(err, c.error);
            EXPECT_EQ(out, "");
        }
    }
    // A script or a .reg file that holds the control character of a mark.
    const std::string marked = Write("marked.rgs",
                                     "HKCU { K = s 'a\x05"
                                     "041Fx' }");
    EXPECT_EQ(RunTwrgs({marked}, &out, &err), 1);
    EXPECT_EQ(err,
              "twrgs: line 1, column 16: the script holds the control character 0x05, which twrgs "
              "uses to mark text\n");
    EXPECT_EQ(out, "");
    const std::string markedReg =
        Write("marked.reg",
              "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\K]\n@=\"\x05\"\n");
    EXPECT_EQ(RunTwrgs({"--from", markedReg, Write("ok.rgs", "HKCU { K }")}, &out, &err), 2);
    EXPECT_EQ(err, "twrgs: " + markedReg +
                       ": line 4: bad text: it holds the control character 0x05, which twrgs uses "
                       "to mark text\n");
    EXPECT_EQ(out, "");
    // A mark is six bytes in the script, and a key name of 50 such characters is over the
    // registry's limit there: refused, saying why.
    std::string longName;
    for (int i = 0; i < 50; ++i) {
        longName += "\xD0\x9F";
    }
    EXPECT_EQ(RunTwrgs({"-s", "K=" + longName, Write("long.rgs", "HKCU { '%K%' }")}, &out, &err),
              1);
    EXPECT_EQ(err,
              "twrgs: 0x800700EA HRESULT_FROM_WIN32(ERROR_MORE_DATA) at line 1, column 8: twrgs "
              "carries each character outside code page 1252 through the script as 6 bytes, which "
              "reach the limits of tokens (4094 bytes) and names (255 characters) sooner than the "
              "character does\n");
    EXPECT_EQ(out, "");
}

TEST_F(WixFragment, ReportsWhatAnInstallerCannotDeclareAndWhere) {
    struct Case {
        std::string script;
        std::string error;
    };
    const Case cases[] = {
        {"HKCR\n{\n    K { val B = b '0102' }\n}\n",
         "twrgs: line 3, column 13: HKEY_CLASSES_ROOT\\K, value \"B\": a REG_BINARY value, which "
         "the installer's WiX subset cannot declare (wixl writes binary values as text)\n"},
        {"HKCR { NoRemove K = s 'kept' { val V = s 'v' } }",
         "twrgs: line 1, column 17: HKEY_CLASSES_ROOT\\K, default value: unregistering keeps it "
         "(NoRemove), but an installer removes every value it declares\n"},
        {"HKCR { NoRemove K { NoRemove val V = s 'v' } }",
         "twrgs: line 1, column 34: HKEY_CLASSES_ROOT\\K, value \"V\": unregistering keeps it "
         "(NoRemove), but an installer removes every value it declares\n"},
        {"HKCR { Delete Old K = s 'k' }",
         "twrgs: line 1, column 15: Delete HKEY_CLASSES_ROOT\\Old: the installer's WiX subset "
         "cannot delete a key at install (wixl refuses RemoveRegistryKey)\n"},
        {"HKCC { K = s 'k' }",
         "twrgs: line 1, column 8: HKEY_CURRENT_CONFIG\\K: an installer writes only below HKCR, "
         "HKCU, HKLM and HKU\n"},
        {"HKCU { val V = s 'v' }",
         "twrgs: line 1, column 12: HKEY_CURRENT_USER, value \"V\": an installer cannot write "
         "values directly into a root key\n"},
        {"HKCU { K = s 'a\x06' }",
         "twrgs: line 1, column 8: HKEY_CURRENT_USER\\K, default value: the data holds the control "
         "character 0x06, which a WiX file cannot carry\n"},
        {"HKCU { K = s '\x05' }",
         "twrgs: line 1, column 15: the script holds a control character, which a WiX file cannot "
         "carry\n"},
        {"HKCU { K = s '\x01' }",
         "twrgs: line 1, column 15: the script holds a control character, which a WiX file cannot "
         "carry\n"},
        {"HKCU { K { val '-' = s '' } }",
         "twrgs: line 1, column 16: HKEY_CURRENT_USER\\K, value \"-\": an empty value of this name "
         "reads as a key's row in an installer\n"},
        {"HKCU { NoRemove K }",
         "twrgs: the script writes no value, and the installer's component needs one as its key "
         "path\n"},
        // Every reason, in the script's order.
        {"HKCR { A = s 'a' { val B = b '' } } HKCR { val R = s 'r' C { val D = b '00' } }",
         "twrgs: line 1, column 24: HKEY_CLASSES_ROOT\\A, value \"B\": a REG_BINARY value, which "
         "the installer's WiX subset cannot declare (wixl writes binary values as text)\n"
         "twrgs: line 1, column 48: HKEY_CLASSES_ROOT, value \"R\": an installer cannot write "
         "values directly into a root key\n"
         "twrgs: line 1, column 66: HKEY_CLASSES_ROOT\\C, value \"D\": a REG_BINARY value, which "
         "the installer's WiX subset cannot declare (wixl writes binary values as text)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        EXPECT_EQ(Wix({Write("bad.rgs", c.script)}), 1);
        EXPECT_EQ(err, c.error);
        EXPECT_EQ(out, "");
    }
    // A key path longer than the installer's table holds.
    std::string deep = "HKCU {";
    for (int i = 0; i < 16; ++i) {
        deep += " NoRemove LongerLevelName" + std::to_string(i % 10) + " {";
    }
    deep += " val V = s 'v'";
    for (int i = 0; i <= 16; ++i) {
        deep += " }";
    }
    EXPECT_EQ(Wix({Write("deep.rgs", deep)}), 1);
    EXPECT_NE(err.find("the key path has 271 characters; the installer's table holds at most 255"),
              std::string::npos)
        << err;
}

TEST_F(WixFragment, RefusesOptionsThatDoNotGoWithIt) {
    const std::string script = Write("ok.rgs", "HKCR { K = s 'k' }");
    struct Case {
        std::vector<std::string> arguments;
        std::string error;
    };
    const Case cases[] = {
        {{"--format", "wix", "--unregister", script},
         "twrgs: --format wix declares a registration into an empty registry: it takes neither "
         "--from nor --unregister\n"},
        {{"--format", "wix", "--from", script, script},
         "twrgs: --format wix declares a registration into an empty registry: it takes neither "
         "--from nor --unregister\n"},
        {{"--format", "xml", script}, "twrgs: --format takes reg or wix, not 'xml'\n"},
        {{"--format", "wix", "--format", "reg", script}, "twrgs: --format may be given once\n"},
        {{"--format", "wix", "--wix-id", "1st", script},
         "twrgs: --wix-id takes a WiX identifier (a letter or _, then letters, digits, _ and ., at "
         "most 72), not '1st'\n"},
        {{"--wix-id", "Reg", script}, "twrgs: --wix-id goes with --format wix\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RunTwrgs(c.arguments, &out, &err), 2) << c.error;
        EXPECT_EQ(err.compare(0, c.error.size(), c.error), 0) << err;
        EXPECT_EQ(out, "");
    }
}

TEST_F(WixFragment, DllReadsTheScriptResourceOfAWindowsBinary) {
    if (!std::filesystem::exists(TW_DIST_DIR "/twShellExt_64.dll")) {
        GTEST_SKIP() << "dist/twShellExt_64.dll is not there: make dist makes it";
    }
    const std::string dll = Read(TW_DIST_DIR "/twShellExt_64.dll");
    ASSERT_GT(dll.size(), 4096u);
    // The .reg form of the shipped DLL's script is that of the script file.
    ASSERT_EQ(
        RunTwrgs({"-s", kProductModule, "--dll", TW_DIST_DIR "/twShellExt_64.dll"}, &out, &err), 0)
        << err;
    const std::string fromDll = out;
    ASSERT_EQ(RunTwrgs({"-s", kProductModule, TW_PRODUCT_SCRIPT}, &out, &err), 0);
    EXPECT_EQ(fromDll, out);

    struct Case {
        std::string file;
        std::string error;
    };
    const Case cases[] = {
        {TW_DIST_DIR "/twVss_64.exe", "it has no resource REGISTRY 101"},
        {Write("text.dll", "MZ but not a binary"), "not a Windows binary that can be read"},
        // Cut in the middle of the script.
        {Write("cut.dll", dll.substr(0, dll.find("HKCR\r\n{") + 10)),
         "not a Windows binary that can be read (bad resource data entry)"},
        {dir_ + "/missing.dll", "No such file"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RunTwrgs({"--dll", c.file}, &out, &err), 2) << c.file;
        const std::string prefix = "twrgs: cannot read the script from " + c.file + ": ";
        EXPECT_EQ(err.compare(0, prefix.size(), prefix), 0) << err;
        EXPECT_NE(err.find(c.error), std::string::npos) << err;
        EXPECT_EQ(out, "");
    }
}

// Every corpus script that registers gives a fragment that wixl builds without a word, or is
// reported with the reasons it cannot be declared; none is changed to fit.
TEST_F(WixFragment, EveryCorpusScriptThatRegistersBuildsWithWixlOrIsReported) {
    std::vector<CorpusScript> scripts;
    std::string error;
    if (!ReadCorpus(TW_CORPUS_DIR, &scripts, &error)) {
        GTEST_SKIP() << error;
    }
    // What the installer's subset cannot express, by script number.
    const std::map<std::string, std::string> kReported = {
        {"003", "value \"{553891B7-A0D5-4526-BE18-D3CE461D6310}\": a REG_BINARY value"},
        {"021", "value \"AccessPermission\": a REG_BINARY value"},
        {"030", "default value: unregistering keeps it (NoRemove)"},
        {"010", "the script writes no value"},
    };
    std::map<std::string, std::string> reported;
    size_t built = 0;
    for (const CorpusScript& script : scripts) {
        if (FAILED(script.expected)) {
            continue;  // the interpreter rejects it (registrar_corpus_host_test)
        }
        SCOPED_TRACE(script.file);
        std::vector<std::string> arguments;
        for (const auto& [name, value] : script.substitutions) {
            arguments.insert(arguments.end(), {"-s", Utf16ToUtf8(name) + "=" + Utf16ToUtf8(value)});
        }
        arguments.push_back(Write(script.file, script.bytes));
        if (Wix(arguments) != 0) {
            EXPECT_NE(err.compare(0, 9, "twrgs: 0x"), 0) << "the script failed: " << err;
            reported[script.file.substr(0, 3)] = err;
            continue;
        }
        EXPECT_EQ(BuildWithWixl({Write("corpus.wxs", out)}, "Registration"), "");
        ++built;
    }
    EXPECT_EQ(reported.size(), kReported.size());
    for (const auto& [number, why] : reported) {
        ASSERT_EQ(kReported.count(number), 1u) << why;
        EXPECT_NE(why.find(kReported.at(number)), std::string::npos) << why;
    }
    EXPECT_GT(built, 25u);
}

}  // namespace
}  // namespace tw::test
