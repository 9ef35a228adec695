// Mail transfer against a private Dovecot and Postfix on 127.0.0.1 (the
// integration tests' servers): retrieving 10,000 messages of about 5 KB
// with DeleteOnServer 1, stored into a real InBox and synced, and
// delivering 1,000 messages from the OutBox through submission with
// STARTTLS and AUTH in one session. Counters: messages per second.

#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "store/FolderNames.h"
#include "store/MailFolder.h"
#include "store/MailMessage.h"
#include "store/Mailbox.h"
#include "transfer/MailSession.h"
#include "transfer/TransferHost.h"

namespace {

using namespace corvina;

const std::filesystem::path kScript = std::filesystem::path(__FILE__).parent_path().parent_path() /
                                      "tests/integration/mailservers.sh";

struct Servers {
    std::filesystem::path dir;
    uint16_t pop3 = 0, pop3s = 0, smtp = 0, submission = 0, smtps = 0;
    bool ok = false;
};
Servers gServers;

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

bool Run(const std::string& args) {
    std::string command = "'" + kScript.string() + "' " + args + " </dev/null";
    return std::system(command.c_str()) == 0;
}

bool StartServers() {
    char pattern[] = "/tmp/corvina-bench-XXXXXX";
    if (!mkdtemp(pattern)) {
        return false;
    }
    gServers.dir = pattern;
    gServers.pop3 = FreePort();
    gServers.pop3s = FreePort();
    gServers.smtp = FreePort();
    gServers.submission = FreePort();
    gServers.smtps = FreePort();
    std::string d = "'" + gServers.dir.string() + "'";
    gServers.ok = Run("adduser " + d + " bench benchpw") &&
                  Run("start " + d + " " + std::to_string(gServers.pop3) + " " +
                      std::to_string(gServers.pop3s) + " " + std::to_string(gServers.smtp) + " " +
                      std::to_string(gServers.submission) + " " + std::to_string(gServers.smtps));
    return gServers.ok;
}

void StopServers() {
    if (!gServers.dir.empty()) {
        Run("stop '" + gServers.dir.string() + "'");
        std::error_code ec;
        std::filesystem::remove_all(gServers.dir, ec);
    }
}

std::filesystem::path Maildir() {
    return gServers.dir / "maildirs" / "bench";
}

size_t MaildirCount() {
    size_t n = 0;
    for (const char* sub : {"new", "cur"}) {
        std::error_code ec;
        for (auto it = std::filesystem::directory_iterator(Maildir() / sub, ec);
             it != std::filesystem::directory_iterator(); ++it) {
            ++n;
        }
    }
    return n;
}

void ClearMaildir() {
    for (const char* sub : {"new", "cur"}) {
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(Maildir() / sub, ec)) {
            std::filesystem::remove(e.path(), ec);
        }
    }
}

// About 5 KB: a header and 70-byte body lines.
std::string SampleMessage(int i) {
    std::string text = "From: sender@example.test\r\nTo: bench@example.test\r\nSubject: bench " +
                       std::to_string(i) + "\r\nMessage-ID: <b" + std::to_string(i) +
                       "@example.test>\r\nDate: Tue, 08 Dec 2026 08:00:00 +0000\r\n\r\n";
    while (text.size() < 5000) {
        text += "Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod.\r\n";
    }
    return text;
}

void FillMaildir(int count) {
    for (int i = 0; i < count; ++i) {
        std::filesystem::path tmp = Maildir() / "tmp" / ("b" + std::to_string(i));
        {
            std::ofstream out(tmp, std::ios::binary);
            out << SampleMessage(i);
        }
        [[maybe_unused]] int rc = chown(tmp.c_str(), 8, 8);
        std::filesystem::rename(tmp, Maildir() / "new" / ("1000." + std::to_string(i) + ".bench"));
    }
}

// Stores into the mailbox files the way the windows do.
class StoreHost final : public TransferHost {
public:
    explicit StoreHost(const std::filesystem::path& dir) : dir_(dir) {
        for (const char* name : {"InBox", "OutBox", "OutBox\\Sent"}) {
            std::filesystem::path path = FolderNameToPath(dir_, name);
            std::filesystem::create_directories(path.parent_path());
            std::ofstream(path, std::ios::app).close();
            folders_.push_back(std::make_unique<MailFolder>(path));
        }
    }
    const MailMessage* StoreMessage(std::string_view folder,
                                    std::unique_ptr<MailMessage> message) override {
        StoreContext context;
        context.mailboxDir = dir_;
        return DeliverMessage(context, folder, std::move(message));
    }
    bool SyncStore() override { return SyncDeliveries(); }
    void OutBoxRewritten(std::string_view) override {}
    void FirstNewMessage(std::string_view, const MailMessage*) override {}
    void ReceiveStored() override {}
    void ShowStatus(std::string_view) override {}
    void ShowError(int, std::string_view detail) override {
        std::fprintf(stderr, "error: %.*s\n", static_cast<int>(detail.size()), detail.data());
    }
    std::optional<Credentials> AskCredentials(const Credentials&) override { return std::nullopt; }
    void NoNewMail() override {}

private:
    std::filesystem::path dir_;
    std::vector<std::unique_ptr<MailFolder>> folders_;
};

AccountProfile BenchAccount() {
    AccountProfile a;
    a.pop = "127.0.0.1";
    a.smtp = "127.0.0.1";
    a.pop3Port = gServers.pop3;
    a.smtpPort = gServers.submission;
    a.smtpSecurity = kSmtpSecurityStartTls;
    a.smtpAuth = kSmtpAuthAccount;
    a.user = "bench";
    a.pass = "benchpw";
    a.address = "bench@example.test";
    a.certFingerprint.clear();
    return a;
}

void BM_Pop3Retrieve(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    if (!gServers.ok) {
        state.SkipWithError("the mail servers did not start");
        return;
    }
    int received = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ClearMaildir();
        FillMaildir(count);
        char pattern[] = "/tmp/corvina-bench-home-XXXXXX";
        std::filesystem::path home = mkdtemp(pattern);
        auto host = std::make_unique<StoreHost>(home);
        TransferState shared;
        MailSession session(shared, *host);
        session.SetAccount(BenchAccount(), 0, home);
        state.ResumeTiming();

        ReceiveOutcome outcome = session.Receive(false);

        state.PauseTiming();
        if (!outcome.ok || outcome.stored != count || MaildirCount() != 0) {
            state.SkipWithError("the receive did not fetch every message");
        }
        received += outcome.stored;
        host.reset();
        std::filesystem::remove_all(home);
        state.ResumeTiming();
    }
    state.counters["messages/s"] =
        benchmark::Counter(static_cast<double>(received), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Pop3Retrieve)->Arg(10000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SmtpDeliver(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    if (!gServers.ok) {
        state.SkipWithError("the mail servers did not start");
        return;
    }
    setenv("SSL_CERT_FILE", (gServers.dir / "ca.pem").c_str(), 1);
    int sent = 0;
    for (auto _ : state) {
        state.PauseTiming();
        char pattern[] = "/tmp/corvina-bench-home-XXXXXX";
        std::filesystem::path home = mkdtemp(pattern);
        auto host = std::make_unique<StoreHost>(home);
        StoreContext context;
        context.mailboxDir = home;
        std::string body(70, 'x');
        for (int i = 0; i < count; ++i) {
            MailMessage m;
            m.from = "bench@example.test";
            m.to = "bench@example.test";
            m.subject = "deliver " + std::to_string(i);
            while (m.bodyLineCount < 70) {
                m.AddBodyLine(body);
            }
            m.SetStatus("W");
            AppendToFolderFile(m, "OutBox", context);
        }
        TransferState shared;
        MailSession session(shared, *host);
        session.SetAccount(BenchAccount(), 0, home);
        state.ResumeTiming();

        bool ok = session.Deliver();

        state.PauseTiming();
        if (!ok) {
            state.SkipWithError("delivery failed");
        }
        sent += count;
        host.reset();
        std::filesystem::remove_all(home);
        state.ResumeTiming();
    }
    state.counters["messages/s"] =
        benchmark::Counter(static_cast<double>(sent), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SmtpDeliver)->Arg(1000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (!StartServers()) {
        std::fprintf(stderr, "bench_transfer: the mail servers did not start\n");
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    StopServers();
    return gServers.ok ? 0 : 1;
}
