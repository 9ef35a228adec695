#include "ScriptedServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "TestSupport.h"

namespace corvina::test {

namespace {

std::string Fingerprint(const std::filesystem::path& certFile) {
    FILE* f = std::fopen(certFile.c_str(), "r");
    if (!f) {
        return {};
    }
    X509* cert = PEM_read_X509(f, nullptr, nullptr, nullptr);
    std::fclose(f);
    if (!cert) {
        return {};
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    X509_digest(cert, EVP_sha256(), digest, &length);
    X509_free(cert);
    std::string out;
    char hex[4];
    for (unsigned int i = 0; i < length; ++i) {
        std::snprintf(hex, sizeof hex, i ? ":%02X" : "%02X", digest[i]);
        out += hex;
    }
    return out;
}

}  // namespace

const TestCertificate& TestCertificate::Get() {
    static ScratchDir dir;
    static TestCertificate certificate = [] {
        TestCertificate c;
        c.cert = dir / "cert.pem";
        c.key = dir / "key.pem";
        std::string command =
            "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 "
            "-subj /CN=localhost -addext subjectAltName=DNS:localhost,IP:127.0.0.1 -keyout '" +
            c.key.string() + "' -out '" + c.cert.string() + "' >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0) {
            throw std::runtime_error("openssl req failed");
        }
        c.fingerprint = Fingerprint(c.cert);
        return c;
    }();
    return certificate;
}

ServerConnection::~ServerConnection() {
    Close();
}

void ServerConnection::Close() {
    if (ssl_) {
        SSL_free(ssl_);
        ssl_ = nullptr;
    }
    if (ctx_) {
        SSL_CTX_free(ctx_);
        ctx_ = nullptr;
    }
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
}

bool ServerConnection::Send(std::string_view raw) {
    if (fd_ < 0) {
        return false;
    }
    if (ssl_) {
        return SSL_write(ssl_, raw.data(), static_cast<int>(raw.size())) > 0;
    }
    while (!raw.empty()) {
        ssize_t n = send(fd_, raw.data(), raw.size(), MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        raw.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

bool ServerConnection::Fill() {
    char chunk[16384];
    ssize_t n = ssl_ ? SSL_read(ssl_, chunk, sizeof chunk) : recv(fd_, chunk, sizeof chunk, 0);
    if (n <= 0) {
        return false;
    }
    buffer_.append(chunk, static_cast<size_t>(n));
    return true;
}

std::optional<std::string> ServerConnection::ReadLine() {
    if (fd_ < 0) {
        return std::nullopt;
    }
    for (;;) {
        size_t end = buffer_.find("\r\n");
        if (end != std::string::npos) {
            std::string line = buffer_.substr(0, end);
            buffer_.erase(0, end + 2);
            received.push_back(line);
            return line;
        }
        if (!Fill()) {
            return std::nullopt;
        }
    }
}

bool ServerConnection::AcceptTls(const TestCertificate& certificate) {
    // Plain bytes of the client after its STARTTLS line belong to the
    // handshake.
    buffer_.clear();
    ctx_ = SSL_CTX_new(TLS_server_method());
    if (!ctx_ ||
        SSL_CTX_use_certificate_file(ctx_, certificate.cert.c_str(), SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_use_PrivateKey_file(ctx_, certificate.key.c_str(), SSL_FILETYPE_PEM) != 1) {
        return false;
    }
    ssl_ = SSL_new(ctx_);
    SSL_set_fd(ssl_, fd_);
    if (SSL_accept(ssl_) != 1) {
        ERR_clear_error();
        return false;
    }
    return true;
}

bool ServerConnection::WaitForClose(int seconds) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, seconds * 1000) <= 0) {
        return false;
    }
    char c;
    ssize_t n = ssl_ ? SSL_read(ssl_, &c, 1) : recv(fd_, &c, 1, 0);
    return n <= 0;
}

ScriptedServer::ScriptedServer(Script script, bool ipv6, int connections) {
    listenFd_ = socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (ipv6) {
        sockaddr_in6 a{};
        a.sin6_family = AF_INET6;
        a.sin6_addr = in6addr_loopback;
        bind(listenFd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t len = sizeof a;
        getsockname(listenFd_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin6_port);
    } else {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listenFd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t len = sizeof a;
        getsockname(listenFd_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
    }
    listen(listenFd_, 4);
    thread_ = std::thread([this, connections, script = std::move(script)] {
        // The server's TLS writes to a client that went away must not end
        // the test program; the client side is what is under test.
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
        for (int i = 0; i < connections; ++i) {
            pollfd p{listenFd_, POLLIN, 0};
            if (poll(&p, 1, 20000) <= 0) {
                return;
            }
            int fd = accept(listenFd_, nullptr, nullptr);
            if (fd < 0) {
                return;
            }
            ServerConnection connection(fd);
            script(connection);
            received_.insert(received_.end(), connection.received.begin(),
                             connection.received.end());
        }
    });
}

std::vector<std::string> ScriptedServer::Finish() {
    if (!finished_) {
        finished_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    return received_;
}

ScriptedServer::~ScriptedServer() {
    Finish();
    if (listenFd_ >= 0) {
        close(listenFd_);
    }
}

}  // namespace corvina::test
