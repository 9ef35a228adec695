// The batch front end against the real Dovecot and Postfix: everything is
// driven through corvina's command-line options, as a script would.

#include <gtest/gtest.h>

#include <string>

#include "BatchProcess.h"
#include "MailServers.h"
#include "TestSupport.h"

namespace corvina {
namespace {

using test::BatchProcess;
using test::BatchResult;
using test::MailServers;

MailServers& Servers() {
    return MailServers::Get();
}

#define REQUIRE_SERVERS() ASSERT_TRUE(Servers().Ok()) << Servers().Failure()

// One user's client: a settings file written by hand (UTF-8 working code
// page, submission with STARTTLS and AUTH, POP3 with STLS) and the
// password stored through --set-password.
struct User {
    explicit User(std::string name) : name(std::move(name)), batch(dir.Path()) {
        batch.WriteConfig(
            "CodePage = 65001\nTimeout = 30\n"
            "[Users\\0]\nAccount = " +
            this->name + "\nName = " + this->name + " Tester\nAddress = " + this->name +
            "@example.test\nUser = " + this->name +
            "\nPOP = 127.0.0.1\nPOP3Port = " + std::to_string(Servers().pop3) +
            "\nPOP3Security = 1\nDeleteOnServer = 0\nSMTP = 127.0.0.1\nSMTPPort = " +
            std::to_string(Servers().submission) + "\nSMTPSecurity = 1\nSMTPAuth = 1\n");
        BatchResult pass = batch.Run({"--set-password"}, this->name + "pw\n");
        EXPECT_EQ(pass.exitCode, 0) << pass.err;
    }
    BatchResult Run(const std::vector<std::string>& args) {
        BatchResult r = batch.Run(args);
        if (r.exitCode != 0)
            ADD_FAILURE() << args[0] << " failed:\n" << r.err << Servers().Logs();
        return r;
    }
    std::string name;
    test::ScratchDir dir;
    BatchProcess batch;
};

// Lines of `text` that begin with `prefix`.
std::vector<std::string> LinesStartingWith(const std::string& text, const std::string& prefix) {
    std::vector<std::string> lines;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(at, end - at);
        if (line.starts_with(prefix))
            lines.push_back(line);
        at = end + 1;
    }
    return lines;
}

class BatchEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Servers().Ok()) << Servers().Failure();
        // The servers' certificate is trusted through the environment the
        // client inherits.
        setenv("SSL_CERT_FILE", Servers().CaFile().c_str(), 1);
        Servers().ClearMaildir("dave");
        Servers().ClearMaildir("erin");
    }
};

TEST_F(BatchEndToEnd, ComposeDeliverReceiveListAndShow) {
    User dave("dave"), erin("erin");
    const std::string japanese =
        "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE"
        "\xE6\x9C\xAC\xE6\x96\x87\xE3\x81\xA7\xE3\x81\x99";
    test::WriteFileBytes(dave.dir / "body.txt", "Hello Erin,\n" + japanese + "\n.\nbye\n");
    std::string binary;
    for (int i = 0; i < 3000; ++i)
        binary.push_back(static_cast<char>((i * 7 + i / 256) & 0xFF));
    test::WriteFileBytes(dave.dir / "data.bin", binary);
    test::WriteFileBytes(dave.dir / "photo.png", std::string("\x89PNG\r\n\x1a\n", 8) + binary);
    test::WriteFileBytes(dave.batch.Home() / "Sig00.TXT", "-- \nDave\n");

    dave.Run({"--compose", "--to", "Erin <erin@example.test>", "--subject", "Figures " + japanese,
              "--body-file", "body.txt", "--attach", "data.bin", "--attach", "photo.png"});
    BatchResult outbox = dave.Run({"--list", "OutBox"});
    ASSERT_EQ(LinesStartingWith(outbox.out, "1\t").size(), 1u) << outbox.out;
    EXPECT_NE(outbox.out.find("\tW\n"), std::string::npos) << outbox.out;

    BatchResult deliver = dave.Run({"--deliver", "--verbose"});
    EXPECT_NE(deliver.err.find("STARTTLS"), std::string::npos) << deliver.err;
    EXPECT_NE(deliver.err.find("AUTH"), std::string::npos) << deliver.err;
    ASSERT_TRUE(Servers().WaitForMessages("erin", 1)) << Servers().Logs();
    EXPECT_EQ(LinesStartingWith(dave.Run({"--list", "OutBox"}).out, "1\t").size(), 0u);
    EXPECT_NE(dave.Run({"--list", "Sent"}).out.find("\tS\n"), std::string::npos);

    BatchResult receive = erin.Run({"--receive"});
    EXPECT_NE(receive.err.find("1 message(s) stored"), std::string::npos) << receive.err;
    // Without --verbose the dialogue stays out of the output.
    EXPECT_EQ(receive.err.find("RETR"), std::string::npos) << receive.err;
    BatchResult list = erin.Run({"--list", "InBox"});
    std::vector<std::string> rows = LinesStartingWith(list.out, "1\t");
    ASSERT_EQ(rows.size(), 1u) << list.out;
    EXPECT_TRUE(rows[0].starts_with("1\tFigures " + japanese + "\t")) << rows[0];
    EXPECT_NE(rows[0].find("dave Tester"), std::string::npos) << rows[0];

    BatchResult show = erin.Run({"--show", "InBox", "1"});
    EXPECT_NE(show.out.find("Subject:Figures " + japanese + "\n"), std::string::npos) << show.out;
    EXPECT_NE(show.out.find("From:dave Tester <dave@example.test>\n"), std::string::npos);
    EXPECT_NE(show.out.find("Hello Erin,\n" + japanese + "\n..\nbye\n-- \nDave\n"),
              std::string::npos)
        << show.out;
    // The attachments arrive as files of the same bytes, linked by the store.
    std::vector<std::string> links = LinesStartingWith(show.out, "X-Marlo-Attachment-File:");
    ASSERT_EQ(links.size(), 2u) << show.out;
    const auto attach = erin.batch.MailboxDir() / "Attach";
    EXPECT_EQ(test::ReadFileBytes(attach / "data.bin"), binary);
    EXPECT_EQ(test::ReadFileBytes(attach / "photo.png"),
              std::string("\x89PNG\r\n\x1a\n", 8) + binary);

    // Kept on the server (DeleteOnServer 0): the second receive stores
    // nothing, known by UIDL.
    BatchResult again = erin.Run({"--receive"});
    EXPECT_NE(again.err.find("0 message(s) stored"), std::string::npos) << again.err;
    EXPECT_EQ(LinesStartingWith(erin.Run({"--list", "InBox"}).out, "2\t").size(), 0u);
    EXPECT_EQ(Servers().Messages("erin").size(), 1u);
    erin.Run({"--cleanup-server"});
    EXPECT_EQ(Servers().Messages("erin").size(), 0u);
}

TEST_F(BatchEndToEnd, FilterRuleFilesReceivedMail) {
    User dave("dave"), erin("erin");
    ASSERT_EQ(erin.Run({"--folders"}).exitCode, 0);
    test::WriteFileBytes(erin.batch.MailboxDir() / "Reports.mbx", "");
    test::WriteFileBytes(erin.batch.MailboxDir() / "Filter.DEF", "Subject\treport\tReports\tI\n");
    dave.Run({"--compose", "--to", "erin@example.test", "--subject", "Weekly REPORT"});
    dave.Run({"--compose", "--to", "erin@example.test", "--subject", "Lunch?"});
    dave.Run({"--deliver"});
    ASSERT_TRUE(Servers().WaitForMessages("erin", 2)) << Servers().Logs();
    erin.Run({"--receive"});
    BatchResult folders = erin.Run({"--folders"});
    EXPECT_NE(folders.out.find("InBox\t1\t1\n"), std::string::npos) << folders.out;
    EXPECT_NE(folders.out.find("Reports\t1\t1\n"), std::string::npos) << folders.out;
    EXPECT_NE(erin.Run({"--list", "Reports"}).out.find("Weekly REPORT"), std::string::npos);
}

TEST_F(BatchEndToEnd, FailuresExitOne) {
    User dave("dave");
    dave.batch.WriteConfig("[Users\\0]\nUser = dave\nPass = x\nPOP = 127.0.0.1\nPOP3Port = " +
                           std::to_string(Servers().pop3) + "\n");
    BatchResult r = dave.batch.Run({"--receive"});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("the transfer failed"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace corvina
