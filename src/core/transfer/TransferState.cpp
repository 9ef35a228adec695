#include "transfer/TransferState.h"

#include <thread>

namespace corvina {

bool AbortTransfers(TransferState& state, std::chrono::milliseconds limit,
                    const std::function<void()>& whileWaiting) {
    state.abort.Raise();
    auto end = std::chrono::steady_clock::now() + limit;
    while (state.busy.load() != 0) {
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        if (whileWaiting) {
            whileWaiting();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    state.abort.Clear();
    return true;
}

}  // namespace corvina
