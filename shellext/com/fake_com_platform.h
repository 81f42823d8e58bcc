// The host build's COM platform facilities (fake_com_platform.cpp), and their failure injection
// and checks for tests.
#pragma once

#include "com_platform.h"

namespace tw::com::fake {

// The next `count` critical-section creations fail with `error`.
void FailLockCreations(int count, DWORD error);
// The next `count` object allocations give null.
void FailAllocations(int count);
// How often a critical section was entered, left or deleted without having been created.
int UncreatedLockUses();
// How often StopThreadNotifications was called.
int ThreadNotificationStops();

}  // namespace tw::com::fake
