#include <pty.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "batch/TerminalPrompt.h"

namespace corvina {
namespace {

Question Box(ConfirmButtons buttons, ConfirmAnswer preset) {
    Question q;
    q.text = "Do you want to delete the file?";
    q.buttons = buttons;
    q.preset = preset;
    return q;
}

// From a pipe nobody answers: every box takes the cautious answer, whatever
// the input holds and whatever Enter would give, and nothing is chosen.
TEST(TerminalPrompt, WithoutATerminalEveryQuestionTakesTheCautiousAnswer) {
    std::FILE* in = std::tmpfile();
    std::FILE* out = std::tmpfile();
    ASSERT_TRUE(in && out);
    std::fputs("y\nsecret\n", in);
    std::rewind(in);
    TerminalPrompt prompt(in, out);

    EXPECT_EQ(prompt.Ask(Box(ConfirmButtons::YesNo, ConfirmAnswer::Yes)), ConfirmAnswer::No);
    EXPECT_EQ(prompt.Ask(Box(ConfirmButtons::YesAllNoCancel, ConfirmAnswer::YesToAll)),
              ConfirmAnswer::Cancel);
    EXPECT_EQ(prompt.Ask(Box(ConfirmButtons::OkCancel, ConfirmAnswer::Ok)), ConfirmAnswer::Cancel);
    EXPECT_EQ(prompt.Ask(Box(ConfirmButtons::Ok, ConfirmAnswer::Ok)), ConfirmAnswer::Ok);
    EXPECT_EQ(prompt.AskText("Home Folder", "Where?", "/proposed/"), std::nullopt);
    EXPECT_EQ(prompt.ChooseFile(FileChoice{}), std::nullopt);
    // A script may still give a password, line by line.
    EXPECT_EQ(prompt.AskPassword("Password Input", ""), "y");
    EXPECT_EQ(prompt.AskPassword("Password Input", ""), "secret");
    EXPECT_EQ(prompt.AskPassword("Password Input", ""), std::nullopt);
    std::fclose(in);
    std::fclose(out);
}

// At a terminal the keys pick the buttons, Enter gives the preset answer
// and an unknown key the cautious one.
TEST(TerminalPrompt, AtATerminalKeysPickTheButtons) {
    int master = -1, slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    std::FILE* in = fdopen(slave, "r");
    std::FILE* out = std::tmpfile();
    ASSERT_TRUE(in && out);
    const std::string typed = "a\n\nq\nN\n\n";
    ASSERT_EQ(write(master, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
    TerminalPrompt prompt(in, out);

    EXPECT_EQ(prompt.Ask(Box(ConfirmButtons::YesAllNoCancel, ConfirmAnswer::Yes)),
              ConfirmAnswer::YesToAll);
    EXPECT_EQ(prompt.Ask(Box(ConfirmButtons::YesNoCancel, ConfirmAnswer::No)), ConfirmAnswer::No);
    EXPECT_EQ(prompt.Ask(Box(ConfirmButtons::YesNoCancel, ConfirmAnswer::Yes)),
              ConfirmAnswer::Cancel);
    EXPECT_EQ(prompt.Ask(Box(ConfirmButtons::YesNo, ConfirmAnswer::Yes)), ConfirmAnswer::No);
    EXPECT_EQ(prompt.AskText("Home Folder", "Where?", "/proposed/"), "/proposed/");
    std::fclose(in);
    std::fclose(out);
    close(master);
}

}  // namespace
}  // namespace corvina
