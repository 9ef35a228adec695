// Several processes writing one folder file at once: deliveries appended
// beside compactions and reorganisations that rewrite the whole file. The
// folder lock and the check of what changed since the read keep every
// message.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "message/MailMessage.h"
#include "store/Compact.h"
#include "store/MailFolder.h"
#include "store/MailStore.h"
#include "store/Mailbox.h"
#include "store/Reorganise.h"

namespace corvina {
namespace {

namespace fs = std::filesystem;
using test::ScratchDir;

constexpr int kWriters = 2;
constexpr int kEach = 120;

std::unique_ptr<MailMessage> Numbered(int writer, int n) {
    auto m = std::make_unique<MailMessage>(0);
    m->from = "writer" + std::to_string(writer) + "@example.org";
    m->to = "me@example.org";
    m->subject = "w" + std::to_string(writer) + "-" + std::to_string(n);
    // Dates run backwards, so every reorganisation moves messages around.
    char date[64];
    std::snprintf(date, sizeof date, "Mon, 07 Dec 2026 %02d:%02d:00 +0000", 23 - n / 60 % 24,
                  59 - n % 60);
    m->date = date;
    m->otherHeaders = {"Received: from somewhere", "Message-Id: <" + m->subject + "@x>"};
    m->otherHeaderCount = 2;
    m->AddBodyLine("body of " + m->subject);
    m->bodyLoaded = true;
    return m;
}

// Runs `body` in a child process; its result is the child's exit status.
template <typename Body>
pid_t Spawn(Body body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::_exit(body() ? 0 : 1);
    }
    return pid;
}

int ExitCode(pid_t pid) {
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

TEST(ConcurrentWriters, DeliveriesBesideRewritesLoseNothing) {
    ScratchDir dir;
    const StoreContext context{dir.Path(), nullptr};
    const fs::path inbox = dir / "InBox.mbx";
    const fs::path stop = dir / "stop";

    // Each rewriter is a process of its own, as `--compact InBox` and
    // `--reorganize InBox` run in a loop beside a receive.
    std::vector<pid_t> rewriters;
    for (int kind = 0; kind < 2; ++kind) {
        rewriters.push_back(Spawn([&, kind] {
            int rounds = 0;
            std::error_code ec;
            while (!fs::exists(stop, ec) || rounds < 3) {
                MailFolder folder(inbox);
                if (kind == 0)
                    CompactFolder(folder, CompactMode::kMinimum, true, context, nullptr);
                else
                    ReorganiseFolder(folder, context, nullptr);
                ++rounds;
            }
            return true;
        }));
    }
    std::vector<pid_t> writers;
    for (int w = 0; w < kWriters; ++w) {
        writers.push_back(Spawn([&, w] {
            MailStore store;
            const StoreContext batched{dir.Path(), &store};
            for (int n = 0; n < kEach; ++n) {
                MailFolder folder(inbox);  // a fresh process's view each time
                if (DeliverMessage(batched, "InBox", Numbered(w, n)) == nullptr)
                    return false;
            }
            return store.SyncDeliveries();
        }));
    }
    for (pid_t pid : writers)
        EXPECT_EQ(ExitCode(pid), 0);
    test::WriteFileBytes(stop, "");
    for (pid_t pid : rewriters)
        EXPECT_EQ(ExitCode(pid), 0);

    MailFolder folder(inbox);
    ASSERT_TRUE(LoadFolder(folder, context));
    std::map<std::string, int> seen;
    for (const auto& m : folder.messages)
        ++seen[m->subject];
    EXPECT_EQ(folder.messages.size(), static_cast<std::size_t>(kWriters * kEach));
    for (int w = 0; w < kWriters; ++w) {
        for (int n = 0; n < kEach; ++n) {
            const std::string subject = "w" + std::to_string(w) + "-" + std::to_string(n);
            EXPECT_EQ(seen[subject], 1) << subject;
        }
    }
    // Every body is still where the index says.
    for (const auto& m : folder.messages) {
        LoadMessageBody(*m);
        EXPECT_EQ(m->bodyLines.Joined(), "body of " + m->subject + "\n");
    }
}

}  // namespace
}  // namespace corvina
