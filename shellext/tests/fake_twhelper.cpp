// Test stand-in for the product's helper, built as twHelper.exe. Each start leaves one record
// beside the program, "twHelper-<process id>.record", of three lines: the current directory and
// the command line as received (GetCommandLineW), both in UTF-8, then the command line as a
// program that reads it in the ANSI code page sees it (GetCommandLineA, its bytes unchanged). The
// record appears complete (written under another name, then renamed). It exits with 0, or with the
// number that a file "twHelper.exitcode" beside it holds, for the tests of callers that check it.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "winsupport.h"

int main() {
    using namespace tw::test;
    const DWORD size = GetCurrentDirectoryW(0, nullptr);
    std::wstring current(size, L'\0');
    current.resize(GetCurrentDirectoryW(size, &current[0]));
    const std::string record =
        Narrow(current) + "\n" + Narrow(GetCommandLineW()) + "\n" + GetCommandLineA();
    const std::wstring name =
        ExeDirectory() + L"twHelper-" + std::to_wstring(GetCurrentProcessId());
    if (!WriteFileBytes(name + L".partial", record)) {
        return 1;
    }
    if (!MoveFileW((name + L".partial").c_str(), (name + L".record").c_str())) {
        return 1;
    }
    const std::string exitCode = ReadFileBytes(ExeDirectory() + L"twHelper.exitcode");
    return exitCode.empty() ? 0 : std::atoi(exitCode.c_str());
}
