// How a count is changed: plain arithmetic for objects used by one thread, atomic increments and
// decrements for what several threads share. Both return the new value.
#pragma once

#include "win_types.h"

namespace tw {

struct CComSingleThreadModel {
    static LONG Increment(LONG* value) noexcept { return ++*value; }
    static LONG Decrement(LONG* value) noexcept { return --*value; }
};
struct CComMultiThreadModel {
    static LONG Increment(LONG* value) noexcept {
        return __atomic_add_fetch(value, 1, __ATOMIC_SEQ_CST);
    }
    static LONG Decrement(LONG* value) noexcept {
        return __atomic_sub_fetch(value, 1, __ATOMIC_SEQ_CST);
    }
};

}  // namespace tw
