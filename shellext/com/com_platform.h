// The few platform facilities the COM bookkeeping rests on: a critical section whose creation can
// fail, the memory of COM objects and the task memory of out parameters, the module's own image,
// and the entry point's
// thread-notification switch. The Windows build implements them with Win32 (com_platform_win.cpp);
// the host build with the standard library and failure injection for tests (fake_com_platform.h).
//
// These are primitives, picked by the build like the standard library's own, rather than a seam
// handed to the code: a critical section is a value embedded in the objects that use it.
#pragma once

#include <cstddef>

#ifndef _WIN32
#include <mutex>
#endif

#include "com_types.h"

namespace tw::com {

class CriticalSection {
  public:
    CriticalSection() = default;
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    // InitializeCriticalSectionAndSpinCount with spin count 0. On failure returns false and puts
    // the Win32 error into `error` (which may be 0 when the platform gave no reason). Only a
    // created section may be entered, left or deleted.
    bool Create(DWORD& error) noexcept;
    void Enter() noexcept;
    void Leave() noexcept;
    void Delete() noexcept;

  private:
#ifdef _WIN32
    CRITICAL_SECTION section;
#else
    std::mutex section;
    bool created = false;
#endif
};

// Memory for COM objects (the objects' own operator new and delete): null when none is left.
void* AllocateObject(std::size_t size) noexcept;
void FreeObject(void* memory) noexcept;

// The COM runtime's task memory (CoTaskMemAlloc, CoTaskMemFree): what a method hands its caller
// through an out parameter, and what the caller frees of what another object handed it. Null when
// none is left; freeing null does nothing.
void* AllocateTaskMemory(std::size_t size) noexcept;
void FreeTaskMemory(void* memory) noexcept;

// DisableThreadLibraryCalls: the entry point gets no thread notifications from now on.
void StopThreadNotifications(HINSTANCE module) noexcept;

// The handle of the module this code is linked into: its image base, known from load.
HINSTANCE OwnModule() noexcept;

}  // namespace tw::com
