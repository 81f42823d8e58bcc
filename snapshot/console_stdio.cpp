// The console of the process through C stdio. Both streams are in text mode, so on Windows each
// line reaches a pipe or a file ended with CR LF.
#include <cstdio>

#include "console.h"

namespace tw {
namespace {

void WriteLine(std::FILE* stream, std::string_view line) {
    std::fwrite(line.data(), 1, line.size(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

class StdioConsole final : public Console {
  public:
    void Out(std::string_view line) override { WriteLine(stdout, line); }
    void Err(std::string_view line) override {
        std::fflush(stdout);
        WriteLine(stderr, line);
    }
};

}  // namespace

Console& StandardConsole() {
    static StdioConsole console;
    return console;
}

}  // namespace tw
