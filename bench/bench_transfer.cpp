// Mail transfer against a private Dovecot and Postfix on 127.0.0.1 (the
// integration tests' servers): retrieving 10,000 messages of about 5 KB
// with DeleteOnServer 1, stored into a real InBox and synced, and
// delivering 1,000 messages from the OutBox through submission with
// STARTTLS and AUTH in one session. Counters: messages per second.
// For comparison, the same run lets fetchmail fetch the same maildrop and
// msmtp send the same messages through the same Postfix, when installed.
// Memory: the peak resident size of receiving one message of 100 MB and of
// 1 GB (stored into a real InBox), printed beside the goal 2*S + 64 MB and
// beside fetchmail receiving the same message.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/UserPrompt.h"
#include "message/MailMessage.h"
#include "store/FolderNames.h"
#include "store/MailFolder.h"
#include "store/MailStore.h"
#include "store/Mailbox.h"
#include "store/OutBoxQueue.h"
#include "transfer/DeliverJob.h"
#include "transfer/MailSession.h"
#include "transfer/ReceiveJob.h"
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

// Each fill gets names of its own: names just expunged by the previous
// client can hide the new files from Dovecot's view of the maildir.
void FillMaildir(int count) {
    static int fill = 0;
    ++fill;
    for (int i = 0; i < count; ++i) {
        std::filesystem::path tmp = Maildir() / "tmp" / ("b" + std::to_string(i));
        {
            std::ofstream out(tmp, std::ios::binary);
            out << SampleMessage(i);
        }
        [[maybe_unused]] int rc = chown(tmp.c_str(), 8, 8);
        std::filesystem::rename(
            tmp,
            Maildir() / "new" / (std::to_string(1000 + fill) + "." + std::to_string(i) + ".bench"));
    }
}

// Stores into the mailbox files the way the windows do; failures go to the
// error stream, and nothing is ever asked.
class StoreHost final : public TransferHost, public UserPrompt {
public:
    explicit StoreHost(const std::filesystem::path& dir) : dir_(dir) {
        for (const char* name : {"InBox", "OutBox", "OutBox\\Sent"}) {
            std::filesystem::path path = FolderNameToPath(dir_, name);
            std::filesystem::create_directories(path.parent_path());
            std::ofstream(path, std::ios::app).close();
            folders_.push_back(std::make_unique<MailFolder>(path));
        }
    }
    std::optional<MessageRef> StoreMessage(std::string_view folder,
                                           std::unique_ptr<MailMessage> message) override {
        StoreContext context;
        context.mailboxDir = dir_;
        context.store = &store_;
        const MailMessage* stored = DeliverMessage(context, folder, std::move(message));
        if (!stored) {
            return std::nullopt;
        }
        return MessageRef{std::string(folder), stored->key.Value()};
    }
    bool StoreMessageIn(const std::filesystem::path& mailboxDir, std::string_view folder,
                        std::unique_ptr<MailMessage> message) override {
        StoreContext context;
        context.mailboxDir = mailboxDir;
        context.store = &store_;
        return AppendToFolderFile(*message, folder, context);
    }
    std::optional<std::vector<std::string>> TakeOutBox(const std::filesystem::path& mailboxDir,
                                                       std::string& error) override {
        return corvina::TakeOutBox(mailboxDir, &error);
    }
    bool CommitOutBox(const std::filesystem::path& mailboxDir,
                      const std::vector<std::string>& unsent, std::string& error) override {
        return corvina::CommitOutBox(mailboxDir, unsent, &error);
    }
    int RecoverOutBox(const std::filesystem::path& mailboxDir, std::string& error) override {
        return RecoverOutBoxBackup(mailboxDir, &error);
    }
    bool SyncStore() override { return store_.SyncDeliveries(); }
    void OutBoxRewritten(std::string_view) override {}
    void FirstNewMessage(const MessageRef&) override {}
    void ReceiveStored() override {}
    void ShowStatus(std::string_view) override {}
    std::optional<Credentials> AskCredentials(const Credentials&) override { return std::nullopt; }

    ConfirmAnswer Ask(const Question& question) override { return question.preset; }
    void Notify(std::string_view text, std::string_view) override {
        std::fprintf(stderr, "error: %.*s\n", static_cast<int>(text.size()), text.data());
    }
    std::optional<std::filesystem::path> ChooseFile(const FileChoice&) override {
        return std::nullopt;
    }
    std::optional<std::string> AskText(std::string_view, std::string_view,
                                       std::string_view) override {
        return std::nullopt;
    }
    std::optional<std::string> AskPassword(std::string_view, std::string_view) override {
        return std::nullopt;
    }

private:
    std::filesystem::path dir_;
    MailStore store_;
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

// A fresh home directory for one round of a benchmark (removed by the
// round, outside the timing).
std::filesystem::path NewHome() {
    char pattern[] = "/tmp/corvina-bench-home-XXXXXX";
    return mkdtemp(pattern);
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
        std::filesystem::path home = NewHome();
        auto host = std::make_unique<StoreHost>(home);
        TransferState shared;
        MailSession session(shared, *host, *host);
        session.SetAccount(BenchAccount(), 0, home);
        state.ResumeTiming();

        ReceiveOutcome outcome = ReceiveJob(session).Run(false);

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
        std::filesystem::path home = NewHome();
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
        MailSession session(shared, *host, *host);
        session.SetAccount(BenchAccount(), 0, home);
        state.ResumeTiming();

        bool ok = DeliverJob(session).Run();

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

extern "C" char** environ;

bool OnPath(const std::string& tool) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) {
            end = dirs.size();
        }
        std::filesystem::path candidate =
            std::filesystem::path(dirs.substr(start, end - start)) / tool;
        if (access(candidate.c_str(), X_OK) == 0) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

// Runs argv under `timeout` with HOME pointing at home and stdin from
// input (or /dev/null); returns the exit status, -1 when it did not run.
int RunTool(std::vector<std::string> argv, const std::filesystem::path& home,
            const std::filesystem::path& input, int seconds,
            const std::filesystem::path& log = {}) {
    argv.insert(argv.begin(), {"timeout", std::to_string(seconds)});
    std::vector<char*> args;
    for (std::string& a : argv) {
        args.push_back(a.data());
    }
    args.push_back(nullptr);
    std::vector<std::string> envText;
    for (char** e = environ; *e; ++e) {
        if (std::strncmp(*e, "HOME=", 5) != 0 && std::strncmp(*e, "FETCHMAILHOME=", 14) != 0) {
            envText.emplace_back(*e);
        }
    }
    envText.push_back("HOME=" + home.string());
    std::vector<char*> env;
    for (std::string& e : envText) {
        env.push_back(e.data());
    }
    env.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, input.empty() ? "/dev/null" : input.c_str(),
                                     O_RDONLY, 0);
    if (!log.empty()) {
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                         0600);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
    }
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, "timeout", &actions, nullptr, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        return -1;
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

bool WritePrivate(const std::filesystem::path& path, const std::string& text) {
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out) {
            return false;
        }
    }
    return chmod(path.c_str(), 0600) == 0;
}

size_t CountLinesStartingWith(const std::filesystem::path& path, std::string_view prefix) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    size_t n = 0;
    while (std::getline(in, line)) {
        if (line.compare(0, prefix.size(), prefix) == 0) {
            ++n;
        }
    }
    return n;
}

// fetchmail fetches the maildrop our receive fetches, refilled the same
// way, as BSMTP into a file, deleting on the server.
void BM_Pop3Fetchmail(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    if (!gServers.ok) {
        state.SkipWithError("the mail servers did not start");
        return;
    }
    int received = 0;
    bool failed = false;
    for (auto _ : state) {
        state.PauseTiming();
        ClearMaildir();
        FillMaildir(count);
        std::filesystem::path home = NewHome();
        std::filesystem::path rc = home / "fetchmailrc";
        std::filesystem::path bsmtp = home / "fetched.bsmtp";
        std::filesystem::path log = home / "fetchmail.log";
        bool written = WritePrivate(rc, "poll 127.0.0.1 service " + std::to_string(gServers.pop3) +
                                            " protocol POP3 timeout 60\n"
                                            "  user \"bench\" password \"benchpw\"\n");
        state.ResumeTiming();

        int status = written ? RunTool({"fetchmail", "-f", rc.string(), "--nosyslog", "--silent",
                                        "-a", "--nokeep", "--fetchsizelimit", "0", "--sslproto", "",
                                        "--bsmtp", bsmtp.string()},
                                       home, {}, 900, log)
                             : -1;

        state.PauseTiming();
        size_t fetched = CountLinesStartingWith(bsmtp, "DATA");
        if (status != 0 || fetched != static_cast<size_t>(count) || MaildirCount() != 0) {
            std::fprintf(stderr, "fetchmail: exit %d, %zu messages fetched, %zu left\n", status,
                         fetched, MaildirCount());
            std::ifstream in(log);
            std::string line;
            for (int n = 0; n < 20 && std::getline(in, line); ++n) {
                std::fprintf(stderr, "  %s\n", line.c_str());
            }
            failed = true;
        }
        received += static_cast<int>(fetched);
        std::filesystem::remove_all(home);
        state.ResumeTiming();
    }
    if (failed) {
        state.SkipWithError("fetchmail did not fetch every message");
        return;
    }
    state.counters["messages/s"] =
        benchmark::Counter(static_cast<double>(received), benchmark::Counter::kIsRate);
}

// msmtp sends the messages our delivery sends through the same submission
// port with STARTTLS and AUTH; it takes one message, so one session each.
void BM_SmtpMsmtp(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    if (!gServers.ok) {
        state.SkipWithError("the mail servers did not start");
        return;
    }
    int sent = 0;
    bool failed = false;
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::path home = NewHome();
        std::filesystem::path rc = home / "msmtprc";
        bool ok = WritePrivate(rc, "account bench\nhost 127.0.0.1\nport " +
                                       std::to_string(gServers.submission) +
                                       "\ntls on\ntls_starttls on\ntls_trust_file " +
                                       (gServers.dir / "ca.pem").string() +
                                       "\nauth on\nuser bench\npassword benchpw\n"
                                       "from bench@example.test\nsyslog off\n");
        std::vector<std::filesystem::path> files;
        std::string body(70, 'x');
        for (int i = 0; i < count && ok; ++i) {
            std::string text =
                "From: bench@example.test\r\nTo: bench@example.test\r\nSubject: deliver " +
                std::to_string(i) + "\r\nDate: Tue, 08 Dec 2026 08:00:00 +0000\r\n\r\n";
            for (int line = 0; line < 70; ++line) {
                text += body + "\r\n";
            }
            files.push_back(home / ("m" + std::to_string(i) + ".eml"));
            ok = WritePrivate(files.back(), text);
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(15);
        state.ResumeTiming();

        int done = 0;
        for (const auto& file : files) {
            if (!ok || std::chrono::steady_clock::now() > deadline) {
                ok = false;
                break;
            }
            int status = RunTool({"msmtp", "-C", rc.string(), "-a", "bench", "bench@example.test"},
                                 home, file, 60);
            if (status != 0) {
                std::fprintf(stderr, "msmtp: exit %d on message %d\n", status, done);
                ok = false;
                break;
            }
            ++done;
        }

        state.PauseTiming();
        failed = failed || !ok || done != count;
        sent += done;
        std::filesystem::remove_all(home);
        state.ResumeTiming();
    }
    if (failed) {
        state.SkipWithError("msmtp did not send every message");
        return;
    }
    state.counters["messages/s"] =
        benchmark::Counter(static_cast<double>(sent), benchmark::Counter::kIsRate);
}

// One message of about `bytes` bytes, written straight into the maildir
// (never held in memory here): a header and 70-byte body lines.
void PutLargeMessage(long long bytes) {
    ClearMaildir();
    static int serial = 0;
    ++serial;
    std::filesystem::path tmp = Maildir() / "tmp" / ("large" + std::to_string(serial));
    {
        std::ofstream out(tmp, std::ios::binary);
        out << "From: sender@example.test\r\nTo: bench@example.test\r\nSubject: large\r\n"
               "Message-ID: <large"
            << serial
            << "@example.test>\r\n"
               "Date: Tue, 08 Dec 2026 08:00:00 +0000\r\n\r\n";
        std::string block;
        for (int i = 0; i < 1000; ++i) {
            block += "Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiu.\r\n";
        }
        for (long long written = 0; written < bytes;
             written += static_cast<long long>(block.size())) {
            out << block;
        }
    }
    [[maybe_unused]] int rc = chown(tmp.c_str(), 8, 8);
    std::filesystem::rename(tmp, Maildir() / "new" / ("3000." + std::to_string(serial) + ".large"));
}

long long CurrentRssKb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stoll(line.substr(6));
        }
    }
    return 0;
}

// Runs `work` in a forked child and returns its peak resident size in KB
// (the child's own, or with `children` that of the programs it waited
// for), or -1 when the work failed. `baselineKb` gets the child's resident
// size before the work.
long long PeakOfChild(const std::function<bool()>& work, bool children, long long& baselineKb) {
    int fds[2];
    if (pipe(fds) != 0) {
        return -1;
    }
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        long long result[2] = {CurrentRssKb(), -1};
        if (work()) {
            rusage usage{};
            getrusage(children ? RUSAGE_CHILDREN : RUSAGE_SELF, &usage);
            result[1] = usage.ru_maxrss;
        }
        [[maybe_unused]] ssize_t n = write(fds[1], result, sizeof result);
        _exit(0);
    }
    close(fds[1]);
    long long result[2] = {0, -1};
    ssize_t got = read(fds[0], result, sizeof result);
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (got != static_cast<ssize_t>(sizeof result)) {
        return -1;
    }
    baselineKb = result[0];
    return result[1];
}

void ReportPeak(benchmark::State& state, long long bytes, long long peakKb, long long baselineKb) {
    const double mb = 1024.0 * 1024.0;
    state.counters["message_MB"] = static_cast<double>(bytes) / mb;
    state.counters["peak_MB"] = static_cast<double>(peakKb) / 1024.0;
    state.counters["before_MB"] = static_cast<double>(baselineKb) / 1024.0;
    state.counters["goal_MB"] = (2.0 * static_cast<double>(bytes) + 64.0 * mb) / mb;
}

void BM_Pop3LargeMessagePeak(benchmark::State& state) {
    const long long bytes = state.range(0) << 20;
    if (!gServers.ok) {
        state.SkipWithError("the mail servers did not start");
        return;
    }
    for (auto _ : state) {
        PutLargeMessage(bytes);
        std::filesystem::path home = NewHome();
        long long baseline = 0;
        long long peak = PeakOfChild(
            [&] {
                StoreHost host(home);
                TransferState shared;
                MailSession session(shared, host, host);
                AccountProfile account = BenchAccount();
                account.deleteOnServer = 1;
                session.SetAccount(account, 0, home);
                ReceiveOutcome outcome = ReceiveJob(session).Run(false);
                if (!outcome.ok || outcome.stored != 1) {
                    std::fprintf(stderr, "large receive failed: %s\n", session.LastError().c_str());
                    return false;
                }
                return true;
            },
            false, baseline);
        std::filesystem::remove_all(home);
        if (peak < 0) {
            state.SkipWithError("the receive of the large message failed");
            return;
        }
        ReportPeak(state, bytes, peak, baseline);
    }
}

void BM_Pop3LargeMessageFetchmailPeak(benchmark::State& state) {
    const long long bytes = state.range(0) << 20;
    if (!gServers.ok) {
        state.SkipWithError("the mail servers did not start");
        return;
    }
    for (auto _ : state) {
        PutLargeMessage(bytes);
        std::filesystem::path home = NewHome();
        std::filesystem::path rc = home / "fetchmailrc";
        std::filesystem::path bsmtp = home / "fetched.bsmtp";
        long long baseline = 0;
        long long peak = PeakOfChild(
            [&] {
                return WritePrivate(rc, "poll 127.0.0.1 service " + std::to_string(gServers.pop3) +
                                            " protocol POP3 timeout 300\n"
                                            "  user \"bench\" password \"benchpw\"\n") &&
                       RunTool({"fetchmail", "-f", rc.string(), "--nosyslog", "--silent", "-a",
                                "--nokeep", "--fetchsizelimit", "0", "--sslproto", "", "--bsmtp",
                                bsmtp.string()},
                               home, {}, 900) == 0 &&
                       MaildirCount() == 0;
            },
            true, baseline);
        std::filesystem::remove_all(home);
        if (peak < 0) {
            state.SkipWithError("fetchmail did not fetch the large message");
            return;
        }
        ReportPeak(state, bytes, peak, 0);
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    // Each client's row next to ours; a tool that is not installed loses
    // only its own row.
    // Peak memory first, while this process is still small.
    benchmark::RegisterBenchmark("BM_Pop3LargeMessagePeak", BM_Pop3LargeMessagePeak)
        ->Arg(100)
        ->Arg(1024)
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    if (OnPath("fetchmail")) {
        benchmark::RegisterBenchmark("BM_Pop3LargeMessageFetchmailPeak",
                                     BM_Pop3LargeMessageFetchmailPeak)
            ->Arg(100)
            ->Arg(1024)
            ->Iterations(1)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    benchmark::RegisterBenchmark("BM_Pop3Retrieve", BM_Pop3Retrieve)
        ->Arg(10000)
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    if (OnPath("fetchmail")) {
        benchmark::RegisterBenchmark("BM_Pop3Fetchmail", BM_Pop3Fetchmail)
            ->Arg(10000)
            ->Iterations(1)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    } else {
        std::fprintf(stderr, "bench_transfer: fetchmail is not installed; its row is skipped\n");
    }
    benchmark::RegisterBenchmark("BM_SmtpDeliver", BM_SmtpDeliver)
        ->Arg(1000)
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    if (OnPath("msmtp")) {
        benchmark::RegisterBenchmark("BM_SmtpMsmtp", BM_SmtpMsmtp)
            ->Arg(1000)
            ->Iterations(1)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    } else {
        std::fprintf(stderr, "bench_transfer: msmtp is not installed; its row is skipped\n");
    }
    if (!StartServers()) {
        std::fprintf(stderr, "bench_transfer: the mail servers did not start\n");
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    StopServers();
    return gServers.ok ? 0 : 1;
}
