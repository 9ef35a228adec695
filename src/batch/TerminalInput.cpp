#include "batch/TerminalInput.h"

#include <signal.h>
#include <unistd.h>

#include <iterator>

namespace corvina {

namespace {

constexpr int kRestoredSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// What a signal handler needs to put the terminal back; set only while a
// guard is active.
volatile sig_atomic_t gGuardFd = -1;
termios gGuardSaved{};
struct sigaction gPrevious[sizeof kRestoredSignals / sizeof kRestoredSignals[0]];

void RestoreAndRaise(int sig) {
    if (gGuardFd >= 0)
        tcsetattr(gGuardFd, TCSANOW, &gGuardSaved);
    // The signal's own effect (usually the end of the process) follows.
    signal(sig, SIG_DFL);
    raise(sig);
}

}  // namespace

EchoOffGuard::EchoOffGuard(int fd) : fd_(fd) {
    if (gGuardFd >= 0 || !isatty(fd) || tcgetattr(fd, &saved_) != 0)
        return;
    gGuardSaved = saved_;
    gGuardFd = fd;
    struct sigaction action {};
    action.sa_handler = RestoreAndRaise;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < std::size(kRestoredSignals); ++i) {
        sigaction(kRestoredSignals[i], &action, &gPrevious[i]);
        // A signal the caller chose to ignore (nohup) stays ignored.
        if (gPrevious[i].sa_handler == SIG_IGN)
            sigaction(kRestoredSignals[i], &gPrevious[i], nullptr);
    }
    termios quiet = saved_;
    quiet.c_lflag &= static_cast<tcflag_t>(~(ECHO | ECHOE | ECHOK | ECHONL));
    active_ = tcsetattr(fd, TCSAFLUSH, &quiet) == 0;
    if (!active_) {
        for (std::size_t i = 0; i < std::size(kRestoredSignals); ++i)
            sigaction(kRestoredSignals[i], &gPrevious[i], nullptr);
        gGuardFd = -1;
    }
}

EchoOffGuard::~EchoOffGuard() {
    if (!active_)
        return;
    tcsetattr(fd_, TCSAFLUSH, &saved_);
    for (std::size_t i = 0; i < std::size(kRestoredSignals); ++i)
        sigaction(kRestoredSignals[i], &gPrevious[i], nullptr);
    gGuardFd = -1;
}

bool IsTerminal(std::FILE* stream) {
    return stream && isatty(fileno(stream));
}

std::optional<std::string> ReadInputLine(std::FILE* in, std::FILE* out, bool hidden,
                                         const std::string& prompt) {
    std::optional<EchoOffGuard> guard;
    if (hidden)
        guard.emplace(fileno(in));
    if (!prompt.empty() && IsTerminal(in)) {
        std::fputs(prompt.c_str(), out);
        std::fflush(out);
    }
    std::string line;
    int c;
    bool any = false;
    while ((c = std::fgetc(in)) != EOF) {
        any = true;
        if (c == '\n')
            break;
        line.push_back(static_cast<char>(c));
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (guard && guard->Active()) {
        // The Enter the user typed was not echoed either.
        std::fputc('\n', out);
        std::fflush(out);
    }
    if (!any)
        return std::nullopt;
    return line;
}

}  // namespace corvina
