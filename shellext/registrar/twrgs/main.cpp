// twrgs: see twrgs.h.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "twrgs.h"

int main(int argc, char** argv) {
    try {
        std::vector<std::string> arguments(argv + 1, argv + argc);
        std::string out, err;
        const int status = tw::RunTwrgs(arguments, &out, &err);
        std::fwrite(out.data(), 1, out.size(), stdout);
        std::fwrite(err.data(), 1, err.size(), stderr);
        if (std::fflush(stdout) != 0) {
            std::fputs("twrgs: cannot write to standard output\n", stderr);
            return 2;
        }
        return status;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "twrgs: %s\n", e.what());
        return 2;
    }
}
