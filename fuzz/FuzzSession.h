#pragma once
// A MailSession reading server bytes from a socket pair, for the fuzz
// targets of the whole-reply readers: the bytes are written in full and the
// writing end closed, so every read ends at the end of the input.
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "transfer/MailSession.h"
#include "transfer/TransferHost.h"

namespace corvina::fuzz {

class SilentHost : public TransferHost {
public:
    const MailMessage* StoreMessage(std::string_view, std::unique_ptr<MailMessage>) override {
        return nullptr;
    }
    bool StoreMessageIn(const std::filesystem::path&, std::string_view,
                        std::unique_ptr<MailMessage>) override {
        return false;
    }
    std::optional<std::vector<std::string>> TakeOutBox(const std::filesystem::path&,
                                                       std::string&) override {
        return std::nullopt;
    }
    bool CommitOutBox(const std::filesystem::path&, const std::vector<std::string>&,
                      std::string&) override {
        return false;
    }
    int RecoverOutBox(const std::filesystem::path&, std::string&) override { return 0; }
    void ShowNotice(std::string_view) override {}
    bool SyncStore() override { return true; }
    void OutBoxRewritten(std::string_view) override {}
    void FirstNewMessage(std::string_view, const MailMessage*) override {}
    void ReceiveStored() override {}
    void ShowStatus(std::string_view) override {}
    void ShowError(int, std::string_view) override {}
    std::optional<Credentials> AskCredentials(const Credentials&) override { return {}; }
    void NoNewMail() override {}
};

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

// A mail session whose server already sent `data` and closed.
struct FedSession {
    FedSession(const uint8_t* data, size_t size) : fd(FeedSocket(data, size)) {
        if (fd >= 0) {
            session.Connection().SetTimeout(1);
            session.Connection().Adopt(fd);
        }
    }
    // False when the input does not fit the socket buffer.
    bool Ok() const { return fd >= 0; }

    TransferState state;
    SilentHost host;
    MailSession session{state, host};
    int fd = -1;
};

}  // namespace corvina::fuzz
