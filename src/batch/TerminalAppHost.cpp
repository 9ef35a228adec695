#include "batch/TerminalAppHost.h"

#include <signal.h>
#include <unistd.h>

#include <iterator>

#include "common/StringTable.h"

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

std::optional<std::string> TerminalAppHost::AskPassword() {
    return ReadInputLine(in_, out_, true, std::string(kPasswordDialogTitle) + ": ");
}

std::optional<std::string> TerminalAppHost::AskHomeDirectory(const std::string& suggestion) {
    // Input from a file or a pipe holds the answers to other questions (a
    // password), never the choice of where all mail will live.
    if (!IsTerminal(in_))
        return std::nullopt;
    std::fprintf(out_, "%s\n%s\n[%s]: ", kHomeDialogTitle, kHomeDialogPrompt, suggestion.c_str());
    std::fflush(out_);
    std::optional<std::string> line = ReadInputLine(in_, out_, false);
    if (!line)
        return std::nullopt;
    // Enter alone takes the proposed folder.
    if (line->empty())
        return suggestion;
    return line;
}

void TerminalAppHost::ShowMessage(int stringId) {
    std::fprintf(out_, "%s: %s\n", kMessageCaption, LoadString(stringId));
    std::fflush(out_);
}

bool TerminalAppHost::AskYesNo(int stringId) {
    if (!IsTerminal(in_)) {
        std::fprintf(out_, "%s: %s (answered No: nobody at a terminal)\n", kMessageCaption,
                     LoadString(stringId));
        std::fflush(out_);
        return false;
    }
    std::fprintf(out_, "%s: %s [y/N] ", kMessageCaption, LoadString(stringId));
    std::fflush(out_);
    std::optional<std::string> line = ReadInputLine(in_, out_, false);
    return line && !line->empty() && (line->front() == 'y' || line->front() == 'Y');
}

}  // namespace corvina
