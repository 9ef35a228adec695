// The real client binary started while this test process holds the
// single-instance lock, standing in for the running main window.

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "platform/SingleInstance.h"

namespace corvina {
namespace {

struct Received : SingleInstanceHost {
    std::vector<std::string> events;
    void OpenAddress(const std::string& address) override {
        events.push_back("address:" + address);
    }
    void OpenFiles(const std::string& line) override { events.push_back("files:" + line); }
    void Restore() override { events.push_back("restore"); }
};

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

class ClientStart : public ::testing::Test {
protected:
    // Starts the client in `cwd` with a private runtime directory and
    // configuration; while it runs, serves `instance` when given.
    RunResult Run(const std::vector<std::string>& args, SingleInstance* instance,
                  Received* received) {
        std::vector<std::string> envStrings = {
            "XDG_RUNTIME_DIR=" + runtime.Path().string(),
            "CORVINA_CONFIG=" + (work / "Corvina.ini").string(),
            "HOME=" + work.Path().string(),
            "TMPDIR=" + work.Path().string(),
            "PATH=/usr/bin:/bin",
        };
        std::vector<std::string> argStrings = {CORVINA_BINARY};
        argStrings.insert(argStrings.end(), args.begin(), args.end());
        test::ExecStrings argv(std::move(argStrings));
        test::ExecStrings envp(std::move(envStrings));
        const std::string outPath = (work / "stdout.txt").string();
        const std::string errPath = (work / "stderr.txt").string();
        const std::string cwd = work.Path().string();

        pid_t pid = fork();
        if (pid == 0) {
            int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 ||
                chdir(cwd.c_str()) != 0) {
                _exit(127);
            }
            execve(argv.Data()[0], argv.Data(), envp.Data());
            _exit(127);
        }
        EXPECT_GT(pid, 0);
        int status = 0;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        for (;;) {
            pid_t done = waitpid(pid, &status, WNOHANG);
            if (done == pid)
                break;
            if (std::chrono::steady_clock::now() > deadline) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                ADD_FAILURE() << "client did not end";
                break;
            }
            if (instance) {
                instance->Poll(*received, std::chrono::milliseconds(20));
            } else {
                usleep(20 * 1000);
            }
        }
        RunResult result;
        if (WIFEXITED(status))
            result.exitCode = WEXITSTATUS(status);
        result.out = test::ReadFileBytes(outPath);
        result.err = test::ReadFileBytes(errPath);
        return result;
    }

    test::ScratchDir runtime;
    test::ScratchDir work;
};

TEST_F(ClientStart, HandsTheMailtoAddressToTheRunningInstance) {
    SingleInstance first(runtime.Path());
    ASSERT_EQ(first.Acquire(), SingleInstance::Role::kPrimary);
    Received received;
    RunResult r = Run({"-a", "mailto:x@y"}, &first, &received);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(received.events, std::vector<std::string>{"address:x@y"});

    received.events.clear();
    r = Run({"/Amailto:x@y?attach=/etc/passwd"}, &first, &received);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(received.events, std::vector<std::string>{"address:x@y"});

    // As the desktop's mailto: handler starts it.
    received.events.clear();
    r = Run({"mailto:x@y"}, &first, &received);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(received.events, std::vector<std::string>{"address:x@y"});

    // Too long to hand over: refused as a whole, never cut.
    received.events.clear();
    r = Run({"-a", std::string(300, 'x') + "@y"}, &first, &received);
    EXPECT_NE(r.exitCode, 0);
    EXPECT_TRUE(received.events.empty());
    EXPECT_NE(r.err.find("longer"), std::string::npos) << r.err;
}

TEST_F(ClientStart, HandsFilesOverAsAbsolutePaths) {
    test::WriteFileBytes(work / "with blank.txt", "x");
    SingleInstance first(runtime.Path());
    ASSERT_EQ(first.Acquire(), SingleInstance::Role::kPrimary);
    Received received;
    const std::string spaced = (work / "with blank.txt").string();
    RunResult r = Run({"notes.txt", spaced}, &first, &received);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(received.events, std::vector<std::string>{"files:" + (work / "notes.txt").string() +
                                                        " \"" + spaced + "\""});
}

TEST_F(ClientStart, BareStartAsksTheRunningInstanceToRestore) {
    SingleInstance first(runtime.Path());
    ASSERT_EQ(first.Acquire(), SingleInstance::Role::kPrimary);
    Received received;
    RunResult r = Run({}, &first, &received);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(received.events, std::vector<std::string>{"restore"});
}

TEST_F(ClientStart, WithoutADisplaySaysSoAndFails) {
    RunResult r = Run({}, nullptr, nullptr);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("no display"), std::string::npos) << r.err;
    // It left nothing behind that would make a later start a second instance.
    EXPECT_FALSE(SingleInstance::IsRunning(runtime.Path()));
}

TEST_F(ClientStart, VersionStillPrints) {
    RunResult r = Run({"--version"}, nullptr, nullptr);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.starts_with("corvina 1.")) << r.out;
    EXPECT_EQ(Run({"--no-such-option"}, nullptr, nullptr).exitCode, 2);
}

}  // namespace
}  // namespace corvina
