// The product's own registry script (shellext/server/twShellExt.rgs) run the way registration runs
// it: "APPID" empty, "Module" and "Module_Raw" the module path with its quotes doubled.
#include <gtest/gtest.h>

#include "memory_registry.h"
#include "product_script.h"
#include "reg_object.h"
#include "script_cases.h"

namespace tw::test {
namespace {

const CodePageText& kText = CodePageText::Western();

const std::string kRegistered =
    ProductScriptRegistered("C:\\\\Users\\\\Client's Data\\\\twShellExt_64.dll");
const char* const kUnregistered = kProductScriptUnregistered;

HRESULT RunProduct(Registry& registry, bool registering,
                   const std::string& script = ProductScript()) {
    CRegObject registrar(registry, kText);
    IRegistrarBase& base = registrar;
    EXPECT_EQ(base.AddSubstitution(u"APPID", u""), S_OK);
    const char16_t* const path = u"C:\\Users\\Client''s Data\\twShellExt_64.dll";
    EXPECT_EQ(registrar.AddSubstitution(u"Module", path), S_OK);
    EXPECT_EQ(registrar.AddSubstitution(u"Module_Raw", path), S_OK);
    return registrar.RunScriptText(script.c_str(), registering);
}

std::string Sections(const InMemoryRegistry& registry) {
    return RegistrySections(registry.Snapshot(), kText);
}

TEST(ProductScript, IsEightBitTextWithCrLfLines) {
    const std::string script = ProductScript();
    ASSERT_GT(script.size(), 2u);
    EXPECT_EQ(script.substr(script.size() - 3), "}\r\n");
    EXPECT_EQ(script.find('\0'), std::string::npos);
    for (size_t lf = script.find('\n'); lf != std::string::npos; lf = script.find('\n', lf + 1)) {
        EXPECT_EQ(script[lf - 1], '\r') << "line feed without carriage return at " << lf;
    }
    EXPECT_NE(script.find("\r\n\tNoRemove Directory\r\n"), std::string::npos);
}

TEST(ProductScript, RegistersIntoAnEmptyRegistryAndUnregistersToTheNoRemoveKeys) {
    InMemoryRegistry registry;
    EXPECT_EQ(RunProduct(registry, kRegister), S_OK);
    EXPECT_EQ(Sections(registry), NormalizeSections(kRegistered));
    // Registering again replaces the ForceRemove keys and leaves one set of entries.
    EXPECT_EQ(RunProduct(registry, kRegister), S_OK);
    EXPECT_EQ(Sections(registry), NormalizeSections(kRegistered));
    EXPECT_EQ(RunProduct(registry, kUnregister), S_OK);
    EXPECT_EQ(Sections(registry), NormalizeSections(kUnregistered));
    // Unregistering what is not registered succeeds and changes nothing.
    EXPECT_EQ(RunProduct(registry, kUnregister), S_OK);
    EXPECT_EQ(Sections(registry), NormalizeSections(kUnregistered));
    EXPECT_EQ(registry.OpenHandleCount(), 0u);
}

TEST(ProductScript, UnregisteringDeletesKeysThatOtherProductsAddedValuesTo) {
    InMemoryRegistry registry;
    ASSERT_EQ(RunProduct(registry, kRegister), S_OK);
    CRegObject other(registry, kText);
    ASSERT_EQ(other.RunScriptText(
                  "HKCR { CLSID { {9F264B80-12D4-4C4C-9158-7A1A1803FB58} { InprocServer32 { "
                  "val Other = s 'x' } } } Directory { shellex { ContextMenuHandlers { "
                  "TarnwickShellExtension { val Other = s 'y' } OtherHandler } } } }",
                  kRegister),
              S_OK);
    EXPECT_EQ(RunProduct(registry, kUnregister), S_OK);
    EXPECT_EQ(Sections(registry),
              NormalizeSections(std::string(kUnregistered) +
                                "[HKEY_CLASSES_ROOT\\Directory\\shellex\\ContextMenuHandlers\\"
                                "OtherHandler]\n"));
}

// A registration that fails at any one registry operation is rolled back to at most the NoRemove
// keys, closes every key it opened, and returns the failure; one that fails in an operation whose
// outcome does not matter completes.
TEST(ProductScript, FailingAtAnyOperationLeavesNoHalfRegistration) {
    InMemoryRegistry counting;
    ASSERT_EQ(RunProduct(counting, kRegister), S_OK);
    const size_t operations = counting.OperationCount();
    ASSERT_GT(operations, 20u);
    for (size_t n = 1; n <= operations; ++n) {
        SCOPED_TRACE("failing operation " + std::to_string(n));
        InMemoryRegistry registry;
        registry.FailOperation(n, ERROR_ACCESS_DENIED);
        const HRESULT result = RunProduct(registry, kRegister);
        if (result == S_OK) {
            EXPECT_EQ(Sections(registry), NormalizeSections(kRegistered));
        } else {
            EXPECT_EQ(result, E_ACCESSDENIED);
            const std::string left = Sections(registry);
            const std::string noRemove = NormalizeSections(kUnregistered);
            for (size_t start = 0; start < left.size();) {
                const size_t end = left.find('\n', start);
                const std::string line = left.substr(start, end - start + 1);
                EXPECT_NE(noRemove.find(line), std::string::npos) << line;
                start = end + 1;
            }
        }
        EXPECT_EQ(registry.OpenHandleCount(), 0u);
    }
}

TEST(ProductScript, UnregisteringThatFailsAtAnyOperationReturnsTheFailure) {
    InMemoryRegistry counting;
    ASSERT_EQ(RunProduct(counting, kRegister), S_OK);
    const size_t registration = counting.OperationCount();
    ASSERT_EQ(RunProduct(counting, kUnregister), S_OK);
    const size_t operations = counting.OperationCount() - registration;
    for (size_t n = 1; n <= operations; ++n) {
        SCOPED_TRACE("failing operation " + std::to_string(n));
        InMemoryRegistry registry;
        ASSERT_EQ(RunProduct(registry, kRegister), S_OK);
        registry.FailOperation(registry.OperationCount() + n, ERROR_ACCESS_DENIED);
        const HRESULT result = RunProduct(registry, kUnregister);
        EXPECT_TRUE(result == S_OK || result == E_ACCESSDENIED) << result;
        if (result == S_OK) {
            EXPECT_EQ(Sections(registry), NormalizeSections(kUnregistered));
        }
        EXPECT_EQ(registry.OpenHandleCount(), 0u);
    }
}

}  // namespace
}  // namespace tw::test
