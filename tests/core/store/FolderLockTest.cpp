// The folder lock: excludes other processes and other threads, lets the
// holding thread take it again, and treats folder names in another case
// as the same folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "TestSupport.h"
#include "store/FolderLock.h"

namespace corvina {
namespace {

using test::ScratchDir;

// Runs `body` in a child process that holds the lock of `mbx` until the
// parent closes the pipe; returns once the child holds it.
struct LockingChild {
    pid_t pid = -1;
    int release = -1;

    explicit LockingChild(const std::filesystem::path& mbx) {
        int ready[2], hold[2];
        EXPECT_EQ(::pipe(ready), 0);
        EXPECT_EQ(::pipe(hold), 0);
        pid = ::fork();
        if (pid == 0) {
            ::close(ready[0]);
            ::close(hold[1]);
            auto lock = FolderLock::Acquire(mbx);
            char c = lock ? 'y' : 'n';
            (void)!::write(ready[1], &c, 1);
            (void)!::read(hold[0], &c, 1);
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(hold[0]);
        char c = 0;
        EXPECT_EQ(::read(ready[0], &c, 1), 1);
        EXPECT_EQ(c, 'y');
        ::close(ready[0]);
        release = hold[1];
    }
    void Release() {
        if (release >= 0)
            ::close(release);
        release = -1;
        if (pid > 0)
            ::waitpid(pid, nullptr, 0);
        pid = -1;
    }
    ~LockingChild() { Release(); }
};

TEST(FolderLock, ExcludesOtherProcessesWhatEverTheCaseOfTheName) {
    ScratchDir dir;
    LockingChild child(dir / "Lists.mbx");

    for (const char* name : {"Lists.mbx", "lists.mbx", "LISTS.MBX"}) {
        bool busy = false;
        EXPECT_FALSE(FolderLock::TryAcquire(dir / name, &busy)) << name;
        EXPECT_TRUE(busy) << name;
    }
    // Another folder of the same directory is free.
    EXPECT_TRUE(FolderLock::TryAcquire(dir / "InBox.mbx"));

    child.Release();
    EXPECT_TRUE(FolderLock::TryAcquire(dir / "lists.mbx"));
}

TEST(FolderLock, WaitsForTheOtherProcessToRelease) {
    ScratchDir dir;
    LockingChild child(dir / "InBox.mbx");
    std::atomic<bool> got{false};
    std::thread waiter([&] {
        auto lock = FolderLock::Acquire(dir / "InBox.mbx");
        got = lock.has_value();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(got);
    child.Release();
    waiter.join();
    EXPECT_TRUE(got);
}

TEST(FolderLock, HolderMayTakeItAgainOtherThreadsWait) {
    ScratchDir dir;
    auto outer = FolderLock::Acquire(dir / "InBox.mbx");
    ASSERT_TRUE(outer);
    {
        auto inner = FolderLock::Acquire(dir / "inbox.mbx");
        ASSERT_TRUE(inner);
    }
    // Releasing the inner hold keeps the outer one: other threads still wait.
    bool busy = false;
    std::thread other([&] { EXPECT_FALSE(FolderLock::TryAcquire(dir / "InBox.mbx", &busy)); });
    other.join();
    EXPECT_TRUE(busy);

    // So does another process, even one forked by the holder.
    pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(FolderLock::TryAcquire(dir / "InBox.mbx") ? 1 : 0);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);

    outer->Release();
    std::thread after([&] { EXPECT_TRUE(FolderLock::TryAcquire(dir / "InBox.mbx")); });
    after.join();
}

TEST(FolderLock, LockFileIsPrivateAndErrorsAreReported) {
    ScratchDir dir;
    ASSERT_TRUE(FolderLock::Acquire(dir / "InBox.mbx"));
    struct stat st {};
    ASSERT_EQ(::stat((dir / FolderLock::kLockFileName).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    std::string error;
    EXPECT_FALSE(FolderLock::Acquire(dir / "missing" / "InBox.mbx", &error));
    EXPECT_NE(error.find("missing"), std::string::npos) << error;
}

}  // namespace
}  // namespace corvina
