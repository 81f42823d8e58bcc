#include "script_cases.h"

#include <algorithm>
#include <iterator>

#include "reg_file.h"
#include "reg_object.h"

namespace tw::test {
namespace {

std::string Repeat(const std::string& text, int count) {
    std::string repeated;
    for (int i = 0; i < count; ++i) {
        repeated += text;
    }
    return repeated;
}

// A script of `blocks` nested blocks (the root block included), one key "L" per level, and the
// .reg sections of the keys it creates, `keys` levels deep.
std::string NestedScript(int blocks) {
    return "HKCR { " + Repeat("L { ", blocks - 1) + Repeat("} ", blocks - 1) + "}";
}
std::string NestedKeys(int keys) {
    std::string sections;
    std::string path = "HKEY_CLASSES_ROOT";
    for (int i = 0; i < keys; ++i) {
        path += "\\L";
        sections += "[" + path + "]\n";
    }
    return sections;
}

std::vector<ScriptCase> MakeCases() {
    std::vector<ScriptCase> cases;
    auto add = [&cases](std::string name, unsigned codePage, std::string script,
                        std::vector<std::pair<std::u16string, std::u16string>> substitutions,
                        std::string before, bool registering, HRESULT result, std::string after) {
        cases.push_back({std::move(name), codePage, std::move(script), std::move(substitutions),
                         std::move(before), registering, result, std::move(after)});
    };

    // Format and structure.
    add("an empty text touches nothing", 0, "", {}, "", kRegister, S_OK, "");
    add("a text of white space only is a syntax error", 0, " \t\r\n ", {}, "", kRegister,
        DISP_E_EXCEPTION, "");
    add("an empty root block", 0, "HKCR\r\n{\r\n}\r\n", {}, "", kRegister, S_OK, "");
    add("keys, default values and nested values", 0, R"(
HKCR
{
    Outer = s 'Outer default'
    {
        Inner
        {
            val Text = s 'hello'
            val Number = d '42'
        }
    }
})",
        {}, "", kRegister, S_OK, R"(
[HKEY_CLASSES_ROOT\Outer]
@="Outer default"
[HKEY_CLASSES_ROOT\Outer\Inner]
"Number"=dword:0000002a
"Text"="hello"
)");
    add("the fourteen root names, without regard to case", 0, R"(
hkcr { A } HKCU { A } HKLM { A } HKU { A } HKPD { A } HKDD { A } HKCC { A }
HKEY_CLASSES_ROOT { B } HKEY_CURRENT_USER { B } hkey_local_machine { B } HKEY_USERS { B }
HKEY_PERFORMANCE_DATA { B } HKEY_DYN_DATA { B } HKEY_CURRENT_CONFIG { B })",
        {}, "", kRegister, S_OK, R"(
[HKEY_CLASSES_ROOT\A]
[HKEY_CLASSES_ROOT\B]
[HKEY_CURRENT_USER\A]
[HKEY_CURRENT_USER\B]
[HKEY_LOCAL_MACHINE\A]
[HKEY_LOCAL_MACHINE\B]
[HKEY_USERS\A]
[HKEY_USERS\B]
[HKEY_PERFORMANCE_DATA\A]
[HKEY_PERFORMANCE_DATA\B]
[HKEY_DYN_DATA\A]
[HKEY_DYN_DATA\B]
[HKEY_CURRENT_CONFIG\A]
[HKEY_CURRENT_CONFIG\B]
)");
    add("an unknown root name is a syntax error", 0, "HKXX { A }", {}, "", kRegister,
        DISP_E_EXCEPTION, "");
    add("the token after a root name must begin with {", 0, "HKCR A { }", {}, "", kRegister,
        DISP_E_EXCEPTION, "");
    add("a token that begins with { opens the root block", 0, "HKCR {Ignored A }", {}, "",
        kRegister, S_OK, "[HKEY_CLASSES_ROOT\\A]");
    add("quoted tokens: spaces, doubled quotes, backslashes, empty text", 0, R"(
HKCR
{
    'Key With Spaces' = s 'It''s here'
    {
        val 'Path\Value' = s 'C:\dir\file'
        val Empty = s ''
    }
})",
        {}, "", kRegister, S_OK, R"(
[HKEY_CLASSES_ROOT\Key With Spaces]
@="It's here"
"Empty"=""
"Path\\Value"="C:\\dir\\file"
)");
    add("a token may follow a closing quote; a quote inside a bare token is ordinary", 0,
        "HKCR { 'A'B It's = s 'x' }", {}, "", kRegister, S_OK, R"(
[HKEY_CLASSES_ROOT\A]
[HKEY_CLASSES_ROOT\B]
[HKEY_CLASSES_ROOT\It's]
@="x"
)");
    add("= and braces are tokens of their own only between white space", 0,
        "HKCR { A=s 'x' B {C} }", {}, "", kRegister, S_OK, R"(
[HKEY_CLASSES_ROOT\A=s]
[HKEY_CLASSES_ROOT\B]
[HKEY_CLASSES_ROOT\x]
[HKEY_CLASSES_ROOT\{C}]
)");
    add("control characters other than TAB, LF and CR belong to tokens", 0,
        "HKCR { A\x0b"
        "B\x01 = s 'tab\there' }",
        {}, "", kRegister, S_OK,
        "[HKEY_CLASSES_ROOT\\A\x0b"
        "B\x01]\n@=\"tab\there\"");

    // Substitutions.
    add("substitution names without regard to case; %% is a percent sign everywhere", 0, R"(
HKCR
{
    '%module%' = s '%MODULE%'
    {
        val '100%%' = s '%%%Module_Raw%%%'
    }
    Bare%%Key = s 50%%
})",
        {{u"Module", u"tw.dll"}, {u"Module_Raw", u"raw"}}, "", kRegister, S_OK, R"(
[HKEY_CLASSES_ROOT\Bare%Key]
@="50%"
[HKEY_CLASSES_ROOT\tw.dll]
@="tw.dll"
"100%"="%raw%"
)");
    add("the first of two substitutions with one name wins", 0, "HKCR { K = s '%Name%' }",
        {{u"NAME", u"first"}, {u"name", u"second"}}, "", kRegister, S_OK,
        "[HKEY_CLASSES_ROOT\\K]\n@=\"first\"");
    add("a value prepared with doubled quotes reads back unchanged", 0, "HKCR { K = s '%MODULE%' }",
        {{u"Module", u"C:\\Client''s Data\\tw.dll"}}, "", kRegister, S_OK,
        "[HKEY_CLASSES_ROOT\\K]\n@=\"C:\\\\Client's Data\\\\tw.dll\"");
    add("a substitution name of 31 bytes is found", 0,
        "HKCR { K = s '%A123456789012345678901234567890%' }",
        {{u"A123456789012345678901234567890", u"found"}}, "", kRegister, S_OK,
        "[HKEY_CLASSES_ROOT\\K]\n@=\"found\"");
    add("a substitution name of 32 bytes fails with E_FAIL", 0,
        "HKCR { K = s '%A1234567890123456789012345678901%' }",
        {{u"A1234567890123456789012345678901", u"long"}}, "", kRegister, E_FAIL, "");
    add("a % without a closing % is a syntax error", 0, "HKCR { K = s '50% }", {}, "", kRegister,
        DISP_E_EXCEPTION, "");
    add("an unknown substitution name is a syntax error", 0, "HKCR { K = s '%NOPE%' }",
        {{u"MODULE", u"x"}}, "", kRegister, DISP_E_EXCEPTION, "");
    add("a substituted value is not scanned again", 0, "HKCR { K = s '%X%' }",
        {{u"X", u"%Y%"}, {u"Y", u"z"}}, "", kRegister, S_OK, "[HKEY_CLASSES_ROOT\\K]\n@=\"%Y%\"");
    add("a substitution can stand for the root name", 0, "%HKROOT% { K }", {{u"HKROOT", u"HKCU"}},
        "", kRegister, S_OK, "[HKEY_CURRENT_USER\\K]");

    // Keywords and prefixes.
    add("keywords without regard to case, also quoted", 0, R"(
HKCR
{
    forceremove A = s 'a'
    'NOREMOVE' B
    {
        VAL v = s 'x'
        'val' w = s 'y'
    }
})",
        {}, "[HKEY_CLASSES_ROOT\\A\\Old]", kRegister, S_OK, R"(
[HKEY_CLASSES_ROOT\A]
@="a"
[HKEY_CLASSES_ROOT\B]
"v"="x"
"w"="y"
)");
    add("keywords name keys only after NoRemove", 0,
        "HKCR { NoRemove NoRemove { NoRemove Delete NoRemove ForceRemove } }", {}, "", kRegister,
        S_OK, R"(
[HKEY_CLASSES_ROOT\NoRemove]
[HKEY_CLASSES_ROOT\NoRemove\Delete]
[HKEY_CLASSES_ROOT\NoRemove\ForceRemove]
)");
    add("a key cannot be named Val", 0, "HKCR { Val = s 'x' }", {}, "", kRegister, DISP_E_EXCEPTION,
        "");
    add("ForceRemove replaces an existing tree", 0,
        "HKCR { ForceRemove A = s 'new' { val N = d 1 } }", {}, R"(
[HKEY_CLASSES_ROOT\A]
@="old"
"keep"="v"
[HKEY_CLASSES_ROOT\A\Sub]
[HKEY_CLASSES_ROOT\A\Sub\Deeper]
"x"=dword:00000001
)",
        kRegister, S_OK, "[HKEY_CLASSES_ROOT\\A]\n@=\"new\"\n\"N\"=dword:00000001");
    {
        static const char* const kProtected[] = {"AppID",    "CLSID",     "Component Categories",
                                                 "FileType", "Interface", "Hardware",
                                                 "Mime",     "SAM",       "SECURITY",
                                                 "SYSTEM",   "Software",  "TypeLib"};
        std::string script = "HKCR { ForceRemove clsid";
        std::vector<std::string> names(std::begin(kProtected), std::end(kProtected));
        for (const std::string& name : names) {
            script += " Delete '" + name + "'";
        }
        // Sections in registry order: by name without regard to case.
        std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
            return CodePageText::Western().FoldCase(a.data(), a.size()) <
                   CodePageText::Western().FoldCase(b.data(), b.size());
        });
        std::string sections;
        for (const std::string& name : names) {
            sections +=
                "[HKEY_CLASSES_ROOT\\" + name + "]\n[HKEY_CLASSES_ROOT\\" + name + "\\Sub]\n";
        }
        script += " Delete SOFTWARE }";
        add("ForceRemove and Delete never delete a protected key", 0, script, {}, sections,
            kRegister, S_OK, sections);
    }
    add("Delete removes a tree, creates nothing and drops its assignment", 0,
        "HKCR { Delete Gone = s 'ignored' Delete Absent Stay }", {}, R"(
[HKEY_CLASSES_ROOT\Gone]
[HKEY_CLASSES_ROOT\Gone\Sub]
[HKEY_CLASSES_ROOT\Stay]
)",
        kRegister, S_OK, "[HKEY_CLASSES_ROOT\\Stay]");
    add("unregistering takes Delete X as a key entry", 0, "HKCR { Delete Gone = s 'x' }", {},
        "[HKEY_CLASSES_ROOT\\Gone]", kUnregister, S_OK, "");
    add("ForceRemove val deletes the key val and sets a value when registering", 0,
        "HKCR { NoRemove K { ForceRemove val V = s 'x' } }", {}, "[HKEY_CLASSES_ROOT\\K\\val]",
        kRegister, S_OK, "[HKEY_CLASSES_ROOT\\K]\n\"V\"=\"x\"");
    add("ForceRemove val is read as the key val when unregistering", 0,
        "HKCR { NoRemove K { ForceRemove val V = s 'x' } }", {},
        "[HKEY_CLASSES_ROOT\\K]\n\"V\"=\"x\"\n[HKEY_CLASSES_ROOT\\K\\val]", kUnregister, S_OK,
        "[HKEY_CLASSES_ROOT\\K]\n\"V\"=\"x\"");

    // Value types.
    add("s, m, d and b values with their exact bytes", 0, R"(
HKCR
{
    V
    {
        val S1 = s 'text'
        val S2 = S ''
        val M1 = m 'a\0b'
        val M2 = M 'a\0\0b'
        val M3 = m ''
        val M4 = m 'x\y\0'
        val D1 = d '4294967295'
        val D2 = D '&HA0000000'
        val D3 = d 3
        val B1 = b '0aFf'
        val B2 = B 'zz'
        val B3 = b ''
    }
})",
        {}, "", kRegister, S_OK, R"(
[HKEY_CLASSES_ROOT\V]
"B1"=hex:0a,ff
"B2"=hex:00
"B3"=hex:
"D1"=dword:ffffffff
"D2"=dword:a0000000
"D3"=dword:00000003
"M1"=hex(7):61,00,00,00,62,00,00,00,00,00
"M2"=hex(7):61,00,00,00,00,00
"M3"=hex(7):00,00
"M4"=hex(7):78,00,5c,00,79,00,00,00,00,00
"S1"="text"
"S2"=""
)");
    add("an unknown value type letter is a syntax error", 0, "HKCR { K = e 'x' }", {}, "",
        kRegister, DISP_E_EXCEPTION, "");
    add("a value type is one letter", 0, "HKCR { K = sz 'x' }", {}, "", kRegister, DISP_E_EXCEPTION,
        "");
    add("a b value with an odd number of digits fails with E_FAIL", 0, "HKCR { K = b 'abc' }", {},
        "", kRegister, E_FAIL, "");
    add("a d value that is not a number returns the parser's result", 0, "HKCR { K = d 'abc' }", {},
        "", kRegister, DISP_E_TYPEMISMATCH, "");
    add("an empty d value is not a number", 0, "HKCR { K = d '' }", {}, "", kRegister,
        DISP_E_TYPEMISMATCH, "");
    add("a d value above 32 bits overflows", 0, "HKCR { K = d '4294967296' }", {}, "", kRegister,
        DISP_E_OVERFLOW, "");

    // The register walk.
    add("an existing key is opened and keeps the values it holds", 0,
        "HKCR { K = s 'def' { val N = s 'n' } }", {}, "[HKEY_CLASSES_ROOT\\K]\n\"other\"=\"kept\"",
        kRegister, S_OK, R"(
[HKEY_CLASSES_ROOT\K]
@="def"
"N"="n"
"other"="kept"
)");
    add("a value keeps the spelling it was first set with", 0, "HKCR { K { val NAME = s 'new' } }",
        {}, "[HKEY_CLASSES_ROOT\\K]\n\"Name\"=\"old\"", kRegister, S_OK,
        "[HKEY_CLASSES_ROOT\\K]\n\"Name\"=\"new\"");
    add("a key keeps the spelling it was created with", 0, "HKCR { MIXEDCASE = s 'x' }", {},
        "[HKEY_CLASSES_ROOT\\MixedCase]", kRegister, S_OK,
        "[HKEY_CLASSES_ROOT\\MixedCase]\n@=\"x\"");
    add("a failing second root block is rolled back and the first one stays", 0, R"(
HKCR { First = s '1' }
HKCU { Second = s '2' { Third = q 'bad' } })",
        {}, "", kRegister, DISP_E_EXCEPTION, "[HKEY_CLASSES_ROOT\\First]\n@=\"1\"");
    add("a value of a root key", 0, "HKCR { val RootValue = s 'x' }", {}, "", kRegister, S_OK,
        "[HKEY_CLASSES_ROOT]\n\"RootValue\"=\"x\"");

    // The unregister walk.
    add("unregistering keys that do not exist succeeds", 0,
        "HKCR { Outer = s 'x' { Inner { val Text = s 'hello' } } }", {}, "", kUnregister, S_OK, "");
    add("unregistering keeps NoRemove keys and keys with subkeys", 0, R"(
HKCR
{
    NoRemove Keep
    {
        Mine = s 'x'
        {
            val V = s 'v'
        }
    }
    Parent
    {
        Child
    }
    Simple = s 'x'
})",
        {}, R"(
[HKEY_CLASSES_ROOT\Keep]
"foreign"="f"
[HKEY_CLASSES_ROOT\Keep\Mine]
@="x"
"Other"="from another product"
"V"="v"
[HKEY_CLASSES_ROOT\Parent]
[HKEY_CLASSES_ROOT\Parent\Child]
[HKEY_CLASSES_ROOT\Parent\Foreign]
[HKEY_CLASSES_ROOT\Simple]
@="x"
"extra"="e"
)",
        kUnregister, S_OK, R"(
[HKEY_CLASSES_ROOT\Keep]
"foreign"="f"
[HKEY_CLASSES_ROOT\Parent]
[HKEY_CLASSES_ROOT\Parent\Foreign]
)");
    add("a NoRemove val keeps its value", 0,
        "HKCR { NoRemove K { NoRemove val Kept = s '1' val Gone = s '2' val Absent = s '3' } }", {},
        "[HKEY_CLASSES_ROOT\\K]\n\"Gone\"=\"2\"\n\"Kept\"=\"1\"\n[HKEY_CLASSES_ROOT\\K\\Sub]",
        kUnregister, S_OK, "[HKEY_CLASSES_ROOT\\K]\n\"Kept\"=\"1\"\n[HKEY_CLASSES_ROOT\\K\\Sub]");
    add("the block of a missing key is only read", 0, "HKCR { Missing { val V = s 'x' Inner } }",
        {}, "[HKEY_CLASSES_ROOT\\Inner]\n\"V\"=\"x\"", kUnregister, S_OK,
        "[HKEY_CLASSES_ROOT\\Inner]\n\"V\"=\"x\"");
    add("unregistering deletes a value of a root key", 0, "HKCR { val RootValue = s 'x' }", {},
        "[HKEY_CLASSES_ROOT]\n\"RootValue\"=\"x\"\n\"Other\"=\"y\"", kUnregister, S_OK,
        "[HKEY_CLASSES_ROOT]\n\"Other\"=\"y\"");

    // The failure table.
    add("the text ends inside a block", 0, "HKCR { A", {}, "", kRegister, DISP_E_EXCEPTION,
        "[HKEY_CLASSES_ROOT\\A]");
    add("a quoted token without its closing quote", 0, "HKCR { A = s 'open }", {}, "", kRegister,
        DISP_E_EXCEPTION, "[HKEY_CLASSES_ROOT\\A]");
    {
        const std::string longest(4094, 'x');
        add("a token of 4094 bytes is accepted", 0, "HKCR { K = s '" + longest + "' }", {}, "",
            kRegister, S_OK, "[HKEY_CLASSES_ROOT\\K]\n@=\"" + longest + "\"");
        add("a token of 4095 bytes is a syntax error", 0, "HKCR { K = s " + longest + "y }", {}, "",
            kRegister, DISP_E_EXCEPTION, "[HKEY_CLASSES_ROOT\\K]");
    }
    add("a backslash in a key name is a syntax error", 0, "HKCR { A\\B }", {}, "", kRegister,
        DISP_E_EXCEPTION, "");
    add("a val name must be followed by =", 0, "HKCR { K { val V s 'x' } }", {}, "", kRegister,
        DISP_E_EXCEPTION, "[HKEY_CLASSES_ROOT\\K]");
    {
        const std::string name256(256, 'n');
        add("a key name of 256 characters", 0, "HKCR { " + name256 + " = s 'x' }", {}, "",
            kRegister, S_OK, "[HKEY_CLASSES_ROOT\\" + name256 + "]\n@=\"x\"");
        add("a key name of 257 characters fails in the registry", 0,
            "HKCR { " + std::string(257, 'n') + " }", {}, "", kRegister,
            HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER), "");
        add("a key name of 261 characters fails in the registry", 0,
            "HKCR { " + std::string(261, 'n') + " }", {}, "", kRegister,
            HRESULT_FROM_WIN32(ERROR_MORE_DATA), "");
        add("ForceRemove deletes a subkey whose name has 256 characters", 0,
            "HKCR { ForceRemove K }", {},
            "[HKEY_CLASSES_ROOT\\K]\n[HKEY_CLASSES_ROOT\\K\\" + name256 + "]", kRegister, S_OK,
            "[HKEY_CLASSES_ROOT\\K]");
    }
    add("blocks nest 64 deep, the root block included", 0, NestedScript(64), {}, "", kRegister,
        S_OK, NestedKeys(63));
    add("a 65th level of blocks is a syntax error", 0, NestedScript(65), {}, "", kRegister,
        DISP_E_EXCEPTION, NestedKeys(64));

    // Where the interpreter is stricter than the format's letter, for safety.
    add("an empty key name is a syntax error and deletes nothing", 0,
        "HKCR { NoRemove CLSID { ForceRemove '' } }", {},
        "[HKEY_CLASSES_ROOT\\CLSID\\{A}]\n[HKEY_CLASSES_ROOT\\CLSID\\{B}]", kRegister,
        DISP_E_EXCEPTION,
        "[HKEY_CLASSES_ROOT\\CLSID]\n[HKEY_CLASSES_ROOT\\CLSID\\{A}]\n[HKEY_CLASSES_ROOT\\CLSID\\{"
        "B}]");
    add("an empty substitution as a key name deletes nothing", 0,
        "HKCR { NoRemove AppID { ForceRemove '%APPID%' = s 'x' } }", {{u"APPID", u""}},
        "[HKEY_CLASSES_ROOT\\AppID\\{Other}]", kRegister, DISP_E_EXCEPTION,
        "[HKEY_CLASSES_ROOT\\AppID]\n[HKEY_CLASSES_ROOT\\AppID\\{Other}]");
    add("a key name of { is a syntax error", 0, "HKCR { K { val V = s 'x' { Sub } } }", {}, "",
        kRegister, DISP_E_EXCEPTION, "[HKEY_CLASSES_ROOT\\K]");
    add("a syntax error below a missing key stops unregistering", 0,
        "HKCR { Missing { A\\B } HKCU { K } }", {}, "[HKEY_CURRENT_USER\\K]", kUnregister,
        DISP_E_EXCEPTION, "[HKEY_CURRENT_USER\\K]");

    // Text in code page 1252.
    add("Latin-1 names compare without regard to case", 1252,
        "HKCR { Été = s '1' éTÉ { val Ñame = s 'x' val ñAME = s 'y' } }", {}, "", kRegister, S_OK,
        "[HKEY_CLASSES_ROOT\\Été]\n@=\"1\"\n\"Ñame\"=\"y\"");

    // Text in code page 932, where trail bytes can look like ASCII.
    add("trail bytes like a backslash or braces belong to their character", 932,
        "HKCR { ソ表 { ボマ = s 'ソ能' } }", {}, "", kRegister, S_OK,
        "[HKEY_CLASSES_ROOT\\ソ表]\n[HKEY_CLASSES_ROOT\\ソ表\\ボマ]\n@=\"ソ能\"");
    add("an m value never splits a double-byte character", 932,
        "HKCR { K { val M = m 'ソ0\\0x' } }", {}, "", kRegister, S_OK,
        "[HKEY_CLASSES_ROOT\\K]\n\"M\"=hex(7):bd,30,30,00,00,00,78,00,00,00,00,00");
    add("double-byte names compare without regard to case, trail bytes as they are", 932,
        "HKCR { Ａ = s '1' ａ = s '2' ア = s '3' ヂ = s '4' Ω { val Я = s '5' val я = s '6' } ω }",
        {}, "", kRegister, S_OK, R"(
[HKEY_CLASSES_ROOT\Ω]
"Я"="6"
[HKEY_CLASSES_ROOT\ア]
@="3"
[HKEY_CLASSES_ROOT\ヂ]
@="4"
[HKEY_CLASSES_ROOT\Ａ]
@="2"
)");
    add("a double-byte substitution name and value", 932, "HKCR { K = s '%ソ%' }",
        {{u"ソ", u"ア表"}}, "", kRegister, S_OK, "[HKEY_CLASSES_ROOT\\K]\n@=\"ア表\"");
    {
        const std::string kept = "a" + Repeat("ア", 129);   // 259 bytes
        const std::string named = "a" + Repeat("ア", 149);  // 299 bytes
        add("a long double-byte name is deleted whole, never a shortened one", 932,
            "HKCR { NoRemove Parent { " + named + " } }", {},
            "[HKEY_CLASSES_ROOT\\Parent\\" + kept + "]\n[HKEY_CLASSES_ROOT\\Parent\\" + named + "]",
            kUnregister, S_OK,
            "[HKEY_CLASSES_ROOT\\Parent]\n[HKEY_CLASSES_ROOT\\Parent\\" + kept + "]");
        add("ForceRemove deletes a subkey whose name has more than 255 bytes", 932,
            "HKCR { ForceRemove K }", {},
            "[HKEY_CLASSES_ROOT\\K]\n[HKEY_CLASSES_ROOT\\K\\" + named + "]", kRegister, S_OK,
            "[HKEY_CLASSES_ROOT\\K]");
    }
    return cases;
}

std::string ToCodePage(const std::string& utf8, const CodePageText& text) {
    std::u16string wide;
    std::string narrow;
    Utf8ToUtf16(utf8, &wide);
    text.FromUtf16(wide, &narrow);
    return narrow;
}

}  // namespace

const std::vector<ScriptCase>& ScriptCases() {
    static const std::vector<ScriptCase> cases = MakeCases();
    return cases;
}

std::string ScriptBytes(const ScriptCase& c, const CodePageText& text) {
    return ToCodePage(c.script, text);
}

HRESULT RunCase(const ScriptCase& c, Registry& registry, const CodePageText& text,
                std::string* error) {
    if (!ReadRegFile("Windows Registry Editor Version 5.00\n" + c.before, registry, text, error)) {
        return E_UNEXPECTED;
    }
    CRegObject registrar(registry, text);
    for (const auto& substitution : c.substitutions) {
        if (FAILED(registrar.AddSubstitution(substitution.first.c_str(),
                                             substitution.second.c_str()))) {
            *error = "AddSubstitution failed";
            return E_UNEXPECTED;
        }
    }
    return registrar.RunScriptText(ScriptBytes(c, text).c_str(), c.registering);
}

std::string NormalizeSections(const std::string& sections) {
    std::string normalized;
    for (size_t start = 0; start < sections.size();) {
        size_t end = sections.find('\n', start);
        if (end == std::string::npos) {
            end = sections.size();
        }
        if (end > start) {
            normalized += sections.substr(start, end - start) + '\n';
        }
        start = end + 1;
    }
    return normalized;
}

std::string RegistrySections(const RegistrySnapshot& snapshot, const CodePageText& text) {
    std::string out;
    std::string error;
    if (!WriteRegFile(snapshot, text, &out, &error)) {
        return "(cannot be written: " + error + ")";
    }
    out.erase(0, out.find('\n') + 1);  // the header line
    return NormalizeSections(out);
}

}  // namespace tw::test
