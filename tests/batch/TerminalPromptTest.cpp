#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>

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

std::string Contents(std::FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string text;
    for (int c; (c = std::fgetc(f)) != EOF;)
        text.push_back(static_cast<char>(c));
    return text;
}

std::optional<std::string> AskHome(TerminalPrompt& prompt) {
    return prompt.AskText("Home Folder", "Specify the folder name as the root mailbox.",
                          "/proposed/");
}

// Input from a file is a script: it may give the local password, line by
// line, but every box takes the cautious answer whatever the input holds
// and whatever Enter would give, and no text or file is taken from it.
TEST(TerminalPrompt, WithoutATerminalOnlyThePasswordIsRead) {
    std::FILE* in = std::tmpfile();
    std::FILE* out = std::tmpfile();
    ASSERT_TRUE(in && out);
    std::fputs("secret\r\n/srv/mail\ny\n", in);
    std::rewind(in);
    TerminalPrompt prompt(in, out);

    EXPECT_EQ(prompt.AskPassword("Password Input", ""), "secret");
    EXPECT_EQ(prompt.Ask(Box(ConfirmButtons::YesNo, ConfirmAnswer::Yes)), ConfirmAnswer::No);
    EXPECT_EQ(prompt.Ask(Box(ConfirmButtons::YesAllNoCancel, ConfirmAnswer::YesToAll)),
              ConfirmAnswer::Cancel);
    EXPECT_EQ(prompt.Ask(Box(ConfirmButtons::OkCancel, ConfirmAnswer::Ok)), ConfirmAnswer::Cancel);
    EXPECT_EQ(prompt.Ask(Box(ConfirmButtons::Ok, ConfirmAnswer::Ok)), ConfirmAnswer::Ok);
    EXPECT_EQ(AskById(prompt, 61450, ConfirmButtons::YesNo, ConfirmAnswer::No), ConfirmAnswer::No);
    EXPECT_EQ(AskHome(prompt), std::nullopt);
    EXPECT_EQ(prompt.ChooseFile(FileChoice{}), std::nullopt);
    EXPECT_EQ(prompt.AskPassword("Password Input", ""), "/srv/mail");  // nothing above read it
    EXPECT_EQ(prompt.AskPassword("Password Input", ""), "y");
    EXPECT_EQ(prompt.AskPassword("Password Input", ""), std::nullopt);
    NotifyById(prompt, 130);

    const std::string shown = Contents(out);
    EXPECT_EQ(shown.find("Specify the folder name"), std::string::npos);
    EXPECT_NE(shown.find("Message from Marlo!: This folder is already used by the other user\n"
                         "Is it OK to continue? (answered No: nobody at a terminal)\n"),
              std::string::npos)
        << shown;
    EXPECT_NE(shown.find("(answered Cancel: nobody at a terminal)"), std::string::npos);
    EXPECT_NE(shown.find("Message from Marlo!: Wrong password!\n"), std::string::npos);
    std::fclose(in);
    std::fclose(out);
}

std::string Drain(int master) {
    std::string text;
    char buffer[256];
    for (pollfd p{master, POLLIN, 0}; poll(&p, 1, 100) > 0;) {
        const ssize_t got = read(master, buffer, sizeof buffer);
        if (got <= 0)
            break;
        text.append(buffer, static_cast<size_t>(got));
    }
    return text;
}

bool EchoOn(int fd) {
    termios mode{};
    return tcgetattr(fd, &mode) == 0 && (mode.c_lflag & ECHO) != 0;
}

// At a terminal the keys pick the buttons, Enter gives the preset answer
// (or takes the filled-in text) and an unknown key the cautious one.
TEST(TerminalPrompt, AtATerminalKeysPickTheButtons) {
    int master = -1, slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    std::FILE* in = fdopen(slave, "r");
    std::FILE* out = std::tmpfile();
    ASSERT_TRUE(in && out);
    const std::string typed = "a\n\nq\nN\ny\n\n/srv/mail\n";
    ASSERT_EQ(write(master, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
    TerminalPrompt prompt(in, out);

    EXPECT_EQ(prompt.Ask(Box(ConfirmButtons::YesAllNoCancel, ConfirmAnswer::Yes)),
              ConfirmAnswer::YesToAll);
    EXPECT_EQ(prompt.Ask(Box(ConfirmButtons::YesNoCancel, ConfirmAnswer::No)), ConfirmAnswer::No);
    EXPECT_EQ(prompt.Ask(Box(ConfirmButtons::YesNoCancel, ConfirmAnswer::Yes)),
              ConfirmAnswer::Cancel);
    EXPECT_EQ(prompt.Ask(Box(ConfirmButtons::YesNo, ConfirmAnswer::Yes)), ConfirmAnswer::No);
    EXPECT_EQ(AskById(prompt, 61450, ConfirmButtons::YesNo, ConfirmAnswer::No), ConfirmAnswer::Yes);
    EXPECT_EQ(AskHome(prompt), "/proposed/");  // Enter takes the proposal
    EXPECT_EQ(AskHome(prompt), "/srv/mail");
    EXPECT_NE(Drain(master).find("/srv/mail"), std::string::npos);  // ordinary answers echo
    const std::string shown = Contents(out);
    EXPECT_NE(shown.find("[Y/a=Yes to All/n/c] "), std::string::npos) << shown;
    EXPECT_NE(shown.find("Is it OK to continue? [y/N] "), std::string::npos) << shown;
    EXPECT_NE(
        shown.find("Home Folder\nSpecify the folder name as the root mailbox.\n[/proposed/]: "),
        std::string::npos)
        << shown;
    std::fclose(in);
    std::fclose(out);
    close(master);
}

// The password is not echoed and the terminal's mode is back afterwards.
TEST(TerminalPrompt, AtATerminalThePasswordIsNotEchoed) {
    int master = -1, slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    std::FILE* in = fdopen(slave, "r");
    std::FILE* out = std::tmpfile();
    ASSERT_TRUE(in && out);
    TerminalPrompt prompt(in, out);

    std::optional<std::string> password;
    std::thread asking([&] { password = prompt.AskPassword("Password Input", ""); });
    // Typing starts once the echo is off, as a person types after the prompt.
    for (int i = 0; i < 2000 && EchoOn(slave); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const std::string secret = "hidden words\n";
    ASSERT_EQ(write(master, secret.data(), secret.size()), static_cast<ssize_t>(secret.size()));
    asking.join();
    EXPECT_EQ(password, "hidden words");
    EXPECT_EQ(Drain(master).find("hidden"), std::string::npos);
    EXPECT_TRUE(EchoOn(slave));
    EXPECT_NE(Contents(out).find("Password Input: "), std::string::npos);
    std::fclose(in);
    std::fclose(out);
    close(master);
}

}  // namespace
}  // namespace corvina
