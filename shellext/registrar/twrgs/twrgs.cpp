#include "twrgs.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <utility>

#include "memory_registry.h"
#include "reg_file.h"
#include "reg_object.h"

namespace tw {
namespace {

constexpr int kSucceeded = 0;
constexpr int kScriptFailed = 1;
constexpr int kBadUsage = 2;

const char* const kUsage = "usage: twrgs [--unregister] [--from FILE] [-s NAME=VALUE]... SCRIPT\n";

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

// "at line L, column C" for a byte offset in the script: lines end at LF, columns count bytes from
// 1.
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
    return " at line " + std::to_string(line) + ", column " +
           std::to_string(offset - lineStart + 1);
}

struct Options {
    bool registering = true;
    std::string from;
    bool hasFrom = false;
    std::vector<std::pair<std::u16string, std::u16string>> substitutions;
    std::string script;
};

bool ParseArguments(const std::vector<std::string>& arguments, Options* options, std::string* why) {
    bool haveScript = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--unregister") {
            options->registering = false;
        } else if (argument == "--from" || argument == "-s") {
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
                continue;
            }
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
        } else if (argument.size() > 1 && argument[0] == '-') {
            *why = "unknown option " + argument;
            return false;
        } else if (haveScript) {
            *why = "only one SCRIPT may be given";
            return false;
        } else {
            options->script = argument;
            haveScript = true;
        }
    }
    if (!haveScript) {
        *why = "no SCRIPT given";
        return false;
    }
    return true;
}

int Run(const std::vector<std::string>& arguments, std::string* out, std::string* err) {
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
    if (!ReadWholeFile(options.script, &script, &why)) {
        *err = "twrgs: cannot read " + options.script + ": " + why + "\n";
        return kBadUsage;
    }
    // As with a script resource, an embedded NUL ends the script.
    script.resize(std::strlen(script.c_str()));

    CRegObject registrar(registry, text);
    for (const auto& substitution : options.substitutions) {
        const HRESULT hr =
            registrar.AddSubstitution(substitution.first.c_str(), substitution.second.c_str());
        if (FAILED(hr)) {
            *err = "twrgs: cannot add a substitution: " + HresultName(hr) + "\n";
            return kScriptFailed;
        }
    }
    const HRESULT hr = registrar.RunScriptText(script.c_str(), options.registering);
    if (FAILED(hr)) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
        *err = std::string("twrgs: ") + code + " " + HresultName(hr) +
               Position(script, registrar.StopOffset()) + "\n";
        return kScriptFailed;
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
    out->clear();
    err->clear();
    return Run(arguments, out, err);
}

}  // namespace tw
