#pragma once
// The start-up questions on a terminal, for runs without windows. Only a
// terminal is asked: with input from a file or a pipe the home-directory
// question is not asked (a script gets an error saying what to set) and
// Yes/No questions take the cautious No; the local password alone is still
// read as a line, so a script can give it. A password is read without echo
// at a terminal; end of input counts as Cancel, and an empty answer to the
// home-directory question takes the proposed folder.

#include <termios.h>

#include <cstdio>
#include <optional>
#include <string>

#include "app/AppHost.h"

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

class TerminalAppHost : public AppHost {
public:
    TerminalAppHost(std::FILE* in = stdin, std::FILE* out = stderr) : in_(in), out_(out) {}

    std::optional<std::string> AskPassword() override;
    std::optional<std::string> AskHomeDirectory(const std::string& suggestion) override;
    void ShowMessage(int stringId) override;
    bool AskYesNo(int stringId) override;

private:
    std::FILE* in_;
    std::FILE* out_;
};

}  // namespace corvina
