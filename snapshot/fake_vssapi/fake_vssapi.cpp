// Test tooling, never shipped: vssapi.dll, a stand-in for the platform's VSS service that the Wine
// tests and `make demo` put beside a copy of twVss_64.exe (README: how Wine is made to load it).
// It keeps three files in its own folder:
//   vss-standin-script.txt  read at the first call: what the calls answer, the device object name
//                           of a new snapshot, snapshots to seed (fake_vss_service.h)
//   vss-standin-store.txt   the snapshots, kept from one process to the next
//   vss-standin-log.txt     appended to: "== process PID: COMMAND LINE", a line for every call,
//                           AddRef and Release, "! ..." for every misuse, and when the process ends
//                           its account: "= NAME references N" for every object handed out and
//                           "= properties allocated A freed F", or "= no calls".
// The program's own COM set-up, CoInitialize and CoInitializeSecurity, does not pass through this
// DLL. So that the log shows it in its place among the VSS calls, the DLL points the program's
// imports of the two at recorders when it is loaded: each calls the real function, logs the call
// with its arguments and answers the real result, or the one the script gives it.
#include <windows.h>

#include <cstring>
#include <string>

#include "fake_vss_com.h"
#include "import_table.h"

namespace {

using tw::standin::StandInService;
using tw::test::ReplaceImport;

const wchar_t kScriptFile[] = L"vss-standin-script.txt";
const wchar_t kStoreFile[] = L"vss-standin-store.txt";
const wchar_t kLogFile[] = L"vss-standin-log.txt";

HMODULE thisModule = nullptr;

// The folder of this DLL, with its trailing backslash.
std::wstring OwnFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(thisModule, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            return std::wstring();
        }
        if (length < path.size()) {
            path.resize(length);
            return path.substr(0, path.rfind(L'\\') + 1);
        }
        path.resize(path.size() * 2);
    }
}

std::string ReadWholeFile(const std::wstring& path) {
    std::string bytes;
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return bytes;
    }
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
        bytes.append(buffer, read);
    }
    CloseHandle(file);
    return bytes;
}

// Writes `bytes` to the file, replacing it or appending to it.
void WriteToFile(const std::wstring& path, const std::string& bytes, bool append) {
    const HANDLE file =
        CreateFileW(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, FILE_SHARE_READ,
                    nullptr, append ? OPEN_ALWAYS : CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

// Appends one line to the log; the process's first line is preceded by its header.
void Log(const std::string& line) {
    static bool started = false;
    const std::wstring path = OwnFolder() + kLogFile;
    if (!started) {
        started = true;
        WriteToFile(path,
                    "== process " + std::to_string(GetCurrentProcessId()) + ": " +
                        tw::standin::ToUtf8(GetCommandLineW()) + "\n",
                    true);
    }
    WriteToFile(path, line + "\n", true);
}

// The service of this process, with its store and script read from the files. Made at the first
// call and never destroyed, so that the account at process end can still read it.
StandInService* service = nullptr;

StandInService& Service() {
    if (service == nullptr) {
        const std::wstring folder = OwnFolder();
        auto* made = new StandInService();
        made->onLine = Log;
        const auto saveStore = [made, folder] {
            WriteToFile(folder + kStoreFile, tw::standin::StoreText(made->snapshots), false);
        };
        const bool seeded =
            made->Load(tw::standin::ParseScript(ReadWholeFile(folder + kStoreFile)),
                       tw::standin::ParseScript(ReadWholeFile(folder + kScriptFile)));
        if (seeded) {
            saveStore();
        }
        made->onStoreChanged = saveStore;
        service = made;
    }
    return *service;
}

void WriteAccount() {
    if (service == nullptr) {
        Log("= no calls");
        return;
    }
    for (const std::string& line : service->Report()) {
        Log("= " + line);
    }
}

using CoInitializeFunction = HRESULT(WINAPI*)(LPVOID);
using CoInitializeSecurityFunction = HRESULT(WINAPI*)(PSECURITY_DESCRIPTOR, LONG,
                                                      SOLE_AUTHENTICATION_SERVICE*, void*, DWORD,
                                                      DWORD, void*, DWORD, void*);
CoInitializeFunction realCoInitialize = nullptr;
CoInitializeSecurityFunction realCoInitializeSecurity = nullptr;

// The answer to a recorded call: the script's result for `name` if it gives one, else the real one.
HRESULT Answer(const std::string& name, HRESULT logged, HRESULT real) {
    return service != nullptr && service->results.count(name) != 0 ? logged : real;
}

HRESULT WINAPI RecordCoInitialize(LPVOID reserved) {
    const HRESULT real = realCoInitialize(reserved);
    try {
        return Answer("CoInitialize",
                      Service().Call("CoInitialize", reserved == nullptr ? "" : "reserved=set"),
                      real);
    } catch (...) {
        return real;
    }
}

HRESULT WINAPI RecordCoInitializeSecurity(PSECURITY_DESCRIPTOR securityDescriptor,
                                          LONG authenticationServiceCount,
                                          SOLE_AUTHENTICATION_SERVICE* authenticationServices,
                                          void* reserved1, DWORD authenticationLevel,
                                          DWORD impersonationLevel, void* authenticationList,
                                          DWORD capabilities, void* reserved3) {
    const HRESULT real = realCoInitializeSecurity(
        securityDescriptor, authenticationServiceCount, authenticationServices, reserved1,
        authenticationLevel, impersonationLevel, authenticationList, capabilities, reserved3);
    try {
        return Answer("CoInitializeSecurity",
                      Service().CoInitializeSecurity(securityDescriptor, authenticationServiceCount,
                                                     authenticationServices, reserved1,
                                                     authenticationLevel, impersonationLevel,
                                                     authenticationList, capabilities, reserved3),
                      real);
    } catch (...) {
        return real;
    }
}

// Records the program's COM set-up from here on.
void RecordComSetUp() {
    realCoInitialize = reinterpret_cast<CoInitializeFunction>(
        ReplaceImport(GetModuleHandleW(nullptr), nullptr, "CoInitialize",
                      reinterpret_cast<void*>(&RecordCoInitialize)));
    realCoInitializeSecurity = reinterpret_cast<CoInitializeSecurityFunction>(
        ReplaceImport(GetModuleHandleW(nullptr), nullptr, "CoInitializeSecurity",
                      reinterpret_cast<void*>(&RecordCoInitializeSecurity)));
}

}  // namespace

HRESULT STDAPICALLTYPE CreateVssBackupComponentsInternal(IVssBackupComponents** backupComponents) {
    try {
        return tw::standin::CreateBackupComponentsObject(Service(), backupComponents);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

void APIENTRY VssFreeSnapshotPropertiesInternal(VSS_SNAPSHOT_PROP* properties) {
    try {
        Service().FreeSnapshotProperties(properties);
    } catch (...) {
        // Nothing to report to: the log is what failed.
    }
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        thisModule = instance;
        DisableThreadLibraryCalls(instance);
        RecordComSetUp();
    } else if (reason == DLL_PROCESS_DETACH) {
        try {
            WriteAccount();
        } catch (...) {
            // The account is missing from the log, which a test notices.
        }
    }
    return TRUE;
}
