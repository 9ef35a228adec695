#include "MailServers.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace corvina::test {

namespace {

// A port the kernel just handed out for 127.0.0.1 (and released again).
uint16_t FreePort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    close(fd);
    return ntohs(a.sin_port);
}

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

}  // namespace

MailServers& MailServers::Get() {
    static MailServers* servers =
        static_cast<MailServers*>(::testing::AddGlobalTestEnvironment(new MailServers));
    return *servers;
}

// Registered before main() runs, so the servers start once for the program.
[[maybe_unused]] static MailServers& kRegistered = MailServers::Get();

bool MailServers::Run(const std::string& arguments) {
    std::string command = "'" CORVINA_MAILSERVERS_SCRIPT "' " + arguments + " >'" +
                          (dir_ / "script.log").string() + "' 2>&1 </dev/null";
    int rc = std::system(command.c_str());
    return rc == 0;
}

void MailServers::SetUp() {
    // Below /tmp, not the caller's home: the users mail and postfix must
    // reach it.
    char pattern[] = "/tmp/corvina-servers-XXXXXX";
    if (!mkdtemp(pattern)) {
        failure_ = "mkdtemp failed";
        return;
    }
    dir_ = pattern;
    std::vector<uint16_t> ports;
    while (ports.size() < 5) {
        uint16_t p = FreePort();
        if (p > 1024 && std::find(ports.begin(), ports.end(), p) == ports.end()) {
            ports.push_back(p);
        }
    }
    pop3 = ports[0];
    pop3s = ports[1];
    smtp = ports[2];
    submission = ports[3];
    smtps = ports[4];
    for (const char* user : kUsers) {
        if (!Run("adduser '" + dir_.string() + "' " + user + " " + user + "pw")) {
            failure_ = "adding user failed:\n" + ReadAll(dir_ / "script.log");
            return;
        }
    }
    std::string args = "start '" + dir_.string() + "' " + std::to_string(pop3) + " " +
                       std::to_string(pop3s) + " " + std::to_string(smtp) + " " +
                       std::to_string(submission) + " " + std::to_string(smtps);
    if (!Run(args)) {
        failure_ = "the mail servers did not start:\n" + ReadAll(dir_ / "script.log");
        return;
    }
    ok_ = true;
}

void MailServers::TearDown() {
    if (dir_.empty()) {
        return;
    }
    Run("stop '" + dir_.string() + "'");
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

void MailServers::ClearMaildir(std::string_view user) {
    for (const char* sub : {"new", "cur"}) {
        std::error_code ec;
        for (const auto& entry :
             std::filesystem::directory_iterator(dir_ / "maildirs" / std::string(user) / sub, ec)) {
            std::filesystem::remove(entry.path(), ec);
        }
    }
}

void MailServers::PutMessage(std::string_view user, std::string_view text) {
    std::filesystem::path base = dir_ / "maildirs" / std::string(user);
    std::string name = std::to_string(std::time(nullptr)) + ".corvina" + std::to_string(++serial_) +
                       "." + std::to_string(getpid());
    std::filesystem::path tmp = base / "tmp" / name;
    {
        std::ofstream out(tmp, std::ios::binary);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    [[maybe_unused]] int rc = chown(tmp.c_str(), 8, 8);
    std::filesystem::rename(tmp, base / "new" / name);
}

std::vector<std::string> MailServers::Messages(std::string_view user) {
    std::vector<std::filesystem::path> files;
    for (const char* sub : {"new", "cur"}) {
        std::error_code ec;
        for (const auto& entry :
             std::filesystem::directory_iterator(dir_ / "maildirs" / std::string(user) / sub, ec)) {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    std::vector<std::string> texts;
    for (const auto& f : files) {
        texts.push_back(ReadAll(f));
    }
    return texts;
}

bool MailServers::WaitForMessages(std::string_view user, size_t count, int seconds) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (Messages(user).size() >= count) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

std::string MailServers::Logs() const {
    return "--- dovecot.log\n" + ReadAll(dir_ / "dovecot.log") + "--- postfix.log\n" +
           ReadAll(dir_ / "postfix.log");
}

TrustFile::TrustFile(const std::filesystem::path& file) {
    const char* old = getenv("SSL_CERT_FILE");
    had_ = old != nullptr;
    if (had_) {
        old_ = old;
    }
    setenv("SSL_CERT_FILE", file.c_str(), 1);
}

TrustFile::~TrustFile() {
    if (had_) {
        setenv("SSL_CERT_FILE", old_.c_str(), 1);
    } else {
        unsetenv("SSL_CERT_FILE");
    }
}

}  // namespace corvina::test
