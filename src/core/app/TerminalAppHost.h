#pragma once
// The start-up questions on a terminal, for runs without windows: the
// password is read without echo when the input is a terminal; end of input
// counts as Cancel, and an empty answer to the home-directory question takes
// the proposed folder.

#include <cstdio>

#include "app/AppHost.h"

namespace corvina {

class TerminalAppHost : public AppHost {
public:
    TerminalAppHost(std::FILE* in = stdin, std::FILE* out = stderr) : in_(in), out_(out) {}

    std::optional<std::string> AskPassword() override;
    std::optional<std::string> AskHomeDirectory(const std::string& suggestion) override;
    void ShowMessage(int stringId) override;
    bool AskYesNo(int stringId) override;

private:
    std::optional<std::string> ReadLine(bool hidden);

    std::FILE* in_;
    std::FILE* out_;
};

}  // namespace corvina
