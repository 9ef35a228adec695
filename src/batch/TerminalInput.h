#pragma once
// Reading answers from the terminal (or from a file or pipe standing in for
// it): whole lines, a password without echo, and whether anyone is there.

#include <termios.h>

#include <cstdio>
#include <optional>
#include <string>

namespace corvina {

// Turns the echo of a terminal off for as long as it lives, and puts the
// terminal's mode back however the run ends: on destruction, and on
// SIGINT, SIGTERM, SIGHUP or SIGQUIT before the signal takes its course.
// Does nothing when `fd` is not a terminal. One at a time per process.
class EchoOffGuard {
public:
    explicit EchoOffGuard(int fd);
    ~EchoOffGuard();
    EchoOffGuard(const EchoOffGuard&) = delete;
    EchoOffGuard& operator=(const EchoOffGuard&) = delete;

    bool Active() const { return active_; }

private:
    int fd_;
    bool active_ = false;
    termios saved_{};
};

// One line from `in` without its line end; nullopt at end of input with
// nothing read. When `in` is a terminal, `prompt` is shown on `out` first;
// `hidden` then turns the echo off before the prompt appears, and ends the
// prompt's line on `out` afterwards.
std::optional<std::string> ReadInputLine(std::FILE* in, std::FILE* out, bool hidden,
                                         const std::string& prompt = {});

// Whether `stream` is a terminal someone can answer at.
bool IsTerminal(std::FILE* stream);

}  // namespace corvina
