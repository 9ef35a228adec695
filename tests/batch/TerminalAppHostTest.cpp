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

#include "batch/TerminalAppHost.h"

namespace corvina {
namespace {

std::string Contents(std::FILE* f) {
    std::fflush(f);
    std::rewind(f);
    std::string text;
    for (int c; (c = std::fgetc(f)) != EOF;)
        text.push_back(static_cast<char>(c));
    return text;
}

// Input from a file is a script: it may give the local password, but the
// home folder and Yes/No questions are never taken from it.
TEST(TerminalAppHost, InputFromAFileAnswersOnlyThePassword) {
    std::FILE* in = std::tmpfile();
    std::FILE* out = std::tmpfile();
    ASSERT_TRUE(in && out);
    std::fputs("secret\r\n/srv/mail\ny\n", in);
    std::rewind(in);
    TerminalAppHost host(in, out);

    EXPECT_EQ(host.AskPassword(), "secret");
    EXPECT_EQ(host.AskHomeDirectory("/proposed/"), std::nullopt);
    EXPECT_FALSE(host.AskYesNo(61450));
    EXPECT_EQ(host.AskPassword(), "/srv/mail");  // nothing above read the line
    EXPECT_EQ(host.AskPassword(), "y");
    EXPECT_EQ(host.AskPassword(), std::nullopt);
    host.ShowMessage(130);

    std::string shown = Contents(out);
    EXPECT_EQ(shown.find("Specify the folder name"), std::string::npos);
    EXPECT_NE(shown.find("already used by the other user"), std::string::npos);
    EXPECT_NE(shown.find("answered No"), std::string::npos);
    EXPECT_NE(shown.find("Message from Marlo!: Wrong password!"), std::string::npos);
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

// At a terminal every question is asked; the password is not echoed and
// the terminal's mode is back afterwards.
TEST(TerminalAppHost, AtATerminalThePasswordIsNotEchoed) {
    int master = -1, slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    std::FILE* in = fdopen(slave, "r");
    std::FILE* out = std::tmpfile();
    ASSERT_TRUE(in && out);
    TerminalAppHost host(in, out);

    std::optional<std::string> password;
    std::thread asking([&] { password = host.AskPassword(); });
    // Typing starts once the echo is off, as a person types after the prompt.
    for (int i = 0; i < 2000 && EchoOn(slave); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const std::string secret = "hidden words\n";
    ASSERT_EQ(write(master, secret.data(), secret.size()), static_cast<ssize_t>(secret.size()));
    asking.join();
    EXPECT_EQ(password, "hidden words");
    EXPECT_EQ(Drain(master).find("hidden"), std::string::npos);
    EXPECT_TRUE(EchoOn(slave));

    const std::string answers = "\n/srv/mail\ny\n";
    ASSERT_EQ(write(master, answers.data(), answers.size()), static_cast<ssize_t>(answers.size()));
    EXPECT_EQ(host.AskHomeDirectory("/proposed/"), "/proposed/");  // Enter takes the proposal
    EXPECT_EQ(host.AskHomeDirectory("/proposed/"), "/srv/mail");
    EXPECT_TRUE(host.AskYesNo(61450));
    EXPECT_NE(Drain(master).find("/srv/mail"), std::string::npos);  // ordinary answers echo
    const std::string shown = Contents(out);
    EXPECT_NE(shown.find("Password Input: "), std::string::npos);
    EXPECT_NE(shown.find("Specify the folder name as the root mailbox."), std::string::npos);
    std::fclose(in);
    std::fclose(out);
    close(master);
}

}  // namespace
}  // namespace corvina
