// Self-registration of the real twShellExt_64.dll under Wine, installed in a folder whose path has
// spaces and a single quote: the real regsvr32 registers and unregisters it, the entries are read
// back from the registry with their exact types and data, a COM client creates the handler through
// them as Explorer would, and the uninstall helper placed beside the DLL unregisters it.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "shellext_wine_support.h"
#include "winsupport.h"

namespace tw::test {
namespace {

const char* const kApprovedKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
const char* const kClsid = "{9F264B80-12D4-4C4C-9158-7A1A1803FB58}";
const std::string kClassKey = std::string("CLSID\\") + kClsid;
const std::string kFileHandlerKey = "*\\shellex\\ContextMenuHandlers\\TarnwickShellExtension";
const std::string kFolderHandlerKey =
    "Directory\\shellex\\ContextMenuHandlers\\TarnwickShellExtension";
// The keys marked NoRemove in the script: registration creates them when missing, and
// unregistration keeps them.
const char* const kKeptKeys[] = {
    "CLSID",
    "*",
    "*\\shellex",
    "*\\shellex\\ContextMenuHandlers",
    "Directory",
    "Directory\\shellex",
    "Directory\\shellex\\ContextMenuHandlers",
};

// One registry value as RegQueryValueExA gives it.
struct Value {
    DWORD type = REG_NONE;
    std::string data;
    bool operator==(const Value& o) const { return type == o.type && data == o.data; }
};

Value Sz(const std::string& text) {
    return {REG_SZ, text + '\0'};
}

void PrintTo(const Value& value, std::ostream* out) {
    *out << "type " << value.type << " [" << value.data << "] (" << value.data.size() << " bytes)";
}

class Key {
  public:
    Key(HKEY root, const std::string& path, REGSAM access = KEY_READ) {
        if (RegOpenKeyExA(root, path.c_str(), 0, access, &key_) != ERROR_SUCCESS) {
            key_ = nullptr;
        }
    }
    ~Key() {
        if (key_ != nullptr) {
            RegCloseKey(key_);
        }
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    bool exists() const { return key_ != nullptr; }
    HKEY get() const { return key_; }

    // Every value by name ("" for the default value).
    std::map<std::string, Value> Values() const {
        std::map<std::string, Value> values;
        for (DWORD i = 0; key_ != nullptr; ++i) {
            char name[16384];
            DWORD nameSize = sizeof(name);
            DWORD type = 0;
            BYTE data[4096];
            DWORD dataSize = sizeof(data);
            if (RegEnumValueA(key_, i, name, &nameSize, nullptr, &type, data, &dataSize) !=
                ERROR_SUCCESS) {
                break;
            }
            values[std::string(name, nameSize)] = {
                type, std::string(reinterpret_cast<char*>(data), dataSize)};
        }
        return values;
    }
    std::set<std::string> Subkeys() const {
        std::set<std::string> names;
        for (DWORD i = 0; key_ != nullptr; ++i) {
            char name[256];
            DWORD nameSize = sizeof(name);
            if (RegEnumKeyExA(key_, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS) {
                break;
            }
            names.insert(std::string(name, nameSize));
        }
        return names;
    }

  private:
    HKEY key_ = nullptr;
};

bool KeyExists(const std::string& path) {
    return Key(HKEY_CLASSES_ROOT, path).exists();
}

// Everything below `path` of HKEY_CLASSES_ROOT: each key's path, and its values.
void DumpTree(HKEY root, const std::string& path, std::map<std::string, std::string>* dump) {
    Key key(root, path);
    if (!key.exists()) {
        return;
    }
    std::string values;
    for (const auto& [name, value] : key.Values()) {
        values += name + '=' + std::to_string(value.type) + ':' + value.data + '\n';
    }
    (*dump)[path] = values;
    for (const std::string& subkey : key.Subkeys()) {
        DumpTree(root, path.empty() ? subkey : path + '\\' + subkey, dump);
    }
}

std::map<std::string, std::string> ClassesRoot() {
    std::map<std::string, std::string> dump;
    DumpTree(HKEY_CLASSES_ROOT, "", &dump);
    return dump;
}

std::map<std::string, Value> ApprovedValues() {
    return Key(HKEY_LOCAL_MACHINE, kApprovedKey).Values();
}

// Runs the system's regsvr32 and returns its exit code (or a note that it did not run).
DWORD Regsvr32(const std::wstring& arguments) {
    const ProcessResult run = RunProcess(L"regsvr32 " + arguments);
    EXPECT_TRUE(run.started);
    EXPECT_TRUE(run.finished);
    return run.started && run.finished ? run.exitCode : 0xFFFFFFFF;
}

// The texts of the menu that a handler made through the COM runtime puts up for the item at
// `path`.
std::vector<std::string> MenuTextsFromTheRegistry(const std::wstring& path) {
    Ref<IContextMenu> menu;
    EXPECT_EQ(RegisteredHandlerFor(path, reinterpret_cast<IContextMenu**>(menu.out())), S_OK);
    return menu.get() == nullptr ? std::vector<std::string>() : MenuTexts(menu.get());
}

class Registration : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        ASSERT_FALSE(root.path().empty());
        install = root.path() + L"Tarnwick App\\";
        ASSERT_TRUE(CreateDirectoryW(install.c_str(), nullptr));
        dll = install + L"twShellExt_64.dll";
        ASSERT_TRUE(CopyFileTo(ExeDirectory() + L"twShellExt_64.dll", dll));
        ASSERT_NE(dll.find(L"'"), std::wstring::npos);
        ASSERT_NE(dll.find(L" "), std::wstring::npos);
        ASSERT_TRUE(Key(HKEY_LOCAL_MACHINE, kApprovedKey).exists());
        ASSERT_FALSE(KeyExists(kClassKey));
    }
    void TearDown() override {
        // Whatever a test left: no registration, the Approved key back.
        RegDeleteTreeA(HKEY_CLASSES_ROOT, kClassKey.c_str());
        RegDeleteTreeA(HKEY_CLASSES_ROOT, kFileHandlerKey.c_str());
        RegDeleteTreeA(HKEY_CLASSES_ROOT, kFolderHandlerKey.c_str());
        HKEY approved = nullptr;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kApprovedKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &approved, nullptr) == ERROR_SUCCESS) {
            RegDeleteValueA(approved, kClsid);
            RegCloseKey(approved);
        }
        CoFreeUnusedLibrariesEx(0, 0);
        CoUninitialize();
    }

    std::wstring Quoted() const { return QuoteArgument(dll); }

    void ExpectRegistered() {
        const std::map<std::string, Value> approved = ApprovedValues();
        ASSERT_EQ(approved.count(kClsid), 1u);
        EXPECT_EQ(approved.at(kClsid), Sz("Tarnwick Shell Extension"));

        Key classKey(HKEY_CLASSES_ROOT, kClassKey);
        EXPECT_EQ(classKey.Values(),
                  (std::map<std::string, Value>{{"", Sz("TarnwickShellExtension Class")}}));
        EXPECT_EQ(classKey.Subkeys(), std::set<std::string>{"InprocServer32"});
        Key server(HKEY_CLASSES_ROOT, kClassKey + "\\InprocServer32");
        // The path exactly as on disk, single quote and spaces included, without quotes.
        EXPECT_EQ(server.Values(), (std::map<std::string, Value>{
                                       {"", Sz(Narrow(dll))},
                                       {"ThreadingModel", Sz("Apartment")},
                                   }));
        EXPECT_TRUE(server.Subkeys().empty());
        for (const std::string& handler : {kFileHandlerKey, kFolderHandlerKey}) {
            Key key(HKEY_CLASSES_ROOT, handler);
            EXPECT_EQ(key.Values(), (std::map<std::string, Value>{{"", Sz(kClsid)}})) << handler;
            EXPECT_TRUE(key.Subkeys().empty()) << handler;
        }
    }

    void ExpectUnregistered() {
        EXPECT_EQ(ApprovedValues().count(kClsid), 0u);
        EXPECT_TRUE(Key(HKEY_LOCAL_MACHINE, kApprovedKey).exists());
        EXPECT_FALSE(KeyExists(kClassKey));
        EXPECT_FALSE(KeyExists(kFileHandlerKey));
        EXPECT_FALSE(KeyExists(kFolderHandlerKey));
        for (const char* kept : kKeptKeys) {
            EXPECT_TRUE(KeyExists(kept)) << kept;
        }
        Ref<IUnknown> none;
        EXPECT_EQ(CoCreateInstance(kHandlerClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                   none.out()),
                  REGDB_E_CLASSNOTREG);
    }

    // Runs the uninstall helper at `helper` and waits for the regsvr32 it starts, which runs on
    // its own after the helper has ended, to have unregistered everything.
    void RunUninstallHelper(const std::wstring& helper) {
        const ProcessResult run = RunProcess(QuoteArgument(helper));
        ASSERT_TRUE(run.started);
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.exitCode, 0u);
        const ULONGLONG deadline = GetTickCount64() + 60000;
        while ((KeyExists(kClassKey) || ApprovedValues().count(kClsid) != 0) &&
               GetTickCount64() < deadline) {
            Sleep(100);
        }
        ExpectUnregistered();
        Sleep(500);  // let regsvr32 unload the DLL before the folder is removed
    }

    TempDir root{L"Client's Data"};
    TempDir selection{L"Selection"};
    std::wstring install, dll;
};

TEST_F(Registration, Regsvr32RegistersEveryEntryOnceAndExplorersWayOfLoadingWorks) {
    ASSERT_EQ(Regsvr32(L"/s " + Quoted()), 0u);
    ExpectRegistered();
    ASSERT_EQ(Regsvr32(L"/s " + Quoted()), 0u);
    ExpectRegistered();

    const std::wstring file = selection.path() + L"Report 2024.txt";
    ASSERT_TRUE(WriteFileBytes(file, "x"));
    const std::wstring folder = selection.path() + L"Photo Folder";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    EXPECT_EQ(MenuTextsFromTheRegistry(file), kFileEntries);
    // The runtime loaded the registered copy.
    EXPECT_NE(GetModuleHandleW(dll.c_str()), nullptr);
    EXPECT_EQ(MenuTextsFromTheRegistry(folder), kFolderEntries);
}

TEST_F(Registration, Regsvr32UnregistersAndKeepsTheSharedKeys) {
    ASSERT_EQ(Regsvr32(L"/s " + Quoted()), 0u);
    // Values another program added do not keep a key.
    for (const std::string& path : {kClassKey + "\\InprocServer32", kFileHandlerKey}) {
        Key key(HKEY_CLASSES_ROOT, path, KEY_SET_VALUE);
        ASSERT_TRUE(key.exists());
        ASSERT_EQ(RegSetValueExA(key.get(), "OtherProduct", 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>("x"), 2),
                  ERROR_SUCCESS);
    }
    EXPECT_EQ(Regsvr32(L"/s /u " + Quoted()), 0u);
    ExpectUnregistered();
    // Unregistering again succeeds.
    EXPECT_EQ(Regsvr32(L"/s /u " + Quoted()), 0u);
    ExpectUnregistered();
}

TEST_F(Registration, UnregisteringWithOnlyTheApprovedValueMissingRemovesTheRest) {
    ASSERT_EQ(Regsvr32(L"/s " + Quoted()), 0u);
    {
        Key approved(HKEY_LOCAL_MACHINE, kApprovedKey, KEY_SET_VALUE);
        ASSERT_EQ(RegDeleteValueA(approved.get(), kClsid), ERROR_SUCCESS);
    }
    EXPECT_EQ(Regsvr32(L"/s /u " + Quoted()), 0u);
    ExpectUnregistered();
}

TEST_F(Registration, WithoutTheApprovedKeyRegisteringFailsAndWritesNothing) {
    ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, kApprovedKey), ERROR_SUCCESS);
    const std::map<std::string, std::string> before = ClassesRoot();
    ASSERT_GT(before.size(), 100u);
    {
        LoadedServer server(dll);
        ASSERT_NE(server.module, nullptr);
        const auto registerServer = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
            reinterpret_cast<void*>(GetProcAddress(server.module, "DllRegisterServer")));
        ASSERT_NE(registerServer, nullptr);
        EXPECT_EQ(registerServer(), E_ACCESSDENIED);
    }
    // regsvr32 reports the failure of the DLL's function with its exit code.
    EXPECT_EQ(Regsvr32(L"/s " + Quoted()), 5u);
    EXPECT_TRUE(ClassesRoot() == before);
    EXPECT_FALSE(Key(HKEY_LOCAL_MACHINE, kApprovedKey).exists());
}

TEST_F(Registration, UninstallHelperBesideTheDllUnregistersItThroughRegsvr32) {
    ASSERT_EQ(Regsvr32(L"/s " + Quoted()), 0u);
    ExpectRegistered();
    const std::wstring helper = install + L"TwUninstall.exe";
    ASSERT_TRUE(CopyFileTo(ExeDirectory() + L"TwUninstall_64test.exe", helper));
    RunUninstallHelper(helper);
}

// The long form of an existing path (its short 8.3 names resolved), for comparing paths that name
// the same file.
std::wstring LongForm(const std::wstring& path) {
    return LongPathForm(path);
}

// The default value of the class's InprocServer32 key, read in UTF-16.
std::wstring RegisteredServerPath() {
    HKEY server = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, Widen(kClassKey + "\\InprocServer32").c_str(), 0, KEY_READ,
                      &server) != ERROR_SUCCESS) {
        return L"(no key)";
    }
    wchar_t registered[2048] = {};
    DWORD size = sizeof(registered) - sizeof(wchar_t);
    DWORD type = 0;
    const LONG error = RegQueryValueExW(server, nullptr, nullptr, &type,
                                        reinterpret_cast<BYTE*>(registered), &size);
    RegCloseKey(server);
    return error == ERROR_SUCCESS && type == REG_SZ ? std::wstring(registered) : L"(no value)";
}

// Loads the DLL at `dll` and calls its export `name` (DllRegisterServer or DllUnregisterServer) on
// this thread; E_FAIL when the DLL cannot be loaded from there.
HRESULT CallRegistrationExport(const std::wstring& dll, const char* name) {
    LoadedServer server(dll);
    if (server.module == nullptr) {
        return E_FAIL;
    }
    const auto function = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(server.module, name)));
    return function != nullptr ? function() : E_FAIL;
}

// The product installed in a folder whose name code page 1252 cannot represent: the registry script
// is 8-bit text, so registration names the DLL by its short form, and everything works from there.
TEST_F(Registration, InAFolderTheCodePageCannotRepresentEverythingWorks) {
    ASSERT_EQ(GetACP(), 1252u);
    TempDir programs(L"\u041F\u0440\u043E\u0433\u0440\u0430\u043C\u043C\u044B");  // Программы
    const std::wstring folder = programs.path() + L"Tarnwick \u5DE5\u5177\\";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring unusualDll = folder + L"twShellExt_64.dll";
    ASSERT_TRUE(CopyFileTo(ExeDirectory() + L"twShellExt_64.dll", unusualDll));
    ASSERT_TRUE(CopyFileTo(ExeDirectory() + L"twHelper.exe", folder + L"twHelper.exe"));
    ASSERT_TRUE(
        CopyFileTo(ExeDirectory() + L"TwUninstall_64test.exe", folder + L"TwUninstall.exe"));

    ASSERT_EQ(Regsvr32(L"/s " + QuoteArgument(unusualDll)), 0u);
    EXPECT_EQ(ApprovedValues().count(kClsid), 1u);
    // InprocServer32 names a path that resolves to this very DLL.
    const std::wstring registered = RegisteredServerPath();
    EXPECT_NE(registered, unusualDll);
    EXPECT_EQ(LongForm(registered), unusualDll) << Narrow(registered);

    // Explorer's way of loading it gives the menus, and the helper beside it is started there.
    const std::wstring file = selection.path() + L"\u041E\u0442\u0447\u0451\u0442.txt";
    ASSERT_TRUE(WriteFileBytes(file, "x"));
    const std::wstring photos = selection.path() + L"\u5199\u771F";
    ASSERT_TRUE(CreateDirectoryW(photos.c_str(), nullptr));
    EXPECT_EQ(MenuTextsFromTheRegistry(file), kFileEntries);
    EXPECT_EQ(MenuTextsFromTheRegistry(photos), kFolderEntries);
    {
        Ref<IContextMenu> menu;
        ASSERT_EQ(RegisteredHandlerFor(file, reinterpret_cast<IContextMenu**>(menu.out())), S_OK);
        CMINVOKECOMMANDINFO info = {};
        info.cbSize = sizeof(info);
        info.lpVerb = MAKEINTRESOURCEA(1);
        EXPECT_EQ(menu->InvokeCommand(&info), S_OK);
    }
    const std::vector<HelperRecord> records = WaitForRecords(folder, 1);
    ASSERT_EQ(records.size(), 1u);
    // Its current directory, its own path (the command line's first token) and the parameters.
    const std::wstring& commandLine = records[0].commandLine;
    EXPECT_EQ(LongForm(records[0].currentDirectory) + L"\\", folder);
    const std::wstring parameters = L" /createbackupjob " + file;
    ASSERT_GT(commandLine.size(), parameters.size());
    EXPECT_EQ(commandLine.substr(commandLine.size() - parameters.size()), parameters);
    // The helper's path, quoted when it holds spaces, then the space before the parameters.
    std::wstring helper = commandLine.substr(0, commandLine.size() - parameters.size());
    ASSERT_EQ(helper.back(), L' ') << Narrow(commandLine);
    helper.pop_back();
    if (helper.size() >= 2 && helper.front() == L'"' && helper.back() == L'"') {
        helper = helper.substr(1, helper.size() - 2);
    }
    EXPECT_EQ(LongForm(helper), folder + L"twHelper.exe") << Narrow(helper);

    // The uninstall helper placed beside it has regsvr32 unregister everything.
    RunUninstallHelper(folder + L"TwUninstall.exe");
    CoFreeUnusedLibrariesEx(0, 0);
}

// The registry decodes the script's bytes in the system's ANSI code page (1252 here), whatever the
// thread's locale: registering on a thread whose locale is Japanese, from a folder named in
// Japanese, names the DLL by the short form 1252 carries, not by the folder's Japanese bytes.
TEST_F(Registration, OnAThreadWithAJapaneseLocaleTheSystemsCodePageNamesTheDll) {
    ASSERT_EQ(GetACP(), 1252u);
    TempDir japanese(L"\u30C6\u30B9\u30C8 \u30D5\u30A9\u30EB\u30C0");  // テスト フォルダ
    ASSERT_FALSE(japanese.path().empty());
    const std::wstring japaneseDll = japanese.path() + L"twShellExt_64.dll";
    ASSERT_TRUE(CopyFileTo(ExeDirectory() + L"twShellExt_64.dll", japaneseDll));
    {
        ThreadLocale locale(0x411);
        ASSERT_TRUE(locale.set());
        // The thread's ANSI code page is 932 now, which carries the folder's name.
        char narrow[1024] = {};
        BOOL lossy = FALSE;
        ASSERT_GT(WideCharToMultiByte(CP_THREAD_ACP, 0, japaneseDll.c_str(), -1, narrow,
                                      sizeof(narrow), nullptr, &lossy),
                  0);
        ASSERT_FALSE(lossy);
        EXPECT_EQ(CallRegistrationExport(japaneseDll, "DllRegisterServer"), S_OK);
    }
    const std::wstring registered = RegisteredServerPath();
    EXPECT_LT(registered.size(), japaneseDll.size()) << Narrow(registered);
    EXPECT_EQ(LongForm(registered), japaneseDll) << Narrow(registered);
    const std::wstring file = selection.path() + L"\u30EC\u30DD\u30FC\u30C8.txt";
    ASSERT_TRUE(WriteFileBytes(file, "x"));
    EXPECT_EQ(MenuTextsFromTheRegistry(file), kFileEntries);
    CoFreeUnusedLibrariesEx(0, 0);
    {
        ThreadLocale locale(0x411);
        ASSERT_TRUE(locale.set());
        EXPECT_EQ(CallRegistrationExport(japaneseDll, "DllUnregisterServer"), S_OK);
    }
    ExpectUnregistered();
}

// Windows loads a module, and so the COM runtime an in-process server, only by a path below
// MAX_PATH (Wine loads longer ones). A DLL whose path is longer is registered by its short form,
// and refused with 0x8007007A, writing no class entries, when no form of it is that short (8.3
// names have no shorter one).
TEST_F(Registration, ADllBeyondMaxPathIsRegisteredByItsShortForm) {
    for (const bool hasShortForm : {true, false}) {
        SCOPED_TRACE(hasShortForm ? "long names" : "8.3 names");
        FolderOfLength folder(260, hasShortForm);
        const std::wstring& deep = folder.path();
        ASSERT_EQ(deep.size(), 260u);
        const std::wstring deepDll = deep + L"twShellExt_64.dll";
        ASSERT_TRUE(CopyFileTo(ExeDirectory() + L"twShellExt_64.dll", deepDll));
        {
            LoadedServer loadable(deepDll);
            if (loadable.module == nullptr && !RunsUnderWine()) {
                GTEST_SKIP() << "this machine loads no module beyond MAX_PATH, so nothing "
                                "registers from there";
            }
        }
        if (!hasShortForm) {
            const std::map<std::string, std::string> before = ClassesRoot();
            EXPECT_EQ(CallRegistrationExport(deepDll, "DllRegisterServer"),
                      HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
            EXPECT_FALSE(KeyExists(kClassKey));
            EXPECT_TRUE(ClassesRoot() == before);
            continue;
        }
        ASSERT_EQ(Regsvr32(L"/s " + QuoteArgument(deepDll)), 0u);
        const std::wstring registered = RegisteredServerPath();
        EXPECT_LT(registered.size(), static_cast<size_t>(MAX_PATH)) << Narrow(registered);
        EXPECT_EQ(LongForm(registered), deepDll) << Narrow(registered);
        const std::wstring file = selection.path() + L"Report.txt";
        ASSERT_TRUE(WriteFileBytes(file, "x"));
        EXPECT_EQ(MenuTextsFromTheRegistry(file), kFileEntries);
        CoFreeUnusedLibrariesEx(0, 0);
        EXPECT_EQ(Regsvr32(L"/s /u " + QuoteArgument(deepDll)), 0u);
        ExpectUnregistered();
    }
}

}  // namespace
}  // namespace tw::test
