#include "platform/SingleInstance.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <thread>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "ChildProcess.h"
#include "TestSupport.h"
#include "platform/Process.h"

namespace corvina {
namespace {

using namespace std::chrono_literals;
using test::ChildArgv;
using test::ScratchDir;

// What a main window would be asked to do.
class RecordingHost : public SingleInstanceHost {
public:
    void OpenAddress(const std::string& address) override { calls.push_back("address:" + address); }
    void OpenFiles(const std::string& commandLine) override {
        calls.push_back("files:" + commandLine);
    }
    void Restore() override { calls.push_back("restore"); }
    std::vector<std::string> calls;
};

// Pumps the first instance while a child process runs, as the window's
// event loop would.
class PumpingHost : public ProcessHost {
public:
    PumpingHost(SingleInstance& instance, SingleInstanceHost& host)
        : instance_(instance), host_(host) {}
    bool KeepWaiting() override {
        instance_.Poll(host_, 0ms);
        return true;
    }

private:
    SingleInstance& instance_;
    SingleInstanceHost& host_;
};

int RawConnect(const std::filesystem::path& socketPath) {
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, socketPath.c_str(), sizeof addr.sun_path - 1);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

TEST(SingleInstance, SecondProcessHandsOverAndEnds) {
    ScratchDir dir;
    SingleInstance first(dir.Path());
    ASSERT_EQ(first.Acquire(), SingleInstance::Role::kPrimary);
    ASSERT_GE(first.ListenFd(), 0);
    RecordingHost window;
    PumpingHost pump(first, window);

    auto runSecond = [&](std::vector<std::string> args) {
        std::vector<std::string> modeArgs = {"second", dir.Path().string()};
        modeArgs.insert(modeArgs.end(), args.begin(), args.end());
        Process second(ChildArgv(modeArgs));
        second.SetPollInterval(5ms);
        const auto result = second.Run(&pump);
        return result ? result->exitCode : -100;
    };
    EXPECT_EQ(runSecond({"address", "x@y"}), 0);
    EXPECT_EQ(runSecond({"files", "\"/home/me/My File.txt\" other.txt"}), 0);
    EXPECT_EQ(runSecond({"restore"}), 0);
    EXPECT_EQ(window.calls,
              (std::vector<std::string>{"address:x@y", "files:\"/home/me/My File.txt\" other.txt",
                                        "restore"}));

    struct stat st {};
    ASSERT_EQ(stat((dir / "corvina.sock").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(stat((dir / "corvina.lock").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(SingleInstance, CrashedInstanceDoesNotBlockANewStart) {
    ScratchDir dir;
    EXPECT_FALSE(SingleInstance::IsRunning(dir.Path()));
    // A child takes the lock and is then killed without any clean-up.
    class KillWhenRunning : public ProcessHost {
    public:
        explicit KillWhenRunning(std::filesystem::path d) : dir_(std::move(d)) {}
        bool KeepWaiting() override {
            sawRunning_ = sawRunning_ || SingleInstance::IsRunning(dir_);
            return !sawRunning_ && ++calls_ < 1000;
        }
        std::filesystem::path dir_;
        bool sawRunning_ = false;
        int calls_ = 0;
    } host(dir.Path());
    Process holder(ChildArgv({"hold", dir.Path().string()}));
    holder.SetPollInterval(5ms);
    holder.SetKillGrace(0ms);
    const auto result = holder.Run(&host);
    ASSERT_TRUE(result);
    ASSERT_TRUE(host.sawRunning_);
    EXPECT_TRUE(result->aborted);
    EXPECT_TRUE(std::filesystem::exists(dir / "corvina.lock"));
    EXPECT_TRUE(std::filesystem::exists(dir / "corvina.sock"));  // left behind

    EXPECT_FALSE(SingleInstance::IsRunning(dir.Path()));
    SingleInstance next(dir.Path());
    ASSERT_EQ(next.Acquire(), SingleInstance::Role::kPrimary);
    EXPECT_TRUE(SingleInstance::IsRunning(dir.Path()));
    EXPECT_EQ(next.Acquire(), SingleInstance::Role::kPrimary);  // asking again keeps it

    // The stale socket was replaced: hand-over works again.
    SingleInstance later(dir.Path());
    ASSERT_EQ(later.Acquire(), SingleInstance::Role::kSecondary);
    bool sent = false;
    std::thread sender([&] { sent = later.SendRestore(); });
    RecordingHost window;
    EXPECT_EQ(next.Poll(window, 5s), 1);
    sender.join();
    EXPECT_TRUE(sent);

    next.Release();
    EXPECT_FALSE(SingleInstance::IsRunning(dir.Path()));
    EXPECT_FALSE(std::filesystem::exists(dir / "corvina.sock"));
}

TEST(SingleInstance, RefusesOversizedAndMalformedRequests) {
    ScratchDir dir;
    SingleInstance first(dir.Path());
    ASSERT_EQ(first.Acquire(), SingleInstance::Role::kPrimary);
    SingleInstance second(dir.Path());
    ASSERT_EQ(second.Acquire(), SingleInstance::Role::kSecondary);
    EXPECT_FALSE(first.SendAddress("a@b"));  // only a later start hands over

    EXPECT_FALSE(second.SendAddress(std::string(kMaxHandOverAddress + 1, 'a'), 100ms));
    EXPECT_FALSE(second.SendFiles(std::string(kMaxHandOverCommandLine + 1, 'f'), 100ms));

    // Garbage, an unknown message and a stalled half request are dropped;
    // none of them keeps a real request from getting through.
    RecordingHost window;
    const int junk = RawConnect(dir / "corvina.sock");
    ASSERT_GE(junk, 0);
    ASSERT_EQ(write(junk, "GET / HTTP/1.0\r\n\r\n", 18), 18);
    const int unknown = RawConnect(dir / "corvina.sock");
    const char unknownRequest[12] = {'C', 'V', 'I', '1', 42, 0, 0, 0, 0, 0, 0, 0};
    ASSERT_EQ(write(unknown, unknownRequest, 12), 12);
    const int stalled = RawConnect(dir / "corvina.sock");
    ASSERT_EQ(write(stalled, "CVI1", 4), 4);
    EXPECT_EQ(first.Poll(window, 200ms), 0);
    char byte;
    EXPECT_EQ(read(junk, &byte, 1), 0);  // closed without an answer
    EXPECT_EQ(read(unknown, &byte, 1), 0);

    const std::string longest(kMaxHandOverAddress, 'a');
    bool sent = false;
    std::thread sender([&] { sent = second.SendAddress(longest); });
    EXPECT_EQ(first.Poll(window, 5s), 1);
    sender.join();
    EXPECT_TRUE(sent);
    EXPECT_EQ(window.calls, (std::vector<std::string>{"address:" + longest}));
    close(junk);
    close(unknown);
    close(stalled);
}

TEST(SingleInstance, RequestArrivingJustAfterTheConnectionIsServed) {
    ScratchDir dir;
    SingleInstance first(dir.Path());
    ASSERT_EQ(first.Acquire(), SingleInstance::Role::kPrimary);
    RecordingHost window;
    // The event loop wakes for the connection, the bytes follow a moment
    // later: a zero-timeout poll must not leave the request stranded.
    const int fd = RawConnect(dir / "corvina.sock");
    ASSERT_GE(fd, 0);
    std::thread late([fd] {
        std::this_thread::sleep_for(50ms);
        const char request[12] = {'C', 'V', 'I', '1', 0, 0, 0, 0, 0, 0, 0, 0};
        std::uint32_t message = kMsgRestore;
        char bytes[12];
        std::memcpy(bytes, request, 12);
        std::memcpy(bytes + 4, &message, 4);
        [[maybe_unused]] ssize_t n = write(fd, bytes, 12);
    });
    EXPECT_EQ(first.Poll(window, 0ms), 1);
    late.join();
    EXPECT_EQ(window.calls, (std::vector<std::string>{"restore"}));
    char ack = 0;
    EXPECT_EQ(read(fd, &ack, 1), 1);
    EXPECT_FALSE(first.HasPending());
    close(fd);
}

TEST(SingleInstance, HandOverFailsWhenNobodyAnswers) {
    ScratchDir dir;
    SingleInstance first(dir.Path());
    ASSERT_EQ(first.Acquire(), SingleInstance::Role::kPrimary);
    SingleInstance second(dir.Path());
    ASSERT_EQ(second.Acquire(), SingleInstance::Role::kSecondary);
    EXPECT_FALSE(second.SendAddress("x@y", 150ms));  // first never polls

    first.Release();  // lock gone but the second start still thinks otherwise
    EXPECT_FALSE(second.SendRestore(150ms));
    EXPECT_EQ(SingleInstance(dir / "sub" / "dir").Acquire(), SingleInstance::Role::kPrimary);
}

}  // namespace
}  // namespace corvina
