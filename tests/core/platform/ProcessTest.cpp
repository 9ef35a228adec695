#include "platform/Process.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <functional>

#include <fcntl.h>
#include <unistd.h>

#include "ChildProcess.h"
#include "TestSupport.h"

namespace corvina {
namespace {

using test::ChildArgv;

class CallbackHost : public ProcessHost {
public:
    explicit CallbackHost(std::function<bool(int)> keep) : keep_(std::move(keep)) {}
    bool KeepWaiting() override { return keep_(++calls_); }
    int calls_ = 0;

private:
    std::function<bool(int)> keep_;
};

// Whether a process is gone (or only a zombie waiting for a parent).
bool IsGone(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string pidField, name, state;
    if (!(stat >> pidField >> name >> state)) {
        return true;
    }
    return state == "Z" || state == "X";
}

TEST(Process, EchoesInputThroughCatBothWaysAtOnce) {
    std::string input("line one\nbinary \0\xff bytes\n", 25);
    // Far more than a pipe holds: feeding and draining must interleave.
    while (input.size() < 6 * 1024 * 1024) {
        input += input;
    }
    Process cat({"cat"});
    cat.SetInput(input);
    const auto result = cat.Run();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->exitCode, 0);
    EXPECT_EQ(result->out.size(), input.size());
    EXPECT_TRUE(result->out == input);
    EXPECT_TRUE(result->err.empty());
    EXPECT_FALSE(result->aborted);
}

TEST(Process, ReportsExitCodesAndStartFailures) {
    for (int code : {0, 3, 255}) {
        const auto result = Process(ChildArgv({"exit", std::to_string(code)})).Run();
        ASSERT_TRUE(result);
        EXPECT_EQ(result->exitCode, code);
        EXPECT_EQ(result->termSignal, 0);
    }
    test::ScratchDir dir;
    test::WriteFileBytes(dir / "not-executable", "#!/bin/sh\n");
    EXPECT_FALSE(Process({(dir / "not-executable").string()}).Run());
    EXPECT_FALSE(Process({"corvina-no-such-program-here"}).Run());
    EXPECT_FALSE(Process({}).Run());
    EXPECT_FALSE(Process::FindProgram("sh/../sh"));
    EXPECT_TRUE(Process::FindProgram("cat"));

    // Starting in a directory that does not exist is a start failure too.
    Process elsewhere({"cat"});
    elsewhere.SetWorkingDirectory(dir / "missing");
    EXPECT_FALSE(elsewhere.Run());
}

TEST(Process, LargeOutputOnBothStreamsDoesNotDeadlock) {
    const long size = 8L * 1024 * 1024;
    const auto result = Process(ChildArgv({"spew", std::to_string(size)})).Run();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->exitCode, 0);
    EXPECT_EQ(result->out.size(), static_cast<std::size_t>(size));
    EXPECT_EQ(result->err.size(), static_cast<std::size_t>(size));
    EXPECT_FALSE(result->outputTruncated);

    // Beyond the limit output is read and dropped; the child still ends.
    Process limited(ChildArgv({"spew", std::to_string(size)}));
    limited.SetOutputLimit(1000);
    const auto cut = limited.Run();
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->exitCode, 0);
    EXPECT_EQ(cut->out.size(), 1000u);
    EXPECT_EQ(cut->err.size(), 1000u);
    EXPECT_TRUE(cut->outputTruncated);
}

TEST(Process, ChildThatStopsReadingEarlyCostsNoSignal) {
    Process process(ChildArgv({"exit", "0"}));
    process.SetInput(std::string(4 * 1024 * 1024, 'x'));
    const auto result = process.Run();  // would die of SIGPIPE if unguarded
    ASSERT_TRUE(result);
    EXPECT_EQ(result->exitCode, 0);
}

TEST(Process, AbortKillsTheChildAndWhatItStarted) {
    CallbackHost host([](int calls) { return calls < 3; });
    Process sleeper(ChildArgv({"sleep"}));
    sleeper.SetPollInterval(std::chrono::milliseconds(10));
    const auto result = sleeper.Run(&host);
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->aborted);
    EXPECT_EQ(result->termSignal, SIGTERM);
    EXPECT_EQ(result->exitCode, -1);
    EXPECT_EQ(host.calls_, 3);

    // A child that ignores SIGTERM is killed after the grace time, and
    // the process it started goes with it.
    Process stubborn({"sh", "-c", "trap '' TERM; sleep 300 & echo $! >&3; wait"});
    ASSERT_TRUE(stubborn.AddOutputPipe(3));
    stubborn.SetKillGrace(std::chrono::milliseconds(100));
    stubborn.SetPollInterval(std::chrono::milliseconds(10));
    CallbackHost later([](int calls) { return calls < 20; });
    const auto killed = stubborn.Run(&later);
    ASSERT_TRUE(killed);
    EXPECT_TRUE(killed->aborted);
    EXPECT_EQ(killed->termSignal, SIGKILL);
    const pid_t grandchild = std::atoi(killed->extraOut.at(3).c_str());
    ASSERT_GT(grandchild, 0);
    for (int i = 0; i < 100 && !IsGone(grandchild); ++i) {
        usleep(10000);
    }
    EXPECT_TRUE(IsGone(grandchild));
}

TEST(Process, ExtraPipesReachTheChildAtTheirNumbers) {
    // The pass-phrase case: the secret goes through descriptor 3.
    Process reader(ChildArgv({"copy", "3", "1"}));
    ASSERT_TRUE(reader.AddInputPipe(3, "pass phrase\n"));
    auto result = reader.Run();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->out, "pass phrase\n");

    Process writer(ChildArgv({"copy", "0", "5"}));
    writer.SetInput("[GNUPG:] GOODSIG\n");
    ASSERT_TRUE(writer.AddOutputPipe(5));
    result = writer.Run();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->extraOut.at(5), "[GNUPG:] GOODSIG\n");
    EXPECT_TRUE(result->out.empty());

    Process bad({"cat"});
    EXPECT_FALSE(bad.AddInputPipe(2, "x"));
    EXPECT_TRUE(bad.AddInputPipe(4, "x"));
    EXPECT_FALSE(bad.AddInputPipe(4, "y"));
    EXPECT_FALSE(bad.AddOutputPipe(4));
}

TEST(Process, StartFailureIsSeenWhateverNumbersThePipesTake) {
    // Give the child pipes at the numbers our own descriptors will occupy,
    // the error report's included: it must still reach us.
    const int lowest = open("/dev/null", O_RDONLY);
    ASSERT_GE(lowest, 0);
    close(lowest);
    Process process({"cat"});
    for (int fd = lowest + 100; fd < lowest + 161; ++fd) {
        ASSERT_TRUE(process.AddInputPipe(fd, "")) << fd;
    }
    EXPECT_FALSE(process.AddInputPipe(lowest + 170, ""));  // one too many
    process.SetWorkingDirectory("/nonexistent/directory");
    EXPECT_FALSE(process.Run());
}

TEST(Process, ChildGetsOnlyItsOwnDescriptorsAndTheChosenEnvironment) {
    const int leaked = open("/dev/null", O_RDONLY);  // no close-on-exec
    ASSERT_GE(leaked, 0);
    Process lister(ChildArgv({"fds"}));
    ASSERT_TRUE(lister.AddInputPipe(3, ""));
    auto result = lister.Run();
    close(leaked);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->out, "3 ");

    setenv("CORVINA_PROCESS_TEST", "inherited", 1);
    Process env(ChildArgv({"env", "CORVINA_PROCESS_TEST"}));
    result = env.Run();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->out, "inherited");
    env.SetEnv("CORVINA_PROCESS_TEST", "changed");
    EXPECT_EQ(env.Run()->out, "changed");
    env.SetEnv("CORVINA_PROCESS_TEST", std::nullopt);
    EXPECT_EQ(env.Run()->out, "<unset>");
    unsetenv("CORVINA_PROCESS_TEST");

    test::ScratchDir dir;
    Process pwd({"pwd", "-P"});
    pwd.SetWorkingDirectory(dir.Path());
    result = pwd.Run();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->out, std::filesystem::canonical(dir.Path()).string() + "\n");
}

}  // namespace
}  // namespace corvina
