#include "twrgs.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <sstream>
#include <utility>

#include "memory_registry.h"
#include "pe_image.h"
#include "reg_file.h"
#include "reg_object.h"
#include "wix_fragment.h"

namespace tw {
namespace {

constexpr int kSucceeded = 0;
constexpr int kScriptFailed = 1;
constexpr int kBadUsage = 2;

const char* const kUsage =
    "usage: twrgs [--unregister] [--from FILE] [--format reg|wix] [--wix-id ID] [-s "
    "NAME=VALUE]...\n"
    "             (SCRIPT | --dll FILE)\n";

// The resource a DLL carries its registration script in.
const char* const kScriptResourceType = "REGISTRY";
constexpr uint32_t kScriptResourceId = 101;

bool ReadWholeFile(const std::string& path, std::string* bytes, std::string* why) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        *why = std::strerror(errno);
        return false;
    }
    std::ostringstream content;
    content << file.rdbuf();
    if (file.bad()) {
        *why = "read error";
        return false;
    }
    *bytes = content.str();
    return true;
}

// The script of a Windows binary: the bytes of its resource "REGISTRY" 101 (the type's name
// compared without regard to case, as the loader compares it), in its only language.
bool ReadScriptResource(const std::string& path, std::string* script, std::string* why) {
    std::string bytes;
    if (!ReadWholeFile(path, &bytes, why)) {
        return false;
    }
    pe::Image image;
    std::string error;
    if (!pe::Parse(bytes, image, error)) {
        *why = "not a Windows binary that can be read (" + error + ")";
        return false;
    }
    std::vector<const pe::Resource*> found;
    for (const pe::Resource& resource : image.resources) {
        std::string type = resource.type.name;
        for (char& c : type) {
            c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        }
        if (type == kScriptResourceType && resource.name.name.empty() &&
            resource.name.id == kScriptResourceId) {
            found.push_back(&resource);
        }
    }
    const std::string resourceName =
        std::string("resource ") + kScriptResourceType + " " + std::to_string(kScriptResourceId);
    if (found.size() != 1) {
        *why = found.empty() ? "it has no " + resourceName
                             : "it has " + resourceName + " in " + std::to_string(found.size()) +
                                   " languages";
        return false;
    }
    *script = found[0]->bytes;
    return true;
}

std::string HresultName(HRESULT hr) {
    struct Name {
        HRESULT hr;
        const char* name;
    };
    static const Name kNames[] = {
        {DISP_E_EXCEPTION, "DISP_E_EXCEPTION"},
        {DISP_E_TYPEMISMATCH, "DISP_E_TYPEMISMATCH"},
        {DISP_E_OVERFLOW, "DISP_E_OVERFLOW"},
        {E_FAIL, "E_FAIL"},
        {E_OUTOFMEMORY, "E_OUTOFMEMORY"},
        {E_INVALIDARG, "E_INVALIDARG"},
        {E_ACCESSDENIED, "E_ACCESSDENIED"},
        {E_NOTIMPL, "E_NOTIMPL"},
        {HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), "HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)"},
        {HRESULT_FROM_WIN32(ERROR_MORE_DATA), "HRESULT_FROM_WIN32(ERROR_MORE_DATA)"},
        {HRESULT_FROM_WIN32(ERROR_KEY_DELETED), "HRESULT_FROM_WIN32(ERROR_KEY_DELETED)"},
        {HRESULT_FROM_WIN32(ERROR_NOT_ENOUGH_MEMORY),
         "HRESULT_FROM_WIN32(ERROR_NOT_ENOUGH_MEMORY)"},
    };
    for (const Name& name : kNames) {
        if (name.hr == hr) {
            return name.name;
        }
    }
    if ((static_cast<unsigned>(hr) & 0xFFFF0000u) == 0x80070000u) {
        return "HRESULT_FROM_WIN32(" + std::to_string(static_cast<unsigned>(hr) & 0xFFFFu) + ")";
    }
    return "(unknown HRESULT)";
}

// "line L, column C" for a byte offset in the script (lines end at LF, columns count bytes from
// 1), or nothing for an offset outside it.
std::string Position(const std::string& script, size_t offset) {
    if (offset == std::string::npos || offset > script.size()) {
        return std::string();
    }
    size_t line = 1;
    size_t lineStart = 0;
    for (size_t i = 0; i < offset; ++i) {
        if (script[i] == '\n') {
            ++line;
            lineStart = i + 1;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(offset - lineStart + 1);
}

struct Options {
    bool registering = true;
    std::string from;
    bool hasFrom = false;
    bool wix = false;
    std::string wixId = "Registration";
    std::vector<std::pair<std::u16string, std::u16string>> substitutions;
    std::string script;
    bool fromDll = false;
};

bool ParseArguments(const std::vector<std::string>& arguments, Options* options, std::string* why) {
    bool haveScript = false;
    bool haveFormat = false;
    bool haveWixId = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--unregister") {
            options->registering = false;
            continue;
        }
        if (argument != "--from" && argument != "-s" && argument != "--format" &&
            argument != "--wix-id" && argument != "--dll") {
            if (argument.size() > 1 && argument[0] == '-') {
                *why = "unknown option " + argument;
                return false;
            }
            if (haveScript) {
                *why = "only one SCRIPT may be given";
                return false;
            }
            options->script = argument;
            haveScript = true;
            continue;
        }
        if (i + 1 == arguments.size()) {
            *why = argument + " needs an argument";
            return false;
        }
        const std::string& value = arguments[++i];
        if (argument == "--from") {
            if (options->hasFrom) {
                *why = "--from may be given once";
                return false;
            }
            options->from = value;
            options->hasFrom = true;
        } else if (argument == "--format") {
            if (haveFormat || (value != "reg" && value != "wix")) {
                *why = haveFormat ? "--format may be given once"
                                  : "--format takes reg or wix, not '" + value + "'";
                return false;
            }
            options->wix = value == "wix";
            haveFormat = true;
        } else if (argument == "--wix-id") {
            if (haveWixId || !IsWixIdentifier(value)) {
                *why = haveWixId ? "--wix-id may be given once"
                                 : "--wix-id takes a WiX identifier (a letter or _, then letters, "
                                   "digits, _ and ., at most 72), not '" +
                                       value + "'";
                return false;
            }
            options->wixId = value;
            haveWixId = true;
        } else if (argument == "--dll") {
            if (haveScript) {
                *why = "only one SCRIPT may be given";
                return false;
            }
            options->script = value;
            options->fromDll = true;
            haveScript = true;
        } else {
            const size_t equals = value.find('=');
            std::u16string name, text;
            if (equals == std::string::npos) {
                *why = "-s takes NAME=VALUE, not '" + value + "'";
                return false;
            }
            if (!Utf8ToUtf16(value.substr(0, equals), &name) ||
                !Utf8ToUtf16(value.substr(equals + 1), &text)) {
                *why = "-s " + value + " is not UTF-8 text";
                return false;
            }
            options->substitutions.emplace_back(std::move(name), std::move(text));
        }
    }
    if (!haveScript) {
        *why = "no SCRIPT given";
        return false;
    }
    if (options->wix && (options->hasFrom || !options->registering)) {
        *why =
            "--format wix declares a registration into an empty registry: it takes neither "
            "--from nor --unregister";
        return false;
    }
    if (haveWixId && !options->wix) {
        *why = "--wix-id goes with --format wix";
        return false;
    }
    return true;
}

// Creates the keys of the values that registration writes besides its script, and with `set`
// sets the values in them.
HRESULT WriteAlsoWritten(const std::vector<RegistrationValue>& values, bool set,
                         Registry& registry) {
    for (const RegistrationValue& value : values) {
        RegKey key = RootKey(value.root);
        for (size_t start = 0; start != std::string::npos;) {
            const size_t end = value.key.find('\\', start);
            const RegKey parent = key;
            const LONG error = registry.Create(parent, value.key.substr(start, end - start).c_str(),
                                               KEY_READ | KEY_WRITE, &key);
            registry.Close(parent);
            if (error != ERROR_SUCCESS) {
                return HRESULT_FROM_WIN32(static_cast<DWORD>(error));
            }
            start = end == std::string::npos ? end : end + 1;
        }
        const std::string data = value.text + '\0';
        const LONG error = set ? registry.SetValue(key, value.name.c_str(), REG_SZ,
                                                   reinterpret_cast<const BYTE*>(data.data()),
                                                   static_cast<DWORD>(data.size()))
                               : ERROR_SUCCESS;
        registry.Close(key);
        if (error != ERROR_SUCCESS) {
            return HRESULT_FROM_WIN32(static_cast<DWORD>(error));
        }
    }
    return S_OK;
}

std::string HresultText(HRESULT hr) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
    return code + (" " + HresultName(hr));
}

int Run(const std::vector<std::string>& arguments,
        const std::vector<RegistrationValue>& alsoWritten, std::string* out, std::string* err) {
    if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h")) {
        *out = kUsage;
        return kSucceeded;
    }
    Options options;
    std::string why;
    if (!ParseArguments(arguments, &options, &why)) {
        *err = "twrgs: " + why + "\n" + kUsage;
        return kBadUsage;
    }
    const CodePageText& text = CodePageText::Western();
    InMemoryRegistry registry(text);
    if (options.hasFrom) {
        std::string content;
        if (!ReadWholeFile(options.from, &content, &why)) {
            *err = "twrgs: cannot read " + options.from + ": " + why + "\n";
            return kBadUsage;
        }
        if (!ReadRegFile(content, registry, text, &why)) {
            *err = "twrgs: " + options.from + ": " + why + "\n";
            return kBadUsage;
        }
    }
    std::string script;
    if (options.fromDll ? !ReadScriptResource(options.script, &script, &why)
                        : !ReadWholeFile(options.script, &script, &why)) {
        *err = "twrgs: cannot read " + std::string(options.fromDll ? "the script from " : "") +
               options.script + ": " + why + "\n";
        return kBadUsage;
    }
    // As with a script resource, an embedded NUL ends the script.
    script.resize(std::strlen(script.c_str()));

    // What registration writes besides the script comes first, into keys that exist before.
    HRESULT hr = WriteAlsoWritten(alsoWritten, false, registry);
    const RegistrySnapshot before = registry.Snapshot();
    if (SUCCEEDED(hr)) {
        hr = WriteAlsoWritten(alsoWritten, true, registry);
    }
    if (FAILED(hr)) {
        *err =
            "twrgs: cannot write the values registration writes itself: " + HresultText(hr) + "\n";
        return kScriptFailed;
    }

    CRegObject registrar(registry, text);
    WixFacts facts(registry, text);
    if (options.wix) {
        // The marks that keep a substitution's text apart from the script's own.
        const size_t mark = script.find_first_of(kFormattedMarks);
        if (mark != std::string::npos) {
            *err = "twrgs: " + Position(script, mark) +
                   ": the script holds a control character, which a WiX file cannot carry\n";
            return kScriptFailed;
        }
        registrar.SetListener(&facts);
    }
    for (const auto& substitution : options.substitutions) {
        const std::u16string value =
            options.wix ? MarkFormattedText(substitution.second) : substitution.second;
        hr = registrar.AddSubstitution(substitution.first.c_str(), value.c_str());
        if (FAILED(hr)) {
            *err = "twrgs: cannot add a substitution: " + HresultName(hr) + "\n";
            return kScriptFailed;
        }
    }
    hr = registrar.RunScriptText(script.c_str(), options.registering);
    if (FAILED(hr)) {
        const std::string where = Position(script, registrar.StopOffset());
        *err = "twrgs: " + HresultText(hr) + (where.empty() ? "" : " at " + where) + "\n";
        return kScriptFailed;
    }
    if (options.wix) {
        std::vector<WixProblem> problems;
        if (!WriteWixFragment(before, registry.Snapshot(), facts, options.wixId, text, out,
                              &problems)) {
            out->clear();
            for (const WixProblem& problem : problems) {
                const std::string where = Position(script, problem.offset);
                *err += "twrgs: " + (where.empty() ? "" : where + ": ") + problem.what + "\n";
            }
            return kScriptFailed;
        }
        return kSucceeded;
    }
    if (!WriteRegFile(registry.Snapshot(), text, out, &why)) {
        out->clear();
        *err = "twrgs: the registry cannot be written as a .reg file: " + why + "\n";
        return kScriptFailed;
    }
    return kSucceeded;
}

}  // namespace

int RunTwrgs(const std::vector<std::string>& arguments, std::string* out, std::string* err) {
    return RunTwrgs(arguments, {}, out, err);
}

int RunTwrgs(const std::vector<std::string>& arguments,
             const std::vector<RegistrationValue>& alsoWritten, std::string* out,
             std::string* err) {
    out->clear();
    err->clear();
    return Run(arguments, alsoWritten, out, err);
}

int TwrgsMain(int argc, char** argv, const std::vector<std::string>& leading,
              const std::vector<RegistrationValue>& alsoWritten) noexcept {
    try {
        std::vector<std::string> arguments = leading;
        arguments.insert(arguments.end(), argv + 1, argv + argc);
        std::string out, err;
        const int status = RunTwrgs(arguments, alsoWritten, &out, &err);
        std::fwrite(out.data(), 1, out.size(), stdout);
        std::fwrite(err.data(), 1, err.size(), stderr);
        if (std::fflush(stdout) != 0) {
            std::fputs("twrgs: cannot write to standard output\n", stderr);
            return kBadUsage;
        }
        return status;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "twrgs: %s\n", e.what());
        return kBadUsage;
    }
}

}  // namespace tw
