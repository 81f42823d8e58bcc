// The installer under Wine: dist/Tarnwick-Windows-Components.msi (make dist first) installed and
// removed with the real msiexec in a prefix whose shared keys hold other software's values, as a
// used machine's do (Wine deletes a key that an uninstallation leaves empty, and its empty parents,
// which would otherwise hide what the installer removes):
// - the registry change of msiexec /i equals that of regsvr32 /s of the same DLL in the same
//   folder, key for key, value for value, type and bytes;
// - the COM runtime makes the handler through the installer's entries, and it gives a file's and
//   a folder's menu;
// - msiexec /x removes the files and exactly what it wrote, and keeps the other values and the
//   keys the script only opens;
// - installing twice, a major upgrade over an older build and a rebuild of the same version over
//   the installed one leave one product and one set of entries; an older build does not install
//   over a newer one;
// - each binary's File row carries the version Windows reads from the binary;
// - the fragment twrgs makes of a script with every kind of entry, value and escape installs what
//   the registrar itself writes from that script;
// - the Windows build in the registry decides between the classic handler's two menu keys (before
//   build 22000) and the registration of the package with external location through PowerShell
//   (from 22000 on), as a number: a recording program in the place of the system's powershell.exe
//   shows the exact commands, their folder, and that none starts before Windows 11; a registration
//   that fails fails the installation, a removal that fails does not stop the uninstallation. (Wine
//   compares two numbers written as text as numbers, where Windows compares text, so that the
//   conditions compare with an unquoted integer is checked on the tables, msi_tables_host_test.)
#include <gtest/gtest.h>

#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "reg_object.h"
#include "shellext_wine_support.h"
#include "version.h"
#include "winsupport.h"

namespace tw::test {
namespace {

const std::wstring kFolder = L"C:\\Program Files\\Tarnwick\\Windows Components\\";
const wchar_t* const kFiles[] = {L"twVss_64.exe", L"twShellExt_64.dll", L"TwUninstall.exe",
                                 L"twShellExt_64.msix"};
const char kUpgradeCode[] = "{92132F29-4210-4A86-8BCD-961924C30EE8}";
const char kApprovedKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions";

// A path that the build gives with forward slashes, as Windows programs write it.
std::wstring WindowsPath(const char* path) {
    std::wstring wide = Widen(path);
    for (wchar_t& c : wide) {
        c = c == L'/' ? L'\\' : c;
    }
    return wide;
}
const std::wstring kMsi = WindowsPath(TW_DIST_DIR "/Tarnwick-Windows-Components.msi");
const std::wstring kOlderMsi = WindowsPath(TW_TEST_MSIS "/older.msi");
const std::wstring kRebuildMsi = WindowsPath(TW_TEST_MSIS "/rebuild.msi");
const std::wstring kProbeMsi = WindowsPath(TW_TEST_MSIS "/probe.msi");

// Registry content: each key's path, and its values by name, as "type:bytes".
using Tree = std::map<std::string, std::map<std::string, std::string>>;

void Dump(HKEY parent, const std::string& name, const std::string& path,
          const std::set<std::string>& skip, Tree* tree) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, name.empty() ? nullptr : name.c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return;
    }
    DWORD subkeys = 0, longestSubkey = 0, values = 0, longestName = 0, longestData = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, &longestSubkey, nullptr, &values,
                     &longestName, &longestData, nullptr, nullptr);
    auto& content = (*tree)[path];
    std::vector<char> valueName(longestName + 1);
    std::vector<BYTE> data(longestData + 1);
    for (DWORD i = 0; i < values; ++i) {
        DWORD nameSize = longestName + 1, dataSize = longestData + 1, type = 0;
        if (RegEnumValueA(key, i, valueName.data(), &nameSize, nullptr, &type, data.data(),
                          &dataSize) == ERROR_SUCCESS) {
            content[std::string(valueName.data(), nameSize)] =
                std::to_string(type) + ":" +
                std::string(reinterpret_cast<const char*>(data.data()), dataSize);
        }
    }
    std::vector<char> subkeyName(longestSubkey + 1);
    for (DWORD i = 0; i < subkeys; ++i) {
        DWORD size = longestSubkey + 1;
        if (RegEnumKeyExA(key, i, subkeyName.data(), &size, nullptr, nullptr, nullptr, nullptr) ==
            ERROR_SUCCESS) {
            const std::string child(subkeyName.data(), size);
            if (skip.count(child) == 0) {
                Dump(key, child, path + "\\" + child, {}, tree);
            }
        }
    }
    RegCloseKey(key);
}

// What registration and installation can change: all of HKEY_CLASSES_ROOT but the installer's own
// bookkeeping (its Installer key), and the shell extension lists of HKEY_LOCAL_MACHINE.
Tree Snapshot() {
    Tree tree;
    Dump(HKEY_CLASSES_ROOT, "", "HKCR", {"Installer"}, &tree);
    Dump(HKEY_LOCAL_MACHINE, kApprovedKey, std::string("HKLM\\") + kApprovedKey, {}, &tree);
    return tree;
}

// One line per key added or removed and per value added, removed or changed, bytes as C escapes.
std::vector<std::string> Changes(const Tree& before, const Tree& after) {
    auto show = [](const std::string& data) {
        std::string shown;
        for (unsigned char c : data) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, c >= 0x20 && c < 0x7F ? "%c" : "\\x%02X", c);
            shown += escaped;
        }
        return shown;
    };
    std::vector<std::string> changes;
    for (const auto& [path, values] : after) {
        const auto old = before.find(path);
        if (old == before.end()) {
            changes.push_back("+ " + path);
        }
        for (const auto& [name, data] : values) {
            const bool had = old != before.end() && old->second.count(name) != 0;
            if (!had || old->second.at(name) != data) {
                changes.push_back((had ? "~ " : "+ ") + path + " : \"" + name +
                                  "\" = " + show(data));
            }
        }
        if (old != before.end()) {
            for (const auto& [name, data] : old->second) {
                if (values.count(name) == 0) {
                    changes.push_back("- " + path + " : \"" + name + "\"");
                }
            }
        }
    }
    for (const auto& [path, values] : before) {
        if (after.count(path) == 0) {
            changes.push_back("- " + path);
        }
    }
    return changes;
}

// Other software's values in the keys the product shares with it, and another handler.
struct Seed {
    HKEY root;
    const char* key;
    const char* value;  // null: the key's default value
};
const Seed kSeeds[] = {
    {HKEY_CLASSES_ROOT, "CLSID", "TarnwickTestSibling"},
    {HKEY_CLASSES_ROOT, "*", "TarnwickTestSibling"},
    {HKEY_CLASSES_ROOT, "*\\shellex", "TarnwickTestSibling"},
    {HKEY_CLASSES_ROOT, "*\\shellex\\ContextMenuHandlers", "TarnwickTestSibling"},
    {HKEY_CLASSES_ROOT, "*\\shellex\\ContextMenuHandlers\\OtherProduct", nullptr},
    {HKEY_CLASSES_ROOT, "Directory", "TarnwickTestSibling"},
    {HKEY_CLASSES_ROOT, "Directory\\shellex", "TarnwickTestSibling"},
    {HKEY_CLASSES_ROOT, "Directory\\shellex\\ContextMenuHandlers", "TarnwickTestSibling"},
    {HKEY_CLASSES_ROOT, "TarnwickInstallerProbe", "TarnwickTestSibling"},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved",
     "{0D6B4E5A-2C1F-4B3E-9A8D-7C6B5A4F3E2D}"},
    {HKEY_LOCAL_MACHINE, "Software\\TarnwickInstallerProbe", "TarnwickTestSibling"},
};

// The products installed with the installer's upgrade code, with their versions.
std::map<std::string, std::string> InstalledProducts() {
    std::map<std::string, std::string> products;
    char code[39];
    for (DWORD i = 0; MsiEnumRelatedProductsA(kUpgradeCode, 0, i, code) == ERROR_SUCCESS; ++i) {
        char version[64] = {};
        DWORD size = sizeof version;
        MsiGetProductInfoA(code, INSTALLPROPERTY_VERSIONSTRING, version, &size);
        products[code] = version;
    }
    return products;
}

// The entries of the machine's list of installed programs that name the product.
int ListedPrograms() {
    HKEY list = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
                      0, KEY_READ, &list) != ERROR_SUCCESS) {
        return 0;
    }
    int listed = 0;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof name;
        if (RegEnumKeyExA(list, i, name, &size, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        char shown[256] = {};
        DWORD shownSize = sizeof shown;
        if (RegGetValueA(list, name, "DisplayName", RRF_RT_REG_SZ, nullptr, shown, &shownSize) ==
                ERROR_SUCCESS &&
            std::string(shown) == "Tarnwick Windows Components") {
            ++listed;
        }
    }
    RegCloseKey(list);
    return listed;
}

std::vector<std::string> Versions(const std::map<std::string, std::string>& products) {
    std::vector<std::string> versions;
    for (const auto& [code, version] : products) {
        versions.push_back(version);
    }
    return versions;
}

void PlantSeeds() {
    for (const Seed& seed : kSeeds) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(seed.root, seed.key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        const char data[] = "another product's";
        EXPECT_EQ(RegSetValueExA(key, seed.value, 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                                 sizeof data),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
}

class Installer : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(FileExists(kMsi)) << "run `make dist` first";
        ASSERT_TRUE(InstalledProducts().empty());
        PlantSeeds();
        seeded = Snapshot();
        ASSERT_GT(seeded.size(), 100u);
    }
    void TearDown() override {
        // Whatever a test left installed goes, and so does the seed.
        for (const std::wstring& msi : {kMsi, kOlderMsi, kRebuildMsi, kProbeMsi}) {
            RunProcess(L"msiexec /x " + QuoteArgument(msi) + L" /qn");
        }
        RemoveTree(L"C:\\Program Files\\Tarnwick\\");
        for (const Seed& seed : kSeeds) {
            HKEY key = nullptr;
            if (RegOpenKeyExA(seed.root, seed.key, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
                RegDeleteValueA(key, seed.value);
                RegCloseKey(key);
            }
        }
        RegDeleteTreeA(HKEY_CLASSES_ROOT, "*\\shellex\\ContextMenuHandlers\\OtherProduct");
    }

    // Runs msiexec with `arguments` and no user interface; its exit code, and how long it took.
    DWORD Msiexec(const std::wstring& arguments) {
        const ULONGLONG start = GetTickCount64();
        ProcessResult run = RunProcess(L"msiexec " + arguments + L" /qn");
        if (!run.started) {
            // Seen once under Wine (CreateProcess failed, cause not found): msiexec did not start
            // at all, so nothing was installed or removed, and the start is tried once more. A
            // second failure fails the test, with the error printed.
            std::printf("msiexec %s did not start (error %lu); starting it again\n",
                        Narrow(arguments).c_str(), static_cast<unsigned long>(run.startError));
            Sleep(500);
            run = RunProcess(L"msiexec " + arguments + L" /qn");
        }
        const ULONGLONG took = GetTickCount64() - start;
        std::printf("msiexec %s: exit code %lu, %llu ms\n", Narrow(arguments).c_str(),
                    static_cast<unsigned long>(run.exitCode), took);
        EXPECT_TRUE(run.started && run.finished) << "start error " << run.startError;
        return run.started && run.finished ? run.exitCode : 0xFFFFFFFF;
    }
    DWORD Install(const std::wstring& msi) { return Msiexec(L"/i " + QuoteArgument(msi)); }
    DWORD Uninstall(const std::wstring& msi) { return Msiexec(L"/x " + QuoteArgument(msi)); }

    void ExpectFiles(bool installed) {
        for (const wchar_t* file : kFiles) {
            EXPECT_EQ(FileExists(kFolder + file), installed) << Narrow(file);
        }
        if (!installed) {
            EXPECT_FALSE(FileExists(kFolder));
            EXPECT_FALSE(FileExists(L"C:\\Program Files\\Tarnwick"));
        }
    }
    // After an uninstallation: the files gone, the registry as it was before installing.
    void ExpectRemoved() {
        ExpectFiles(false);
        EXPECT_EQ(Changes(seeded, Snapshot()), std::vector<std::string>{});
    }

    Tree seeded;
};

TEST_F(Installer, InstallsWhatRegsvr32RegistersAndRemovesExactlyThat) {
    ASSERT_EQ(Install(kMsi), 0u);
    ExpectFiles(true);
    const std::vector<std::string> installed = Changes(seeded, Snapshot());
    ASSERT_EQ(Uninstall(kMsi), 0u);
    ExpectRemoved();

    // The same DLL in the same folder, registered by itself.
    ASSERT_TRUE(CreateDirectoryW(L"C:\\Program Files\\Tarnwick", nullptr));
    ASSERT_TRUE(CreateDirectoryW(kFolder.c_str(), nullptr));
    const std::wstring dll = kFolder + L"twShellExt_64.dll";
    ASSERT_TRUE(CopyFileTo(WindowsPath(TW_DIST_DIR "/twShellExt_64.dll"), dll));
    const ProcessResult registering = RunProcess(L"regsvr32 /s " + QuoteArgument(dll));
    ASSERT_EQ(registering.exitCode, 0u);
    const std::vector<std::string> registered = Changes(seeded, Snapshot());
    EXPECT_EQ(installed, registered);
    // What both wrote, for the reader of a failure: the class, its server, both handlers and the
    // Approved value.
    EXPECT_EQ(installed.size(), 10u);
    EXPECT_EQ(RunProcess(L"regsvr32 /s /u " + QuoteArgument(dll)).exitCode, 0u);
}

TEST_F(Installer, TheRuntimeMakesTheHandlerThroughTheInstalledEntries) {
    ASSERT_EQ(Install(kMsi), 0u);
    TempDir selection(L"Selection");
    const std::wstring file = selection.path() + L"Report 2024.txt";
    ASSERT_TRUE(WriteFileBytes(file, "x"));
    const std::wstring folder = selection.path() + L"Photos";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    // Explorer's part, in a process of its own so that the DLL is unloaded before it is removed.
    const ProcessResult menus =
        RunProcess(QuoteArgument(ExeDirectory() + L"twshellext_demo.exe") + L" entries " +
                   QuoteArgument(file) + L" " + QuoteArgument(folder));
    EXPECT_EQ(menus.exitCode, 0u) << menus.err;
    std::string entries;
    for (char c : menus.out) {
        entries += c == '\r' ? "" : std::string(1, c);
    }
    EXPECT_EQ(entries, Narrow(file) +
                           "\n"
                           "    command 1: \"Backup this file\" with its picture\n"
                           "    command 2: \"Restore this file\" with its picture\n" +
                           Narrow(folder) +
                           "\n"
                           "    command 1: \"Backup this folder\" with its picture\n"
                           "    command 2: \"Show available backups\" with its picture\n");
    ASSERT_EQ(Uninstall(kMsi), 0u);
    ExpectRemoved();
}

TEST_F(Installer, InstallingTwiceLeavesOneProductAndOneSetOfEntries) {
    ASSERT_EQ(Install(kMsi), 0u);
    const Tree once = Snapshot();
    EXPECT_EQ(Install(kMsi), 0u);
    EXPECT_EQ(Changes(once, Snapshot()), std::vector<std::string>{});
    EXPECT_EQ(InstalledProducts().size(), 1u);
    ExpectFiles(true);
    ASSERT_EQ(Uninstall(kMsi), 0u);
    ExpectRemoved();
    EXPECT_TRUE(InstalledProducts().empty());
}

TEST_F(Installer, AMajorUpgradeReplacesTheOlderBuildWhole) {
    ASSERT_EQ(Install(kMsi), 0u);
    const Tree fresh = Snapshot();
    ASSERT_EQ(Uninstall(kMsi), 0u);

    ASSERT_EQ(Install(kOlderMsi), 0u);
    const std::map<std::string, std::string> older = InstalledProducts();
    EXPECT_EQ(Versions(older), std::vector<std::string>{"2.0.0.0"});
    ASSERT_EQ(Install(kMsi), 0u);
    const std::map<std::string, std::string> upgraded = InstalledProducts();
    ASSERT_EQ(upgraded.size(), 1u);
    EXPECT_EQ(upgraded.count(older.begin()->first), 0u);
    EXPECT_EQ(Changes(fresh, Snapshot()), std::vector<std::string>{});
    ExpectFiles(true);
    // An older build does not go over a newer one (the installer's own 1603, not wine's 8 bits).
    EXPECT_EQ(Install(kOlderMsi), 1603u);
    EXPECT_EQ(InstalledProducts(), upgraded);
    // Nothing of the older build is left to keep the entries or the files.
    ASSERT_EQ(Uninstall(kMsi), 0u);
    ExpectRemoved();
}

// The Windows build as the installer reads it (CurrentBuildNumber, a REG_SZ), set for the life of
// the object and put back afterwards.
class WindowsBuild {
  public:
    explicit WindowsBuild(const std::wstring& build) {
        wchar_t value[64] = {};
        DWORD size = sizeof value - sizeof(wchar_t);
        had_ = RegGetValueW(HKEY_LOCAL_MACHINE, kKey, L"CurrentBuildNumber", RRF_RT_REG_SZ, nullptr,
                            value, &size) == ERROR_SUCCESS;
        old_ = value;
        Set(build);
    }
    ~WindowsBuild() {
        if (had_) {
            Set(old_);
        } else {
            RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kKey, L"CurrentBuildNumber");
        }
    }
    WindowsBuild(const WindowsBuild&) = delete;
    WindowsBuild& operator=(const WindowsBuild&) = delete;

  private:
    static constexpr const wchar_t* kKey = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
    void Set(const std::wstring& build) {
        EXPECT_EQ(
            RegSetKeyValueW(HKEY_LOCAL_MACHINE, kKey, L"CurrentBuildNumber", REG_SZ, build.c_str(),
                            static_cast<DWORD>((build.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
    }
    bool had_ = false;
    std::wstring old_;
};

// The recording twHelper.exe in the place of the system's Windows PowerShell, which the installer
// starts by its full path, for the life of the object: each start leaves a record beside it
// (shellext_wine_support.h), and it exits with `exitCode`. Wine's own powershell.exe (a stub) is
// put back afterwards.
class RecordingPowerShell {
  public:
    explicit RecordingPowerShell(int exitCode = 0) {
        wchar_t system[MAX_PATH];
        GetSystemDirectoryW(system, MAX_PATH);
        folder_ = std::wstring(system) + L"\\WindowsPowerShell\\v1.0\\";
        program_ = folder_ + L"powershell.exe";
        CreateDirectoryW((std::wstring(system) + L"\\WindowsPowerShell").c_str(), nullptr);
        CreateDirectoryW(folder_.c_str(), nullptr);
        kept_ = MoveFileW(program_.c_str(), (program_ + L".kept").c_str()) != FALSE;
        EXPECT_TRUE(CopyFileTo(ExeDirectory() + L"twHelper.exe", program_));
        SetExitCode(exitCode);
        RemoveRecords(folder_);
    }
    ~RecordingPowerShell() {
        RemoveRecords(folder_);
        DeleteFileW((folder_ + L"twHelper.exitcode").c_str());
        DeleteFileW(program_.c_str());
        if (kept_) {
            MoveFileW((program_ + L".kept").c_str(), program_.c_str());
        }
    }
    RecordingPowerShell(const RecordingPowerShell&) = delete;
    RecordingPowerShell& operator=(const RecordingPowerShell&) = delete;

    void SetExitCode(int exitCode) {
        DeleteFileW((folder_ + L"twHelper.exitcode").c_str());
        if (exitCode != 0) {
            EXPECT_TRUE(WriteFileBytes(folder_ + L"twHelper.exitcode", std::to_string(exitCode)));
        }
    }
    // The starts so far, each as its folder and its command line. The installer waits for the
    // program it starts, so every start has left its record when msiexec has ended.
    std::vector<std::pair<std::wstring, std::wstring>> Starts() const {
        std::vector<std::pair<std::wstring, std::wstring>> starts;
        for (const HelperRecord& record : WaitForRecords(folder_, 0)) {
            starts.emplace_back(record.currentDirectory, record.commandLine);
        }
        return starts;
    }
    void Forget() { RemoveRecords(folder_); }
    // The command line the installer gives: the program's full path, then `command` for -Command.
    std::wstring CommandLine(const std::wstring& command) const {
        return L"\"" + program_ +
               L"\" -NoProfile -NonInteractive -ExecutionPolicy Bypass -Command \"" + command +
               L"\"";
    }

  private:
    std::wstring folder_;
    std::wstring program_;
    bool kept_ = false;
};

// The commands, run in the install folder: PowerShell's $PWD is that folder.
const wchar_t kRegisterCommand[] =
    L"Add-AppxPackage -Path (Join-Path $PWD.ProviderPath twShellExt_64.msix) -ExternalLocation "
    L"$PWD.ProviderPath";
const wchar_t kRemoveCommand[] =
    L"Get-AppxPackage -Name Tarnwick.ShellExtension | Remove-AppxPackage";
// The folder as a started program sees its working directory.
const std::wstring kWorkingFolder = kFolder.substr(0, kFolder.size() - 1);

bool IsHandlerKeyChange(const std::string& change) {
    return change.find("\\shellex\\ContextMenuHandlers\\TarnwickShellExtension") !=
           std::string::npos;
}

// The build as the registry holds it, text: before Windows 11 ("7601" is Wine's; as text, "7601"
// and "9600" come after "22000" and "100000" before it; an empty value is an empty property), and
// from Windows 11 on.
TEST_F(Installer, TheWindowsBuildDecidesBetweenTheHandlerKeysAndThePackage) {
    if (!RunsUnderWine()) {
        GTEST_SKIP() << "replaces the system's powershell.exe: only under Wine";
    }
    wchar_t prefixBuild[64] = {};
    DWORD size = sizeof prefixBuild - sizeof(wchar_t);
    ASSERT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                           L"CurrentBuildNumber", RRF_RT_REG_SZ, nullptr, prefixBuild, &size),
              ERROR_SUCCESS);
    std::printf("the prefix's Windows build: %s\n", Narrow(prefixBuild).c_str());
    ASSERT_LT(std::wcstol(prefixBuild, nullptr, 10), 22000) << "the prefix is Windows 11";
    RecordingPowerShell powershell;
    std::vector<std::string> classic;
    const struct {
        const wchar_t* build;  // null: as the prefix has it
        bool windows11;
    } cases[] = {{nullptr, false}, {L"9600", false}, {L"19045", false}, {L"", false},
                 {L"22000", true}, {L"22631", true}, {L"100000", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.build == nullptr ? "the prefix's build" : Narrow(c.build));
        std::unique_ptr<WindowsBuild> build;
        if (c.build != nullptr) {
            build = std::make_unique<WindowsBuild>(c.build);
        }
        ASSERT_EQ(Install(kMsi), 0u);
        ExpectFiles(true);
        const std::vector<std::string> installed = Changes(seeded, Snapshot());
        if (c.build == nullptr) {
            classic = installed;
            // The classic entries: the class, its server, both handlers and the Approved value.
            EXPECT_EQ(installed.size(), 10u);
            EXPECT_EQ(std::count_if(installed.begin(), installed.end(), IsHandlerKeyChange), 4);
        }
        std::vector<std::string> expected = classic;
        if (c.windows11) {
            expected.erase(std::remove_if(expected.begin(), expected.end(), IsHandlerKeyChange),
                           expected.end());
        }
        EXPECT_EQ(installed, expected);
        using Starts = std::vector<std::pair<std::wstring, std::wstring>>;
        const std::pair<std::wstring, std::wstring> registering = {
            kWorkingFolder, powershell.CommandLine(kRegisterCommand)};
        const std::pair<std::wstring, std::wstring> removing = {
            kWorkingFolder, powershell.CommandLine(kRemoveCommand)};
        EXPECT_EQ(powershell.Starts(), c.windows11 ? Starts{registering} : Starts{});

        ASSERT_EQ(Uninstall(kMsi), 0u);
        ExpectRemoved();
        Starts starts = powershell.Starts();
        std::sort(starts.begin(), starts.end());
        Starts both = {registering, removing};
        std::sort(both.begin(), both.end());
        EXPECT_EQ(starts, c.windows11 ? both : Starts{});
        powershell.Forget();
    }
}

TEST_F(Installer, AFailedRegistrationFailsTheInstallationAndAFailedRemovalDoesNot) {
    if (!RunsUnderWine()) {
        GTEST_SKIP() << "replaces the system's powershell.exe: only under Wine";
    }
    RecordingPowerShell powershell(1);
    WindowsBuild build(L"22631");
    // (Windows Installer ends such an installation with 1603; Wine's with 1627.)
    EXPECT_NE(Install(kMsi), 0u);
    EXPECT_TRUE(InstalledProducts().empty());
    ExpectRemoved();

    powershell.SetExitCode(0);
    ASSERT_EQ(Install(kMsi), 0u);
    powershell.SetExitCode(1);
    EXPECT_EQ(Uninstall(kMsi), 0u);
    EXPECT_TRUE(InstalledProducts().empty());
    ExpectRemoved();
    // Each attempt started PowerShell: the failed registration, the registration, the removal.
    EXPECT_EQ(powershell.Starts().size(), 3u);
}

TEST_F(Installer, ARebuildOfTheSameVersionReplacesTheInstalledOne) {
    ASSERT_EQ(Install(kMsi), 0u);
    const std::map<std::string, std::string> installed = InstalledProducts();
    ASSERT_EQ(Versions(installed), std::vector<std::string>{TW_VERSION_TEXT});
    EXPECT_EQ(ListedPrograms(), 1);
    const Tree fresh = Snapshot();

    ASSERT_EQ(Install(kRebuildMsi), 0u);
    const std::map<std::string, std::string> rebuilt = InstalledProducts();
    EXPECT_EQ(Versions(rebuilt), std::vector<std::string>{TW_VERSION_TEXT});
    // The rebuild is another product, which took the place of the first.
    EXPECT_EQ(rebuilt.count(installed.begin()->first), 0u);
    EXPECT_EQ(ListedPrograms(), 1);
    EXPECT_EQ(Changes(fresh, Snapshot()), std::vector<std::string>{});
    ExpectFiles(true);

    ASSERT_EQ(Uninstall(kRebuildMsi), 0u);
    ExpectRemoved();
    EXPECT_TRUE(InstalledProducts().empty());
    EXPECT_EQ(ListedPrograms(), 0);
}

// The File table's Version column against the version that Windows Installer itself reads from
// each binary of dist/.
TEST(InstallerPackage, EachBinarysFileRowCarriesItsVersion) {
    // Each handle closed on every path.
    struct Handle {
        MSIHANDLE value = 0;
        ~Handle() {
            if (value != 0) {
                MsiCloseHandle(value);
            }
        }
    };
    Handle database, view;
    // MSIDBOPEN_READONLY is a null persist mode (the header spells it as a TCHAR pointer).
    ASSERT_EQ(MsiOpenDatabaseW(kMsi.c_str(), nullptr, &database.value), ERROR_SUCCESS);
    ASSERT_EQ(MsiDatabaseOpenViewW(database.value, L"SELECT `FileName`, `Version` FROM `File`",
                                   &view.value),
              ERROR_SUCCESS);
    ASSERT_EQ(MsiViewExecute(view.value, 0), ERROR_SUCCESS);
    std::map<std::wstring, std::wstring> rows;
    for (Handle record; MsiViewFetch(view.value, &record.value) == ERROR_SUCCESS;) {
        wchar_t name[256] = {}, version[64] = {};
        DWORD nameSize = 256, versionSize = 64;
        MsiRecordGetStringW(record.value, 1, name, &nameSize);
        MsiRecordGetStringW(record.value, 2, version, &versionSize);
        rows[name] = version;
        MsiCloseHandle(record.value);
        record.value = 0;
    }

    ASSERT_EQ(rows.size(), std::size(kFiles));
    // The package has no version resource: its File row stays unversioned.
    EXPECT_EQ(rows[L"twShellExt_64.msix"], L"");
    for (const wchar_t* file : {L"twVss_64.exe", L"twShellExt_64.dll", L"TwUninstall.exe"}) {
        const std::wstring path = WindowsPath(TW_DIST_DIR "/") + file;
        wchar_t version[64] = {};
        DWORD size = 64;
        ASSERT_EQ(MsiGetFileVersionW(path.c_str(), version, &size, nullptr, nullptr), ERROR_SUCCESS)
            << Narrow(file) << " has no version resource";
        EXPECT_EQ(rows[file], version) << Narrow(file);
        EXPECT_EQ(Narrow(version), TW_VERSION_TEXT) << Narrow(file);
    }
}

// The probe script's fragment (installer/test_msis.sh), installed, against the registrar's own
// registration of the script with the value the installer resolves its substitution to.
TEST_F(Installer, AFragmentInstallsWhatTheRegistrarWritesFromItsScript) {
    auto probe = [] {
        Tree tree;
        Dump(HKEY_CLASSES_ROOT, "TarnwickInstallerProbe", "HKCR\\TarnwickInstallerProbe", {},
             &tree);
        Dump(HKEY_LOCAL_MACHINE, "Software\\TarnwickInstallerProbe",
             "HKLM\\Software\\TarnwickInstallerProbe", {}, &tree);
        return tree;
    };
    const Tree before = probe();
    ASSERT_EQ(Install(kProbeMsi), 0u);
    const std::vector<std::string> installed = Changes(before, probe());
    ASSERT_EQ(Uninstall(kProbeMsi), 0u);
    // Back to where the installer started from.
    RegDeleteTreeA(HKEY_CLASSES_ROOT, "TarnwickInstallerProbe");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\TarnwickInstallerProbe");
    PlantSeeds();
    ASSERT_EQ(Changes(before, probe()), std::vector<std::string>{});

    const std::string script = ReadFileBytes(WindowsPath(TW_PROBE_SCRIPT));
    ASSERT_GT(script.size(), 100u);
    CRegObject registrar;
    ASSERT_EQ(registrar.AddSubstitution(u"MODULE", u"C:\\Program Files\\Probe\\probe.dll"), S_OK);
    ASSERT_EQ(registrar.RunScriptText(script.c_str(), true), S_OK);
    const std::vector<std::string> registered = Changes(before, probe());
    EXPECT_EQ(registrar.RunScriptText(script.c_str(), false), S_OK);
    RegDeleteTreeA(HKEY_CLASSES_ROOT, "TarnwickInstallerProbe");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\TarnwickInstallerProbe");

    EXPECT_EQ(installed, registered);
    EXPECT_GT(installed.size(), 25u);
}

}  // namespace
}  // namespace tw::test
