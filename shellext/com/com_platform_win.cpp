#include "com_platform.h"

#include <cstdlib>

// The linker's symbol for the start of this module's own image: its module handle.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace tw::com {

bool CriticalSection::Create(DWORD& error) noexcept {
    if (InitializeCriticalSectionAndSpinCount(&section, 0)) {
        return true;
    }
    error = GetLastError();
    return false;
}

void CriticalSection::Enter() noexcept {
    EnterCriticalSection(&section);
}

void CriticalSection::Leave() noexcept {
    LeaveCriticalSection(&section);
}

void CriticalSection::Delete() noexcept {
    DeleteCriticalSection(&section);
}

void* AllocateObject(std::size_t size) noexcept {
    return std::malloc(size);
}

void FreeObject(void* memory) noexcept {
    std::free(memory);
}

void* AllocateTaskMemory(std::size_t size) noexcept {
    return CoTaskMemAlloc(size);
}

void FreeTaskMemory(void* memory) noexcept {
    CoTaskMemFree(memory);
}

void StopThreadNotifications(HINSTANCE module) noexcept {
    DisableThreadLibraryCalls(module);
}

HINSTANCE OwnModule() noexcept {
    return reinterpret_cast<HINSTANCE>(&__ImageBase);
}

}  // namespace tw::com
