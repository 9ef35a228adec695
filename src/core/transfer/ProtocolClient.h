#pragma once
// What the POP3 and SMTP clients share: one connection to a mail server,
// read and written a line at a time, every line shown on the status line
// and kept in the transcript unless it is quiet. The clients know nothing
// of accounts, folders or messages; a job tells them where to connect and
// what to say.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "transfer/LineConnection.h"
#include "transfer/TransferState.h"

namespace corvina {

// A login: user name and password.
struct Credentials {
    std::string user;
    std::string password;
};

// Where a client connects: the resolved addresses, TLS from the start or
// not, the certificate checks, and how long a read may wait.
struct ServerEndpoint {
    std::vector<SocketAddress> addresses;
    bool implicitTls = false;
    TlsPolicy tls;
    int timeout = 120;  // seconds; 0 = wait forever
};

// What a client reports to whoever runs it: the shared flags and
// transcript, the status line, and why the last step failed (in the
// server's words where it said something).
struct ClientReport {
    explicit ClientReport(TransferState& s) : state(s) {}
    TransferState& state;
    std::function<void(std::string_view)> status;
    std::string lastError;
};

class ProtocolClient {
public:
    // Longest reply line kept; longer ones are cut.
    static constexpr size_t kLineMax = 4095;
    // Longest message data line kept (memory must stay bounded).
    static constexpr size_t kDataLineMax = 1 << 20;
    // What a server may send before the session is ended as broken: one
    // reply line, one whole multi-line reply, one line of message data.
    static constexpr size_t kReplyLineCap = 64 * 1024;
    static constexpr size_t kReplyCap = 64 * 1024;
    static constexpr size_t kDataLineCap = 64u << 20;

    explicit ProtocolClient(ClientReport& report);
    virtual ~ProtocolClient();
    ProtocolClient(const ProtocolClient&) = delete;
    ProtocolClient& operator=(const ProtocolClient&) = delete;

    bool IsOpen() const { return connection_.IsOpen(); }
    LineConnection& Connection() { return connection_; }
    const std::string& LastError() const { return report_.lastError; }

    // One reply line without CR LF; nullopt when the connection broke, timed
    // out or the user aborted. The view stays valid until the next read.
    std::optional<std::string_view> ReadReply();
    // One line of bulk data (up to kDataLineMax bytes), otherwise as
    // ReadReply.
    std::optional<std::string_view> ReadDataLine();
    // Sends text + CR LF; false on failure or abort. Data lines (flush
    // false) collect in the write buffer until the next flushed line.
    bool SendLine(std::string_view text, bool flush = true);
    bool SendFormat(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Ends the session after a protocol fault: the text becomes the error,
    // goes to the transcript and the status line, and the connection is
    // dropped without a goodbye (nothing more is said to such a server).
    void EndBroken(std::string error);
    // Drops the connection without a word.
    virtual void Disconnect();

protected:
    // Opens a connection (TLS from the start when the endpoint says so).
    // Clears the broken flag.
    bool Open(const ServerEndpoint& endpoint);
    // The TLS handshake after a STARTTLS/STLS go-ahead.
    bool StartTls();
    // Sends a line that holds a secret: the status line and the transcript
    // get `shown` instead.
    bool SendSecret(std::string_view text, std::string_view shown);
    // Keeps `error` as the reason of a failure, in the transcript too.
    void Fail(std::string error);
    void PostStatus(std::string_view text);

    TransferState& state_;
    ClientReport& report_;
    LineConnection connection_;

private:
    std::optional<std::string_view> ReadLimited(size_t keep, size_t cap);

    TlsPolicy tls_;
    std::string line_;
};

}  // namespace corvina
