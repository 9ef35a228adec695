#pragma once
// The real servers of the integration tests: one Dovecot (POP3 plain with
// STLS, POP3S) and one Postfix (plain SMTP, submission with STARTTLS and
// AUTH through Dovecot, implicit TLS) on 127.0.0.1, started once per test
// program in a temporary directory and stopped at its end. A server that
// cannot start fails the tests with its log.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace corvina::test {

class MailServers : public ::testing::Environment {
public:
    // The users every test program gets, password "<name>pw".
    static constexpr const char* kUsers[] = {"bob", "carol", "dave", "erin", "frank", "bench"};

    static MailServers& Get();

    void SetUp() override;
    void TearDown() override;

    bool Ok() const { return ok_; }
    // Why the start failed, with the servers' logs.
    const std::string& Failure() const { return failure_; }

    const std::filesystem::path& Dir() const { return dir_; }
    std::filesystem::path CaFile() const { return dir_ / "ca.pem"; }
    std::filesystem::path ServerCertificate() const { return dir_ / "server.pem"; }
    uint16_t pop3 = 0, pop3s = 0, smtp = 0, submission = 0, smtps = 0;

    // Maildir of a user: the messages waiting for POP3.
    void ClearMaildir(std::string_view user);
    void PutMessage(std::string_view user, std::string_view text);
    std::vector<std::string> Messages(std::string_view user);
    // Waits until Postfix has delivered `count` messages to the user.
    bool WaitForMessages(std::string_view user, size_t count, int seconds = 20);
    std::string Logs() const;

private:
    bool Run(const std::string& arguments);
    bool ok_ = false;
    std::string failure_;
    std::filesystem::path dir_;
    int serial_ = 0;
};

// Points OpenSSL's default trust at one file for the life of the object.
class TrustFile {
public:
    explicit TrustFile(const std::filesystem::path& file);
    ~TrustFile();

private:
    bool had_ = false;
    std::string old_;
};

}  // namespace corvina::test
