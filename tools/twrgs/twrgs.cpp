#include "twrgs.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <sstream>
#include <utility>

#include "approved_entry.h"
#include "marked_text.h"
#include "memory_registry.h"
#include "pe_image.h"
#include "reg_file.h"
#include "reg_object.h"
#include "script_lexer.h"
#include "wix_fragment.h"

namespace tw {
namespace {

constexpr int kSucceeded = 0;
constexpr int kScriptFailed = 1;
constexpr int kBadUsage = 2;

const char* const kUsage =
    "usage: twrgs [OPTION]... SCRIPT\n"
    "       twrgs [OPTION]... --dll FILE\n";

const char* const kHelp =
    "Runs a registry script through the registrar against a registry in memory and\n"
    "prints what it writes: a .reg file (UTF-8), or a WiX v3 fragment for an installer.\n"
    "The script is 8-bit text in code page 1252, as registration reads it.\n"
    "\n"
    "  --dll FILE        the script of a Windows binary: its resource REGISTRY 101\n"
    "  -s NAME=VALUE     %NAME% becomes VALUE (UTF-8); double a ' inside quotes\n"
    "  --approved        add the Approved value twShellExt_64.dll writes itself\n"
    "  --unregister      unregister instead of register\n"
    "  --from FILE       start from the .reg file FILE's registry, not an empty one\n"
    "  --format reg|wix  print a .reg file (the default) or a WiX fragment\n"
    "  --wix-id ID       the fragment's component (group) Id; default Registration\n"
    "  -h, --help        print this help\n"
    "\n"
    "Substitution values reach either output exactly, any character included. What\n"
    "the script reads in code page 1252 itself must be in it exactly, without a\n"
    "look-alike: the names of substitutions, and the text of b and d values.\n"
    "\n"
    "Exit status: 0 with the output on standard output; 1 when the script fails, or\n"
    "when the fragment cannot declare what it writes, with the reasons on standard\n"
    "error; 2 for bad usage, a file that cannot be read, or a character that code\n"
    "page 1252 would have to carry and cannot. On failure nothing goes to standard\n"
    "output.\n";

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

struct Substitution8 {
    std::string argument;  // NAME=VALUE as given, for messages
    std::u16string name;
    std::u16string value;
};

// Text of the script in UTF-8 for a message, with the marks of substitutions' values turned back
// (marked_text.h), cut after 40 characters.
std::string Utf8(const std::string& narrow, const CodePageText& text) {
    std::u16string wide;
    ToUnmarkedUtf16(narrow, text, &wide);
    return Utf16ToUtf8(wide.substr(0, 40)) + (wide.size() > 40 ? "..." : "");
}
// The same in double quotes (a script's tokens often hold single ones).
std::string Quoted(const std::string& narrow, const CodePageText& text) {
    return "\"" + Utf8(narrow, text) + "\"";
}

// Whether `value` holds a single quote that is not doubled, which ends a quoted token.
bool HasLoneQuote(const std::u16string& value) {
    for (size_t i = 0; i < value.size();) {
        const size_t run = value.find_first_not_of(u'\'', i) - i;
        if (value[i] == u'\'' && run % 2 == 1) {
            return true;
        }
        i += std::max<size_t>(run, 1);
    }
    return false;
}

// Why a run failed, in the script author's words, where the interpreter knows it: the fault, and
// the place it stopped at (the start of a token, or the "%" of a reference when the token came
// from a substitution). Empty when the HRESULT says it all.
std::string Cause(ScriptFault fault, const std::string& script, size_t offset,
                  const std::vector<Substitution8>& substitutions, const CodePageText& text) {
    if (fault == ScriptFault::None || offset > script.size()) {
        return std::string();
    }
    // The reference at `offset`: its name, between its "%" and the next.
    const size_t close = script[offset] == '%' ? script.find('%', offset + 1) : std::string::npos;
    const std::string name =
        close == std::string::npos ? "" : script.substr(offset + 1, close - offset - 1);
    const bool substitutionFault = fault == ScriptFault::UnclosedPercent ||
                                   fault == ScriptFault::UnknownSubstitution ||
                                   fault == ScriptFault::LongSubstitutionName;
    // The token it stopped at, or for a token that a substitution made, where it came from.
    std::string token;
    std::string hint;
    if (!name.empty() && !substitutionFault) {
        token = "the text of %" + Utf8(name, text) + "%";
        for (const Substitution8& substitution : substitutions) {
            std::string narrow;
            text.FromUtf16(substitution.name, &narrow);
            if (text.EqualNoCase(narrow.c_str(), name.c_str())) {
                if (HasLoneQuote(substitution.value)) {
                    hint = "; the value of -s " + Utf16ToUtf8(substitution.name) +
                           " holds a single quote that is not doubled, which ends a quoted token";
                }
                break;
            }
        }
    } else {
        ScriptLexer lexer(script, text);
        lexer.Rewind(offset);
        lexer.Next();  // as far as it reads
        token = Quoted(lexer.Token(), text);
        if (fault != ScriptFault::UnclosedQuote && lexer.Token().find('\'') != std::string::npos) {
            hint = "; a quote inside quotes is written twice (''), or it ends the token";
        }
    }
    const std::string codePage = "code page " + std::to_string(text.CodePage());
    switch (fault) {
        case ScriptFault::None:
            break;
        case ScriptFault::UnexpectedEnd:
            return "the script ends where more is needed: an entry or a block is not complete" +
                   hint;
        case ScriptFault::UnclosedQuote:
            return "the quote that opens here is not closed (inside quotes, a quote is written "
                   "twice: '')" +
                   hint;
        case ScriptFault::LongToken:
            return "a token longer than " + std::to_string(kMaxTokenBytes) + " bytes" + hint;
        case ScriptFault::UnknownRoot:
            if (offset == 0 && script.compare(0, 3, "\xEF\xBB\xBF") == 0) {
                return "the script starts with a UTF-8 byte-order mark; save it as 8-bit text in " +
                       codePage + ", without one";
            }
            if (offset == 0 &&
                (script.compare(0, 2, "\xFF\xFE") == 0 || script.compare(0, 2, "\xFE\xFF") == 0)) {
                return "the script starts with a UTF-16 byte-order mark; save it as 8-bit text "
                       "in " +
                       codePage + ", without one";
            }
            return token +
                   " is no root key: a root block starts with HKCR, HKCU, HKLM, HKU, HKPD, HKDD, "
                   "HKCC or one of their HKEY_ names" +
                   hint;
        case ScriptFault::NoRootBlock:
            return "a root key is followed by {, not by " + token + hint;
        case ScriptFault::EmptyKeyName:
            return "an empty key name" + hint;
        case ScriptFault::BraceKeyName:
            return "a { where a key name is needed (a block opens after a key's name)" + hint;
        case ScriptFault::BackslashInKeyName:
            return "a key name with a backslash, " + token +
                   ": an entry names one key, and a nested block the next" + hint;
        case ScriptFault::NoEquals:
            return token + " where the = after the value's name is needed" + hint;
        case ScriptFault::UnknownType:
            return token + " is no value type (s, m, d or b)" + hint;
        case ScriptFault::TooDeep:
            return "blocks nest deeper than " + std::to_string(kMaxBlockDepth) + " levels";
        case ScriptFault::OddBinary:
            return "a b value of an odd number of characters, " + token +
                   ": two hexadecimal digits make a byte" + hint;
        case ScriptFault::BadNumber:
            return token + " is no number for a d value" + hint;
        case ScriptFault::UnclosedPercent:
            return "a % without its closing % (a percent sign is written %%)";
        case ScriptFault::UnknownSubstitution:
            return Utf8(name, text) + " is not defined; give it with -s " + Utf8(name, text) +
                   "=...";
        case ScriptFault::LongSubstitutionName:
            return "the substitution name " + Quoted(name, text) + " has " +
                   std::to_string(name.size()) + " bytes; at most " +
                   std::to_string(kMaxSubstitutionName);
    }
    return std::string();
}

struct Options {
    bool help = false;
    bool registering = true;
    std::string from;
    bool hasFrom = false;
    bool wix = false;
    bool approved = false;
    std::string wixId = "Registration";
    std::vector<Substitution8> substitutions;
    std::string script;
    bool fromDll = false;
};

bool ParseArguments(const std::vector<std::string>& arguments, Options* options, std::string* why) {
    bool haveScript = false;
    bool haveFormat = false;
    bool haveWixId = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            options->help = true;
            return true;
        }
        if (argument == "--unregister") {
            options->registering = false;
            continue;
        }
        if (argument == "--approved") {
            options->approved = true;
            continue;
        }
        if (argument != "--from" && argument != "-s" && argument != "--format" &&
            argument != "--wix-id" && argument != "--dll") {
            if (argument.size() > 1 && argument[0] == '-') {
                *why = "unknown option " + argument;
                return false;
            }
            if (haveScript) {
                *why = options->fromDll ? "a SCRIPT or --dll FILE, not both"
                                        : "only one SCRIPT may be given";
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
                *why = options->fromDll ? "--dll may be given once"
                                        : "a SCRIPT or --dll FILE, not both";
                return false;
            }
            options->script = value;
            options->fromDll = true;
            haveScript = true;
        } else {
            const size_t equals = value.find('=');
            Substitution8 substitution;
            substitution.argument = value;
            if (equals == std::string::npos) {
                *why = "-s takes NAME=VALUE, not '" + value + "'";
                return false;
            }
            if (!Utf8ToUtf16(value.substr(0, equals), &substitution.name) ||
                !Utf8ToUtf16(value.substr(equals + 1), &substitution.value)) {
                *why = "-s " + value + " is not UTF-8 text";
                return false;
            }
            options->substitutions.push_back(std::move(substitution));
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

// A substitution reaches the output exactly or not at all. Its value is marked where the code page
// cannot carry it (marked_text.h), and both forms of output carry it exactly; its name is compared
// in the code page, where a look-alike could match another reference.
bool CheckSubstitutions(const Options& options, const CodePageText& text, std::string* why) {
    const std::string codePage = "code page " + std::to_string(text.CodePage());
    for (const Substitution8& substitution : options.substitutions) {
        const std::string name = substitution.argument.substr(0, substitution.argument.find('='));
        std::string lacking;
        if (!text.CarriesExactly(substitution.name, &lacking)) {
            *why = "-s " + name + ": " + codePage +
                   ", in which the script names its substitutions, has no " + lacking;
            return false;
        }
        if (!CanMark(substitution.value, &lacking)) {
            *why = "-s " + name + ": the value " + lacking;
            return false;
        }
    }
    return true;
}

// Passes a registering run's entries on to `next`, when there is one, and keeps the first b or d
// value whose token holds a mark: those read their characters in the code page itself (as
// hexadecimal digits, as a number), where a mark cannot stand in for the character it marks.
class MarkedNumbers final : public ScriptListener {
  public:
    explicit MarkedNumbers(ScriptListener* next) : next_(next) {}

    void OnKey(RegKey key, KeyKind kind, size_t offset) override {
        if (next_ != nullptr) {
            next_->OnKey(key, kind, offset);
        }
    }
    void OnValue(RegKey key, const char* name, bool noRemove, size_t offset) override {
        if (next_ != nullptr) {
            next_->OnValue(key, name, noRemove, offset);
        }
    }
    void OnDelete(RegKey parent, const std::string& name, size_t offset) override {
        if (next_ != nullptr) {
            next_->OnDelete(parent, name, offset);
        }
    }
    void OnValueText(DWORD type, const std::string& token, size_t offset) override {
        if (next_ != nullptr) {
            next_->OnValueText(type, token, offset);
        }
        if (!found_ && (type == REG_BINARY || type == REG_DWORD) &&
            token.find(kUnitMark) != std::string::npos) {
            found_ = true;
            type_ = type;
            token_ = token;
            offset_ = offset;
        }
    }

    // Why the run is refused when such a value was found: the substitution, the character and
    // the code page, and where. Empty otherwise.
    std::string Refusal(const std::string& script, const std::vector<Substitution8>& substitutions,
                        const CodePageText& text) const {
        if (!found_) {
            return std::string();
        }
        // The token from its first marked character on, which the code page cannot carry.
        std::u16string rest;
        ToUnmarkedUtf16(token_.substr(token_.find(kUnitMark)), text, &rest);
        std::string lacking;
        text.CarriesExactly(rest, &lacking);
        const bool pair = rest.size() > 1 && rest[0] >= 0xD800 && rest[0] < 0xDC00;
        const std::u16string character = rest.substr(0, pair ? 2 : 1);
        std::string from;
        for (const Substitution8& substitution : substitutions) {
            if (substitution.value.find(character) != std::u16string::npos) {
                from = "-s " + Utf16ToUtf8(substitution.name) + ": ";
                break;
            }
        }
        return from + "code page " + std::to_string(text.CodePage()) + ", in which the " +
               (type_ == REG_BINARY ? "b" : "d") + " value at " + Position(script, offset_) +
               " reads its text, has no " + lacking;
    }

  private:
    ScriptListener* const next_;
    bool found_ = false;
    DWORD type_ = REG_NONE;
    std::string token_;
    size_t offset_ = 0;
};

// With --approved: what DllRegisterServer writes besides the script, the value of the Approved
// list, into a key that every Windows has (created here before the registry is taken as the
// state before registration); what DllUnregisterServer deletes, whatever it finds.
HRESULT CreateApprovedKey(Registry& registry) {
    RegKey key = RootKey(RegistryRoot::LocalMachine);
    const std::string path = kApprovedKey;
    for (size_t start = 0; start != std::string::npos;) {
        const size_t end = path.find('\\', start);
        const RegKey parent = key;
        const LONG error = registry.Create(parent, path.substr(start, end - start).c_str(),
                                           KEY_READ | KEY_WRITE, &key);
        registry.Close(parent);
        if (error != ERROR_SUCCESS) {
            return HRESULT_FROM_WIN32(static_cast<DWORD>(error));
        }
        start = end == std::string::npos ? end : end + 1;
    }
    registry.Close(key);
    return S_OK;
}

HRESULT UpdateApprovedValue(bool registering, Registry& registry) {
    RegKey key = 0;
    LONG error =
        registry.Open(RootKey(RegistryRoot::LocalMachine), kApprovedKey, KEY_SET_VALUE, &key);
    if (error != ERROR_SUCCESS) {
        return registering ? HRESULT_FROM_WIN32(static_cast<DWORD>(error)) : S_OK;
    }
    const std::string name = ApprovedValueName();
    if (registering) {
        error = registry.SetValue(key, name.c_str(), REG_SZ,
                                  reinterpret_cast<const BYTE*>(kApprovedDescription),
                                  static_cast<DWORD>(std::strlen(kApprovedDescription) + 1));
    } else {
        registry.DeleteValue(key, name.c_str());
    }
    registry.Close(key);
    return HRESULT_FROM_WIN32(static_cast<DWORD>(error));
}

// Whether the script names the class whose Approved value --approved adds.
bool NamesTheApprovedClass(const std::string& script, const CodePageText& text) {
    const std::string name = ApprovedValueName();
    return text.FoldCase(script.data(), script.size())
               .find(text.FoldCase(name.data(), name.size())) != std::string::npos;
}

std::string HresultText(HRESULT hr) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
    return code + (" " + HresultName(hr));
}

int Run(const std::vector<std::string>& arguments, std::string* out, std::string* err) {
    Options options;
    std::string why;
    if (!ParseArguments(arguments, &options, &why)) {
        *err = "twrgs: " + why + "\n" + kUsage;
        return kBadUsage;
    }
    if (options.help) {
        *out = std::string(kUsage) + kHelp;
        return kSucceeded;
    }
    const CodePageText& text = CodePageText::Western();
    if (!CheckSubstitutions(options, text, &why)) {
        *err = "twrgs: " + why + "\n";
        return kBadUsage;
    }
    InMemoryRegistry registry(text);
    const MarkedRegFileText regFileText(text);
    if (options.hasFrom) {
        std::string content;
        if (!ReadWholeFile(options.from, &content, &why)) {
            *err = "twrgs: cannot read " + options.from + ": " + why + "\n";
            return kBadUsage;
        }
        if (!ReadRegFile(content, registry, regFileText, &why)) {
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
    if (options.approved && !NamesTheApprovedClass(script, text)) {
        *err = "twrgs: --approved adds the Approved value of the class " + ApprovedValueName() +
               ", which " + options.script + " does not register\n";
        return kBadUsage;
    }

    // The Approved value comes first, as DllRegisterServer writes it, into a key there before.
    HRESULT hr = options.approved && options.registering ? CreateApprovedKey(registry) : S_OK;
    const RegistrySnapshot before = registry.Snapshot();
    if (SUCCEEDED(hr) && options.approved) {
        hr = UpdateApprovedValue(options.registering, registry);
    }
    if (FAILED(hr)) {
        *err = "twrgs: cannot write the Approved value: " + HresultText(hr) + "\n";
        return kScriptFailed;
    }

    // The marks that keep a substitution's text apart from the script's own: in a fragment, those
    // of formatted text too, which are control characters a WiX file cannot carry anyway.
    const size_t mark = options.wix ? script.find_first_of(std::string(kFormattedMarks) + kUnitMark)
                                    : script.find(kUnitMark);
    if (mark != std::string::npos) {
        *err = "twrgs: " + Position(script, mark) +
               (options.wix ? ": the script holds a control character, which a WiX file cannot "
                              "carry\n"
                            : ": the script holds the control character 0x05, which twrgs uses "
                              "to mark text\n");
        return kScriptFailed;
    }
    CRegObject registrar(registry, text);
    WixFacts facts(registry, text);
    MarkedNumbers numbers(options.wix ? &facts : nullptr);
    registrar.SetListener(&numbers);
    bool marked = false;
    for (const Substitution8& substitution : options.substitutions) {
        const std::u16string value = options.wix ? MarkFormattedText(substitution.value, text)
                                                 : MarkText(substitution.value, text);
        marked = marked || value.find(kUnitMark) != std::u16string::npos;
        hr = registrar.AddSubstitution(substitution.name.c_str(), value.c_str());
        if (FAILED(hr)) {
            *err = "twrgs: cannot add a substitution: " + HresultName(hr) + "\n";
            return kScriptFailed;
        }
    }
    hr = registrar.RunScriptText(script.c_str(), options.registering);
    const std::string refusal = numbers.Refusal(script, options.substitutions, text);
    if (!refusal.empty()) {
        *err = "twrgs: " + refusal + "\n";
        return kBadUsage;
    }
    if (FAILED(hr)) {
        const size_t offset = registrar.StopOffset();
        const std::string where = Position(script, offset);
        std::string cause =
            Cause(registrar.StopFault(), script, offset, options.substitutions, text);
        if (marked && (registrar.StopFault() == ScriptFault::LongToken ||
                       hr == HRESULT_FROM_WIN32(ERROR_MORE_DATA) ||
                       hr == HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER))) {
            cause += std::string(cause.empty() ? "" : "; ") +
                     "twrgs carries each character outside code page " +
                     std::to_string(text.CodePage()) +
                     " through the script as 6 bytes, which reach the limits of tokens (" +
                     std::to_string(kMaxTokenBytes) +
                     " bytes) and names (255 characters) sooner than the character does";
        }
        *err = "twrgs: " + HresultText(hr) + (where.empty() ? "" : " at " + where) +
               (cause.empty() ? "" : ": " + cause) + "\n";
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
    if (!WriteRegFile(registry.Snapshot(), regFileText, out, &why)) {
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

int TwrgsMain(int argc, char** argv) noexcept {
    try {
        const std::vector<std::string> arguments(argv + 1, argv + argc);
        std::string out, err;
        const int status = RunTwrgs(arguments, &out, &err);
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
