// The host build's COM platform facilities (fake_com_platform.cpp), and their failure injection
// and checks for tests.
#pragma once

#include "com_platform.h"

namespace tw::com::fake {

// The next `count` critical-section creations fail with `error`.
void FailLockCreations(int count, DWORD error);
// The next `count` object allocations give null, after the first `after` of them succeed.
void FailAllocations(int count, int after = 0);
// The next `count` task-memory allocations give null.
void FailTaskAllocations(int count);
// Task-memory blocks allocated and not yet freed.
int LiveTaskAllocations();
// How often a critical section was entered, left or deleted without having been created.
int UncreatedLockUses();
// How often StopThreadNotifications was called.
int ThreadNotificationStops();

}  // namespace tw::com::fake
