// POP3 server bytes: split into lines by the connection's reader (cut
// lines, NUL bytes, lone LFs) and every line through the reply parsers.
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "transfer/LineConnection.h"
#include "transfer/ReplyParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace corvina;
    if (size > 65536) {
        return 0;
    }
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) {
        return 0;
    }
    int buffer = 1 << 20;
    setsockopt(fds[1], SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
    const char* p = reinterpret_cast<const char*>(data);
    size_t left = size;
    while (left > 0) {
        ssize_t n = write(fds[1], p, left);
        if (n <= 0) {
            break;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    close(fds[1]);
    LineConnection connection;
    connection.SetTimeout(1);
    connection.Adopt(fds[0]);
    const size_t limit = size % 2 ? LineConnection::kDefaultMaxLine : 16;
    while (auto line = connection.ReadLine(limit)) {
        if (line->size() > limit) {
            __builtin_trap();
        }
        std::string_view l = *line;
        PopNegative(l);
        ParseStatCount(l);
        if (auto entry = ParseListLine(l); entry && entry->number <= 0) {
            __builtin_trap();
        }
        if (auto uid = ParseUidlLine(l); uid && uid->size() >= l.size()) {
            __builtin_trap();
        }
        if (auto v = HeaderValue(l, "Message-Id:"); v && v->size() > l.size()) {
            __builtin_trap();
        }
    }
    if (!connection.IsBroken()) {
        __builtin_trap();  // the stream ended: the reader must say so
    }
    return 0;
}
