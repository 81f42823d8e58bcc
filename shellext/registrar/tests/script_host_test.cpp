// Runs every case of the script table against the in-memory registry.
#include <gtest/gtest.h>

#include <cstdio>

#include "memory_registry.h"
#include "script_cases.h"

namespace tw::test {
namespace {

std::string Hex(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
    return text;
}

TEST(ScriptCases, GiveTheirResultAndRegistryAndCloseEveryKey) {
    for (const ScriptCase& c : ScriptCases()) {
        SCOPED_TRACE(c.name);
        const CodePageText& text =
            c.codePage == 932 ? CodePageText::Japanese() : CodePageText::Western();
        InMemoryRegistry registry(text);
        std::string error;
        const HRESULT result = RunCase(c, registry, text, &error);
        ASSERT_EQ(error, "");
        EXPECT_EQ(Hex(result), Hex(c.result));
        EXPECT_EQ(RegistrySections(registry.Snapshot(), text), NormalizeSections(c.after));
        EXPECT_EQ(registry.OpenHandleCount(), 0u);
    }
}

}  // namespace
}  // namespace tw::test
