#pragma once
// A protocol client reading server bytes from a socket pair, for the fuzz
// targets of the whole-reply readers: the bytes are written in full and the
// writing end closed, so every read ends at the end of the input.
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "transfer/ProtocolClient.h"
#include "transfer/TransferState.h"

namespace corvina::fuzz {

// A connected socket whose peer already sent `data` and closed; -1 when
// the input does not fit the socket buffer.
inline int FeedSocket(const uint8_t* data, size_t size) {
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) {
        return -1;
    }
    int buffer = 1 << 20;
    setsockopt(fds[1], SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
    const char* p = reinterpret_cast<const char*>(data);
    size_t left = size;
    while (left > 0) {
        ssize_t n = write(fds[1], p, left);
        if (n <= 0) {
            close(fds[0]);
            close(fds[1]);
            return -1;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    close(fds[1]);
    return fds[0];
}

// A client (Pop3Client or SmtpClient) whose server already sent `data` and
// closed.
template <typename Client>
struct FedClient {
    FedClient(const uint8_t* data, size_t size) : fd(FeedSocket(data, size)) {
        if (fd >= 0) {
            client.Connection().SetTimeout(1);
            client.Connection().Adopt(fd);
        }
    }
    // False when the input does not fit the socket buffer.
    bool Ok() const { return fd >= 0; }

    TransferState state;
    ClientReport report{state};
    Client client{report};
    int fd = -1;
};

}  // namespace corvina::fuzz
