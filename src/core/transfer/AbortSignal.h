#pragma once
// The user's abort of a running transfer: a flag that every read and send
// checks, and an eventfd that wakes a call blocked in poll() at once, from
// any thread.

#include <atomic>

namespace corvina {

class AbortSignal {
public:
    AbortSignal();
    ~AbortSignal();
    AbortSignal(const AbortSignal&) = delete;
    AbortSignal& operator=(const AbortSignal&) = delete;

    // Safe from any thread.
    void Raise();
    void Clear();
    bool IsRaised() const { return raised_.load(std::memory_order_acquire); }

    // Readable while raised; poll() it beside the socket.
    int Fd() const { return fd_; }

private:
    std::atomic<bool> raised_{false};
    int fd_ = -1;
};

}  // namespace corvina
