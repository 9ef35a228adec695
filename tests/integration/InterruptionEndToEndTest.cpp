// The real corvina binary killed (SIGKILL) in the middle of a receive or a
// delivery against the real Dovecot and Postfix, a compose running beside a
// delivery, and a receive beside rewrites of its folder: nothing is lost,
// and each kill costs at most one message fetched or sent twice.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <random>
#include <string>
#include <thread>

#include "BatchProcess.h"
#include "MailServers.h"
#include "TestSupport.h"

namespace corvina {
namespace {

using test::BatchProcess;
using test::BatchResult;
using test::MailServers;

MailServers& Servers() {
    return MailServers::Get();
}

// A corvina process that runs while the test goes on.
class Running {
public:
    Running(const BatchProcess& batch, const std::vector<std::string>& args) {
        std::vector<std::string> env = batch.Environment();
        std::vector<std::string> argStrings = {CORVINA_BINARY};
        argStrings.insert(argStrings.end(), args.begin(), args.end());
        std::vector<char*> argv, envp;
        for (auto& s : argStrings) {
            argv.push_back(s.data());
        }
        argv.push_back(nullptr);
        for (auto& s : env) {
            envp.push_back(s.data());
        }
        envp.push_back(nullptr);
        const std::string cwd = batch.Work().string();
        pid_ = fork();
        if (pid_ == 0) {
            int null = open("/dev/null", O_RDWR);
            if (null < 0 || dup2(null, 0) < 0 || dup2(null, 1) < 0 || dup2(null, 2) < 0 ||
                chdir(cwd.c_str()) != 0) {
                _exit(127);
            }
            execve(argv[0], argv.data(), envp.data());
            _exit(127);
        }
    }
    ~Running() { Kill(); }
    // SIGKILL, unless it ended by itself already. True when it was killed.
    bool Kill() {
        if (pid_ <= 0 || Ended()) {
            return false;
        }
        bool ended = waitpid(pid_, nullptr, WNOHANG) == pid_;
        if (!ended) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        pid_ = -1;
        return !ended;
    }
    bool Ended() {
        if (pid_ > 0 && waitpid(pid_, &status_, WNOHANG) == pid_) {
            pid_ = -1;
            ended_ = true;
        }
        return ended_;
    }
    int Wait() {
        if (!Ended()) {
            waitpid(pid_, &status_, 0);
            pid_ = -1;
            ended_ = true;
        }
        return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
    }

private:
    pid_t pid_ = -1;
    int status_ = 0;
    bool ended_ = false;
};

std::uintmax_t SizeOf(const std::filesystem::path& path) {
    std::error_code ec;
    std::uintmax_t size = std::filesystem::file_size(path, ec);
    return ec ? 0 : size;
}

// Lets `process` run until `grows` has grown (it is at work), then a
// little more, then kills it. True when it was killed before it ended.
bool KillWhileAtWork(Running& process, const std::filesystem::path& grows, int moreMs) {
    const std::uintmax_t start = SizeOf(grows);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (SizeOf(grows) == start && !process.Ended() &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(moreMs));
    return process.Kill();
}

struct User {
    User(const std::string& name, int deleteOnServer) : batch(dir.Path()) {
        batch.WriteConfig("CodePage = 65001\nTimeout = 30\n[Users\\0]\nAccount = " + name +
                          "\nName = " + name + "\nAddress = " + name + "@example.test\nUser = " +
                          name + "\nPOP = 127.0.0.1\nPOP3Port = " + std::to_string(Servers().pop3) +
                          "\nPOP3Security = 1\nDeleteOnServer = " + std::to_string(deleteOnServer) +
                          "\nSMTP = 127.0.0.1\nSMTPPort = " + std::to_string(Servers().submission) +
                          "\nSMTPSecurity = 1\nSMTPAuth = 1\n");
        BatchResult pass = batch.Run({"--set-password"}, name + "pw\n");
        EXPECT_EQ(pass.exitCode, 0) << pass.err;
    }
    std::string Folder(const std::string& name) const {
        std::error_code ec;
        std::filesystem::path path = batch.MailboxDir() / (name + ".mbx");
        return std::filesystem::exists(path, ec) ? test::ReadFileBytes(path) : std::string();
    }
    test::ScratchDir dir;
    BatchProcess batch;
};

// How often each subject "<tag><n>" occurs in `text` as a header line.
std::map<std::string, int> CountSubjects(const std::string& text, const std::string& header) {
    std::map<std::string, int> counts;
    size_t at = 0;
    while ((at = text.find(header, at)) != std::string::npos) {
        if (at == 0 || text[at - 1] == '\n') {
            size_t end = text.find_first_of("\r\n", at);
            std::string value = text.substr(at + header.size(), end - at - header.size());
            while (!value.empty() && value.front() == ' ') {
                value.erase(0, 1);
            }
            ++counts[value];
        }
        at += header.size();
    }
    return counts;
}

// Every one of `count` subjects "<tag>1".."<tag>count" is there; the copies
// beyond one add up to at most `extra`.
void ExpectAllWithAtMost(const std::map<std::string, int>& counts, const std::string& tag,
                         int count, int extra) {
    int doubled = 0;
    for (int i = 1; i <= count; ++i) {
        auto it = counts.find(tag + std::to_string(i));
        if (it == counts.end()) {
            ADD_FAILURE() << tag << i << " is missing";
            continue;
        }
        doubled += it->second - 1;
    }
    EXPECT_LE(doubled, extra);
}

class Interruption : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Servers().Ok()) << Servers().Failure();
        setenv("SSL_CERT_FILE", Servers().CaFile().c_str(), 1);
        Servers().ClearMaildir("carol");
        Servers().ClearMaildir("frank");
    }

public:
    std::mt19937 random{20261208};
    int Pause(int from, int to) { return std::uniform_int_distribution<int>(from, to)(random); }
};

void FillMaildrop(const std::string& user, const std::string& tag, int count) {
    for (int i = 1; i <= count; ++i) {
        std::string n = std::to_string(i);
        Servers().PutMessage(user, "From: sender@example.test\r\nTo: " + user +
                                       "@example.test\r\nSubject: " + tag + n +
                                       "\r\nMessage-ID: <" + tag + n + "@example.test>\r\n\r\n" +
                                       std::string(2000, 'x') + "\r\n");
    }
}

void KilledReceives(Interruption& t, int deleteOnServer, const std::string& tag) {
    const int kMessages = 120;
    FillMaildrop("frank", tag, kMessages);
    User frank("frank", deleteOnServer);
    int kills = 0;
    for (int round = 0; round < 3; ++round) {
        Running receive(frank.batch, {"--receive"});
        kills += KillWhileAtWork(receive, frank.batch.MailboxDir() / "InBox.mbx", t.Pause(0, 60))
                     ? 1
                     : 0;
    }
    // The kills must have cut receives short for the test to show anything.
    EXPECT_GT(kills, 0);
    ::testing::Test::RecordProperty("kills", kills);
    Running last(frank.batch, {"--receive"});
    EXPECT_EQ(last.Wait(), 0);
    ExpectAllWithAtMost(CountSubjects(frank.Folder("InBox"), "Subject:"), tag, kMessages, kills);
    if (deleteOnServer) {
        EXPECT_TRUE(Servers().Messages("frank").empty());
    }
    // Nothing new arrives on a receive after that.
    Running again(frank.batch, {"--receive"});
    EXPECT_EQ(again.Wait(), 0);
    ExpectAllWithAtMost(CountSubjects(frank.Folder("InBox"), "Subject:"), tag, kMessages, kills);
}

TEST_F(Interruption, KilledReceiveKeepingMailOnTheServer) {
    KilledReceives(*this, 0, "keep");
}

TEST_F(Interruption, KilledReceiveDeletingOnTheServer) {
    KilledReceives(*this, 1, "dele");
}

// Another process rewriting InBox over and over while a receive appends to
// it: the rewrites wait for the folder's lock and keep what was appended.
TEST_F(Interruption, ReceiveBesideCompactionAndReorganisationLosesNothing) {
    const int kMessages = 150;
    FillMaildrop("frank", "busy", kMessages);
    User frank("frank", 1);
    // InBox exists (empty) before the rewrites start.
    std::filesystem::create_directories(frank.batch.MailboxDir());
    test::WriteFileBytes(frank.batch.MailboxDir() / "InBox.mbx", "");
    Running receive(frank.batch, {"--receive"});
    int rewrites = 0;
    while (!receive.Ended()) {
        BatchResult r = frank.batch.Run({rewrites % 2 ? "--reorganize" : "--compact", "InBox"});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        ++rewrites;
    }
    EXPECT_EQ(receive.Wait(), 0);
    EXPECT_GT(rewrites, 1);
    RecordProperty("rewrites", rewrites);
    ExpectAllWithAtMost(CountSubjects(frank.Folder("InBox"), "Subject:"), "busy", kMessages, 0);
    EXPECT_TRUE(Servers().Messages("frank").empty());
}

TEST_F(Interruption, KilledDeliveryLosesNothing) {
    const int kMessages = 60;
    User carol("carol", 1);
    for (int i = 1; i <= kMessages; ++i) {
        BatchResult r = carol.batch.Run(
            {"--compose", "--to", "frank@example.test", "--subject", "out" + std::to_string(i)});
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    int kills = 0;
    for (int round = 0; round < 3; ++round) {
        Running deliver(carol.batch, {"--deliver"});
        kills +=
            KillWhileAtWork(deliver, carol.batch.MailboxDir() / "OutBox" / "Sent.mbx", Pause(0, 60))
                ? 1
                : 0;
    }
    EXPECT_GT(kills, 0);
    RecordProperty("kills", kills);
    BatchResult last = carol.batch.Run({"--deliver"});
    EXPECT_EQ(last.exitCode, 0) << last.err;
    EXPECT_TRUE(carol.Folder("OutBox").empty());
    EXPECT_FALSE(std::filesystem::exists(carol.batch.MailboxDir() / "OutBox.bak"));
    ASSERT_TRUE(Servers().WaitForMessages("frank", kMessages)) << Servers().Logs();
    // Let any second copy arrive before counting.
    std::this_thread::sleep_for(std::chrono::seconds(2));
    std::string arrived;
    for (const std::string& text : Servers().Messages("frank")) {
        arrived += text;
    }
    ExpectAllWithAtMost(CountSubjects(arrived, "Subject:"), "out", kMessages, kills);
}

TEST_F(Interruption, ComposingBesideADeliveryLosesNothing) {
    const int kQueued = 25;
    const int kComposed = 12;
    User carol("carol", 1);
    for (int i = 1; i <= kQueued; ++i) {
        ASSERT_EQ(carol.batch
                      .Run({"--compose", "--to", "frank@example.test", "--subject",
                            "queued" + std::to_string(i)})
                      .exitCode,
                  0);
    }
    Running deliver(carol.batch, {"--deliver"});
    for (int i = 1; i <= kComposed; ++i) {
        BatchResult r = carol.batch.Run(
            {"--compose", "--to", "frank@example.test", "--subject", "beside" + std::to_string(i)});
        EXPECT_EQ(r.exitCode, 0) << r.err;
    }
    EXPECT_EQ(deliver.Wait(), 0);
    // Every message is either sent (in Sent) or still queued (in the OutBox).
    std::map<std::string, int> both =
        CountSubjects(carol.Folder("OutBox/Sent") + carol.Folder("OutBox"), "Subject:");
    ExpectAllWithAtMost(both, "queued", kQueued, 0);
    ExpectAllWithAtMost(both, "beside", kComposed, 0);
}

}  // namespace
}  // namespace corvina
