#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/TerminalAppHost.h"

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

TEST(TerminalAppHost, AnswersFromTheInputAndEndOfInputCancels) {
    std::FILE* in = std::tmpfile();
    std::FILE* out = std::tmpfile();
    ASSERT_TRUE(in && out);
    std::fputs("secret\r\n\n/srv/mail\ny\nno\n", in);
    std::rewind(in);
    TerminalAppHost host(in, out);

    EXPECT_EQ(host.AskPassword(), "secret");
    EXPECT_EQ(host.AskHomeDirectory("/proposed/"), "/proposed/");  // Enter takes the proposal
    EXPECT_EQ(host.AskHomeDirectory("/proposed/"), "/srv/mail");
    EXPECT_TRUE(host.AskYesNo(61450));
    EXPECT_FALSE(host.AskYesNo(61450));
    EXPECT_EQ(host.AskPassword(), std::nullopt);
    EXPECT_FALSE(host.AskYesNo(61450));
    host.ShowMessage(130);

    std::string shown = Contents(out);
    EXPECT_NE(shown.find("Password Input"), std::string::npos);
    EXPECT_NE(shown.find("Specify the folder name as the root mailbox."), std::string::npos);
    EXPECT_NE(shown.find("Message from Marlo!: Wrong password!"), std::string::npos);
    EXPECT_NE(shown.find("already used by the other user"), std::string::npos);
    std::fclose(in);
    std::fclose(out);
}

}  // namespace
}  // namespace corvina
