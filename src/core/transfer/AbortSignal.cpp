#include "transfer/AbortSignal.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace corvina {

AbortSignal::AbortSignal() {
    fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

AbortSignal::~AbortSignal() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

void AbortSignal::Raise() {
    raised_.store(true, std::memory_order_release);
    if (fd_ >= 0) {
        uint64_t one = 1;
        [[maybe_unused]] ssize_t n = write(fd_, &one, sizeof one);
    }
}

void AbortSignal::Clear() {
    raised_.store(false, std::memory_order_release);
    if (fd_ >= 0) {
        uint64_t value = 0;
        [[maybe_unused]] ssize_t n = read(fd_, &value, sizeof value);
    }
}

}  // namespace corvina
