#include "log_file.h"

#include <atomic>
#include <mutex>
#include <new>

#include "creation_window.h"

namespace tw {

CLogFile::CLogFile() : fileName("___tarnlog.txt") {}

CLogFile* CLogFile::Instance() noexcept {
    // Double-checked creation: after the first use, a plain acquire load; the first users meet at
    // the mutex, and the first of them to hold it creates the object.
    static std::atomic<CLogFile*> instance{nullptr};
    static std::mutex creation;
    CLogFile* log = instance.load(std::memory_order_acquire);
    if (log != nullptr) {
        return log;
    }
    try {
        std::lock_guard<std::mutex> guard(creation);
        log = instance.load(std::memory_order_relaxed);
        if (log == nullptr) {
            CreationWindow();
            log = new CLogFile();
            instance.store(log, std::memory_order_release);
        }
        return log;
    } catch (...) {
        // Out of memory (or the mutex failed): no log object this time.
        return nullptr;
    }
}

}  // namespace tw
