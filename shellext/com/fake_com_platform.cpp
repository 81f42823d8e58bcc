#include "fake_com_platform.h"

#include <atomic>
#include <cstdlib>

namespace tw::com {
namespace {

std::atomic<int> failingLockCreations{0};
std::atomic<DWORD> lockCreationError{0};
std::atomic<int> failingAllocations{0};
std::atomic<int> allocationsBeforeFailing{0};
std::atomic<int> failingTaskAllocations{0};
std::atomic<int> liveTaskAllocations{0};
std::atomic<int> uncreatedLockUses{0};
std::atomic<int> threadNotificationStops{0};

// Takes one from a positive count; true when it did.
bool TakeOne(std::atomic<int>& count) {
    int left = count.load();
    while (left > 0) {
        if (count.compare_exchange_weak(left, left - 1)) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool CriticalSection::Create(DWORD& error) noexcept {
    if (TakeOne(failingLockCreations)) {
        error = lockCreationError.load();
        return false;
    }
    created = true;
    return true;
}

void CriticalSection::Enter() noexcept {
    if (!created) {
        ++uncreatedLockUses;
        return;
    }
    section.lock();
}

void CriticalSection::Leave() noexcept {
    if (!created) {
        ++uncreatedLockUses;
        return;
    }
    section.unlock();
}

void CriticalSection::Delete() noexcept {
    if (!created) {
        ++uncreatedLockUses;
    }
    created = false;
}

void* AllocateObject(std::size_t size) noexcept {
    if (TakeOne(allocationsBeforeFailing)) {
        return std::malloc(size);
    }
    return TakeOne(failingAllocations) ? nullptr : std::malloc(size);
}

void FreeObject(void* memory) noexcept {
    std::free(memory);
}

void* AllocateTaskMemory(std::size_t size) noexcept {
    if (TakeOne(failingTaskAllocations)) {
        return nullptr;
    }
    void* memory = std::malloc(size);
    if (memory != nullptr) {
        ++liveTaskAllocations;
    }
    return memory;
}

void FreeTaskMemory(void* memory) noexcept {
    if (memory != nullptr) {
        --liveTaskAllocations;
        std::free(memory);
    }
}

void StopThreadNotifications(HINSTANCE) noexcept {
    ++threadNotificationStops;
}

HINSTANCE OwnModule() noexcept {
    // Any recognisable non-null value: nothing on the host loads from a module handle.
    return reinterpret_cast<HINSTANCE>(uintptr_t{0x180000000});
}

namespace fake {

void FailLockCreations(int count, DWORD error) {
    lockCreationError = error;
    failingLockCreations = count;
}

void FailAllocations(int count, int after) {
    allocationsBeforeFailing = after;
    failingAllocations = count;
}

void FailTaskAllocations(int count) {
    failingTaskAllocations = count;
}

int LiveTaskAllocations() {
    return liveTaskAllocations.load();
}

int UncreatedLockUses() {
    return uncreatedLockUses.load();
}

int ThreadNotificationStops() {
    return threadNotificationStops.load();
}

}  // namespace fake
}  // namespace tw::com
