#pragma once
// The user's side of a run without windows. At a terminal every question
// is asked there; with input from a file or a pipe a question is written
// out with the cautious answer it takes (nothing is deleted or overwritten
// on a guess), a text or a file is never taken from it, and notices go to
// the error stream. A password is read without echo at a terminal, and
// still read as a line from a pipe so a script can give it. A box shows as
// "<caption>: <text>"; Enter gives the box's preset answer and, for a text,
// takes what was filled in.

#include <cstdio>

#include "common/UserPrompt.h"

namespace corvina {

class TerminalPrompt : public UserPrompt {
public:
    explicit TerminalPrompt(std::FILE* in = stdin, std::FILE* out = stderr) : in_(in), out_(out) {}

    ConfirmAnswer Ask(const Question& question) override;
    void Notify(std::string_view text, std::string_view caption) override;
    std::optional<std::filesystem::path> ChooseFile(const FileChoice& choice) override;
    std::optional<std::string> AskText(std::string_view title, std::string_view prompt,
                                       std::string_view prefilled) override;
    std::optional<std::string> AskPassword(std::string_view title,
                                           std::string_view prompt) override;

    // The answer given without a user: OK for a notice box, No for Yes/No,
    // otherwise Cancel.
    static ConfirmAnswer CautiousAnswer(ConfirmButtons buttons);

private:
    std::FILE* in_;
    std::FILE* out_;
};

}  // namespace corvina
