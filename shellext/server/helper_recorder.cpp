// Test stand-in for the product's helper, built as twHelper.exe. Each start leaves one record
// beside the program, "twHelper-<process id>.record": the current directory, a line feed, and the
// command line exactly as received, in UTF-8. The record appears complete (written under another
// name, then renamed).
#include <windows.h>

#include <string>

#include "winsupport.h"

int main() {
    using namespace tw::test;
    wchar_t current[MAX_PATH * 4] = {};
    GetCurrentDirectoryW(MAX_PATH * 4, current);
    const std::string record = Narrow(current) + "\n" + Narrow(GetCommandLineW());
    const std::wstring name =
        ExeDirectory() + L"twHelper-" + std::to_wstring(GetCurrentProcessId());
    if (!WriteFileBytes(name + L".partial", record)) {
        return 1;
    }
    return MoveFileW((name + L".partial").c_str(), (name + L".record").c_str()) ? 0 : 1;
}
