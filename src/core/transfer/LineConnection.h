#pragma once
// One line-oriented client connection to a mail server: a POSIX stream
// socket driven by poll(), IPv4 or IPv6, an optional read timeout, an abort
// that wakes any blocked call, and optional TLS through OpenSSL (implicit
// from the start, or switched on after STARTTLS/STLS).
//
// Every call is blocking and made from one thread; only the AbortSignal is
// touched from others. After any failure the connection is "broken": every
// further read and write fails at once without touching the socket.

#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvina {

class AbortSignal;

// One resolved address of a server.
struct SocketAddress {
    sockaddr_storage storage{};
    socklen_t length = 0;

    int Family() const { return storage.ss_family; }
    std::string ToString() const;  // "127.0.0.1:110", "[::1]:25"
};

// How a server's certificate is accepted.
struct TlsPolicy {
    // Name (or literal address) the certificate must carry.
    std::string host;
    // Pinned SHA-256 fingerprint of the server certificate, hex with or
    // without colons, any case. Non-empty: the chain is not verified, the
    // certificate must match this exactly instead (self-signed servers).
    std::string pinnedFingerprint;
};

class LineConnection {
public:
    // Longest line the reader keeps; the rest of a longer line is dropped
    // up to its line end (reported by LastLineCut()).
    static constexpr size_t kDefaultMaxLine = 4095;

    explicit LineConnection(const AbortSignal* abort = nullptr);
    ~LineConnection();
    LineConnection(const LineConnection&) = delete;
    LineConnection& operator=(const LineConnection&) = delete;

    // Resolves "host" (a name or literal IPv4/IPv6 address) to every
    // address of the result, in the resolver's order. Empty on failure.
    static std::vector<SocketAddress> Resolve(const std::string& host, uint16_t port);

    // Seconds without progress before a read, write or connect fails;
    // 0 waits forever (until abort).
    void SetTimeout(int seconds) { timeoutSeconds_ = seconds; }

    // Tries the addresses in order until one connects. Clears the broken
    // state of an earlier connection.
    bool Connect(const std::vector<SocketAddress>& addresses);

    // Takes over a socket that is already connected (a socket pair in
    // tests and fuzzing); it is closed with the connection.
    bool Adopt(int fd);

    // TLS handshake on the open connection. Any plain-text bytes already
    // received and buffered are discarded first, so nothing a server (or a
    // man in the middle) sent before the handshake is taken as a reply of
    // the protected session. On a failed verification the connection is
    // closed and LastError() names the certificate's fingerprint.
    bool StartTls(const TlsPolicy& policy);

    static constexpr size_t kNoLimit = static_cast<size_t>(-1);

    // Reads one line: the bytes up to a CR LF pair (without it) or up to a
    // NUL byte. A lone LF does not end a line. Lines longer than maxLine are
    // cut: the rest is read and dropped up to the line end. A line longer
    // than failAbove bytes is not read to its end: the read fails and the
    // connection is broken, so a line that never ends cannot hold the
    // session forever.
    std::optional<std::string> ReadLine(size_t maxLine = kDefaultMaxLine,
                                        size_t failAbove = kNoLimit);
    bool LastLineCut() const { return lastLineCut_; }
    // Bytes of the last line as the server sent it (cut bytes included,
    // the line end not).
    size_t LastLineLength() const { return lastLineLength_; }

    // Sends text + CR LF. With flush false the line waits in the write
    // buffer (message data), which is sent once it is large or at the next
    // flushed line / Flush(). Command lines go out at once.
    bool WriteLine(std::string_view text, bool flush = true);
    bool Flush();

    // Drops the bytes received but not yet read.
    void ResetReader();

    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    bool IsBroken() const { return broken_; }
    bool IsTls() const { return ssl_ != nullptr; }
    // Why the last call failed, for the transcript and messages.
    const std::string& LastError() const { return lastError_; }
    // SHA-256 of the server certificate, "AB:CD:..."; empty without TLS.
    const std::string& PeerFingerprint() const { return peerFingerprint_; }

    // Normalised form of a fingerprint for comparison: upper-case hex, no
    // separators. Empty when it is not 64 hex digits.
    static std::string NormaliseFingerprint(std::string_view text);

private:
    enum class Wait { Ready, Timeout, Aborted, Error };
    Wait WaitFor(short events);
    bool Fail(std::string message);
    std::nullopt_t FailLine(std::string message);
    bool Fill();
    bool SendRaw(const char* data, size_t size);
    bool Aborted() const;

    const AbortSignal* abort_;
    int fd_ = -1;
    int timeoutSeconds_ = 120;
    bool broken_ = false;
    bool lastLineCut_ = false;
    size_t lastLineLength_ = 0;
    std::string lastError_;
    std::string peerFingerprint_;

    // Receive buffer: bytes [readPos_, readEnd_) are not yet consumed.
    std::unique_ptr<char[]> readBuffer_;
    size_t readPos_ = 0;
    size_t readEnd_ = 0;
    std::string writeBuffer_;

    void* ssl_ = nullptr;  // SSL*
    void* ctx_ = nullptr;  // SSL_CTX*
};

}  // namespace corvina
