#include "corpus.h"

#include <fstream>
#include <sstream>

namespace tw::test {
namespace {

bool ReadFile(const std::string& path, std::string* bytes) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return false;
    }
    std::ostringstream content;
    content << file.rdbuf();
    *bytes = content.str();
    return true;
}

// Values shaped like what the scripts' own programs substitute: GUIDs with braces where the
// scripts use them as key names of their own, without where the scripts add the braces.
std::u16string ValueFor(const std::string& name) {
    static const std::pair<const char*, const char16_t*> kValues[] = {
        {"MODULE", u"C:\\Program Files\\Client''s Data\\module.dll"},
        {"MODULEPATH", u"C:\\Program Files\\Client''s Data"},
        {"EVENTLOG_PATH", u"C:\\Program Files\\Client''s Data\\events.dll"},
        {"APPID", u"{6C1E2A4F-3D5B-4E7A-9C8D-1F2E3D4C5B6A}"},
        {"CP_CLASS_GUID", u"{0B5E2F8A-1C3D-4E5F-8A9B-0C1D2E3F4A5B}"},
        {"CP_FILTER_CLASS_GUID", u"{1C6F3A9B-2D4E-4F6A-9B0C-1D2E3F4A5B6C}"},
        {"CLSID", u"2D7A4B0C-3E5F-4A7B-8C1D-2E3F4A5B6C7D"},
        {"LIBID", u"3E8B5C1D-4F6A-4B8C-9D2E-3F4A5B6C7D8E"},
        {"TYPELIB", u"4F9C6D2E-5A7B-4C9D-8E3F-4A5B6C7D8E9F"},
        {"PROGID", u"Tarnwick.Test"},
        {"VERSION", u"1"},
        {"DESCRIPTION", u"Tarnwick test object"},
        {"THREADING", u"Apartment"},
        {"OBJECTFILENAME", u"module.exe"},
        {"HKROOT", u"HKCU"},
        {"INFOTIP", u"A tip"},
        {"MENUTEXT", u"Menu text"},
        {"OLEMISC", u"0"},
    };
    for (const auto& value : kValues) {
        if (name == value.first) {
            return value.second;
        }
    }
    return u"value";
}

// The scripts the interpreter rejects, by their number, and why. The other templates in the
// corpus register: 020 and 025 are wizard templates whose placeholders ("{[!output CLASSID]}")
// the format reads as ordinary key names ("{[!output" and "CLASSID]}"), and 010 is an empty block.
struct Rejection {
    const char* number;
    HRESULT result;
    const char* why;
};
const Rejection kRejections[] = {
    // Its first block registers (the template's "@@foreach" and "${...}" lines read as key names
    // and values); the second starts with "${REGKEY_ROOT}" where a root name must be (line 43).
    {"007", DISP_E_EXCEPTION, "a build template with a placeholder for the root name"},
    // Line 7: "val 'InfoTip' = e '...'".
    {"027", DISP_E_EXCEPTION, "a value of type \"e\", which the format does not have"},
};

}  // namespace

bool ReadCorpus(const std::string& folder, std::vector<CorpusScript>* scripts, std::string* error) {
    std::string manifest;
    if (!ReadFile(folder + "/MANIFEST.tsv", &manifest)) {
        *error = "no corpus manifest in " + folder;
        return false;
    }
    std::istringstream lines(manifest);
    std::string line;
    std::getline(lines, line);  // the header
    while (std::getline(lines, line)) {
        std::vector<std::string> fields;
        std::istringstream row(line);
        for (std::string field; std::getline(row, field, '\t');) {
            fields.push_back(field);
        }
        if (fields.size() < 5) {
            continue;
        }
        CorpusScript script;
        script.file = fields[0];
        if (!ReadFile(folder + "/" + script.file, &script.bytes)) {
            *error = "cannot read " + script.file;
            return false;
        }
        std::istringstream names(fields[4]);
        for (std::string name; std::getline(names, name, ',');) {
            if (!name.empty()) {
                script.substitutions.emplace_back(std::u16string(name.begin(), name.end()),
                                                  ValueFor(name));
            }
        }
        script.expected = S_OK;
        for (const Rejection& rejection : kRejections) {
            if (script.file.compare(0, 3, rejection.number) == 0) {
                script.expected = rejection.result;
            }
        }
        scripts->push_back(std::move(script));
    }
    return true;
}

}  // namespace tw::test
