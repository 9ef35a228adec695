#pragma once
// State shared by the thread that runs transfers and the windows: the busy
// count, the command token, the flags and the progress counters, all
// atomic, plus the session transcript behind a lock. One object per
// program (or per test), handed to every MailSession.

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "transfer/AbortSignal.h"

namespace corvina {

struct TransferState {
    // Transfer operations running or being started; commands refuse to
    // start while it is nonzero unless the command token is set.
    std::atomic<int> busy{0};
    // Set by the window right before it hands a command over.
    std::atomic<bool> commandToken{false};
    std::atomic<bool> receiveAll{false};
    // While set, lines read or sent are neither shown nor kept in the
    // transcript (passwords, bulk listings, message data).
    std::atomic<bool> quiet{false};
    // The user's abort: reads and sends fail while it is raised.
    AbortSignal abort;
    // The connection failed; reads and sends fail at once until the next
    // connect.
    std::atomic<bool> broken{false};
    std::atomic<bool> storing{false};
    std::atomic<bool> reminderDue{false};

    // Progress of a receive, read by the window's progress panel.
    std::atomic<int> currentMessage{0};
    std::atomic<int> messageCount{0};
    std::atomic<long long> currentSize{0};
    std::atomic<long long> receivedBytes{0};

    void ZeroProgress() {
        currentMessage = 0;
        messageCount = 0;
        currentSize = 0;
        receivedBytes = 0;
    }

    // The transcript of the current connection; every line ends in LF.
    void ClearTranscript() {
        std::lock_guard lock(transcriptMutex_);
        transcript_.clear();
    }
    void AddTranscript(std::string_view lineWithLf) {
        std::lock_guard lock(transcriptMutex_);
        transcript_.emplace_back(lineWithLf);
    }
    std::vector<std::string> Transcript() const {
        std::lock_guard lock(transcriptMutex_);
        return transcript_;
    }

private:
    mutable std::mutex transcriptMutex_;
    std::vector<std::string> transcript_;
};

// The user's abort: raises the abort signal, which wakes every blocked read
// or send at once, waits until no transfer runs any more, then clears the
// signal again. False when the transfers did not end within `limit` (the
// signal then stays raised).
// `whileWaiting` runs between the looks at the busy count: a window thread
// passes its event pump, since the transfer may be waiting for it to store
// a message or answer a question before it can end.
bool AbortTransfers(TransferState& state, std::chrono::milliseconds limit,
                    const std::function<void()>& whileWaiting = {});

// Held by every transfer command for its whole run: refuses to start while
// another transfer runs (unless the window set the command token for this
// command), and lowers the busy count again on every way out.
class BusyGuard {
public:
    explicit BusyGuard(TransferState& state) : state_(state) {
        if (state_.busy.load() != 0 && !state_.commandToken.load()) {
            return;
        }
        state_.commandToken = false;
        ++state_.busy;
        entered_ = true;
    }
    ~BusyGuard() {
        if (entered_) {
            --state_.busy;
        }
    }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

    // False: another transfer runs; the command must do nothing.
    bool Entered() const { return entered_; }

private:
    TransferState& state_;
    bool entered_ = false;
};

// For a transfer called from inside another one (Deliver before Receive,
// SendOne from Deliver): the busy count is 0 for the inner call and
// restored afterwards.
class NestedBusy {
public:
    explicit NestedBusy(TransferState& state) : state_(state), saved_(state.busy.exchange(0)) {}
    ~NestedBusy() { state_.busy = saved_; }
    NestedBusy(const NestedBusy&) = delete;
    NestedBusy& operator=(const NestedBusy&) = delete;

private:
    TransferState& state_;
    int saved_;
};

}  // namespace corvina
