#include "creation_window.h"

#include <atomic>

namespace tw {
namespace {

std::atomic<void (*)()> creationWindowHook{nullptr};

}  // namespace

void CreationWindow() noexcept {
    if (void (*hook)() = creationWindowHook.load()) {
        hook();
    }
}

void SetCreationWindowHook(void (*hook)()) noexcept {
    creationWindowHook.store(hook);
}

}  // namespace tw
