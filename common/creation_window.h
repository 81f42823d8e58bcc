// The moment inside a first-use creation after the creator has found nothing made and before it
// publishes what it made: the window in which a second creator would make a second object if the
// creation's lock were missing. The class object's first creation and the log object's pass
// through it.
//
// The Windows build does nothing there. The host build calls the hook a test has set, so that the
// test can hold a creator inside the window long enough for the other threads to reach it: with
// the lock they wait and find the object made, without it they make objects of their own.
#pragma once

namespace tw {

#ifdef _WIN32

inline void CreationWindow() noexcept {}

#else

void CreationWindow() noexcept;

// The function CreationWindow calls from now on; null for none (the default).
void SetCreationWindowHook(void (*hook)()) noexcept;

#endif

}  // namespace tw
