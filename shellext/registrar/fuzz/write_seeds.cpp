// Writes the seeds of the fuzz targets from the script cases of the tests: each case's script in
// its code page into SCRIPT_DIR, its registries before and after as .reg files into REGFILE_DIR,
// and copies the scripts named after them into SCRIPT_DIR.
//     registrar_fuzz_seeds SCRIPT_DIR REGFILE_DIR [SCRIPT...]
#include <cstdio>
#include <fstream>
#include <string>

#include "script_cases.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: registrar_fuzz_seeds SCRIPT_DIR REGFILE_DIR [SCRIPT...]\n");
        return 2;
    }
    const std::string header = "Windows Registry Editor Version 5.00\n\n";
    int n = 0;
    for (const tw::test::ScriptCase& c : tw::test::ScriptCases()) {
        const tw::CodePageText& text =
            c.codePage == 932 ? tw::CodePageText::Japanese() : tw::CodePageText::Western();
        const std::string name = "case" + std::to_string(++n);
        std::ofstream(std::string(argv[1]) + "/" + name + ".rgs", std::ios::binary)
            << tw::test::ScriptBytes(c, text);
        std::ofstream(std::string(argv[2]) + "/" + name + "-before.reg", std::ios::binary)
            << header << c.before;
        std::ofstream(std::string(argv[2]) + "/" + name + "-after.reg", std::ios::binary)
            << header << c.after;
    }
    for (int i = 3; i < argc; ++i) {
        std::ifstream script(argv[i], std::ios::binary);
        std::ofstream(std::string(argv[1]) + "/extra" + std::to_string(i - 2) + ".rgs",
                      std::ios::binary)
            << script.rdbuf();
    }
    return 0;
}
