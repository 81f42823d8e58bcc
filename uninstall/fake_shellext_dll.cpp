// Test-only stand-in for a shell extension DLL. DllUnregisterServer leaves a trace file beside the
// DLL, named after the DLL's own file name plus ".unregistered", holding the current directory and
// the command line of the process that called it (regsvr32), one per line.
#include <windows.h>

#include <string>

namespace {
HMODULE thisModule = nullptr;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        thisModule = instance;
    }
    return TRUE;
}

extern "C" HRESULT __stdcall DllRegisterServer() {
    return S_OK;
}

extern "C" HRESULT __stdcall DllUnregisterServer() {
    wchar_t modulePath[MAX_PATH] = {};
    GetModuleFileNameW(thisModule, modulePath, MAX_PATH);
    wchar_t currentDirectory[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, currentDirectory);
    const std::wstring trace = std::wstring(currentDirectory) + L"\n" + GetCommandLineW() + L"\n";

    const int size = WideCharToMultiByte(CP_UTF8, 0, trace.c_str(), static_cast<int>(trace.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, trace.c_str(), static_cast<int>(trace.size()), bytes.data(),
                        size, nullptr, nullptr);
    HANDLE file = CreateFileW((std::wstring(modulePath) + L".unregistered").c_str(), GENERIC_WRITE,
                              0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return E_FAIL;
    }
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return S_OK;
}
