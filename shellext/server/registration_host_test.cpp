// DllRegisterServer and DllUnregisterServer on the host stand-ins: an in-memory registry that
// starts like a fresh installation (the Approved list key exists, empty), the module file holding
// the product's script file as its resource 101, and failures of every step.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "exports.h"
#include "reg_object.h"
#include "registration.h"
#include "product_script.h"
#include "fake_registration_platform.h"
#include "script_cases.h"
#include "simple_shl_ext.h"

namespace tw {
namespace {

using test::kProductScriptUnregistered;
using test::NormalizeSections;
using test::ProductScript;
using test::ProductScriptRegistered;

const char* const kApprovedPath =
    "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
const char16_t* const kModuleFile = u"C:\\Client's Data\\Tarnwick App\\twShellExt_64.dll";
const HINSTANCE kInstance = reinterpret_cast<HINSTANCE>(uintptr_t{0x7FF800000000});

// The whole script, byte for byte: CR LF after every line, four spaces a level except the TAB
// before "NoRemove Directory", no terminating zero.
const char kScriptBytes[] =
    "HKCR\r\n"
    "{\r\n"
    "    NoRemove CLSID\r\n"
    "    {\r\n"
    "        ForceRemove {9F264B80-12D4-4C4C-9158-7A1A1803FB58} = s 'TarnwickShellExtension "
    "Class'\r\n"
    "        {\r\n"
    "            InprocServer32 = s '%MODULE%'\r\n"
    "            {\r\n"
    "                val ThreadingModel = s 'Apartment'\r\n"
    "            }\r\n"
    "        }\r\n"
    "    }\r\n"
    "    NoRemove *\r\n"
    "    {\r\n"
    "        NoRemove shellex\r\n"
    "        {\r\n"
    "            NoRemove ContextMenuHandlers\r\n"
    "            {\r\n"
    "                ForceRemove TarnwickShellExtension = s "
    "'{9F264B80-12D4-4C4C-9158-7A1A1803FB58}'\r\n"
    "            }\r\n"
    "        }\r\n"
    "    }\r\n"
    "\tNoRemove Directory\r\n"
    "    {\r\n"
    "        NoRemove shellex\r\n"
    "        {\r\n"
    "            NoRemove ContextMenuHandlers\r\n"
    "            {\r\n"
    "                ForceRemove TarnwickShellExtension = s "
    "'{9F264B80-12D4-4C4C-9158-7A1A1803FB58}'\r\n"
    "            }\r\n"
    "        }\r\n"
    "    }\r\n"
    "}\r\n";

const std::string kRegistered =
    ProductScriptRegistered("C:\\\\Client's Data\\\\Tarnwick App\\\\twShellExt_64.dll");
const char* const kUnregistered = kProductScriptUnregistered;

// The platform of a test: a fresh installation's, replaced by FreshPlatform.
std::unique_ptr<FakeRegistrationPlatform> fakePlatform;

FakeRegistrationPlatform& Platform() {
    return *fakePlatform;
}

InMemoryRegistry& Registry() {
    return Platform().registry;
}

// The keys under HKEY_CLASSES_ROOT as .reg sections.
std::string ClassesRoot() {
    RegistrySnapshot classes;
    for (const RegistryKeyDump& key : Registry().Snapshot()) {
        if (key.path.rfind("HKEY_CLASSES_ROOT\\", 0) == 0) {
            classes.push_back(key);
        }
    }
    return test::RegistrySections(classes, CodePageText::Western());
}

// The values of the Approved list key; "absent" when the key does not exist.
std::string ApprovedList() {
    for (const RegistryKeyDump& key : Registry().Snapshot()) {
        if (key.path == kApprovedPath) {
            std::ostringstream out;
            for (const RegistryValue& value : key.values) {
                out << value.name << " type " << value.type << " size " << value.data.size() << " ["
                    << value.data << "]\n";
            }
            return out.str();
        }
    }
    return "absent";
}

const std::string kApproved =
    std::string("{9F264B80-12D4-4C4C-9158-7A1A1803FB58} type 1 size 25 [") +
    std::string("Tarnwick Shell Extension\0", 25) + "]\n";

// The data of the default value of the class's InprocServer32 key.
std::string InprocServerPath() {
    for (const RegistryKeyDump& key : Registry().Snapshot()) {
        if (key.path ==
                "HKEY_CLASSES_ROOT\\CLSID\\{9F264B80-12D4-4C4C-9158-7A1A1803FB58}"
                "\\InprocServer32" &&
            !key.values.empty() && key.values[0].name.empty()) {
            return key.values[0].data;
        }
    }
    return "(none)";
}

// The stand-ins as a fresh installation has them, with the DLL at kModuleFile holding the script.
void FreshPlatform() {
    fakePlatform.reset();
    fakePlatform = std::make_unique<FakeRegistrationPlatform>();
    Platform().SetModulePath(kModuleFile);
    Platform().SetResource(kRegistryScriptId, "REGISTRY", ProductScript());
}

// The same with the DLL at `modulePath`, whose short form is `shortPath` (empty: it has none).
void FreshPlatform(const std::u16string& modulePath, const std::u16string& shortPath) {
    FreshPlatform();
    Platform().SetModulePath(modulePath);
    if (!shortPath.empty()) {
        Platform().SetShortPathName(modulePath, shortPath);
    }
}

class Registration : public ::testing::Test {
  protected:
    void SetUp() override {
        FreshPlatform();
        ASSERT_TRUE(DllMain(kInstance, DLL_PROCESS_ATTACH, nullptr));
    }
    void TearDown() override {
        EXPECT_TRUE(DllMain(kInstance, DLL_PROCESS_DETACH, nullptr));
        EXPECT_EQ(Registry().OpenHandleCount(), 0u);
        EXPECT_EQ(Platform().ModulesHeld(), 0);
        fakePlatform.reset();
    }
};

TEST(RegistryScriptFile, HoldsExactlyTheScriptBytes) {
    EXPECT_EQ(ProductScript(), std::string(kScriptBytes, sizeof(kScriptBytes) - 1));
    // It names the class by the identifier the class table and the Approved entry use.
    EXPECT_NE(ProductScript().find("ForceRemove " + GuidText(CLSID_SimpleShlExt) + " = s"),
              std::string::npos);
}

TEST_F(Registration, WritesTheApprovedValueAndTheScriptsEntriesAndRemovesThem) {
    ASSERT_EQ(ApprovedList(), "");
    EXPECT_EQ(DllRegisterServer(), S_OK);
    EXPECT_EQ(ApprovedList(), kApproved);
    EXPECT_EQ(ClassesRoot(), NormalizeSections(kRegistered));
    // The script came from the module's own file, named by its unescaped path.
    EXPECT_EQ(Platform().LoadedPaths(), std::vector<std::u16string>{kModuleFile});

    // Registering again leaves one set of entries.
    EXPECT_EQ(DllRegisterServer(), S_OK);
    EXPECT_EQ(ApprovedList(), kApproved);
    EXPECT_EQ(ClassesRoot(), NormalizeSections(kRegistered));

    EXPECT_EQ(DllUnregisterServer(), S_OK);
    EXPECT_EQ(ApprovedList(), "");
    EXPECT_EQ(ClassesRoot(), NormalizeSections(kUnregistered));
    // Unregistering what is not registered succeeds.
    EXPECT_EQ(DllUnregisterServer(), S_OK);
    EXPECT_EQ(ApprovedList(), "");
    EXPECT_EQ(ClassesRoot(), NormalizeSections(kUnregistered));
}

TEST_F(Registration, TheRegistryReceivesTheModulePathAsTheModuleNamesIt) {
    struct Case {
        std::u16string path;
        std::string registered;  // in code page 1252
    };
    const Case cases[] = {
        {u"C:\\It's ''doubled''\\'\\twShellExt_64.dll",
         "C:\\It's ''doubled''\\'\\twShellExt_64.dll"},
        {u"C:\\100%% %MODULE% {\\} = s\\twShellExt_64.dll",
         "C:\\100%% %MODULE% {\\} = s\\twShellExt_64.dll"},
        {u"C:\\Donn\u00E9es\\tw.dll",
         "C:\\Donn\xE9"
         "es\\tw.dll"},
        // Whole, up to the longest path Windows loads a module by (259 units): nothing is cut.
        {u"C:\\" + std::u16string(248, u'd') + u"\\x'y.dll",
         "C:\\" + std::string(248, 'd') + "\\x'y.dll"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.registered.substr(0, 60));
        Platform().SetModulePath(c.path);
        EXPECT_EQ(DllRegisterServer(), S_OK);
        EXPECT_EQ(InprocServerPath(), c.registered + '\0');
    }
}

// The script is 8-bit text: a module path the ANSI code page cannot represent is registered by its
// short form, which names the same file, or not at all.
TEST_F(Registration, APathTheCodePageCannotCarryIsRegisteredByItsShortForm) {
    const std::u16string cyrillic = u"C:\\Программы\\Tarnwick\\twShellExt_64.dll";
    const std::u16string cyrillicShort = u"C:\\____~20A\\Tarnwick\\TWSH~XR4.DLL";
    // U+0100 has a best fit in 1252 ('A'), which would name another file.
    const std::u16string bestFit = u"C:\\\u0100rchiv\\twShellExt_64.dll";
    const std::u16string japanese = u"C:\\\u65E5\u672C\\twShellExt_64.dll";
    const HRESULT kNoTranslation = HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION);
    ASSERT_EQ(kNoTranslation, MakeHresult(0x80070459u));
    struct Case {
        const char* name;
        std::u16string path;
        std::u16string shortPath;  // empty: the volume has none
        const TextServices* text;  // the system's ANSI code page
        HRESULT result;
        std::string registered;  // the InprocServer32 path, in that code page
    };
    const Case cases[] = {
        {"Cyrillic, with a short form", cyrillic, cyrillicShort, &CodePageText::Western(), S_OK,
         "C:\\____~20A\\Tarnwick\\TWSH~XR4.DLL"},
        {"Cyrillic, no short form", cyrillic, u"", &CodePageText::Western(), kNoTranslation, ""},
        {"Cyrillic, short names off (the path comes back)", cyrillic, cyrillic,
         &CodePageText::Western(), kNoTranslation, ""},
        {"best fit, with a short form", bestFit, u"C:\\RCHIV~1\\TWSHEL~1.DLL",
         &CodePageText::Western(), S_OK, "C:\\RCHIV~1\\TWSHEL~1.DLL"},
        {"best fit, no short form", bestFit, u"", &CodePageText::Western(), kNoTranslation, ""},
        {"a short form the code page cannot carry either", cyrillic, u"C:\\ПРОГРА~1\\TW.DLL",
         &CodePageText::Western(), kNoTranslation, ""},
        {"Japanese in code page 932", japanese, u"C:\\XYZ~1\\TW.DLL", &CodePageText::Japanese(),
         S_OK,
         "C:\\\x93\xFA\x96\x7B"
         "\\twShellExt_64.dll"},
        {"Japanese in code page 1252", japanese, u"C:\\XYZ~1\\TW.DLL", &CodePageText::Western(),
         S_OK, "C:\\XYZ~1\\TW.DLL"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FreshPlatform(c.path, c.shortPath);
        Platform().systemText = c.text;
        EXPECT_EQ(DllRegisterServer(), c.result);
        EXPECT_EQ(ApprovedList(), kApproved);
        if (SUCCEEDED(c.result)) {
            EXPECT_EQ(InprocServerPath(), c.registered + '\0');
            // The script itself was read from the file through its path as it is.
            EXPECT_EQ(Platform().LoadedPaths(), std::vector<std::u16string>{c.path});
        } else {
            // Refused before the script ran: no class or handler entries.
            EXPECT_EQ(ClassesRoot(), "");
            EXPECT_TRUE(Platform().LoadedPaths().empty());
        }
        EXPECT_EQ(DllUnregisterServer(), c.result);
        EXPECT_EQ(ApprovedList(), "");
        EXPECT_EQ(ClassesRoot(), SUCCEEDED(c.result) ? NormalizeSections(kUnregistered) : "");
        EXPECT_EQ(Platform().ModulesHeld(), 0);
    }
}

TEST(ChooseModulePaths, KeepsOnlyWhatTheCodePageRepresentsExactly) {
    const std::pair<std::u16string, bool> cases[] = {
        {u"C:\\Program Files\\Tarnwick\\twShellExt_64.dll", true},
        {u"C:\\Donn\u00E9es \u20AC\\tw.dll", true},   // é and € are in 1252
        {u"C:\\\u0141\u00F3d\u017A\\tw.dll", false},  // Ł and ź only best-fit to L and z
        {u"C:\\\uFF34\uFF37\\tw.dll", false},         // full-width letters fit to ASCII
        {u"C:\\Fotos \U0001F4F7\\tw.dll", false},
    };
    for (const auto& [path, kept] : cases) {
        FreshPlatform();  // no short forms
        ModulePaths paths{u"untouched", u"untouched"};
        const HRESULT hr =
            ChooseModulePaths(path, Platform(), Platform().GetText(kRegistryCodePage), &paths);
        EXPECT_EQ(hr, kept ? S_OK : HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION));
        EXPECT_EQ(paths.registered, kept ? path : u"untouched");
        EXPECT_EQ(paths.loaded, kept ? path : u"untouched");
    }
    fakePlatform.reset();
}

// Windows loads a module only by a path below MAX_PATH (260 units); the COM runtime loads
// InprocServer32 so. A longer module path is registered, and its script read, by its short form
// when that is short enough; otherwise registration fails with 0x8007007A before the script runs
// (the Approved value is written, as for the other failures of the module path).
TEST_F(Registration, AModulePathTooLongForWindowsIsRegisteredByItsShortForm) {
    const HRESULT kTooLong = HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    ASSERT_EQ(kTooLong, MakeHresult(0x8007007Au));
    // 275 units, and the longest path that is taken as it is.
    const std::u16string deep =
        u"C:\\Program Files\\Client's " + std::u16string(231, u'x') + u"\\twShellExt_64.dll";
    ASSERT_EQ(deep.size(), 275u);
    const std::u16string longest = u"C:\\" + std::u16string(238, u'x') + u"\\twShellExt_64.dll";
    ASSERT_EQ(longest.size(), 259u);
    const std::u16string cyrillic =
        u"C:\\Программы\\" + std::u16string(250, u'ж') + u"\\twShellExt_64.dll";
    struct Case {
        const char* name;
        std::u16string path;
        std::u16string shortPath;  // empty: the platform gives none
        HRESULT result;
        std::u16string registeredAndLoaded;
    };
    const Case cases[] = {
        {"275 units, with a short form", deep, u"C:\\PROGRA~1\\CLIENT~1\\TWSHEL~1.DLL", S_OK,
         u"C:\\PROGRA~1\\CLIENT~1\\TWSHEL~1.DLL"},
        {"275 units, no short form", deep, u"", kTooLong, u""},
        {"275 units, short names off (the path comes back)", deep, deep, kTooLong, u""},
        {"275 units, a short form as long", deep, deep + u"x", kTooLong, u""},
        {"259 units, taken as it is", longest, u"C:\\XXXXXX~1\\TWSHEL~1.DLL", S_OK, longest},
        {"one more, by its short form", longest + u"l", u"C:\\XXXXXX~1\\TWSHEL~1.DLL", S_OK,
         u"C:\\XXXXXX~1\\TWSHEL~1.DLL"},
        {"beyond MAX_PATH and outside the code page, with a short form", cyrillic,
         u"C:\\____~1\\____~1\\TWSHEL~1.DLL", S_OK, u"C:\\____~1\\____~1\\TWSHEL~1.DLL"},
        // Short enough but not carried by the code page: that refusal.
        {"beyond MAX_PATH, a short form outside the code page", cyrillic, u"C:\\ПРОГРА~1\\TW.DLL",
         HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION), u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FreshPlatform(c.path, c.shortPath);
        EXPECT_EQ(DllRegisterServer(), c.result);
        EXPECT_EQ(ApprovedList(), kApproved);
        if (SUCCEEDED(c.result)) {
            std::string registered;
            ASSERT_TRUE(CodePageText::Western().FromUtf16(c.registeredAndLoaded, &registered));
            EXPECT_EQ(InprocServerPath(), registered + '\0');
            EXPECT_EQ(Platform().LoadedPaths(), std::vector<std::u16string>{c.registeredAndLoaded});
            EXPECT_EQ(DllUnregisterServer(), S_OK);
            EXPECT_EQ(ClassesRoot(), NormalizeSections(kUnregistered));
        } else {
            // Nothing of the script: no class or handler entries; unregistering fails the same way
            // and removes nothing of them.
            EXPECT_EQ(ClassesRoot(), "");
            EXPECT_TRUE(Platform().LoadedPaths().empty());
            EXPECT_EQ(DllUnregisterServer(), c.result);
        }
        EXPECT_EQ(ApprovedList(), "");
        EXPECT_EQ(Platform().ModulesHeld(), 0);
    }
}

// The script's bytes are decoded by the registry with the system's ANSI code page, which need not
// be the thread's (a Japanese regional format on a Western system): every 8-bit step uses the
// system's, so InprocServer32 names the module in it.
TEST_F(Registration, TheSystemsCodePageDecidesWhateverTheThreadsIs) {
    const std::u16string japanese = u"C:\\\u65E5\u672C\\twShellExt_64.dll";
    const std::u16string western = u"C:\\Donn\u00E9es\\twShellExt_64.dll";
    struct Case {
        const char* name;
        std::u16string path;
        const CodePageText* system;
        const CodePageText* thread;
        std::string registered;  // in the system's code page
    };
    const Case cases[] = {
        {"Japanese folder, system 1252, thread 932", japanese, &CodePageText::Western(),
         &CodePageText::Japanese(), "C:\\XYZ~1\\TW.DLL"},
        {"Western folder, system 1252, thread 932", western, &CodePageText::Western(),
         &CodePageText::Japanese(),
         "C:\\Donn\xE9"
         "es\\twShellExt_64.dll"},
        {"Japanese folder, system 932, thread 1252", japanese, &CodePageText::Japanese(),
         &CodePageText::Western(),
         "C:\\\x93\xFA\x96\x7B"
         "\\twShellExt_64.dll"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FreshPlatform(c.path, u"C:\\XYZ~1\\TW.DLL");
        Platform().systemText = c.system;
        Platform().threadText = c.thread;
        EXPECT_EQ(DllRegisterServer(), S_OK);
        EXPECT_EQ(InprocServerPath(), c.registered + '\0');
        // Decoded as the registry decodes it, it names the module (or its short form).
        std::u16string decoded;
        ASSERT_TRUE(c.system->ToUtf16(c.registered, &decoded));
        EXPECT_TRUE(decoded == c.path || decoded == u"C:\\XYZ~1\\TW.DLL") << c.registered;
        EXPECT_EQ(DllUnregisterServer(), S_OK);
        EXPECT_EQ(ClassesRoot(), NormalizeSections(kUnregistered));
    }
}

TEST(EscapedModulePath, DoublesSingleQuotesAndCutsNothing) {
    EXPECT_EQ(EscapeModulePath(u"C:\\a'b''c\\d.dll"), u"C:\\a''b''''c\\d.dll");
    EXPECT_EQ(EscapeModulePath(std::u16string(600, u'\'')), std::u16string(1200, u'\''));
    EXPECT_EQ(EscapeModulePath(std::u16string(40000, u'p')), std::u16string(40000, u'p'));
}

// Registering stops with E_ACCESSDENIED before anything else is written when the Approved value
// cannot be written; unregistering removes the class entries whatever happens to that value.
TEST_F(Registration, WhenTheApprovedListCannotBeWritten) {
    struct Case {
        const char* name;
        void (*arrange)();
        HRESULT registering;
    };
    const Case cases[] = {
        {"key absent",
         [] {
             RegKey parent = 0;
             ASSERT_EQ(
                 Registry().Open(RootKey(RegistryRoot::LocalMachine),
                                 "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions",
                                 KEY_READ | KEY_WRITE, &parent),
                 ERROR_SUCCESS);
             ASSERT_EQ(Registry().DeleteKey(parent, "Approved"), ERROR_SUCCESS);
             Registry().Close(parent);
         },
         E_ACCESSDENIED},
        {"key read-only", [] { ASSERT_TRUE(Registry().DenyWrite(kApprovedPath)); }, E_ACCESSDENIED},
        {"value cannot be set",
         [] {
             Registry().FailOn(InMemoryRegistry::Operation::SetValue, kApprovedPath,
                               ERROR_NOT_ENOUGH_MEMORY);
         },
         E_ACCESSDENIED},
        {"value cannot be deleted",
         [] {
             Registry().FailOn(InMemoryRegistry::Operation::DeleteValue, kApprovedPath,
                               ERROR_ACCESS_DENIED);
         },
         S_OK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FreshPlatform();
        c.arrange();
        const std::string approvedBefore = ApprovedList();
        EXPECT_EQ(DllRegisterServer(), c.registering);
        if (FAILED(c.registering)) {
            EXPECT_EQ(ApprovedList(), approvedBefore);
            EXPECT_EQ(ClassesRoot(), "");
            EXPECT_TRUE(Platform().LoadedPaths().empty());
        }
        EXPECT_EQ(Registry().OpenHandleCount(), 0u);

        FreshPlatform();
        ASSERT_EQ(DllRegisterServer(), S_OK);
        c.arrange();
        EXPECT_EQ(DllUnregisterServer(), S_OK);
        EXPECT_EQ(ClassesRoot(), NormalizeSections(kUnregistered));
        EXPECT_EQ(Registry().OpenHandleCount(), 0u);
    }
}

TEST_F(Registration, UnregisteringWithOnlyTheApprovedValueMissingRemovesTheRest) {
    ASSERT_EQ(DllRegisterServer(), S_OK);
    RegKey approved = 0;
    ASSERT_EQ(Registry().Open(RootKey(RegistryRoot::LocalMachine), kApprovedKey, KEY_SET_VALUE,
                              &approved),
              ERROR_SUCCESS);
    ASSERT_EQ(Registry().DeleteValue(approved, ApprovedValueName().c_str()), ERROR_SUCCESS);
    Registry().Close(approved);
    EXPECT_EQ(DllUnregisterServer(), S_OK);
    EXPECT_EQ(ApprovedList(), "");
    EXPECT_EQ(ClassesRoot(), NormalizeSections(kUnregistered));
}

TEST_F(Registration, LeavesTheApprovedListAloneOutsideWindowsNt) {
    Platform().version = 0xC0000A04;      // bit 31 set
    Registry().DenyWrite(kApprovedPath);  // any write there would fail
    EXPECT_EQ(DllRegisterServer(), S_OK);
    EXPECT_EQ(ApprovedList(), "");
    EXPECT_EQ(ClassesRoot(), NormalizeSections(kRegistered));
    EXPECT_EQ(DllUnregisterServer(), S_OK);
    EXPECT_EQ(ClassesRoot(), NormalizeSections(kUnregistered));
}

// A text service that fails one conversion, of the text given.
class FailingText final : public TextServices {
  public:
    FailingText(const char16_t* failingToNarrow, bool failToUtf16)
        : failingToNarrow_(failingToNarrow), failToUtf16_(failToUtf16) {}
    const char* NextChar(const char* p) const override { return base().NextChar(p); }
    bool IsLeadByte(unsigned char byte) const override { return base().IsLeadByte(byte); }
    bool ToUtf16(const std::string& narrow, std::u16string* wide) const override {
        return !failToUtf16_ && base().ToUtf16(narrow, wide);
    }
    bool FromUtf16(const std::u16string& wide, std::string* narrow) const override {
        return (failingToNarrow_ == nullptr || wide != failingToNarrow_) &&
               base().FromUtf16(wide, narrow);
    }
    HRESULT ParseUI4(const std::u16string& text, uint32_t* value) const override {
        return base().ParseUI4(text, value);
    }

  private:
    static const TextServices& base() { return CodePageText::Western(); }
    const char16_t* failingToNarrow_;
    bool failToUtf16_;
};

// Failures between the Approved value and the script: registering has written the Approved value
// and no class entries; unregistering has deleted the Approved value and left the class entries.
TEST_F(Registration, FailuresBeforeTheScriptRuns) {
    const FailingText pathToUtf16(nullptr, true);
    const FailingText appId(u"APPID", false);
    const FailingText module(u"Module", false);
    const FailingText moduleRaw(u"Module_Raw", false);
    const FailingText type(u"REGISTRY", false);
    struct Case {
        const char* name;
        std::u16string moduleFile;  // empty: the module's file name cannot be had
        DWORD moduleFileError;      // the last error then
        const TextServices* text;   // null: the code page's own
        bool scriptPresent;
        HRESULT result;
    };
    const Case cases[] = {
        {"module file name fails", u"", ERROR_MOD_NOT_FOUND, nullptr, true,
         HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND)},
        // Reported as a failure even when the platform gives no reason.
        {"module file name fails without a reason", u"", ERROR_SUCCESS, nullptr, true, E_FAIL},
        {"path the code page cannot carry, no short form", u"C:\\Программы\\tw.dll", 0, nullptr,
         true, MakeHresult(0x80070459u)},
        {"path not converted", kModuleFile, 0, &pathToUtf16, true, E_OUTOFMEMORY},
        {"APPID not added", kModuleFile, 0, &appId, true, E_OUTOFMEMORY},
        {"Module not added", kModuleFile, 0, &module, true, E_OUTOFMEMORY},
        {"Module_Raw not added", kModuleFile, 0, &moduleRaw, true, E_OUTOFMEMORY},
        {"type name not converted", kModuleFile, 0, &type, true, E_OUTOFMEMORY},
        {"no script resource", kModuleFile, 0, nullptr, false,
         HRESULT_FROM_WIN32(ERROR_RESOURCE_TYPE_NOT_FOUND)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto breakPlatform = [&c] {
            if (c.moduleFile.empty()) {
                Platform().FailModulePath(c.moduleFileError);
            } else {
                Platform().SetModulePath(c.moduleFile);
            }
            Platform().systemText = c.text;
            if (!c.scriptPresent) {
                Platform().SetResource(101, "OTHER", ProductScript());
            }
        };
        const auto restorePlatform = [] {
            Platform().SetModulePath(kModuleFile);
            Platform().systemText = nullptr;
            Platform().SetResource(101, "REGISTRY", ProductScript());
        };
        const std::string classesBefore = ClassesRoot();
        breakPlatform();
        EXPECT_EQ(DllRegisterServer(), c.result);
        EXPECT_EQ(ApprovedList(), kApproved);
        EXPECT_EQ(ClassesRoot(), classesBefore);

        restorePlatform();
        ASSERT_EQ(DllRegisterServer(), S_OK);
        breakPlatform();
        EXPECT_EQ(DllUnregisterServer(), c.result);
        EXPECT_EQ(ApprovedList(), "");
        EXPECT_EQ(ClassesRoot(), NormalizeSections(kRegistered));
        restorePlatform();
        ASSERT_EQ(DllUnregisterServer(), S_OK);
        EXPECT_EQ(Registry().OpenHandleCount(), 0u);
        EXPECT_EQ(Platform().ModulesHeld(), 0);
    }
}

// A registry failure in the middle of the script: registering keeps the Approved value and rolls
// the script's entries back to the keys marked NoRemove; unregistering has removed the Approved
// value and the entries before the failure.
TEST_F(Registration, RegistryFailureInTheMiddleOfTheScript) {
    const HRESULT failure = HRESULT_FROM_WIN32(ERROR_NOT_ENOUGH_MEMORY);
    Registry().FailOn(InMemoryRegistry::Operation::Create,
                      "HKEY_CLASSES_ROOT\\Directory\\shellex\\ContextMenuHandlers\\"
                      "TarnwickShellExtension",
                      ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(DllRegisterServer(), failure);
    EXPECT_EQ(ApprovedList(), kApproved);
    EXPECT_EQ(ClassesRoot(), NormalizeSections(kUnregistered));

    FreshPlatform();
    ASSERT_EQ(DllRegisterServer(), S_OK);
    Registry().FailOn(InMemoryRegistry::Operation::DeleteKey,
                      "HKEY_CLASSES_ROOT\\*\\shellex\\ContextMenuHandlers\\TarnwickShellExtension",
                      ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(DllUnregisterServer(), failure);
    EXPECT_EQ(ApprovedList(), "");
    EXPECT_EQ(ClassesRoot(), NormalizeSections(R"(
[HKEY_CLASSES_ROOT\*]
[HKEY_CLASSES_ROOT\*\shellex]
[HKEY_CLASSES_ROOT\*\shellex\ContextMenuHandlers]
[HKEY_CLASSES_ROOT\*\shellex\ContextMenuHandlers\TarnwickShellExtension]
@="{9F264B80-12D4-4C4C-9158-7A1A1803FB58}"
[HKEY_CLASSES_ROOT\CLSID]
[HKEY_CLASSES_ROOT\Directory]
[HKEY_CLASSES_ROOT\Directory\shellex]
[HKEY_CLASSES_ROOT\Directory\shellex\ContextMenuHandlers]
[HKEY_CLASSES_ROOT\Directory\shellex\ContextMenuHandlers\TarnwickShellExtension]
@="{9F264B80-12D4-4C4C-9158-7A1A1803FB58}"
)"));
}

// Extra substitutions are added first, so a name they share with the module's own wins; one that
// cannot be added is passed over.
TEST_F(Registration, ExtraSubstitutionsComeBeforeTheModulesOwn) {
    const RegistrySubstitution extra[] = {
        {u"Ignored", nullptr},
        {u"MODULE", u"D:\\Other ''Server''.dll"},
        {nullptr, u"not read"},
    };
    EXPECT_EQ(shellExtModule.RunRegistryScript(kRegistryScriptId, true, extra), S_OK);
    EXPECT_EQ(InprocServerPath(), std::string("D:\\Other 'Server'.dll") + '\0');
    EXPECT_EQ(shellExtModule.RunRegistryScript(kRegistryScriptId, false, nullptr), S_OK);
    EXPECT_EQ(ClassesRoot(), NormalizeSections(kUnregistered));
}

}  // namespace
}  // namespace tw
