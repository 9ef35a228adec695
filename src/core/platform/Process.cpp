#include "platform/Process.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace corvina {
namespace {

using Clock = std::chrono::steady_clock;

// The child places its pipes from a fixed array (no allocation after fork).
constexpr std::size_t kMaxChannels = 64;
constexpr std::size_t kMaxExtraPipes = kMaxChannels - 3;

void CloseFd(int& fd) {
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
}

// One pipe between us and the child.
struct Channel {
    int parentFd = -1;
    int childEnd = -1;  // our copy of the child's end, closed after fork
    int childFd = -1;   // descriptor number in the child
    bool toChild = false;
    const std::string* source = nullptr;  // toChild
    std::size_t written = 0;
    std::string* sink = nullptr;  // from child
};

bool MakeChannel(Channel& c) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        return false;
    }
    if (c.toChild) {
        c.childEnd = fds[0];
        c.parentFd = fds[1];
    } else {
        c.parentFd = fds[0];
        c.childEnd = fds[1];
    }
    fcntl(c.parentFd, F_SETFL, O_NONBLOCK);
    return true;
}

bool IsExecutableFile(const std::filesystem::path& p) {
    std::error_code ec;
    return std::filesystem::is_regular_file(p, ec) && access(p.c_str(), X_OK) == 0;
}

// The child after fork: only async-signal-safe calls from here on.
[[noreturn]] void ExecChild(const char* program, char* const* argv, char* const* envp,
                            const std::vector<Channel>& channels, int maxChildFd,
                            const char* workDir, int errorFd) {
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    signal(SIGPIPE, SIG_DFL);
    setpgid(0, 0);  // an abort kills whatever the child started too

    // Move every end (and the error pipe) above the target numbers first,
    // so that placing one cannot overwrite another still to be placed.
    const int movedErrorFd = fcntl(errorFd, F_DUPFD_CLOEXEC, maxChildFd + 1);
    if (movedErrorFd < 0) {
        _exit(127);
    }
    errorFd = movedErrorFd;
    int moved[kMaxChannels];
    const std::size_t count = std::min(channels.size(), kMaxChannels);
    for (std::size_t i = 0; i < count; ++i) {
        moved[i] = fcntl(channels[i].childEnd, F_DUPFD_CLOEXEC, maxChildFd + 1);
        if (moved[i] < 0) {
            const int err = errno;
            [[maybe_unused]] ssize_t n = write(errorFd, &err, sizeof err);
            _exit(127);
        }
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (dup2(moved[i], channels[i].childFd) < 0) {
            const int err = errno;
            [[maybe_unused]] ssize_t n = write(errorFd, &err, sizeof err);
            _exit(127);
        }
    }
    // Descriptors that others opened without close-on-exec stay with us.
#ifdef SYS_close_range
    syscall(SYS_close_range, static_cast<unsigned>(maxChildFd + 1), ~0u, 4u /*CLOEXEC*/);
#endif
    if (workDir != nullptr && chdir(workDir) != 0) {
        const int err = errno;
        [[maybe_unused]] ssize_t n = write(errorFd, &err, sizeof err);
        _exit(127);
    }
    execve(program, argv, envp);
    const int err = errno;
    [[maybe_unused]] ssize_t n = write(errorFd, &err, sizeof err);
    _exit(127);
}

// Blocks SIGPIPE in this thread while the child's pipes are written, so a
// child that exits early costs an EPIPE, not the whole program.
class SigPipeGuard {
public:
    SigPipeGuard() {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &set, &old_);
    }
    ~SigPipeGuard() {
        if (sigismember(&old_, SIGPIPE) == 0) {
            sigset_t pending;
            sigpending(&pending);
            if (sigismember(&pending, SIGPIPE) == 1) {
                sigset_t set;
                sigemptyset(&set);
                sigaddset(&set, SIGPIPE);
                const timespec zero{0, 0};
                sigtimedwait(&set, nullptr, &zero);
            }
        }
        pthread_sigmask(SIG_SETMASK, &old_, nullptr);
    }

private:
    sigset_t old_{};
};

bool ReapChild(pid_t pid, int& status, bool block) {
    for (;;) {
        const pid_t r = waitpid(pid, &status, block ? 0 : WNOHANG);
        if (r == pid) {
            return true;
        }
        if (r < 0 && errno == EINTR) {
            continue;
        }
        return false;
    }
}

// Whether the child has ended, without reaping it.
bool HasExited(pid_t pid) {
    siginfo_t info{};
    for (;;) {
        info.si_pid = 0;
        if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0) {
            return info.si_pid == pid;
        }
        if (errno != EINTR) {
            return true;
        }
    }
}

}  // namespace

Process::Process(std::vector<std::string> argv) : argv_(std::move(argv)) {}

bool Process::AddInputPipe(int childFd, std::string data) {
    if (childFd < 3 || childFd > 255 ||
        inputPipes_.size() + outputPipes_.size() >= kMaxExtraPipes) {
        return false;
    }
    for (const auto& p : inputPipes_) {
        if (p.first == childFd) {
            return false;
        }
    }
    if (std::find(outputPipes_.begin(), outputPipes_.end(), childFd) != outputPipes_.end()) {
        return false;
    }
    inputPipes_.emplace_back(childFd, std::move(data));
    return true;
}

bool Process::AddOutputPipe(int childFd) {
    if (childFd < 3 || childFd > 255 ||
        inputPipes_.size() + outputPipes_.size() >= kMaxExtraPipes ||
        std::find(outputPipes_.begin(), outputPipes_.end(), childFd) != outputPipes_.end()) {
        return false;
    }
    for (const auto& p : inputPipes_) {
        if (p.first == childFd) {
            return false;
        }
    }
    outputPipes_.push_back(childFd);
    return true;
}

void Process::SetEnv(std::string name, std::optional<std::string> value) {
    std::erase_if(env_, [&](const auto& e) { return e.first == name; });
    env_.emplace_back(std::move(name), std::move(value));
}

std::optional<std::filesystem::path> Process::FindProgram(const std::string& name) {
    if (name.empty()) {
        return std::nullopt;
    }
    if (name.find('/') != std::string::npos) {
        return IsExecutableFile(name) ? std::optional<std::filesystem::path>(name) : std::nullopt;
    }
    const char* pathEnv = std::getenv("PATH");
    const std::string path = pathEnv != nullptr ? pathEnv : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find(':', start), path.size());
        const std::string dir = path.substr(start, end - start);
        // An empty element would mean the current directory: never look
        // there, it may be a mail attachment directory.
        if (!dir.empty() && dir.front() == '/') {
            const std::filesystem::path candidate = std::filesystem::path(dir) / name;
            if (IsExecutableFile(candidate)) {
                return candidate;
            }
        }
        start = end + 1;
    }
    return std::nullopt;
}

std::optional<ProcessResult> Process::Run(ProcessHost* host) {
    if (argv_.empty()) {
        return std::nullopt;
    }
    auto program = FindProgram(argv_[0]);
    if (!program) {
        return std::nullopt;
    }
    // The child changes directory before exec: a relative path must not
    // then name a different program.
    std::error_code ec;
    program = std::filesystem::absolute(*program, ec);
    if (ec) {
        return std::nullopt;
    }
    ProcessResult result;

    // Everything the child needs is built before fork.
    std::vector<char*> argv;
    for (std::string& a : argv_) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    std::vector<std::string> envStrings;
    for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
        const std::string_view entry(*e);
        const std::string_view name = entry.substr(0, entry.find('='));
        const bool overridden =
            std::any_of(env_.begin(), env_.end(), [&](const auto& o) { return o.first == name; });
        if (!overridden) {
            envStrings.emplace_back(entry);
        }
    }
    for (const auto& [name, value] : env_) {
        if (value) {
            envStrings.push_back(name + "=" + *value);
        }
    }
    std::vector<char*> envp;
    for (std::string& e : envStrings) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);

    std::vector<Channel> channels;
    channels.push_back({-1, -1, 0, true, &input_, 0, nullptr});
    channels.push_back({-1, -1, 1, false, nullptr, 0, &result.out});
    channels.push_back({-1, -1, 2, false, nullptr, 0, &result.err});
    for (const auto& [fd, data] : inputPipes_) {
        channels.push_back({-1, -1, fd, true, &data, 0, nullptr});
    }
    for (int fd : outputPipes_) {
        result.extraOut[fd];
    }
    for (int fd : outputPipes_) {
        channels.push_back({-1, -1, fd, false, nullptr, 0, &result.extraOut[fd]});
    }
    int maxChildFd = 2;
    for (const Channel& c : channels) {
        maxChildFd = std::max(maxChildFd, c.childFd);
    }
    auto closeAll = [&] {
        for (Channel& c : channels) {
            CloseFd(c.parentFd);
            CloseFd(c.childEnd);
        }
    };
    for (Channel& c : channels) {
        if (!MakeChannel(c)) {
            closeAll();
            return std::nullopt;
        }
    }
    int errorPipe[2];
    if (pipe2(errorPipe, O_CLOEXEC) != 0) {
        closeAll();
        return std::nullopt;
    }
    const std::string workDir = workDir_.string();

    SigPipeGuard sigPipeGuard;
    const pid_t pid = fork();
    if (pid == 0) {
        close(errorPipe[0]);
        ExecChild(program->c_str(), argv.data(), envp.data(), channels, maxChildFd,
                  workDir.empty() ? nullptr : workDir.c_str(), errorPipe[1]);
    }
    close(errorPipe[1]);
    for (Channel& c : channels) {
        CloseFd(c.childEnd);
    }
    if (pid < 0) {
        close(errorPipe[0]);
        closeAll();
        return std::nullopt;
    }
    // The error pipe closes on a successful exec; an errno arrives otherwise.
    int childErrno = 0;
    ssize_t n;
    do {
        n = read(errorPipe[0], &childErrno, sizeof childErrno);
    } while (n < 0 && errno == EINTR);
    close(errorPipe[0]);
    if (n > 0) {
        int status = 0;
        ReapChild(pid, status, true);
        closeAll();
        return std::nullopt;
    }

    int exitFd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    int status = 0;
    bool exited = false;
    // Input channels with nothing to say are closed at once.
    for (Channel& c : channels) {
        if (c.toChild && c.source->empty()) {
            CloseFd(c.parentFd);
        }
    }
    std::vector<char> buf(65536);
    auto transfer = [&](Channel& c) {
        if (c.toChild) {
            while (c.parentFd >= 0 && c.written < c.source->size()) {
                const ssize_t w =
                    write(c.parentFd, c.source->data() + c.written, c.source->size() - c.written);
                if (w < 0 && errno == EINTR) {
                    continue;
                }
                if (w < 0 && errno == EAGAIN) {
                    return;
                }
                if (w <= 0) {
                    CloseFd(c.parentFd);  // the child stopped reading
                    return;
                }
                c.written += static_cast<std::size_t>(w);
            }
            CloseFd(c.parentFd);
            return;
        }
        for (;;) {
            const ssize_t r = read(c.parentFd, buf.data(), buf.size());
            if (r < 0 && errno == EINTR) {
                continue;
            }
            if (r < 0 && errno == EAGAIN) {
                return;
            }
            if (r <= 0) {
                CloseFd(c.parentFd);
                return;
            }
            const std::size_t room =
                c.sink->size() < outputLimit_ ? outputLimit_ - c.sink->size() : 0;
            if (static_cast<std::size_t>(r) > room) {
                result.outputTruncated = true;
            }
            c.sink->append(buf.data(), std::min(static_cast<std::size_t>(r), room));
        }
    };

    for (;;) {
        std::vector<pollfd> fds;
        std::vector<Channel*> owners;
        for (Channel& c : channels) {
            if (c.parentFd >= 0) {
                fds.push_back({c.parentFd, static_cast<short>(c.toChild ? POLLOUT : POLLIN), 0});
                owners.push_back(&c);
            }
        }
        if (!exited && exitFd >= 0) {
            fds.push_back({exitFd, POLLIN, 0});
        }
        const int ready = poll(fds.data(), fds.size(), static_cast<int>(pollInterval_.count()));
        if (ready > 0) {
            for (std::size_t i = 0; i < owners.size(); ++i) {
                if (fds[i].revents != 0) {
                    transfer(*owners[i]);
                }
            }
        }
        if (!exited) {
            exited = ReapChild(pid, status, false);
        }
        if (exited) {
            // Whatever the child wrote is in the pipes now; what a process
            // it left behind might still write is not waited for.
            for (Channel& c : channels) {
                if (c.parentFd >= 0) {
                    if (c.toChild) {
                        CloseFd(c.parentFd);
                    } else {
                        transfer(c);
                        CloseFd(c.parentFd);
                    }
                }
            }
            break;
        }
        if (host != nullptr && !host->KeepWaiting()) {
            result.aborted = true;
            // The child stays unreaped until its group is killed, so the
            // group id cannot have passed to anyone else meanwhile.
            kill(-pid, SIGTERM);
            const auto deadline = Clock::now() + killGrace_;
            while (!HasExited(pid) && Clock::now() < deadline) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            kill(-pid, SIGKILL);
            exited = ReapChild(pid, status, true);
            closeAll();
            break;
        }
    }
    CloseFd(exitFd);
    closeAll();
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.exitCode = -1;
        result.termSignal = WTERMSIG(status);
    }
    return result;
}

}  // namespace corvina
