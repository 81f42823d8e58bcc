// Test stand-in for the product's helper, built as twHelper.exe. Each start leaves one record
// beside the program, "twHelper-<process id>.record": the current directory, a line feed, and the
// command line exactly as received, in UTF-8. The record appears complete (written under another
// name, then renamed).
#include <windows.h>

#include <string>

namespace {

std::string Utf8(const std::wstring& wide) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()), bytes.data(), size,
                        nullptr, nullptr);
    return bytes;
}

}  // namespace

int main() {
    wchar_t self[MAX_PATH * 4] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
    std::wstring directory(self);
    directory.resize(directory.rfind(L'\\') + 1);
    wchar_t current[MAX_PATH * 4] = {};
    GetCurrentDirectoryW(MAX_PATH * 4, current);
    const std::string record = Utf8(current) + "\n" + Utf8(GetCommandLineW());

    const std::wstring name = directory + L"twHelper-" + std::to_wstring(GetCurrentProcessId());
    HANDLE file = CreateFileW((name + L".partial").c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return 1;
    }
    DWORD written = 0;
    WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
    CloseHandle(file);
    return MoveFileW((name + L".partial").c_str(), (name + L".record").c_str()) ? 0 : 1;
}
