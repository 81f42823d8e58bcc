// The DLL's entry point and exports over the COM layer, with the handler class: module lock counts
// after every creation and release path, the cached class object, LockServer, aggregation, and
// every failure row; and the Explorer command, served and counted beside it.
#include <gtest/gtest.h>

#include <vector>

#include "explorer_command.h"
#include "exports.h"
#include "fake_com_platform.h"
#include "fake_outer_unknown.h"
#include "fake_shell.h"
#include "simple_shl_ext.h"

namespace tw {

// A class identifier the DLL does not serve.
const CLSID CLSID_Other = {
    0x1E0B5C2A, 0x77D1, 0x4E8A, {0x9C, 0x10, 0x22, 0x33, 0x44, 0x55, 0x66, 3}};

namespace {

HINSTANCE const kInstance = reinterpret_cast<HINSTANCE>(uintptr_t{0x7FF800000000});

LONG LockCount() {
    return shellExtModule.lockCount;
}

class ServerTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(DllMain(kInstance, DLL_PROCESS_ATTACH, nullptr)); }
    void TearDown() override {
        EXPECT_TRUE(DllMain(kInstance, DLL_PROCESS_DETACH, nullptr));
        EXPECT_EQ(classEntries[0].classObject, nullptr);
        EXPECT_EQ(classEntries[1].classObject, nullptr);
        EXPECT_EQ(LockCount(), 0);
        EXPECT_EQ(shell.LiveBitmapCount(), 0);
        EXPECT_EQ(com::fake::UncreatedLockUses(), 0);
    }

    FakeShell shell;

    IClassFactory* ClassFactory() {
        void* result = nullptr;
        EXPECT_EQ(DllGetClassObject(CLSID_SimpleShlExt, IID_IClassFactory, &result), S_OK);
        return static_cast<IClassFactory*>(result);
    }
};

TEST_F(ServerTest, ClassObjectIsMadeOnceAndOutlivesItsCallers) {
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
    IClassFactory* first = ClassFactory();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(LockCount(), 1);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    IClassFactory* second = ClassFactory();
    EXPECT_EQ(second, first);
    // Any number of outside references hold one module lock together.
    EXPECT_EQ(LockCount(), 1);
    EXPECT_EQ(second->Release(), 2u);
    EXPECT_EQ(first->Release(), 1u);
    EXPECT_EQ(LockCount(), 0);
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
    // Still cached: the next request gets the same object.
    EXPECT_EQ(classEntries[0].classObject, static_cast<IUnknown*>(first));
    IClassFactory* third = ClassFactory();
    EXPECT_EQ(third, first);
    third->Release();

    void* unknown = nullptr;
    EXPECT_EQ(DllGetClassObject(CLSID_SimpleShlExt, IID_IUnknown, &unknown), S_OK);
    EXPECT_EQ(unknown, static_cast<IUnknown*>(first));
    static_cast<IUnknown*>(unknown)->Release();
}

TEST_F(ServerTest, GetClassObjectFailures) {
    void* result = reinterpret_cast<void*>(1);
    EXPECT_EQ(DllGetClassObject(CLSID_SimpleShlExt, IID_IShellExtInit, &result), E_NOINTERFACE);
    EXPECT_EQ(result, nullptr);
    // The class object stays cached.
    EXPECT_NE(classEntries[0].classObject, nullptr);
    EXPECT_EQ(LockCount(), 0);

    result = reinterpret_cast<void*>(1);
    EXPECT_EQ(DllGetClassObject(CLSID_Other, IID_IClassFactory, &result),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(result, nullptr);
    EXPECT_EQ(DllGetClassObject(CLSID_SimpleShlExt, IID_IClassFactory, nullptr), E_POINTER);
    EXPECT_EQ(LockCount(), 0);
}

TEST_F(ServerTest, ClassObjectCreationFailuresCacheNothing) {
    struct Case {
        const char* what;
        int allocations;
        int lockCreations;
        DWORD error;
        HRESULT result;
    };
    const Case cases[] = {
        {"no memory", 1, 0, 0, E_OUTOFMEMORY},
        {"lock not created", 0, 1, ERROR_NOT_ENOUGH_MEMORY, MakeHresult(0x80070008u)},
        {"lock not created, large error", 0, 1, 0x12345, MakeHresult(0x80072345u)},
    };
    for (const Case& c : cases) {
        com::fake::FailAllocations(c.allocations);
        com::fake::FailLockCreations(c.lockCreations, c.error);
        void* result = reinterpret_cast<void*>(1);
        EXPECT_EQ(DllGetClassObject(CLSID_SimpleShlExt, IID_IClassFactory, &result), c.result)
            << c.what;
        EXPECT_EQ(result, nullptr) << c.what;
        EXPECT_EQ(classEntries[0].classObject, nullptr) << c.what;
        EXPECT_EQ(LockCount(), 0) << c.what;
        // The next request tries again.
        IClassFactory* factory = ClassFactory();
        ASSERT_NE(factory, nullptr) << c.what;
        factory->Release();
        DllMain(kInstance, DLL_PROCESS_DETACH, nullptr);
        DllMain(kInstance, DLL_PROCESS_ATTACH, nullptr);
    }
    // A failed lock creation without a reason converts to success: the class object is made, and
    // its lock, never created, is never deleted (the fixture checks).
    com::fake::FailLockCreations(1, 0);
    IClassFactory* factory = ClassFactory();
    ASSERT_NE(factory, nullptr);
    factory->Release();
}

TEST_F(ServerTest, LockServerIsCountedWithoutABalanceCheck) {
    IClassFactory* factory = ClassFactory();
    factory->Release();
    ASSERT_EQ(LockCount(), 0);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
    // FALSE first: the count goes below zero, which also keeps the DLL.
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(LockCount(), -1);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

TEST_F(ServerTest, PlainHandlerHasOneIdentityAndHoldsOneModuleLock) {
    IClassFactory* factory = ClassFactory();
    factory->Release();
    void* made = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IContextMenu, &made), S_OK);
    auto* menu = static_cast<IContextMenu*>(made);
    EXPECT_EQ(LockCount(), 1);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    EXPECT_EQ(menu->AddRef(), 2u);
    EXPECT_EQ(menu->Release(), 1u);

    void* init = nullptr;
    ASSERT_EQ(menu->QueryInterface(IID_IShellExtInit, &init), S_OK);
    void* identityFromMenu = nullptr;
    void* identityFromInit = nullptr;
    ASSERT_EQ(menu->QueryInterface(IID_IUnknown, &identityFromMenu), S_OK);
    ASSERT_EQ(static_cast<IShellExtInit*>(init)->QueryInterface(IID_IUnknown, &identityFromInit),
              S_OK);
    EXPECT_EQ(identityFromMenu, identityFromInit);
    EXPECT_EQ(identityFromMenu, init);
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(menu->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(menu->QueryInterface(IID_IContextMenu, nullptr), E_POINTER);
    EXPECT_EQ(static_cast<IUnknown*>(identityFromMenu)->Release(), 3u);
    EXPECT_EQ(static_cast<IUnknown*>(identityFromInit)->Release(), 2u);
    EXPECT_EQ(static_cast<IShellExtInit*>(init)->Release(), 1u);
    EXPECT_EQ(LockCount(), 1);
    EXPECT_EQ(menu->Release(), 0u);
    EXPECT_EQ(LockCount(), 0);
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

TEST_F(ServerTest, HandlerCreationFailuresLeaveTheLockCountUnchanged) {
    IClassFactory* factory = ClassFactory();
    factory->Release();
    struct Case {
        const char* what;
        IUnknown* outer;
        const IID* iid;
        int failingAllocations;
        HRESULT result;
    };
    FakeOuterUnknown outer;
    const Case cases[] = {
        {"interface not offered", nullptr, &IID_IClassFactory, 0, E_NOINTERFACE},
        {"no memory", nullptr, &IID_IShellExtInit, 1, E_OUTOFMEMORY},
        {"no memory, aggregated", &outer, &IID_IUnknown, 1, E_OUTOFMEMORY},
        {"aggregated for another interface", &outer, &IID_IShellExtInit, 0, CLASS_E_NOAGGREGATION},
        {"aggregated for the class object's interface", &outer, &IID_IClassFactory, 0,
         CLASS_E_NOAGGREGATION},
    };
    for (const Case& c : cases) {
        com::fake::FailAllocations(c.failingAllocations);
        void* result = reinterpret_cast<void*>(1);
        EXPECT_EQ(factory->CreateInstance(c.outer, *c.iid, &result), c.result) << c.what;
        EXPECT_EQ(result, nullptr) << c.what;
        EXPECT_EQ(LockCount(), 0) << c.what;
        EXPECT_EQ(shell.LiveBitmapCount(), 0) << c.what;
    }
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IShellExtInit, nullptr), E_POINTER);
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IUnknown, nullptr), E_POINTER);
    EXPECT_EQ(outer.addRefs + outer.releases, 0);
    EXPECT_EQ(LockCount(), 0);
}

TEST_F(ServerTest, AggregatedHandlerForwardsToTheOuterUnknown) {
    IClassFactory* factory = ClassFactory();
    factory->Release();
    FakeOuterUnknown outer;
    void* made = nullptr;
    ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, &made), S_OK);
    auto* inner = static_cast<IUnknown*>(made);
    EXPECT_EQ(LockCount(), 1);
    // The recorded outer unknown is not referenced.
    EXPECT_EQ(outer.addRefs, 0);
    // The inner unknown counts itself: it was handed out with count 1.
    EXPECT_EQ(inner->AddRef(), 2u);
    EXPECT_EQ(inner->Release(), 1u);

    void* face = nullptr;
    ASSERT_EQ(inner->QueryInterface(IID_IContextMenu, &face), S_OK);
    auto* menu = static_cast<IContextMenu*>(face);
    EXPECT_EQ(outer.addRefs, 1);  // the reference taken through the face went to the outer
    EXPECT_EQ(menu->AddRef(), 2u);
    EXPECT_EQ(menu->Release(), 1u);
    EXPECT_EQ(outer.addRefs, 2);
    EXPECT_EQ(outer.releases, 1);

    // QueryInterface through a face asks the outer unknown, so identity is the aggregate's.
    void* identity = nullptr;
    ASSERT_EQ(menu->QueryInterface(IID_IUnknown, &identity), S_OK);
    EXPECT_EQ(identity, static_cast<IUnknown*>(&outer));
    void* other = nullptr;
    EXPECT_EQ(menu->QueryInterface(IID_IShellExtInit, &other), E_NOINTERFACE);
    ASSERT_EQ(outer.queried.size(), 2u);
    EXPECT_TRUE(IsEqualGUID(outer.queried[0], IID_IUnknown));
    EXPECT_TRUE(IsEqualGUID(outer.queried[1], IID_IShellExtInit));

    // The inner unknown answers IUnknown with itself, on its own count.
    void* self = nullptr;
    ASSERT_EQ(inner->QueryInterface(IID_IUnknown, &self), S_OK);
    EXPECT_EQ(self, static_cast<void*>(inner));
    EXPECT_EQ(inner->Release(), 1u);
    void* init = nullptr;
    ASSERT_EQ(inner->QueryInterface(IID_IShellExtInit, &init), S_OK);
    const int releases = outer.releases;
    static_cast<IShellExtInit*>(init)->Release();
    EXPECT_EQ(outer.releases, releases + 1);
    EXPECT_EQ(inner->QueryInterface(IID_IShellExtInit, nullptr), E_POINTER);

    // The contained handler works through its faces.
    FakeMenu items;
    EXPECT_EQ(menu->QueryContextMenu(items.handle(), 0, 1, 4, 0), 3);
    EXPECT_EQ(items.items.size(), 4u);

    menu->Release();
    EXPECT_EQ(LockCount(), 1);
    EXPECT_EQ(inner->Release(), 0u);
    EXPECT_EQ(LockCount(), 0);
}

// The Explorer command has a class object of its own, which refuses aggregation; every command
// object, the enumerator and the subcommands included, keeps the DLL loaded while it lives.
TEST_F(ServerTest, TheExplorerCommandIsServedAndCountedBesideTheHandler) {
    IClassFactory* handlers = ClassFactory();
    void* made = nullptr;
    ASSERT_EQ(DllGetClassObject(CLSID_ExplorerCommand, IID_IClassFactory, &made), S_OK);
    auto* factory = static_cast<IClassFactory*>(made);
    EXPECT_NE(static_cast<void*>(factory), static_cast<void*>(handlers));
    EXPECT_EQ(classEntries[1].classObject, static_cast<IUnknown*>(factory));
    handlers->Release();
    EXPECT_EQ(LockCount(), 1);

    FakeOuterUnknown outer;
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(&outer, IID_IUnknown, &none), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IContextMenu, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IExplorerCommand, &made), S_OK);
    auto* root = static_cast<IExplorerCommand*>(made);
    factory->Release();
    EXPECT_EQ(LockCount(), 1);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);

    IEnumExplorerCommand* enumerator = nullptr;
    ASSERT_EQ(root->EnumSubCommands(&enumerator), S_OK);
    EXPECT_EQ(root->Release(), 1u);  // the enumerator holds the root
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    IExplorerCommand* subcommand = nullptr;
    ASSERT_EQ(enumerator->Next(1, &subcommand, nullptr), S_OK);
    EXPECT_EQ(enumerator->Release(), 0u);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    EXPECT_EQ(subcommand->Release(), 0u);
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

TEST_F(ServerTest, EntryPointKeepsTheModuleHandleAndReleasesTheClassObjectAtDetach) {
    const int stops = com::fake::ThreadNotificationStops();
    const HINSTANCE other = reinterpret_cast<HINSTANCE>(uintptr_t{0x10000});
    EXPECT_TRUE(DllMain(other, DLL_PROCESS_ATTACH, nullptr));
    EXPECT_EQ(shellExtModule.dllInstance, other);
    EXPECT_EQ(com::fake::ThreadNotificationStops(), stops + 1);
    for (DWORD reason : {DLL_THREAD_ATTACH, DLL_THREAD_DETACH, DWORD{77}}) {
        EXPECT_TRUE(DllMain(kInstance, reason, nullptr));
        EXPECT_EQ(shellExtModule.dllInstance, kInstance);
    }

    // A class object still referenced outside survives the detach and goes with its last release.
    IClassFactory* factory = ClassFactory();
    EXPECT_TRUE(DllMain(kInstance, DLL_PROCESS_DETACH, nullptr));
    EXPECT_EQ(classEntries[0].classObject, nullptr);
    EXPECT_EQ(LockCount(), 0);
    void* made = nullptr;
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IShellExtInit, &made), S_OK);
    EXPECT_EQ(LockCount(), 1);
    static_cast<IUnknown*>(made)->Release();
    EXPECT_EQ(factory->Release(), 0u);
    EXPECT_TRUE(DllMain(kInstance, DLL_PROCESS_ATTACH, nullptr));
}

}  // namespace
}  // namespace tw
