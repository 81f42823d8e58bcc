// The diagnostic log object: exactly one per process however many threads reach it first, and no
// file ever written.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "creation_window.h"
#include "log_file.h"

namespace tw {
namespace {

// Declared first in the only file of this test program, so that these threads make the first
// calls of the process. The first creator is held inside the creation for 50 ms, long enough for
// the others to reach it: only the creation's lock keeps them from making objects of their own.
TEST(CLogFile, ThreadsRacingForTheFirstUseGetOneObject) {
    SetCreationWindowHook([] { std::this_thread::sleep_for(std::chrono::milliseconds(50)); });
    constexpr int kThreads = 16;
    std::atomic<bool> go{false};
    std::vector<CLogFile*> seen(kThreads, nullptr);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            while (!go.load()) {
            }
            seen[i] = CLogFile::Instance();
        });
    }
    go = true;
    for (std::thread& t : threads) {
        t.join();
    }
    SetCreationWindowHook(nullptr);
    ASSERT_NE(seen[0], nullptr);
    for (CLogFile* log : seen) {
        EXPECT_EQ(log, seen[0]);
    }
    EXPECT_EQ(CLogFile::Instance(), seen[0]);
}

TEST(CLogFile, DiscardsEveryMessageAndCreatesNoFile) {
    CLogFile* log = CLogFile::Instance();
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(log->FileName(), "___tarnlog.txt");
    EXPECT_EQ(log->Stream(), nullptr);
    for (const std::string& message :
         {std::string(), std::string("Interface Initialize"), std::string(100000, 'm')}) {
        log->Log(message);
    }
    struct stat info;
    EXPECT_NE(stat("___tarnlog.txt", &info), 0);
}

}  // namespace
}  // namespace tw
