#include <windows.h>

#include "driver.h"

namespace tw {
namespace {

class WindowsEnvironment final : public ProcessEnvironment {
  public:
    bool IsProcessElevated() override {
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_READ, &token)) {
            return false;
        }
        TOKEN_ELEVATION elevation{};
        DWORD size = 0;
        const BOOL read =
            GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size);
        CloseHandle(token);
        return read && elevation.TokenIsElevated != 0;
    }

    std::wstring Utf8ToUtf16(const std::string& bytes) override {
        // No terminator is counted, and no error flag is passed: malformed bytes are replaced.
        const int length = static_cast<int>(bytes.size());
        const int units = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), length, nullptr, 0);
        if (units <= 0) {
            return std::wstring();
        }
        std::wstring wide(static_cast<size_t>(units), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, bytes.data(), length, wide.data(), units);
        return wide;
    }
};

}  // namespace

ProcessEnvironment& PlatformEnvironment() {
    static WindowsEnvironment environment;
    return environment;
}

}  // namespace tw
