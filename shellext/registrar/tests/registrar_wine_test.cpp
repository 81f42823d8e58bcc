// The registrar against the real thing under Wine: the text-service stand-in against the platform's
// functions in the process's ANSI code page, the same scripts against the in-memory registry and
// against Wine's registry (confined to a scratch key), a script resource read from a DLL, and the
// platform defaults of CRegObject. ctest runs this program twice: in code page 1252, and with a
// Japanese locale in code page 932.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "corpus.h"
#include "memory_registry.h"
#include "platform_win.h"
#include "reg_object.h"
#include "script_cases.h"
#include "text_cases.h"
#include "utf16.h"
#include "winsupport.h"

namespace tw::test {
namespace {

const char* const kScratchParent = "Software\\TarnwickRegistrarTest";

const CodePageText& StandIn() {
    static const CodePageText text(GetACP());
    return text;
}

std::string Hex(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
    return text;
}

// A fresh key below HKEY_CURRENT_USER for one test case, removed again afterwards.
class ScratchKey {
  public:
    explicit ScratchKey(const std::string& leaf)
        : path_(std::string(kScratchParent) + "\\" + leaf) {
        RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
        EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key_, nullptr),
                  ERROR_SUCCESS);
    }
    ~ScratchKey() {
        RegCloseKey(key_);
        RegDeleteTreeA(HKEY_CURRENT_USER, path_.c_str());
    }
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;
    HKEY key() const { return key_; }

  private:
    std::string path_;
    HKEY key_ = nullptr;
};

std::string Folded(const std::string& name) {
    return StandIn().FoldCase(name.data(), name.size());
}

// Reads a real key and its subtree the way InMemoryRegistry::Snapshot reports its own.
void ReadTree(HKEY key, const std::string& path, bool isRoot, RegistrySnapshot* snapshot) {
    RegistryKeyDump dump{path, {}};
    std::vector<char> name(16384 + 1);
    std::vector<BYTE> data(65536);
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD dataLength = static_cast<DWORD>(data.size());
        DWORD type = 0;
        if (RegEnumValueA(key, i, name.data(), &nameLength, nullptr, &type, data.data(),
                          &dataLength) != ERROR_SUCCESS) {
            break;
        }
        dump.values.push_back({std::string(name.data(), nameLength), type,
                               std::string(reinterpret_cast<char*>(data.data()), dataLength)});
    }
    std::sort(dump.values.begin(), dump.values.end(),
              [](const RegistryValue& a, const RegistryValue& b) {
                  return Folded(a.name) < Folded(b.name);
              });
    if (!isRoot || !dump.values.empty()) {
        snapshot->push_back(dump);
    }
    std::vector<std::string> children;
    for (DWORD i = 0;; ++i) {
        DWORD length = static_cast<DWORD>(name.size());
        if (RegEnumKeyExA(key, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        children.emplace_back(name.data(), length);
    }
    std::sort(children.begin(), children.end(),
              [](const std::string& a, const std::string& b) { return Folded(a) < Folded(b); });
    for (const std::string& child : children) {
        HKEY opened;
        if (RegOpenKeyExA(key, child.c_str(), 0, KEY_READ, &opened) == ERROR_SUCCESS) {
            ReadTree(opened, path + "\\" + child, false, snapshot);
            RegCloseKey(opened);
        } else {
            ADD_FAILURE() << "cannot open " << path << "\\" << child;
        }
    }
}

// The scratch key's registry, its subkeys named after the roots read back as those roots.
std::string RealSections(HKEY scratch) {
    RegistrySnapshot snapshot;
    for (int i = 0; i < kRegistryRootCount; ++i) {
        const char* root = RootName(static_cast<RegistryRoot>(i));
        HKEY key;
        if (RegOpenKeyExA(scratch, root, 0, KEY_READ, &key) == ERROR_SUCCESS) {
            ReadTree(key, root, true, &snapshot);
            RegCloseKey(key);
        }
    }
    return RegistrySections(snapshot, StandIn());
}

bool RunsHere(unsigned codePage) {
    return codePage == 0 || codePage == GetACP();
}

// The Japanese locale, and one whose ANSI code page is 1252 (English, United States).
constexpr LCID kJapanese = 0x411;
constexpr LCID kEnglish = 0x409;
// Turkish, whose case rules pair i with İ and ı with I.
constexpr LCID kTurkish = 0x41F;

// The ANSI code page the thread's locale has.
UINT ThreadCodePage() {
    UINT codePage = 0;
    GetLocaleInfoW(GetThreadLocale(), LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                   reinterpret_cast<LPWSTR>(&codePage), sizeof(codePage) / sizeof(WCHAR));
    return codePage;
}

// The platform's text services of one code page answer as the stand-in of that code page does.
void ExpectTheStandInsAnswers(const TextServices& platform, const CodePageText& standIn) {
    for (int byte = 1; byte < 256; ++byte) {
        const auto lead = static_cast<unsigned char>(byte);
        EXPECT_EQ(platform.IsLeadByte(lead), standIn.IsLeadByte(lead)) << byte;
        for (const char next : {'\0', ' ', '\'', '@', '\\', '{', '\xFF'}) {
            const char text[] = {static_cast<char>(byte), next, '\0'};
            EXPECT_EQ(platform.NextChar(text) - text, standIn.NextChar(text) - text)
                << byte << " " << static_cast<int>(next);
        }
    }
    // Every character the stand-in knows converts both ways as the platform converts it.
    std::vector<std::string> characters;
    for (int byte = 1; byte < 256; ++byte) {
        if (!standIn.IsLeadByte(static_cast<unsigned char>(byte))) {
            characters.emplace_back(1, static_cast<char>(byte));
            continue;
        }
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            characters.push_back({static_cast<char>(byte), static_cast<char>(trail)});
        }
    }
    size_t known = 0;
    for (const std::string& character : characters) {
        std::u16string standInWide, platformWide;
        standIn.ToUtf16(character, &standInWide);
        if (standInWide == u"\u30FB") {
            continue;  // a byte the stand-in does not know
        }
        ++known;
        ASSERT_TRUE(platform.ToUtf16(character, &platformWide));
        EXPECT_EQ(Utf16ToUtf8(platformWide), Utf16ToUtf8(standInWide))
            << static_cast<int>(static_cast<unsigned char>(character[0]));
        std::string back;
        ASSERT_TRUE(platform.FromUtf16(standInWide, &back));
        EXPECT_EQ(back, character);
    }
    EXPECT_GT(known, standIn.CodePage() == 932 ? 500u : 250u);
    // What 1252 lacks converts to the same best fit, or '?', as the platform's conversion.
    if (standIn.CodePage() == 1252) {
        std::u16string lacking = u"\u0410\u0436\u4E2D\U0001F4F7";
        for (char16_t c = 0x100; c <= 0x17F; ++c) {
            lacking += c;
        }
        for (char16_t c = 0xFF01; c <= 0xFF5E; ++c) {
            lacking += c;
        }
        std::string fromPlatform, fromStandIn;
        ASSERT_TRUE(platform.FromUtf16(lacking, &fromPlatform));
        ASSERT_TRUE(standIn.FromUtf16(lacking, &fromStandIn));
        EXPECT_EQ(fromStandIn, fromPlatform);
    }
}

TEST(TextServices, TheStandInAnswersAsThePlatformDoes) {
    const TextServices& platform = PlatformTextServices(AnsiCodePage::System);
    // Under Wine ctest runs this program once in Wine's default code page and once in 932, and
    // says which; on Windows it runs in the machine's own.
    const char* expected = std::getenv("TW_EXPECTED_ACP");
    if (RunsUnderWine()) {
        ASSERT_NE(expected, nullptr);
    }
    if (expected != nullptr) {
        ASSERT_EQ(GetACP(), static_cast<UINT>(std::atoi(expected)));
    }
    for (const NumberCase& c : NumberCases()) {
        uint32_t value = 0xDEADBEEF;
        EXPECT_EQ(Hex(platform.ParseUI4(c.text, &value)), Hex(c.result)) << Utf16ToUtf8(c.text);
        EXPECT_EQ(value, SUCCEEDED(c.result) ? c.value : 0xDEADBEEF) << Utf16ToUtf8(c.text);
    }
    ExpectTheStandInsAnswers(platform, StandIn());
}

// The platform's two ANSI code pages are two settings, as the stand-ins have them: with a thread
// locale whose code page is not the system's, the thread's text services are those of its code
// page and the system's stay those of the system's.
TEST(TextServices, TheThreadsCodePageIsASettingOfItsOwn) {
    if (GetACP() != 1252 && GetACP() != 932) {
        GTEST_SKIP() << "the stand-ins know code pages 1252 and 932, not " << GetACP();
    }
    ThreadLocale locale(GetACP() == 1252 ? kJapanese : kEnglish);
    ASSERT_TRUE(locale.set());
    const UINT thread = GetACP() == 1252 ? 932 : 1252;
    ASSERT_EQ(ThreadCodePage(), thread);
    ExpectTheStandInsAnswers(PlatformTextServices(AnsiCodePage::Thread), CodePageText(thread));
    ExpectTheStandInsAnswers(PlatformTextServices(AnsiCodePage::System), StandIn());
}

// The interpreter's comparisons of names, stepping with the platform in the system's code page,
// give the same answers whatever the thread's locale.
TEST(TextServices, NamesCompareTheSameInEveryLocale) {
    const TextServices& platform = PlatformTextServices(kRegistryCodePage);
    for (const LCID lcid : {GetThreadLocale(), kTurkish, kJapanese, kEnglish}) {
        ThreadLocale locale(lcid);
        ASSERT_TRUE(locale.set());
        for (const CompareCase& c : CompareCases()) {
            if (c.codePage != GetACP()) {
                continue;
            }
            std::u16string a, b;
            std::string narrowA, narrowB;
            Utf8ToUtf16(c.a, &a);
            Utf8ToUtf16(c.b, &b);
            ASSERT_TRUE(platform.FromUtf16(a, &narrowA) && platform.FromUtf16(b, &narrowB));
            EXPECT_EQ(platform.EqualNoCase(narrowA.c_str(), narrowB.c_str()), c.equal)
                << c.a << " / " << c.b << " in locale " << lcid;
        }
    }
}

TEST(Registry, ScriptCasesGiveTheSameInMemoryAndInTheRealRegistry) {
    size_t run = 0;
    for (const ScriptCase& c : ScriptCases()) {
        if (!RunsHere(c.codePage)) {
            continue;
        }
        SCOPED_TRACE(c.name);
        ++run;
        ScratchKey scratch("case");
        std::string error;
        WindowsRegistry real(scratch.key());
        const HRESULT realResult = RunCase(c, real, StandIn(), &error);
        ASSERT_EQ(error, "");
        InMemoryRegistry memory(StandIn());
        const HRESULT memoryResult = RunCase(c, memory, StandIn(), &error);
        ASSERT_EQ(error, "");
        EXPECT_EQ(Hex(realResult), Hex(memoryResult));
        EXPECT_EQ(Hex(realResult), Hex(c.result));
        const std::string realSections = RealSections(scratch.key());
        EXPECT_EQ(realSections, RegistrySections(memory.Snapshot(), StandIn()));
        EXPECT_EQ(realSections, NormalizeSections(c.after));
    }
    EXPECT_GT(run, 50u);
    std::printf("ANSI code page %u: %u script cases compared\n", GetACP(),
                static_cast<unsigned>(run));
}

TEST(Registry, NamesOfSeveralLevelsGiveTheSameInMemoryAndInTheRealRegistry) {
    ScratchKey scratch("levels");
    WindowsRegistry real(scratch.key());
    InMemoryRegistry memory(StandIn());
    const RegKey classes = RootKey(RegistryRoot::ClassesRoot);
    struct Step {
        bool create;
        const char* name;
        REGSAM access;
    };
    const Step steps[] = {
        {false, "a\\b", KEY_READ}, {true, "a\\b\\c", KEY_READ | KEY_WRITE},
        {false, "A\\B", KEY_READ}, {false, "a\\x\\c", KEY_READ},
        {true, "a\\d", KEY_READ},  {false, "a\\b\\c", KEY_SET_VALUE},
    };
    for (const Step& step : steps) {
        RegKey inMemory = 0, inReal = 0;
        const LONG fromMemory = step.create
                                    ? memory.Create(classes, step.name, step.access, &inMemory)
                                    : memory.Open(classes, step.name, step.access, &inMemory);
        const LONG fromReal = step.create ? real.Create(classes, step.name, step.access, &inReal)
                                          : real.Open(classes, step.name, step.access, &inReal);
        EXPECT_EQ(fromMemory, fromReal) << step.name;
        if (fromMemory == ERROR_SUCCESS) {
            memory.Close(inMemory);
        }
        if (fromReal == ERROR_SUCCESS) {
            real.Close(inReal);
        }
    }
    EXPECT_EQ(memory.OpenHandleCount(), 0u);
    EXPECT_EQ(RealSections(scratch.key()), RegistrySections(memory.Snapshot(), StandIn()));
}

TEST(Registry, CorpusScriptsGiveTheSameInMemoryAndInTheRealRegistry) {
    std::vector<CorpusScript> scripts;
    std::string error;
    if (!ReadCorpus(TW_CORPUS_DIR, &scripts, &error)) {
        GTEST_SKIP() << error;
    }
    for (const CorpusScript& script : scripts) {
        SCOPED_TRACE(script.file);
        ScratchKey scratch("corpus");
        WindowsRegistry real(scratch.key());
        InMemoryRegistry memory(StandIn());
        for (const bool registering : {kRegister, kUnregister}) {
            HRESULT results[2];
            Registry* registries[2] = {&real, &memory};
            for (int i = 0; i < 2; ++i) {
                CRegObject registrar(*registries[i], StandIn());
                for (const auto& substitution : script.substitutions) {
                    registrar.AddSubstitution(substitution.first.c_str(),
                                              substitution.second.c_str());
                }
                results[i] = registrar.RunScriptText(script.bytes.c_str(), registering);
            }
            EXPECT_EQ(Hex(results[0]), Hex(results[1]));
            if (registering) {
                EXPECT_EQ(Hex(results[0]), Hex(script.expected));
            }
            EXPECT_EQ(RealSections(scratch.key()), RegistrySections(memory.Snapshot(), StandIn()));
        }
    }
}

TEST(RunScriptResource, ReadsTheScriptFromTheModuleFile) {
    ScratchKey scratch("resource");
    WindowsRegistry real(scratch.key());
    CRegObject registrar(real, PlatformTextServices(kRegistryCodePage), &PlatformModuleResources());
    const std::u16string dll = FromWide((ExeDirectory() + L"registrar_resources.dll").c_str());
    ASSERT_EQ(registrar.AddSubstitution(u"MODULE", u"C:\\Client''s Data\\twShellExt_64.dll"), S_OK);

    EXPECT_EQ(Hex(registrar.RunScriptResource(dll.c_str(), 101, "REGISTRY", kRegister)), Hex(S_OK));
    const std::string registered = RealSections(scratch.key());
    EXPECT_NE(registered.find("[HKEY_CLASSES_ROOT\\CLSID\\{9F264B80-12D4-4C4C-9158-7A1A1803FB58}\\"
                              "InprocServer32]\n@=\"C:\\\\Client's Data\\\\twShellExt_64.dll\"\n"),
              std::string::npos)
        << registered;
    EXPECT_EQ(Hex(registrar.RunScriptResource(dll.c_str(), 101, "REGISTRY", kUnregister)),
              Hex(S_OK));
    EXPECT_EQ(RealSections(scratch.key()).find("Tarnwick"), std::string::npos);

    EXPECT_EQ(Hex(registrar.RunScriptResource(dll.c_str(), 102, "REGISTRY", kRegister)), Hex(S_OK));
    EXPECT_EQ(Hex(registrar.RunScriptResource(dll.c_str(), "NAMED", "REGISTRY", kRegister)),
              Hex(S_OK));
    EXPECT_EQ(RealSections(scratch.key()).find("AfterNul"), std::string::npos);
    EXPECT_NE(RealSections(scratch.key()).find("[HKEY_CLASSES_ROOT\\NulEnds]"), std::string::npos);
    EXPECT_NE(RealSections(scratch.key()).find("[HKEY_CLASSES_ROOT\\Named]\n@=\"by name\""),
              std::string::npos);

    EXPECT_EQ(Hex(registrar.RunScriptResource(dll.c_str(), 999, "REGISTRY", kRegister)),
              Hex(HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND)));
    EXPECT_EQ(Hex(registrar.RunScriptResource(dll.c_str(), 101, "NOSUCHTYPE", kRegister)),
              Hex(HRESULT_FROM_WIN32(ERROR_RESOURCE_TYPE_NOT_FOUND)));
    const std::u16string missing = FromWide((ExeDirectory() + L"no_such_module.dll").c_str());
    const HRESULT missingResult =
        registrar.RunScriptResource(missing.c_str(), 101, "REGISTRY", kRegister);
    EXPECT_TRUE(missingResult == HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND) ||
                missingResult == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND))
        << Hex(missingResult);

    // A module file whose name the ANSI code page cannot represent is read all the same. (The run
    // in code page 932 has no Unix locale that could store such a file name, so only the run in
    // 1252 can make the file.)
    if (GetACP() != 1252) {
        return;
    }
    TempDir unusual(L"\u0420\u0435\u0441\u0443\u0440\u0441\u044B \U0001F4E6");
    ASSERT_FALSE(unusual.path().empty());
    const std::wstring copy = unusual.path() + L"\u8CC7\u6E90.dll";
    ASSERT_TRUE(CopyFileTo(ExeDirectory() + L"registrar_resources.dll", copy));
    EXPECT_EQ(Hex(registrar.RunScriptResource(FromWide(copy.c_str()).c_str(), 101, "REGISTRY",
                                              kRegister)),
              Hex(S_OK));
    EXPECT_NE(RealSections(scratch.key()).find("InprocServer32"), std::string::npos);
}

TEST(CRegObject, ThePlatformDefaultsUseTheRealRegistry) {
    const char* const kScript =
        "HKCU { NoRemove Software { NoRemove TarnwickRegistrarTest { ForceRemove Defaults = "
        "s 'x' { val Number = d '&H2A' } } } }";
    CRegObject registrar;
    ASSERT_EQ(Hex(registrar.RunScriptText(kScript, kRegister)), Hex(S_OK));
    DWORD number = 0, size = sizeof number, type = 0;
    EXPECT_EQ(RegGetValueA(HKEY_CURRENT_USER, "Software\\TarnwickRegistrarTest\\Defaults", "Number",
                           RRF_RT_ANY, &type, &number, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(number, 42u);
    ASSERT_EQ(Hex(registrar.RunScriptText(kScript, kUnregister)), Hex(S_OK));
    HKEY key;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\TarnwickRegistrarTest\\Defaults", 0,
                            KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(
        RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\TarnwickRegistrarTest", 0, KEY_READ, &key),
        ERROR_SUCCESS);
    RegCloseKey(key);
    RegDeleteTreeA(HKEY_CURRENT_USER, kScratchParent);
}

// The registry reads a script's bytes in the system's ANSI code page; the platform's registrar
// makes them in that code page whatever the thread's locale: a value the system's code page
// carries and the thread's does not reaches the registry unchanged, and "val" and "%appid%" are
// found in a Turkish locale too.
TEST(CRegObject, ThePlatformDefaultsWriteInTheSystemsCodePageWhateverTheThreadsLocale) {
    if (GetACP() != 1252 && GetACP() != 932) {
        GTEST_SKIP() << "the cases are written for code pages 1252 and 932, not " << GetACP();
    }
    const std::u16string value =
        GetACP() == 1252 ? u"Donn\u00E9es \u00E9t\u00E9" : u"\u65E5\u672C \u30C7\u30FC\u30BF";
    const char* const kScript =
        "HKCU { NoRemove Software { NoRemove TarnwickRegistrarTest { ForceRemove Locale = "
        "s '%VALUE%' { val Data = s '%appid%x' } } } }";
    for (const LCID lcid : {GetACP() == 1252 ? kJapanese : kEnglish, kTurkish}) {
        ThreadLocale locale(lcid);
        ASSERT_TRUE(locale.set());
        CRegObject registrar;
        ASSERT_EQ(registrar.AddSubstitution(u"Value", value.c_str()), S_OK);
        ASSERT_EQ(registrar.AddSubstitution(u"APPID", u""), S_OK);
        ASSERT_EQ(Hex(registrar.RunScriptText(kScript, kRegister)), Hex(S_OK)) << lcid;
        wchar_t read[64] = {};
        DWORD size = sizeof(read) - sizeof(wchar_t);
        EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"Software\\TarnwickRegistrarTest\\Locale",
                               nullptr, RRF_RT_REG_SZ, nullptr, read, &size),
                  ERROR_SUCCESS);
        EXPECT_EQ(Utf16ToUtf8(FromWide(read)), Utf16ToUtf8(value)) << lcid;
        char data[16] = {};
        size = sizeof(data);
        EXPECT_EQ(RegGetValueA(HKEY_CURRENT_USER, "Software\\TarnwickRegistrarTest\\Locale", "Data",
                               RRF_RT_REG_SZ, nullptr, data, &size),
                  ERROR_SUCCESS);
        EXPECT_STREQ(data, "x");
        ASSERT_EQ(Hex(registrar.RunScriptText(kScript, kUnregister)), Hex(S_OK));
    }
    RegDeleteTreeA(HKEY_CURRENT_USER, kScratchParent);
}

}  // namespace
}  // namespace tw::test
