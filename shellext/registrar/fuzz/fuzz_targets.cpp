#include "fuzz_targets.h"

#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "memory_registry.h"
#include "reg_file.h"
#include "reg_object.h"

namespace tw::fuzz {
namespace {

// A registry written out as a .reg file and read back is the same registry. Only for code page
// 1252, where every byte converts to UTF-16 and back unchanged.
void CheckRegFileRoundTrip(const InMemoryRegistry& registry) {
    const CodePageText& text = CodePageText::Western();
    std::string file, error;
    if (!WriteRegFile(registry.Snapshot(), text, &file, &error)) {
        return;  // a name with a line break, which the format cannot carry
    }
    InMemoryRegistry copy(text);
    Check(ReadRegFile(file, copy, text, &error), "a written .reg file reads back");
    Check(copy.OpenHandleCount() == 0, "reading a .reg file closes every key");
    Check(copy.Snapshot() == registry.Snapshot(), "a .reg file round trip keeps the registry");
}

void RunScript(const char* script, size_t length, const CodePageText& text) {
    InMemoryRegistry registry(text);
    CRegObject registrar(registry, text);
    registrar.AddSubstitution(u"MODULE", u"C:\\Client''s Data\\twShellExt_64.dll");
    registrar.AddSubstitution(u"APPID", u"");
    registrar.AddSubstitution(u"CLSID", u"{9F264B80-12D4-4C4C-9158-7A1A1803FB58}");
    registrar.AddSubstitution(u"HKROOT", u"HKCU");
    registrar.AddSubstitution(u"X", u"%X%");
    for (const bool registering : {true, false}) {
        const HRESULT hr = registrar.RunScriptText(script, registering);
        Check(registry.OpenHandleCount() == 0, "every key is closed after a run");
        if (SUCCEEDED(hr)) {
            Check(hr == S_OK, "success is S_OK");
            Check(registrar.StopOffset() == std::string::npos, "no stop offset after a success");
            if (registering && text.CodePage() == 1252) {
                CheckRegFileRoundTrip(registry);
            }
        } else {
            Check(registrar.StopOffset() <= length, "a failed run stops within the script");
        }
    }
}

}  // namespace

int FuzzScriptText(const uint8_t* data, size_t size) {
    // Text ends at its first NUL, as a script resource does.
    const std::string script(reinterpret_cast<const char*>(data), size);
    const size_t length = std::strlen(script.c_str());
    RunScript(script.c_str(), length, CodePageText::Western());
    RunScript(script.c_str(), length, CodePageText::Japanese());
    return 0;
}

int FuzzRegFile(const uint8_t* data, size_t size) {
    const std::string file(reinterpret_cast<const char*>(data), size);
    const CodePageText& text = CodePageText::Western();
    InMemoryRegistry registry(text);
    std::string error;
    const bool read = ReadRegFile(file, registry, text, &error);
    Check(registry.OpenHandleCount() == 0, "reading a .reg file closes every key");
    Check(read || !error.empty(), "a .reg file that cannot be read says why");
    CheckRegFileRoundTrip(registry);
    return 0;
}

}  // namespace tw::fuzz
