// CRegObject beyond the script table: its interface, registry failures, resources, and where a
// failing run stopped.
#include "reg_object.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "memory_registry.h"
#include "script_cases.h"

namespace tw::test {
namespace {

using Op = InMemoryRegistry::Operation;

const CodePageText& kText = CodePageText::Western();

// The slot of a virtual function. In the C++ ABI that GCC uses on the host and for mingw-w64, a
// pointer to a virtual member function holds 1 plus the slot's byte offset in the table.
template <typename Member>
size_t SlotOf(Member member) {
    struct Raw {
        uintptr_t pointer;
        ptrdiff_t adjustment;
    };
    static_assert(sizeof(Member) == sizeof(Raw), "unexpected member pointer layout");
    Raw raw;
    std::memcpy(&raw, &member, sizeof raw);
    return (raw.pointer - 1) / sizeof(void*);
}

TEST(CRegObject, HasTheInterfaceSlotsInOrder) {
    EXPECT_EQ(SlotOf(&IRegistrarBase::QueryInterface), 0u);
    EXPECT_EQ(SlotOf(&IRegistrarBase::AddRef), 1u);
    EXPECT_EQ(SlotOf(&IRegistrarBase::Release), 2u);
    EXPECT_EQ(SlotOf(&IRegistrarBase::AddSubstitution), 3u);
    EXPECT_EQ(SlotOf(&IRegistrarBase::ClearSubstitutions), 4u);
}

TEST(CRegObject, IsNotReferenceCounted) {
    InMemoryRegistry registry;
    CRegObject registrar(registry, kText);
    IRegistrarBase& base = registrar;
    void* object = &registry;
    EXPECT_EQ(base.QueryInterface(IID_IUnknown, &object), E_NOTIMPL);
    EXPECT_EQ(object, &registry);
    EXPECT_EQ(base.AddRef(), 1u);
    EXPECT_EQ(base.AddRef(), 1u);
    EXPECT_EQ(base.Release(), 0u);
    EXPECT_EQ(base.Release(), 0u);
}

TEST(CRegObject, KeepsSubstitutionsUntilCleared) {
    InMemoryRegistry registry;
    CRegObject registrar(registry, kText);
    IRegistrarBase& base = registrar;
    EXPECT_EQ(base.AddSubstitution(nullptr, u"v"), E_INVALIDARG);
    EXPECT_EQ(base.AddSubstitution(u"N", nullptr), E_INVALIDARG);
    EXPECT_EQ(base.AddSubstitution(u"APPID", u""), S_OK);
    EXPECT_EQ(base.AddSubstitution(u"Name", u"one"), S_OK);
    EXPECT_EQ(registrar.RunScriptText("HKCR { A = s '%name%%appid%' }", kRegister), S_OK);
    EXPECT_EQ(registrar.RunScriptText("HKCR { B = s '%NAME%' }", kRegister), S_OK);
    EXPECT_EQ(base.ClearSubstitutions(), S_OK);
    EXPECT_EQ(registrar.RunScriptText("HKCR { C = s '%NAME%' }", kRegister), DISP_E_EXCEPTION);
    EXPECT_EQ(RegistrySections(registry.Snapshot(), kText),
              NormalizeSections("[HKEY_CLASSES_ROOT\\A]\n@=\"one\"\n"
                                "[HKEY_CLASSES_ROOT\\B]\n@=\"one\""));
}

TEST(CRegObject, ReturnsRegistryFailuresAsHresults) {
    struct Case {
        const char* name;
        Op operation;
        const char* path;
        LONG error;
        const char* before;
        const char* script;
        bool registering;
        HRESULT result;
        const char* after;
    };
    const char* const kScript = "HKCR { K = s 'x' { val V = s 'y' } }";
    const char* const kRegistered = "[HKEY_CLASSES_ROOT\\K]\n@=\"x\"\n\"V\"=\"y\"";
    const Case cases[] = {
        {"a creation", Op::Create, "HKEY_CLASSES_ROOT\\K", ERROR_ACCESS_DENIED, "", kScript,
         kRegister, E_ACCESSDENIED, ""},
        {"the low 16 bits of a large error", Op::Create, "HKEY_CLASSES_ROOT\\K", 0x12345, "",
         kScript, kRegister, static_cast<HRESULT>(0x80072345u), ""},
        {"setting a value, rolled back", Op::SetValue, "HKEY_CLASSES_ROOT\\K", ERROR_ACCESS_DENIED,
         "", kScript, kRegister, E_ACCESSDENIED, ""},
        {"a failed enumeration keeps ForceRemove from deleting, silently", Op::EnumFirstSubkey,
         "HKEY_CLASSES_ROOT\\K", ERROR_ACCESS_DENIED, "[HKEY_CLASSES_ROOT\\K\\Old]",
         "HKCR { ForceRemove K = s 'x' }", kRegister, S_OK,
         "[HKEY_CLASSES_ROOT\\K]\n@=\"x\"\n[HKEY_CLASSES_ROOT\\K\\Old]"},
        {"opening a key to unregister", Op::Open, "HKEY_CLASSES_ROOT\\K", ERROR_ACCESS_DENIED,
         kRegistered, kScript, kUnregister, E_ACCESSDENIED, kRegistered},
        {"deleting a value", Op::DeleteValue, "HKEY_CLASSES_ROOT\\K", ERROR_ACCESS_DENIED,
         kRegistered, kScript, kUnregister, E_ACCESSDENIED, kRegistered},
        {"deleting a key", Op::DeleteKey, "HKEY_CLASSES_ROOT\\K", ERROR_ACCESS_DENIED, kRegistered,
         kScript, kUnregister, E_ACCESSDENIED, "[HKEY_CLASSES_ROOT\\K]\n@=\"x\""},
        {"closing a key before deleting it", Op::Close, "HKEY_CLASSES_ROOT\\K",
         ERROR_INVALID_HANDLE, kRegistered, "HKCR { K }", kUnregister,
         HRESULT_FROM_WIN32(ERROR_INVALID_HANDLE), kRegistered},
        {"a failed subkey count counts as none", Op::CountSubkeys, "HKEY_CLASSES_ROOT\\K",
         ERROR_ACCESS_DENIED, "[HKEY_CLASSES_ROOT\\K\\Sub]", "HKCR { K }", kUnregister,
         E_ACCESSDENIED, "[HKEY_CLASSES_ROOT\\K]\n[HKEY_CLASSES_ROOT\\K\\Sub]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        InMemoryRegistry registry;
        ScriptCase setup{"", 0, "", {}, c.before, c.registering, S_OK, ""};
        std::string error;
        ASSERT_EQ(RunCase(setup, registry, kText, &error), S_OK) << error;
        registry.FailOn(c.operation, c.path, c.error);
        CRegObject registrar(registry, kText);
        EXPECT_EQ(registrar.RunScriptText(c.script, c.registering), c.result);
        EXPECT_EQ(RegistrySections(registry.Snapshot(), kText), NormalizeSections(c.after));
        EXPECT_EQ(registry.OpenHandleCount(), 0u);
    }
}

TEST(CRegObject, FailsWithAccessDeniedOnAKeyItMayOnlyRead) {
    InMemoryRegistry registry;
    ScriptCase setup{"", 0, "", {}, "[HKEY_LOCAL_MACHINE\\Software\\Other]", kRegister, S_OK, ""};
    std::string error;
    ASSERT_EQ(RunCase(setup, registry, kText, &error), S_OK) << error;
    ASSERT_TRUE(registry.DenyWrite("HKEY_LOCAL_MACHINE\\SOFTWARE"));
    CRegObject registrar(registry, kText);
    EXPECT_EQ(registrar.RunScriptText("HKLM { NoRemove Software { Tarnwick = s 'x' } }", kRegister),
              E_ACCESSDENIED);
    EXPECT_EQ(RegistrySections(registry.Snapshot(), kText),
              NormalizeSections("[HKEY_LOCAL_MACHINE\\Software]\n"
                                "[HKEY_LOCAL_MACHINE\\Software\\Other]"));
    EXPECT_EQ(registry.OpenHandleCount(), 0u);
}

TEST(CRegObject, TellsWhereAFailedRunStoppedAndWhy) {
    using F = ScriptFault;
    struct Case {
        std::string script;
        size_t offset;
        ScriptFault fault;
    };
    const Case cases[] = {
        {"HKCR\r\n{\r\n    A\\B\r\n}\r\n", 13, F::BackslashInKeyName},
        {"HKCR { K = s '%NOPE%' }", 14, F::UnknownSubstitution},  // the "%" of the reference
        {"HKCR { K = s '%MODULE' }", 14, F::UnclosedPercent},
        {"HKCR { K = s '%" + std::string(32, 'N') + "%' }", 14, F::LongSubstitutionName},
        // After a substitution: the original offset.
        {"HKCR { K = s '%MODULE%' } HKXX { }", 26, F::UnknownRoot},
        {"\xEF\xBB\xBFHKCR { }", 0, F::UnknownRoot},
        {"HKCR K { }", 5, F::NoRootBlock},
        {"HKCR { K = q 'x' }", 11, F::UnknownType},  // the type letter
        {"HKCR { K", 8, F::UnexpectedEnd},           // the end of the text
        {"HKCR { K = s 'x }", 13, F::UnclosedQuote},
        {"HKCR { '" + std::string(4095, 'k') + "' }", 7, F::LongToken},
        {"HKCR { '' }", 7, F::EmptyKeyName},
        {"HKCR { K = s 'x' { { } }", 19, F::BraceKeyName},
        {"HKCR { val V s 'x' }", 13, F::NoEquals},
        {"HKCR { K = b 'abc' }", 13, F::OddBinary},
        {"HKCR { K = d 'x' }", 13, F::BadNumber},
        {"HKCR" +
             [] {
                 std::string nested;
                 for (int i = 0; i <= 64; ++i) {
                     nested += " { K";
                 }
                 return nested;
             }(),
         4 + 64 * 4 + 1, F::TooDeep},  // the "{" that would open the 65th level
        // The registry's own refusal says all in its HRESULT.
        {"HKCR { " + std::string(300, 'k') + " }", 7, F::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script.substr(0, 40));
        InMemoryRegistry registry;
        CRegObject registrar(registry, kText);
        registrar.AddSubstitution(u"MODULE", u"a much longer value than the reference");
        EXPECT_TRUE(FAILED(registrar.RunScriptText(c.script.c_str(), kRegister)));
        EXPECT_EQ(registrar.StopOffset(), c.offset);
        EXPECT_EQ(registrar.StopFault(), c.fault);
    }
    InMemoryRegistry registry;
    CRegObject registrar(registry, kText);
    EXPECT_EQ(registrar.RunScriptText("HKCR { K = q 'x' }", kRegister), DISP_E_EXCEPTION);
    EXPECT_EQ(registrar.RunScriptText("HKCR { K }", kRegister), S_OK);
    EXPECT_EQ(registrar.StopOffset(), std::string::npos);
    EXPECT_EQ(registrar.StopFault(), ScriptFault::None);
}

// Writes down what a listener hears, one line per event: "key PATH KIND @OFFSET",
// "text TYPE TOKEN @OFFSET" (the type's registry number), "value PATH NAME [noremove] @OFFSET"
// ("@" for a default value), "delete PATH\NAME @OFFSET".
class RecordingListener final : public ScriptListener {
  public:
    explicit RecordingListener(const InMemoryRegistry& registry) : registry_(registry) {}
    void OnKey(RegKey key, KeyKind kind, size_t offset) override {
        const char* const kinds[] = {"plain", "noremove", "forceremove"};
        Add("key " + registry_.KeyPath(key) + " " + kinds[static_cast<int>(kind)], offset);
    }
    void OnValue(RegKey key, const char* name, bool noRemove, size_t offset) override {
        Add("value " + registry_.KeyPath(key) + " " + (name != nullptr ? name : "@") +
                (noRemove ? " noremove" : ""),
            offset);
    }
    void OnDelete(RegKey parent, const std::string& name, size_t offset) override {
        Add("delete " + registry_.KeyPath(parent) + "\\" + name, offset);
    }
    void OnValueText(DWORD type, const std::string& token, size_t offset) override {
        Add("text " + std::to_string(type) + " " + token, offset);
    }
    std::vector<std::string> events;

  private:
    void Add(const std::string& event, size_t offset) {
        events.push_back(event + " @" + std::to_string(offset));
    }
    const InMemoryRegistry& registry_;
};

TEST(CRegObject, TellsAListenerWhatEachRegisteringEntryDid) {
    struct Case {
        const char* script;
        std::vector<std::string> events;
    };
    const Case cases[] = {
        {"HKCR { NoRemove A { ForceRemove B = s '%MODULE%' { val V = d 1 } } }",
         {"key HKEY_CLASSES_ROOT\\A noremove @16", "key HKEY_CLASSES_ROOT\\A\\B forceremove @32",
          "text 1 a much longer value than the reference @38",
          "value HKEY_CLASSES_ROOT\\A\\B @ @32", "text 4 1 @61",
          "value HKEY_CLASSES_ROOT\\A\\B V @55"}},
        // A protected name is not force-removed; "ForceRemove val" writes a value; a prefix after
        // "ForceRemove" is the one that counts.
        {"HKCR { ForceRemove CLSID { ForceRemove val W = s 'x' } ForceRemove NoRemove C }",
         {"key HKEY_CLASSES_ROOT\\CLSID plain @19", "text 1 x @49",
          "value HKEY_CLASSES_ROOT\\CLSID W @43", "key HKEY_CLASSES_ROOT\\C noremove @76"}},
        {"HKCU { NoRemove val N = s '' Delete Old Delete Software K }",
         {"text 1  @26", "value HKEY_CURRENT_USER N noremove @20",
          "delete HKEY_CURRENT_USER\\Old @36", "key HKEY_CURRENT_USER\\K plain @56"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        InMemoryRegistry registry;
        RecordingListener listener(registry);
        CRegObject registrar(registry, kText);
        registrar.AddSubstitution(u"MODULE", u"a much longer value than the reference");
        registrar.SetListener(&listener);
        EXPECT_EQ(registrar.RunScriptText(c.script, kRegister), S_OK);
        EXPECT_EQ(listener.events, c.events);
        // Unregistering tells nothing.
        listener.events.clear();
        EXPECT_EQ(registrar.RunScriptText(c.script, !kRegister), S_OK);
        EXPECT_TRUE(listener.events.empty());
    }
    // The text of a value is told before it is encoded, also when its encoding fails.
    InMemoryRegistry registry;
    RecordingListener listener(registry);
    CRegObject registrar(registry, kText);
    registrar.AddSubstitution(u"N", u"x1");
    registrar.SetListener(&listener);
    EXPECT_EQ(registrar.RunScriptText("HKCU { K = d '%N%' }", kRegister), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(listener.events,
              (std::vector<std::string>{"key HKEY_CURRENT_USER\\K plain @7", "text 4 x1 @13"}));
}

// Text services of code page 1252 whose conversions fail on request.
class FailingText final : public TextServices {
  public:
    const char* NextChar(const char* p) const override { return kText.NextChar(p); }
    bool IsLeadByte(unsigned char byte) const override { return kText.IsLeadByte(byte); }
    bool ToUtf16(const std::string& narrow, std::u16string* wide) const override {
        return !failToUtf16 && kText.ToUtf16(narrow, wide);
    }
    bool FromUtf16(const std::u16string& wide, std::string* narrow) const override {
        return !failFromUtf16 && kText.FromUtf16(wide, narrow);
    }
    HRESULT ParseUI4(const std::u16string& text, uint32_t* value) const override {
        return kText.ParseUI4(text, value);
    }

    bool failToUtf16 = false;
    bool failFromUtf16 = false;
};

TEST(CRegObject, FailsWithOutOfMemoryWhenATextConversionFails) {
    InMemoryRegistry registry;
    FailingText text;
    CRegObject registrar(registry, text);
    ASSERT_EQ(registrar.AddSubstitution(u"Name", u"value"), S_OK);
    text.failFromUtf16 = true;
    EXPECT_EQ(registrar.AddSubstitution(u"Other", u"value"), E_OUTOFMEMORY);
    EXPECT_EQ(registrar.RunScriptText("HKCR { K = s '%Name%' }", kRegister), E_OUTOFMEMORY);
    text.failFromUtf16 = false;
    text.failToUtf16 = true;
    EXPECT_EQ(registrar.RunScriptText("HKCR { K = d 1 }", kRegister), E_OUTOFMEMORY);
    EXPECT_EQ(RegistrySections(registry.Snapshot(), kText), "");
    EXPECT_EQ(registry.OpenHandleCount(), 0u);
}

// Resources served from memory, counting loads and frees.
class FakeResources final : public ModuleResources {
  public:
    HRESULT Load(const std::u16string& path, Module* module) override {
        loadedPath = path;
        if (FAILED(loadResult)) {
            return loadResult;
        }
        ++loads;
        *module = this;
        return S_OK;
    }
    HRESULT Find(Module module, const ResourceId& id, const char* type, const char** data,
                 DWORD* size) override {
        EXPECT_EQ(module, this);
        foundId = id.IsNumber() ? std::to_string(id.Number()) : id.Name();
        foundType = type;
        *data = bytes.data();
        *size = size_ != 0 ? size_ : static_cast<DWORD>(bytes.size());
        return findResult;
    }
    void Free(Module module) override {
        EXPECT_EQ(module, this);
        ++frees;
    }

    HRESULT loadResult = S_OK;
    HRESULT findResult = S_OK;
    std::string bytes;
    DWORD size_ = 0;
    int loads = 0;
    int frees = 0;
    std::u16string loadedPath;
    std::string foundId;
    std::string foundType;
};

TEST(CRegObject, RunsAScriptResource) {
    InMemoryRegistry registry;
    FakeResources resources;
    resources.bytes = std::string("HKCR { K }\0HKCR { L }", 21);  // the NUL ends the script
    CRegObject registrar(registry, kText, &resources);
    // The module is loaded through its path as it is, whatever the ANSI code page can represent.
    const std::u16string path = u"C:\\Программы\\\U0001F4BE " + std::u16string(300, u'x') + u".dll";
    EXPECT_EQ(registrar.RunScriptResource(path.c_str(), 101, "REGISTRY", kRegister), S_OK);
    EXPECT_EQ(resources.loadedPath, path);
    EXPECT_EQ(resources.foundId, "101");
    EXPECT_EQ(resources.foundType, "REGISTRY");
    EXPECT_EQ(RegistrySections(registry.Snapshot(), kText), "[HKEY_CLASSES_ROOT\\K]\n");
    EXPECT_EQ(resources.frees, 1);

    EXPECT_EQ(registrar.RunScriptResource(u"x.dll", "SCRIPT", "REGISTRY", kUnregister), S_OK);
    EXPECT_EQ(resources.foundId, "SCRIPT");
    EXPECT_EQ(RegistrySections(registry.Snapshot(), kText), "");
    EXPECT_EQ(resources.frees, 2);
}

TEST(CRegObject, ReportsResourceFailuresAndFreesTheModule) {
    const HRESULT kNoModule = HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    const HRESULT kNoType = HRESULT_FROM_WIN32(ERROR_RESOURCE_TYPE_NOT_FOUND);
    struct Case {
        const char* name;
        HRESULT loadResult;
        HRESULT findResult;
        DWORD size;
        const char* script;
        HRESULT result;
        int frees;
    };
    const Case cases[] = {
        {"the module cannot be loaded", kNoModule, S_OK, 0, "HKCR { K }", kNoModule, 0},
        {"the resource is not there", S_OK, kNoType, 0, "HKCR { K }", kNoType, 1},
        {"no room for the terminating NUL", S_OK, S_OK, 0xFFFFFFFFu, "HKCR { K }", E_OUTOFMEMORY,
         1},
        {"the script fails", S_OK, S_OK, 0, "HKCR { K = q x }", DISP_E_EXCEPTION, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        InMemoryRegistry registry;
        FakeResources resources;
        resources.loadResult = c.loadResult;
        resources.findResult = c.findResult;
        resources.size_ = c.size;
        resources.bytes = c.script;
        CRegObject registrar(registry, kText, &resources);
        EXPECT_EQ(registrar.RunScriptResource(u"tw.dll", 101, "REGISTRY", kRegister), c.result);
        EXPECT_EQ(resources.frees, c.frees);
        EXPECT_EQ(RegistrySections(registry.Snapshot(), kText), "");
    }
    InMemoryRegistry registry;
    FakeResources resources;
    CRegObject registrar(registry, kText, &resources);
    EXPECT_EQ(registrar.RunScriptResource(nullptr, 101, "REGISTRY", kRegister), E_OUTOFMEMORY);
    EXPECT_EQ(resources.loads, 0);
    CRegObject withoutResources(registry, kText);
    EXPECT_EQ(withoutResources.RunScriptResource(u"tw.dll", 101, "REGISTRY", kRegister), E_NOTIMPL);
}

}  // namespace
}  // namespace tw::test
