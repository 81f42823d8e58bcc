// The COM layer on its own, with classes of its own: what the creation functions do when a
// construction throws, the module lock held around a destruction, a class that refuses
// aggregation, and a module whose class-table lock could not be made. (The DLL's tests drive the
// same layer through its exports.)
#include <gtest/gtest.h>

#include "com_objects.h"
#include "fake_com_platform.h"
#include "fake_module.h"
#include "fake_outer_unknown.h"

namespace tw {

// A class for the generic wrappers: counts its objects, can be made to throw in its constructor,
// and records the module's lock count while it is being destroyed.
extern const CLSID CLSID_Probe;
const CLSID CLSID_Probe = {
    0x1E0B5C2A, 0x77D1, 0x4E8A, {0x9C, 0x10, 0x22, 0x33, 0x44, 0x55, 0x66, 1}};
// Any interface identifier the probe alone answers for.
const IID IID_IProbe = {0x1E0B5C2A, 0x77D1, 0x4E8A, {0x9C, 0x10, 0x22, 0x33, 0x44, 0x55, 0x66, 2}};

struct IProbe : IUnknown {};

class Probe : public CComObjectRootEx<CComSingleThreadModel>,
              public CComCoClass<Probe, &CLSID_Probe>,
              public IProbe {
  public:
    Probe() {
        if (throwInConstructor) {
            throw 42;
        }
        ++alive;
    }
    virtual ~Probe() {
        --alive;
        lockCountWhileDestroyed = serverModule->lockCount;
    }
    static HRESULT UpdateRegistration(bool) noexcept { return S_OK; }
    static const InterfaceEntry<Probe> interfaceMap[];

    static inline int alive = 0;
    static inline bool throwInConstructor = false;
    static inline LONG lockCountWhileDestroyed = -100;
};
const InterfaceEntry<Probe> Probe::interfaceMap[] = {
    {&IID_IProbe, &FaceOf<Probe, IProbe>},
    {nullptr, nullptr},
};

// The same for a class whose objects never live inside an aggregate (counted with the probes).
class SoloProbe : public CComObjectRootEx<CComSingleThreadModel>,
                  public CComCoClass<SoloProbe, &CLSID_Probe, Aggregation::Refused>,
                  public IProbe {
  public:
    SoloProbe() { ++Probe::alive; }
    virtual ~SoloProbe() { --Probe::alive; }
    static const InterfaceEntry<SoloProbe> interfaceMap[];
};
const InterfaceEntry<SoloProbe> SoloProbe::interfaceMap[] = {
    {&IID_IProbe, &FaceOf<SoloProbe, IProbe>},
    {nullptr, nullptr},
};

namespace {

class ComLayer : public ::testing::Test {
  protected:
    void TearDown() override {
        EXPECT_EQ(module.lockCount, 0);
        EXPECT_EQ(Probe::alive, 0);
    }
    FakeModule module;
};

TEST_F(ComLayer, ConstructionThatThrowsGivesOutOfMemoryAndFreesTheObject) {
    Probe::throwInConstructor = true;
    FakeOuterUnknown outer;
    void* result = reinterpret_cast<void*>(1);
    EXPECT_EQ(Probe::CreateInstance(nullptr, IID_IProbe, &result), E_OUTOFMEMORY);
    EXPECT_EQ(result, nullptr);
    EXPECT_EQ(Probe::CreateInstance(&outer, IID_IUnknown, &result), E_OUTOFMEMORY);
    EXPECT_EQ(result, nullptr);
    Probe::throwInConstructor = false;
    EXPECT_EQ(module.lockCount, 0);
}

TEST_F(ComLayer, DestructionHappensWhileTheModuleIsStillLocked) {
    void* made = nullptr;
    ASSERT_EQ(Probe::CreateInstance(nullptr, IID_IProbe, &made), S_OK);
    EXPECT_EQ(Probe::alive, 1);
    EXPECT_EQ(module.lockCount, 1);
    Probe::lockCountWhileDestroyed = -100;
    EXPECT_EQ(static_cast<IUnknown*>(made)->Release(), 0u);
    EXPECT_EQ(Probe::alive, 0);
    // The object's own lock is already given back; the one held around its destruction is not.
    EXPECT_EQ(Probe::lockCountWhileDestroyed, 1);
    EXPECT_EQ(module.lockCount, 0);

    FakeOuterUnknown outer;
    ASSERT_EQ(Probe::CreateInstance(&outer, IID_IUnknown, &made), S_OK);
    Probe::lockCountWhileDestroyed = -100;
    EXPECT_EQ(static_cast<IUnknown*>(made)->Release(), 0u);
    EXPECT_EQ(Probe::lockCountWhileDestroyed, 1);
    EXPECT_EQ(module.lockCount, 0);
}

TEST_F(ComLayer, AClassThatRefusesAggregationMakesNothingForAnOuterUnknown) {
    FakeOuterUnknown outer;
    void* made = nullptr;
    ASSERT_EQ(SoloProbe::CreateClassObject(&SoloProbe::CreateInstance, IID_IClassFactory, &made),
              S_OK);
    auto* factory = static_cast<IClassFactory*>(made);
    for (const IID* iid : {&IID_IUnknown, &IID_IProbe}) {
        void* result = reinterpret_cast<void*>(1);
        EXPECT_EQ(SoloProbe::CreateInstance(&outer, *iid, &result), CLASS_E_NOAGGREGATION);
        EXPECT_EQ(result, nullptr);
        result = reinterpret_cast<void*>(1);
        EXPECT_EQ(factory->CreateInstance(&outer, *iid, &result), CLASS_E_NOAGGREGATION);
        EXPECT_EQ(result, nullptr);
    }
    EXPECT_EQ(SoloProbe::CreateInstance(&outer, IID_IUnknown, nullptr), E_POINTER);
    EXPECT_EQ(Probe::alive, 0);
    EXPECT_EQ(module.lockCount, 0);
    EXPECT_EQ(outer.addRefs + outer.releases, 0);
    EXPECT_TRUE(outer.queried.empty());

    // Without an outer unknown it is made as any other.
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IProbe, &made), S_OK);
    EXPECT_EQ(Probe::alive, 1);
    EXPECT_EQ(static_cast<IUnknown*>(made)->Release(), 0u);
    factory->Release();
}

TEST_F(ComLayer, TheModuleServesTheClassObjectOfItsTable) {
    ClassEntry table[] = {Probe::Entry(), {nullptr, nullptr, nullptr, nullptr, nullptr}};
    module.classTable = table;
    void* factory = nullptr;
    ASSERT_EQ(module.GetClassObject(CLSID_Probe, IID_IClassFactory, &factory), S_OK);
    EXPECT_EQ(module.CanUnloadNow(), S_FALSE);
    void* made = nullptr;
    ASSERT_EQ(static_cast<IClassFactory*>(factory)->CreateInstance(nullptr, IID_IProbe, &made),
              S_OK);
    EXPECT_EQ(Probe::alive, 1);
    static_cast<IUnknown*>(made)->Release();
    static_cast<IUnknown*>(factory)->Release();
    EXPECT_EQ(module.CanUnloadNow(), S_OK);
    module.TerminateModule();
    EXPECT_EQ(table[0].classObject, nullptr);
    module.classTable = nullptr;
}

// When the class table's lock cannot be created, no class object is ever made and every request
// is refused, so the lock is never used uncreated.
TEST_F(ComLayer, ModuleWithoutClassTableLockRefusesEveryRequest) {
    static int creations = 0;
    struct CountingCreator {
        static HRESULT Create(CreateInstanceFunction, REFIID, void** result) noexcept {
            ++creations;
            *result = nullptr;
            return E_FAIL;
        }
    };
    ClassEntry table[] = {
        {&CLSID_Probe, &Probe::UpdateRegistration, &CountingCreator::Create, &Probe::CreateInstance,
         nullptr},
        {nullptr, nullptr, nullptr, nullptr, nullptr},
    };
    const int uncreatedUses = com::fake::UncreatedLockUses();
    {
        com::fake::FailLockCreations(1, ERROR_NOT_ENOUGH_MEMORY);
        FakeModule lockless(table);
        EXPECT_FALSE(lockless.classTableLockCreated);
        for (const CLSID* clsid : {&CLSID_Probe, &IID_IProbe}) {
            void* result = reinterpret_cast<void*>(1);
            EXPECT_EQ(lockless.GetClassObject(*clsid, IID_IClassFactory, &result), E_UNEXPECTED);
            EXPECT_EQ(result, nullptr);
        }
        EXPECT_EQ(lockless.CanUnloadNow(), S_OK);
        // This module is not the process's: the one made first keeps the process-wide reference.
        EXPECT_EQ(serverModule, &module);
    }
    EXPECT_EQ(creations, 0);
    EXPECT_EQ(table[0].classObject, nullptr);
    EXPECT_EQ(com::fake::UncreatedLockUses(), uncreatedUses);
}

}  // namespace
}  // namespace tw
