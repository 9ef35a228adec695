#include "app/TerminalAppHost.h"

#include <termios.h>
#include <unistd.h>

#include "common/StringTable.h"

namespace corvina {

std::optional<std::string> TerminalAppHost::ReadLine(bool hidden) {
    int fd = fileno(in_);
    termios saved{};
    bool echoOff = hidden && isatty(fd) && tcgetattr(fd, &saved) == 0;
    if (echoOff) {
        termios quiet = saved;
        quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
        tcsetattr(fd, TCSAFLUSH, &quiet);
    }
    std::string line;
    int c;
    bool any = false;
    while ((c = std::fgetc(in_)) != EOF) {
        any = true;
        if (c == '\n')
            break;
        if (c != '\r')
            line.push_back(static_cast<char>(c));
    }
    if (echoOff) {
        tcsetattr(fd, TCSAFLUSH, &saved);
        std::fputc('\n', out_);
    }
    if (!any)
        return std::nullopt;
    return line;
}

std::optional<std::string> TerminalAppHost::AskPassword() {
    std::fprintf(out_, "%s: ", kPasswordDialogTitle);
    std::fflush(out_);
    return ReadLine(true);
}

std::optional<std::string> TerminalAppHost::AskHomeDirectory(const std::string& suggestion) {
    std::fprintf(out_, "%s\n%s\n[%s]: ", kHomeDialogTitle, kHomeDialogPrompt, suggestion.c_str());
    std::fflush(out_);
    std::optional<std::string> line = ReadLine(false);
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
    std::fprintf(out_, "%s: %s [y/N] ", kMessageCaption, LoadString(stringId));
    std::fflush(out_);
    std::optional<std::string> line = ReadLine(false);
    return line && !line->empty() && (line->front() == 'y' || line->front() == 'Y');
}

}  // namespace corvina
