// Helpers for the Windows test programs that run under Wine: start a program and collect what it
// writes, make and remove scratch folders, wait for a file.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace tw::test {

struct ProcessResult {
    bool started = false;   // CreateProcess succeeded
    bool finished = false;  // ended within the time limit (otherwise it was terminated)
    DWORD exitCode = 0;
    DWORD startError = 0;  // GetLastError of the failed start, when it did not start
    std::string out;       // bytes written to standard output (both streams when merged)
    std::string err;       // bytes written to standard error (empty when merged)
};

struct ProcessOptions {
    std::wstring currentDirectory;  // empty: the caller's
    DWORD timeoutMs = 120000;
    bool mergeStreams = false;  // standard error goes into the same pipe as standard output
    HANDLE token = nullptr;     // run with this primary token (CreateProcessAsUserW) when set
};

// Runs `commandLine` (first token: the program) with both standard streams captured through pipes
// and standard input empty, and waits for it to end. The streams are read until the program has
// ended and nothing more is pending, so a grandchild that inherited them cannot hold the test up.
ProcessResult RunProcess(const std::wstring& commandLine, const ProcessOptions& options = {});

// Quotes one command-line argument by the usual Windows rules.
std::wstring QuoteArgument(const std::wstring& argument);

// Directory of the running test program, with a trailing backslash. The build puts every program
// and DLL of the Windows build there.
std::wstring ExeDirectory();

// A new folder under the temporary directory, named `leaf` plus a unique suffix, removed with all
// its content on destruction (best effort: a file still in use stays).
class TempDir {
  public:
    explicit TempDir(const std::wstring& leaf);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    // Full path with a trailing backslash.
    const std::wstring& path() const { return path_; }

  private:
    std::wstring path_;
};

// A new folder whose path has exactly `units` units with its trailing backslash, for the tests of
// what Windows takes only below MAX_PATH; removed with all its content on destruction. Its levels
// have long names, which have shorter 8.3 forms, or, without `shortForm`, 8.3 names below a folder
// whose path has none either (C:\TW83TEMP\ and a number: a temporary folder's path usually has a
// shorter form), so that no form of it is shorter.
class FolderOfLength {
  public:
    FolderOfLength(size_t units, bool shortForm);
    ~FolderOfLength();
    FolderOfLength(const FolderOfLength&) = delete;
    FolderOfLength& operator=(const FolderOfLength&) = delete;
    // Full path with a trailing backslash; empty when it could not be made.
    const std::wstring& path() const { return path_; }

  private:
    std::optional<TempDir> longNamed_;
    std::wstring shortNamed_;  // the 8.3 folder made below C:\TW83TEMP
    std::wstring path_;
};

// These, down to LongPathForm, take paths of any length (beyond MAX_PATH in their extended-length
// form, which Windows needs and Wine does not).
void RemoveTree(const std::wstring& path);
bool FileExists(const std::wstring& path);
// Polls until the file exists or the time is up.
bool WaitForFile(const std::wstring& path, DWORD timeoutMs);
std::string ReadFileBytes(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool CopyFileTo(const std::wstring& from, const std::wstring& to);
// Makes the folder `path` and every missing folder above it. True when it exists afterwards.
bool MakeFolders(const std::wstring& path);
// The long form of an existing path (its short 8.3 names resolved), for comparing paths that name
// the same file; empty when it cannot be had.
std::wstring LongPathForm(const std::wstring& path);

std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& wide);  // to UTF-8

// `path` as the file functions take it at any length: in its extended-length form from MAX_PATH
// units on (paths.h).
std::wstring AnyLength(const std::wstring& path);

// A path the build gave in its own spelling ("Z:/work/tree/dist" under Wine, "C:/src/tree/dist" on
// Windows), with backslashes.
std::wstring BuildPath(const char* path);

// True when the program runs under Wine rather than on Windows itself.
bool RunsUnderWine();

// Whether the process token reports elevation (Wine's always does).
bool ProcessIsElevated();

// Sets the calling thread's locale for a scope (SetThreadLocale), and puts the one before back.
class ThreadLocale {
  public:
    explicit ThreadLocale(LCID locale) : before_(GetThreadLocale()) {
        set_ = SetThreadLocale(locale) != FALSE;
    }
    ~ThreadLocale() { SetThreadLocale(before_); }
    ThreadLocale(const ThreadLocale&) = delete;
    ThreadLocale& operator=(const ThreadLocale&) = delete;
    bool set() const { return set_; }

  private:
    LCID before_;
    bool set_ = false;
};

// A primary token that reports not elevated, for ProcessOptions::token: the linked limited token
// of an elevated process, or a copy of the process's own token when that is not elevated. Null when
// none can be had. Closed on destruction.
class NotElevatedToken {
  public:
    NotElevatedToken();
    ~NotElevatedToken();
    NotElevatedToken(const NotElevatedToken&) = delete;
    NotElevatedToken& operator=(const NotElevatedToken&) = delete;
    HANDLE get() const { return token_; }

  private:
    HANDLE token_ = nullptr;
};

}  // namespace tw::test
