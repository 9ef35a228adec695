#include "transfer/LineConnection.h"

#include "transfer/AbortSignal.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace corvina {

namespace {

constexpr size_t kReadBufferSize = 16384;
// Message data waits in the write buffer until this much has collected, so
// one message travels as a few large TLS records instead of one per line.
constexpr size_t kWriteFlushSize = 32768;

SSL* AsSsl(void* p) {
    return static_cast<SSL*>(p);
}

std::string OpenSslError() {
    unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0) {
        return {};
    }
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return text;
}

std::string HexFingerprint(const unsigned char* digest, unsigned int length) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned int i = 0; i < length; ++i) {
        if (i) {
            out += ':';
        }
        out += kHex[digest[i] >> 4];
        out += kHex[digest[i] & 15];
    }
    return out;
}

// A socket BIO that sends with MSG_NOSIGNAL: OpenSSL's own writes with
// write(), and a server that closed first would kill the program with
// SIGPIPE.
int BioWrite(BIO* bio, const char* data, int size) {
    BIO_clear_retry_flags(bio);
    ssize_t n = send(static_cast<int>(reinterpret_cast<intptr_t>(BIO_get_data(bio))), data,
                     static_cast<size_t>(size), MSG_NOSIGNAL);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
        BIO_set_retry_write(bio);
    }
    return static_cast<int>(n);
}

int BioRead(BIO* bio, char* data, int size) {
    BIO_clear_retry_flags(bio);
    ssize_t n = recv(static_cast<int>(reinterpret_cast<intptr_t>(BIO_get_data(bio))), data,
                     static_cast<size_t>(size), 0);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
        BIO_set_retry_read(bio);
    }
    return static_cast<int>(n);
}

long BioCtrl(BIO*, int command, long, void*) {
    return command == BIO_CTRL_FLUSH ? 1 : 0;
}

int BioCreate(BIO* bio) {
    BIO_set_init(bio, 1);
    return 1;
}

BIO_METHOD* SocketMethod() {
    static BIO_METHOD* method = [] {
        BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "corvina socket");
        BIO_meth_set_write(m, BioWrite);
        BIO_meth_set_read(m, BioRead);
        BIO_meth_set_ctrl(m, BioCtrl);
        BIO_meth_set_create(m, BioCreate);
        return m;
    }();
    return method;
}

bool IsLiteralAddress(const std::string& host) {
    in6_addr a6;
    in_addr a4;
    return inet_pton(AF_INET, host.c_str(), &a4) == 1 ||
           inet_pton(AF_INET6, host.c_str(), &a6) == 1;
}

}  // namespace

std::string SocketAddress::ToString() const {
    char text[INET6_ADDRSTRLEN] = "";
    if (storage.ss_family == AF_INET) {
        const auto* a = reinterpret_cast<const sockaddr_in*>(&storage);
        inet_ntop(AF_INET, &a->sin_addr, text, sizeof text);
        return std::string(text) + ":" + std::to_string(ntohs(a->sin_port));
    }
    if (storage.ss_family == AF_INET6) {
        const auto* a = reinterpret_cast<const sockaddr_in6*>(&storage);
        inet_ntop(AF_INET6, &a->sin6_addr, text, sizeof text);
        return "[" + std::string(text) + "]:" + std::to_string(ntohs(a->sin6_port));
    }
    return "?";
}

LineConnection::LineConnection(const AbortSignal* abort)
    : abort_(abort), readBuffer_(new char[kReadBufferSize]) {}

LineConnection::~LineConnection() {
    Close();
}

std::vector<SocketAddress> LineConnection::Resolve(const std::string& host, uint16_t port) {
    std::vector<SocketAddress> result;
    if (host.empty()) {
        return result;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* list = nullptr;
    std::string service = std::to_string(port);
    if (getaddrinfo(host.c_str(), service.c_str(), &hints, &list) != 0) {
        return result;
    }
    for (addrinfo* ai = list; ai; ai = ai->ai_next) {
        if (ai->ai_addrlen > sizeof(sockaddr_storage)) {
            continue;
        }
        SocketAddress address;
        std::memcpy(&address.storage, ai->ai_addr, ai->ai_addrlen);
        address.length = ai->ai_addrlen;
        result.push_back(address);
    }
    freeaddrinfo(list);
    return result;
}

bool LineConnection::Aborted() const {
    return abort_ && abort_->IsRaised();
}

bool LineConnection::Fail(std::string message) {
    broken_ = true;
    lastError_ = std::move(message);
    return false;
}

LineConnection::Wait LineConnection::WaitFor(short events) {
    if (Aborted()) {
        return Wait::Aborted;
    }
    pollfd fds[2];
    fds[0] = {fd_, events, 0};
    nfds_t count = 1;
    if (abort_ && abort_->Fd() >= 0) {
        fds[1] = {abort_->Fd(), POLLIN, 0};
        count = 2;
    }
    int timeout = timeoutSeconds_ > 0 ? timeoutSeconds_ * 1000 : -1;
    for (;;) {
        int n = poll(fds, count, timeout);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return Wait::Error;
        }
        if (n == 0) {
            return Wait::Timeout;
        }
        if (Aborted()) {
            return Wait::Aborted;
        }
        if (fds[0].revents) {
            return Wait::Ready;
        }
        // The abort descriptor fired but the flag is already cleared again:
        // keep waiting.
        if (count == 2 && (fds[1].revents & POLLIN)) {
            fds[1].revents = 0;
            uint64_t drained;
            [[maybe_unused]] ssize_t r = read(abort_->Fd(), &drained, sizeof drained);
        }
    }
}

bool LineConnection::Connect(const std::vector<SocketAddress>& addresses) {
    Close();
    broken_ = false;
    lastError_.clear();
    if (addresses.empty()) {
        return Fail("no server address");
    }
    for (const SocketAddress& address : addresses) {
        fd_ = socket(address.Family(), SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (fd_ < 0) {
            lastError_ = std::strerror(errno);
            continue;
        }
        int one = 1;
        setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        int rc = connect(fd_, reinterpret_cast<const sockaddr*>(&address.storage), address.length);
        if (rc != 0 && errno == EINPROGRESS) {
            Wait w = WaitFor(POLLOUT);
            if (w == Wait::Ready) {
                int error = 0;
                socklen_t len = sizeof error;
                getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &len);
                rc = error == 0 ? 0 : -1;
                errno = error;
            } else {
                errno = w == Wait::Timeout ? ETIMEDOUT : (w == Wait::Aborted ? ECANCELED : errno);
                rc = -1;
            }
        }
        if (rc == 0) {
            broken_ = false;
            lastError_.clear();
            return true;
        }
        lastError_ = "connect to " + address.ToString() + ": " + std::strerror(errno);
        close(fd_);
        fd_ = -1;
        if (Aborted()) {
            break;
        }
    }
    broken_ = true;
    return false;
}

bool LineConnection::Adopt(int fd) {
    Close();
    if (fd < 0) {
        return Fail("no socket");
    }
    int flags = fcntl(fd, F_GETFL);
    fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    fd_ = fd;
    broken_ = false;
    lastError_.clear();
    return true;
}

bool LineConnection::StartTls(const TlsPolicy& policy) {
    if (fd_ < 0 || broken_) {
        return Fail("not connected");
    }
    if (ssl_) {
        return Fail("TLS is already active");
    }
    // Whatever arrived in plain text so far belongs to the unprotected part
    // of the session and must never be read as a protected reply.
    ResetReader();
    writeBuffer_.clear();

    SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
    if (!ctx) {
        return Fail("TLS set-up failed: " + OpenSslError());
    }
    ctx_ = ctx;
    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
    // Honours SSL_CERT_FILE and SSL_CERT_DIR.
    SSL_CTX_set_default_verify_paths(ctx);
    // The handshake itself does not stop at a bad certificate: the decision
    // is taken below, where the fingerprint can be named to the user. No
    // application data is sent before that decision.
    SSL_CTX_set_verify(ctx, SSL_VERIFY_NONE, nullptr);
    SSL_CTX_set_mode(ctx, SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    // Whole records per read call instead of header and body apart.
    SSL_CTX_set_read_ahead(ctx, 1);

    SSL* ssl = SSL_new(ctx);
    if (!ssl) {
        return Fail("TLS set-up failed: " + OpenSslError());
    }
    ssl_ = ssl;
    BIO* bio = BIO_new(SocketMethod());
    if (!bio) {
        return Fail("TLS set-up failed: " + OpenSslError());
    }
    BIO_set_data(bio, reinterpret_cast<void*>(static_cast<intptr_t>(fd_)));
    SSL_set_bio(ssl, bio, bio);
    bool literal = IsLiteralAddress(policy.host);
    if (!policy.host.empty()) {
        if (literal) {
            X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), policy.host.c_str());
        } else {
            SSL_set_tlsext_host_name(ssl, policy.host.c_str());
            SSL_set1_host(ssl, policy.host.c_str());
        }
    }

    for (;;) {
        int rc = SSL_connect(ssl);
        if (rc == 1) {
            break;
        }
        int err = SSL_get_error(ssl, rc);
        Wait w;
        if (err == SSL_ERROR_WANT_READ) {
            w = WaitFor(POLLIN);
        } else if (err == SSL_ERROR_WANT_WRITE) {
            w = WaitFor(POLLOUT);
        } else {
            std::string why = OpenSslError();
            Close();
            return Fail("TLS handshake with " + policy.host + " failed" +
                        (why.empty() ? std::string() : ": " + why));
        }
        if (w != Wait::Ready) {
            Close();
            return Fail(w == Wait::Timeout ? "TLS handshake timed out" : "TLS handshake aborted");
        }
    }

    X509* cert = SSL_get1_peer_certificate(ssl);
    if (!cert) {
        Close();
        return Fail("the server " + policy.host + " sent no certificate");
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    X509_digest(cert, EVP_sha256(), digest, &length);
    X509_free(cert);
    std::string fingerprint = HexFingerprint(digest, length);

    if (!policy.pinnedFingerprint.empty()) {
        std::string pinned = NormaliseFingerprint(policy.pinnedFingerprint);
        if (pinned.empty() || pinned != NormaliseFingerprint(fingerprint)) {
            Close();
            return Fail("The certificate of " + policy.host +
                        " does not match the pinned fingerprint; its SHA-256 fingerprint is " +
                        fingerprint);
        }
    } else {
        long result = SSL_get_verify_result(ssl);
        if (result != X509_V_OK) {
            Close();
            return Fail("The certificate of " + policy.host + " could not be verified (" +
                        X509_verify_cert_error_string(result) + "); its SHA-256 fingerprint is " +
                        fingerprint);
        }
    }
    peerFingerprint_ = fingerprint;
    return true;
}

bool LineConnection::Fill() {
    readPos_ = readEnd_ = 0;
    for (;;) {
        if (fd_ < 0) {
            return Fail("not connected");
        }
        Wait w = Wait::Ready;
        if (ssl_) {
            int n = SSL_read(AsSsl(ssl_), readBuffer_.get(), static_cast<int>(kReadBufferSize));
            if (n > 0) {
                readEnd_ = static_cast<size_t>(n);
                return true;
            }
            int err = SSL_get_error(AsSsl(ssl_), n);
            if (err == SSL_ERROR_WANT_READ) {
                w = WaitFor(POLLIN);
            } else if (err == SSL_ERROR_WANT_WRITE) {
                w = WaitFor(POLLOUT);
            } else if (err == SSL_ERROR_ZERO_RETURN) {
                return Fail("the server closed the connection");
            } else {
                std::string why = OpenSslError();
                return Fail("connection lost" + (why.empty() ? std::string() : ": " + why));
            }
        } else {
            ssize_t n = recv(fd_, readBuffer_.get(), kReadBufferSize, 0);
            if (n > 0) {
                readEnd_ = static_cast<size_t>(n);
                return true;
            }
            if (n == 0) {
                return Fail("the server closed the connection");
            }
            if (errno == EINTR) {
                continue;
            }
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                return Fail(std::string("connection lost: ") + std::strerror(errno));
            }
            w = WaitFor(POLLIN);
        }
        if (w == Wait::Timeout) {
            return Fail("the server did not answer in time");
        }
        if (w == Wait::Aborted) {
            return Fail("aborted");
        }
        if (w == Wait::Error) {
            return Fail("connection lost");
        }
    }
}

std::optional<std::string> LineConnection::ReadLine(size_t maxLine, size_t failAbove) {
    lastLineCut_ = false;
    lastLineLength_ = 0;
    if (fd_ < 0 || broken_) {
        return std::nullopt;
    }
    std::string line;
    // Keep one byte more than the limit so a CR just after it is still seen.
    const size_t keep = maxLine + 1;
    bool lastWasCr = false;
    bool cut = false;
    size_t length = 0;  // bytes of the line so far, CR of a CR LF included
    for (;;) {
        if (readPos_ == readEnd_ && !Fill()) {
            return std::nullopt;
        }
        const char* begin = readBuffer_.get() + readPos_;
        const char* end = readBuffer_.get() + readEnd_;
        const char* p = begin;
        while (p < end && *p != '\n' && *p != '\0') {
            ++p;
        }
        if (p > begin) {
            size_t count = static_cast<size_t>(p - begin);
            length += count;
            if (line.size() < keep) {
                size_t room = keep - line.size();
                line.append(begin, count < room ? count : room);
                if (count > room) {
                    cut = true;
                }
            } else {
                cut = true;
            }
            lastWasCr = p[-1] == '\r';
        }
        // One byte of slack for the CR of the line end.
        if (failAbove != kNoLimit && length > failAbove + 1) {
            return FailLine("the server sent a line longer than " + std::to_string(failAbove) +
                            " bytes");
        }
        if (p == end) {
            readPos_ = readEnd_;
            continue;
        }
        readPos_ = static_cast<size_t>(p - readBuffer_.get()) + 1;
        if (*p == '\0') {
            break;
        }
        if (lastWasCr) {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            --length;
            break;
        }
        // A lone LF belongs to the line.
        ++length;
        if (line.size() < keep) {
            line += '\n';
        } else {
            cut = true;
        }
        lastWasCr = false;
    }
    if (failAbove != kNoLimit && length > failAbove) {
        return FailLine("the server sent a line longer than " + std::to_string(failAbove) +
                        " bytes");
    }
    if (line.size() > maxLine) {
        line.resize(maxLine);
        cut = true;
    }
    lastLineCut_ = cut;
    lastLineLength_ = length;
    return line;
}

std::nullopt_t LineConnection::FailLine(std::string message) {
    Fail(std::move(message));
    return std::nullopt;
}

bool LineConnection::SendRaw(const char* data, size_t size) {
    while (size > 0) {
        if (fd_ < 0) {
            return Fail("not connected");
        }
        Wait w = Wait::Ready;
        if (ssl_) {
            int n = SSL_write(AsSsl(ssl_), data, static_cast<int>(size));
            if (n > 0) {
                data += n;
                size -= static_cast<size_t>(n);
                continue;
            }
            int err = SSL_get_error(AsSsl(ssl_), n);
            if (err == SSL_ERROR_WANT_READ) {
                w = WaitFor(POLLIN);
            } else if (err == SSL_ERROR_WANT_WRITE) {
                w = WaitFor(POLLOUT);
            } else {
                std::string why = OpenSslError();
                return Fail("send failed" + (why.empty() ? std::string() : ": " + why));
            }
        } else {
            ssize_t n = send(fd_, data, size, MSG_NOSIGNAL);
            if (n > 0) {
                data += n;
                size -= static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                return Fail(std::string("send failed: ") + std::strerror(errno));
            }
            w = WaitFor(POLLOUT);
        }
        if (w == Wait::Timeout) {
            return Fail("the server did not accept data in time");
        }
        if (w == Wait::Aborted) {
            return Fail("aborted");
        }
        if (w == Wait::Error) {
            return Fail("connection lost");
        }
    }
    return true;
}

bool LineConnection::WriteLine(std::string_view text, bool flush) {
    if (fd_ < 0 || broken_) {
        return false;
    }
    writeBuffer_.append(text);
    writeBuffer_.append("\r\n");
    if (flush || writeBuffer_.size() >= kWriteFlushSize) {
        return Flush();
    }
    return true;
}

bool LineConnection::Flush() {
    if (fd_ < 0 || broken_) {
        return false;
    }
    if (writeBuffer_.empty()) {
        return true;
    }
    bool ok = SendRaw(writeBuffer_.data(), writeBuffer_.size());
    writeBuffer_.clear();
    return ok;
}

void LineConnection::ResetReader() {
    readPos_ = readEnd_ = 0;
}

void LineConnection::Close() {
    if (ssl_) {
        if (!broken_) {
            SSL_shutdown(AsSsl(ssl_));
        }
        SSL_free(AsSsl(ssl_));
        ssl_ = nullptr;
    }
    if (ctx_) {
        SSL_CTX_free(static_cast<SSL_CTX*>(ctx_));
        ctx_ = nullptr;
    }
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
    readPos_ = readEnd_ = 0;
    writeBuffer_.clear();
    peerFingerprint_.clear();
    ERR_clear_error();
}

std::string LineConnection::NormaliseFingerprint(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == ':' || c == ' ' || c == '-') {
            continue;
        }
        if (c >= 'a' && c <= 'f') {
            c = static_cast<char>(c - 'a' + 'A');
        }
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) {
            return {};
        }
        out += c;
    }
    return out.size() == 64 ? out : std::string();
}

}  // namespace corvina
