#include "winsupport.h"

#include <atomic>
#include <vector>

#include "module_path.h"
#include "paths.h"

namespace tw::test {
namespace {

// Closes a handle when it goes out of scope.
class Handle {
  public:
    Handle() = default;
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() { reset(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    void reset(HANDLE h = nullptr) {
        if (h_ != nullptr && h_ != INVALID_HANDLE_VALUE) {
            CloseHandle(h_);
        }
        h_ = h;
    }
    HANDLE get() const { return h_; }
    HANDLE* out() {
        reset();
        return &h_;
    }

  private:
    HANDLE h_ = nullptr;
};

// Reads whatever is pending in a pipe without blocking.
void Drain(HANDLE pipe, std::string& sink) {
    for (;;) {
        DWORD available = 0;
        if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) || available == 0) {
            return;
        }
        std::vector<char> buffer(available);
        DWORD read = 0;
        if (!ReadFile(pipe, buffer.data(), available, &read, nullptr) || read == 0) {
            return;
        }
        sink.append(buffer.data(), read);
    }
}

bool MakePipe(Handle& readEnd, Handle& writeEnd) {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    if (!CreatePipe(readEnd.out(), writeEnd.out(), &inherit, 1 << 16)) {
        return false;
    }
    // Only the child's end is inherited.
    SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);
    return true;
}

}  // namespace

ProcessResult RunProcess(const std::wstring& commandLine, const ProcessOptions& options) {
    ProcessResult result;
    Handle outRead, outWrite, errRead, errWrite;
    if (!MakePipe(outRead, outWrite)) {
        return result;
    }
    if (!options.mergeStreams && !MakePipe(errRead, errWrite)) {
        return result;
    }
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    Handle nul(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                           OPEN_EXISTING, 0, nullptr));

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul.get();
    startup.hStdOutput = outWrite.get();
    startup.hStdError = options.mergeStreams ? outWrite.get() : errWrite.get();
    PROCESS_INFORMATION info{};
    std::vector<wchar_t> mutableLine(commandLine.begin(), commandLine.end());
    mutableLine.push_back(L'\0');
    const wchar_t* directory =
        options.currentDirectory.empty() ? nullptr : options.currentDirectory.c_str();
    BOOL created = options.token != nullptr
                       ? CreateProcessAsUserW(options.token, nullptr, mutableLine.data(), nullptr,
                                              nullptr, TRUE, 0, nullptr, directory, &startup, &info)
                       : CreateProcessW(nullptr, mutableLine.data(), nullptr, nullptr, TRUE, 0,
                                        nullptr, directory, &startup, &info);
    // The parent's copies of the child's ends are not needed any more.
    outWrite.reset();
    errWrite.reset();
    if (!created) {
        result.startError = GetLastError();
        return result;
    }
    result.started = true;
    Handle process(info.hProcess);
    Handle thread(info.hThread);

    const ULONGLONG deadline = GetTickCount64() + options.timeoutMs;
    for (;;) {
        Drain(outRead.get(), result.out);
        if (errRead.get() != nullptr) {
            Drain(errRead.get(), result.err);
        }
        if (WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0) {
            result.finished = true;
            break;
        }
        if (GetTickCount64() >= deadline) {
            TerminateProcess(process.get(), 0xDEAD);
            WaitForSingleObject(process.get(), 5000);
            break;
        }
        Sleep(5);
    }
    // What the program wrote just before it ended.
    Drain(outRead.get(), result.out);
    if (errRead.get() != nullptr) {
        Drain(errRead.get(), result.err);
    }
    GetExitCodeProcess(process.get(), &result.exitCode);
    return result;
}

std::wstring QuoteArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        return argument;
    }
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') {
            quoted.append(backslashes * 2 + 1, L'\\');
        } else {
            quoted.append(backslashes, L'\\');
        }
        backslashes = 0;
        quoted.push_back(c);
    }
    quoted.append(backslashes * 2, L'\\');
    quoted.push_back(L'"');
    return quoted;
}

std::wstring ExeDirectory() {
    std::u16string path;
    DWORD error = 0;
    ModuleFileName(nullptr, &path, &error);
    const std::u16string directory = DirectoryWithBackslash(path);
    return std::wstring(directory.begin(), directory.end());
}

TempDir::TempDir(const std::wstring& leaf) {
    static std::atomic<unsigned> counter{0};
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    std::wstring base(temp);
    if (base.empty() || base.back() != L'\\') {
        base += L'\\';
    }
    for (;;) {
        std::wstring candidate = base + leaf + L" " + std::to_wstring(GetCurrentProcessId()) +
                                 L"-" + std::to_wstring(counter++);
        if (CreateDirectoryW(candidate.c_str(), nullptr)) {
            path_ = candidate + L"\\";
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            return;  // path_ stays empty; tests check it
        }
    }
}

TempDir::~TempDir() {
    if (!path_.empty()) {
        RemoveTree(path_);
    }
}

void RemoveTree(const std::wstring& path) {
    std::wstring dir = path;
    if (!dir.empty() && dir.back() == L'\\') {
        dir.pop_back();
    }
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(AnyLength(dir + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            const std::wstring child = dir + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                SetFileAttributesW(AnyLength(child).c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(AnyLength(child).c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(AnyLength(dir).c_str());
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(AnyLength(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool WaitForFile(const std::wstring& path, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!FileExists(path)) {
        if (GetTickCount64() >= deadline) {
            return false;
        }
        Sleep(50);
    }
    return true;
}

std::string ReadFileBytes(const std::wstring& path) {
    // Sharing everything: a file that another process has just renamed into place may still be
    // open there with delete access for a moment.
    Handle file(CreateFileW(AnyLength(path).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr));
    std::string bytes;
    if (file.get() == INVALID_HANDLE_VALUE) {
        return bytes;
    }
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) {
        bytes.append(buffer, read);
    }
    return bytes;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    Handle file(
        CreateFileW(AnyLength(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                     nullptr) &&
           written == bytes.size();
}

bool CopyFileTo(const std::wstring& from, const std::wstring& to) {
    return CopyFileW(AnyLength(from).c_str(), AnyLength(to).c_str(), FALSE) != 0;
}

bool MakeFolders(const std::wstring& path) {
    for (size_t end = path.find(L'\\', 3); end != std::wstring::npos;
         end = path.find(L'\\', end + 1)) {
        CreateDirectoryW(AnyLength(path.substr(0, end)).c_str(), nullptr);
    }
    CreateDirectoryW(AnyLength(path).c_str(), nullptr);
    const DWORD attributes = GetFileAttributesW(AnyLength(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

namespace {

// Makes a folder below `base` (an existing folder, with a trailing backslash) whose path has
// exactly `units` units with its trailing backslash, of levels named `level` and at most two named
// after a beginning of it (so 8.3 levels stay 8.3): the path, empty when it cannot be made.
std::wstring MakeFolderOfLength(const std::wstring& base, const std::wstring& level, size_t units) {
    const size_t whole = level.size() + 1;  // a level and its backslash
    if (level.size() < 2 || units < base.size() + 2) {
        return std::wstring();
    }
    std::wstring path = base;
    while (units - path.size() > 2 * whole) {
        path += level + L"\\";
    }
    // What is left, at most two whole levels, as one or two beginnings of `level`.
    size_t rest = units - path.size();
    while (rest > 0) {
        const size_t take = rest > whole ? rest / 2 : rest;
        path += level.substr(0, take - 1) + L"\\";
        rest -= take;
    }
    return MakeFolders(path) ? path : std::wstring();
}

const wchar_t kShortNamedBase[] = L"C:\\TW83TEMP";

}  // namespace

FolderOfLength::FolderOfLength(size_t units, bool shortForm) {
    if (shortForm) {
        longNamed_.emplace(L"Tarnwick deep install");
        if (!longNamed_->path().empty()) {
            path_ = MakeFolderOfLength(longNamed_->path(), L"TarnwickProgramFolder", units);
        }
        return;
    }
    static std::atomic<unsigned> counter{0};
    CreateDirectoryW(kShortNamedBase, nullptr);
    for (int attempt = 0; attempt < 1000 && shortNamed_.empty(); ++attempt) {
        // At most eight digits: an 8.3 name.
        const unsigned number = (GetCurrentProcessId() * 1000 + counter++) % 100000000;
        const std::wstring candidate =
            std::wstring(kShortNamedBase) + L"\\" + std::to_wstring(number);
        if (CreateDirectoryW(candidate.c_str(), nullptr)) {
            shortNamed_ = candidate + L"\\";
        } else if (GetLastError() != ERROR_ALREADY_EXISTS) {
            return;
        }
    }
    if (!shortNamed_.empty()) {
        path_ = MakeFolderOfLength(shortNamed_, L"PROGRAMS", units);
    }
}

FolderOfLength::~FolderOfLength() {
    if (!shortNamed_.empty()) {
        RemoveTree(shortNamed_);
        RemoveDirectoryW(kShortNamedBase);  // when no other test uses it any more
    }
}

std::wstring LongPathForm(const std::wstring& path) {
    const std::wstring asked = AnyLength(path);
    const DWORD size = GetLongPathNameW(asked.c_str(), nullptr, 0);
    if (size == 0) {
        return std::wstring();
    }
    std::wstring longPath(size, L'\0');
    longPath.resize(GetLongPathNameW(asked.c_str(), &longPath[0], size));
    const std::u16string plain =
        WithoutExtendedLengthPrefix(std::u16string(longPath.begin(), longPath.end()));
    return std::wstring(plain.begin(), plain.end());
}

std::wstring AnyLength(const std::wstring& path) {
    const std::u16string extended = ExtendedLengthPath(std::u16string(path.begin(), path.end()));
    return std::wstring(extended.begin(), extended.end());
}

std::wstring Widen(const std::string& utf8) {
    if (utf8.empty()) {
        return std::wstring();
    }
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

std::string Narrow(const std::wstring& wide) {
    if (wide.empty()) {
        return std::string();
    }
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), narrow.data(), n,
                        nullptr, nullptr);
    return narrow;
}

std::wstring BuildPath(const char* path) {
    std::wstring wide = Widen(path);
    for (wchar_t& c : wide) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    return wide;
}

bool RunsUnderWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

namespace {

bool TokenIsElevated(HANDLE token) {
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    return GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size) &&
           elevation.TokenIsElevated != 0;
}

}  // namespace

bool ProcessIsElevated() {
    Handle self;
    return OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, self.out()) &&
           TokenIsElevated(self.get());
}

NotElevatedToken::NotElevatedToken() {
    Handle self;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE | TOKEN_ASSIGN_PRIMARY,
                          self.out())) {
        return;
    }
    HANDLE source = self.get();
    Handle linkedToken;
    if (TokenIsElevated(self.get())) {
        TOKEN_LINKED_TOKEN linked{};
        DWORD size = 0;
        if (!GetTokenInformation(self.get(), TokenLinkedToken, &linked, sizeof(linked), &size)) {
            return;
        }
        linkedToken.reset(linked.LinkedToken);
        source = linkedToken.get();
    }
    HANDLE primary = nullptr;
    // A process is started with a primary token.
    if (!TokenIsElevated(source) &&
        DuplicateTokenEx(source, TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation, TokenPrimary,
                         &primary)) {
        token_ = primary;
    }
}

NotElevatedToken::~NotElevatedToken() {
    if (token_ != nullptr) {
        CloseHandle(token_);
    }
}

}  // namespace tw::test
