#pragma once
// A one-connection server on the loopback interface that plays a scripted
// dialogue in its own thread, for the faults a real server will not
// produce on demand (injection after STLS, cut lines, silence, refusals).

#include <openssl/ssl.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace corvina::test {

// A throwaway self-signed certificate for "localhost" and 127.0.0.1, made
// once per test program with the openssl tool.
struct TestCertificate {
    std::filesystem::path cert;
    std::filesystem::path key;
    std::string fingerprint;  // SHA-256, "AB:CD:..."
    static const TestCertificate& Get();
};

class ServerConnection {
public:
    explicit ServerConnection(int fd) : fd_(fd) {}
    ~ServerConnection();

    // False once the client is gone (for endless replies).
    bool Send(std::string_view raw);
    bool SendLine(std::string_view line) { return Send(std::string(line) + "\r\n"); }
    // One line without CR LF; nullopt at end of stream. Every line read is
    // recorded.
    std::optional<std::string> ReadLine();
    // Server side of a TLS handshake.
    bool AcceptTls(const TestCertificate& certificate);
    // True when the client closes within `seconds` without sending more.
    bool WaitForClose(int seconds);
    void Close();

    std::vector<std::string> received;

private:
    bool Fill();
    int fd_;
    SSL_CTX* ctx_ = nullptr;
    SSL* ssl_ = nullptr;
    std::string buffer_;
};

class ScriptedServer {
public:
    using Script = std::function<void(ServerConnection&)>;
    // The script plays each of `connections` connections in turn; the lines
    // read on all of them are kept in order.
    explicit ScriptedServer(Script script, bool ipv6 = false, int connections = 1);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    uint16_t Port() const { return port_; }
    // Waits for the script to finish and returns every line it read.
    std::vector<std::string> Finish();

private:
    int listenFd_ = -1;
    uint16_t port_ = 0;
    std::thread thread_;
    std::vector<std::string> received_;
    bool finished_ = false;
};

}  // namespace corvina::test
