// Many threads ask for the class object at the same moment and make and release handler objects,
// plain and aggregated: exactly one class object is made, and the lock count ends at 0. The first
// creator of each round is held inside the creation for 10 ms, long enough for the others to reach
// it: only the class table's lock keeps them from making class objects of their own.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "creation_window.h"
#include "exports.h"
#include "fake_outer_unknown.h"
#include "fake_shell.h"
#include "simple_shl_ext.h"

namespace tw {
namespace {

std::atomic<int> classObjectsMade{0};

// The class table's own creation function, counted.
HRESULT CountedCreateClassObject(CreateInstanceFunction creator, REFIID iid,
                                 void** result) noexcept {
    ++classObjectsMade;
    return CSimpleShlExt::CreateClassObject(creator, iid, result);
}

TEST(ServerUnderLoad, ManyThreadsMakeOneClassObjectAndEndWithNoLock) {
    constexpr int kThreads = 8;
    constexpr int kRounds = 25;
    constexpr int kObjectsPerThread = 40;
    FakeShell shell;
    ClassEntry table[] = {
        {&CLSID_SimpleShlExt, &CSimpleShlExt::UpdateRegistration, &CountedCreateClassObject,
         &CSimpleShlExt::CreateInstance, nullptr},
        {nullptr, nullptr, nullptr, nullptr, nullptr},
    };
    const HINSTANCE instance = reinterpret_cast<HINSTANCE>(uintptr_t{0x7FF800000000});
    SetCreationWindowHook([] { std::this_thread::sleep_for(std::chrono::milliseconds(10)); });
    for (int round = 0; round < kRounds; ++round) {
        ASSERT_TRUE(DllMain(instance, DLL_PROCESS_ATTACH, nullptr));
        shellExtModule.classTable = table;
        classObjectsMade = 0;
        std::atomic<int> ready{0};
        std::atomic<bool> go{false};
        std::atomic<int> failures{0};
        std::vector<void*> factories(kThreads, nullptr);
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                ++ready;
                while (!go.load()) {
                }
                void* result = nullptr;
                if (DllGetClassObject(CLSID_SimpleShlExt, IID_IClassFactory, &result) != S_OK) {
                    ++failures;
                    return;
                }
                factories[t] = result;
                auto* factory = static_cast<IClassFactory*>(result);
                FakeOuterUnknown outer;
                for (int i = 0; i < kObjectsPerThread; ++i) {
                    void* made = nullptr;
                    const bool aggregated = i % 3 == 0;
                    const HRESULT hr =
                        aggregated ? factory->CreateInstance(&outer, IID_IUnknown, &made)
                                   : factory->CreateInstance(nullptr, IID_IContextMenu, &made);
                    if (hr != S_OK || DllCanUnloadNow() != S_FALSE) {
                        ++failures;
                    }
                    if (made != nullptr) {
                        static_cast<IUnknown*>(made)->Release();
                    }
                    // Another request on the way, released at once.
                    void* again = nullptr;
                    if (DllGetClassObject(CLSID_SimpleShlExt, IID_IUnknown, &again) != S_OK ||
                        again != result) {
                        ++failures;
                    }
                    if (again != nullptr) {
                        static_cast<IUnknown*>(again)->Release();
                    }
                }
                // The recorded outer unknown is never referenced or asked.
                if (outer.addRefs != 0 || outer.releases != 0 || !outer.queried.empty()) {
                    ++failures;
                }
                factory->Release();
            });
        }
        while (ready.load() < kThreads) {
        }
        go = true;
        for (std::thread& t : threads) {
            t.join();
        }
        EXPECT_EQ(failures.load(), 0) << "round " << round;
        EXPECT_EQ(classObjectsMade.load(), 1) << "round " << round;
        for (void* factory : factories) {
            EXPECT_EQ(factory, static_cast<void*>(table[0].classObject)) << "round " << round;
        }
        EXPECT_EQ(shellExtModule.lockCount, 0) << "round " << round;
        EXPECT_EQ(DllCanUnloadNow(), S_OK) << "round " << round;
        EXPECT_EQ(shell.LiveBitmapCount(), 0) << "round " << round;
        ASSERT_TRUE(DllMain(instance, DLL_PROCESS_DETACH, nullptr));
        EXPECT_EQ(table[0].classObject, nullptr);
        shellExtModule.classTable = nullptr;
    }
    SetCreationWindowHook(nullptr);
}

}  // namespace
}  // namespace tw
