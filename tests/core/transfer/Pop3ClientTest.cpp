// The POP3 client against scripted servers: the faults and corner cases a
// real server does not produce on demand.

#include "transfer/Pop3Client.h"

#include <gtest/gtest.h>

#include "ScriptedServer.h"
#include "SessionFixture.h"
#include "transfer/ReceiveJob.h"

namespace corvina {
namespace {

using test::AnyContains;
using test::Has;
using test::ScriptedServer;
using test::ServerConnection;
using Fixture = test::ClientFixture;

// Greets and accepts USER/PASS.
void PopLogin(ServerConnection& c) {
    c.SendLine("+OK ready");
    c.ReadLine();
    c.SendLine("+OK user");
    c.ReadLine();
    c.SendLine("+OK logged in");
}

TEST(Pop3Client, LoginHidesThePassword) {
    ScriptedServer server([](ServerConnection& c) {
        PopLogin(c);
        c.ReadLine();
        c.SendLine("+OK bye");
    });
    Fixture f;
    ASSERT_TRUE(f.LogIn(server.Port()));
    f.session.Pop().Quit();
    std::vector<std::string> got = server.Finish();
    EXPECT_TRUE(Has(got, "USER alice"));
    EXPECT_TRUE(Has(got, "PASS s3cret"));
    EXPECT_TRUE(Has(got, "QUIT"));
    EXPECT_FALSE(AnyContains(f.state.Transcript(), "s3cret"));
    EXPECT_FALSE(AnyContains(f.host.status, "s3cret"));
    EXPECT_TRUE(Has(f.host.status, "PASS ********"));
    EXPECT_TRUE(Has(f.state.Transcript(), "USER alice\n"));
}

TEST(Pop3Client, RefusedLoginAndMissingCredentials) {
    ScriptedServer server([](ServerConnection& c) {
        c.SendLine("+OK ready");
        c.ReadLine();
        c.SendLine("+OK user");
        c.ReadLine();
        c.SendLine("-ERR wrong password");
        c.ReadLine();
        c.SendLine("+OK bye");
    });
    Fixture f;
    f.Account(server.Port());
    ASSERT_TRUE(f.session.Prepare(false));
    EXPECT_FALSE(f.session.LoginPop({"alice", "bad"}));
    EXPECT_FALSE(f.session.Pop().IsOpen());
    EXPECT_TRUE(Has(server.Finish(), "QUIT"));

    // An empty password asks the host; Cancel ends before connecting.
    EXPECT_FALSE(f.session.LoginPop({"alice", ""}));
    EXPECT_EQ(f.host.credentialQuestions, 1);
}

TEST(Pop3Client, StlsRefusedNeverSendsCredentials) {
    ScriptedServer server([](ServerConnection& c) {
        c.SendLine("+OK ready");
        c.ReadLine();
        c.SendLine("-ERR no TLS here");
        c.ReadLine();
        c.SendLine("+OK bye");
    });
    Fixture f;
    f.Account(server.Port());
    f.account.pop3Security = kPop3SecurityStls;
    f.Apply();
    ASSERT_TRUE(f.session.Prepare(false));
    EXPECT_FALSE(f.session.LoginPop({"alice", "s3cret"}));
    std::vector<std::string> got = server.Finish();
    EXPECT_EQ(got, (std::vector<std::string>{"STLS", "QUIT"}));
    EXPECT_NE(f.session.LastError().find("STLS"), std::string::npos);
}

// Every message of a big maildrop is listed: no cap on the entries.
TEST(Pop3Client, ListsEveryMessageOfALargeMaildrop) {
    const int count = 6000;
    ScriptedServer server([&](ServerConnection& c) {
        PopLogin(c);
        c.ReadLine();  // STAT
        c.SendLine("+OK " + std::to_string(count) + " 999999");
        c.ReadLine();  // LIST
        std::string listing = "+OK\r\n";
        for (int i = 1; i <= count; ++i) {
            listing += std::to_string(i) + " " + std::to_string(100 + i) + "\r\n";
        }
        listing += ".\r\n";
        c.Send(listing);
        c.ReadLine();
        c.SendLine("+OK bye");
    });
    Fixture f;
    ASSERT_TRUE(f.LogIn(server.Port()));
    int seen = 0;
    long long last = 0;
    while (long long size = f.session.Pop().NextMessage()) {
        ++seen;
        last = size;
        EXPECT_EQ(f.session.Pop().CurrentListNumber(), seen);
    }
    EXPECT_EQ(seen, count);
    EXPECT_EQ(last, 100 + count);
    EXPECT_EQ(f.state.messageCount.load(), count);
    f.session.Pop().Quit();
    EXPECT_TRUE(Has(server.Finish(), "QUIT"));
    // The listing never reached the transcript.
    EXPECT_LT(f.state.Transcript().size(), 20u);
}

TEST(Pop3Client, EmptyMaildropSendsNoList) {
    ScriptedServer server([](ServerConnection& c) {
        PopLogin(c);
        c.ReadLine();
        c.SendLine("+OK 0 0");
        c.ReadLine();
        c.SendLine("+OK bye");
    });
    Fixture f;
    ASSERT_TRUE(f.LogIn(server.Port()));
    EXPECT_EQ(f.session.Pop().NextMessage(), 0);
    f.session.Pop().Quit();
    std::vector<std::string> got = server.Finish();
    EXPECT_FALSE(Has(got, "LIST"));
    EXPECT_TRUE(Has(got, "QUIT"));
}

TEST(Pop3Client, RetrieveUnfoldsHeaderAndKeepsDotLinesStuffed) {
    std::string longBody(6000, 'b');
    ScriptedServer server([&](ServerConnection& c) {
        PopLogin(c);
        c.ReadLine();  // RETR 1
        c.Send(
            "+OK message follows\r\n"
            "Subject: first\r\n"
            " second\r\n"
            "X-Enc: =?US-ASCII?Q?a?=\r\n"
            "\t=?US-ASCII?Q?b?=\r\n"
            "Message-ID: <m1@test>\r\n"
            "\r\n"
            "..two dots\r\n"
            ".one dot\r\n" +
            longBody +
            "\r\n"
            "From me\r\n"
            ".\r\n");
    });
    Fixture f;
    ASSERT_TRUE(f.LogIn(server.Port()));
    std::string text;
    ReceiveJob job(f.session);
    long long n = job.Retrieve(1, text, true);
    ASSERT_GT(n, 0);
    EXPECT_EQ(static_cast<size_t>(n), text.size());
    EXPECT_EQ(text,
              "Subject: first second\n"
              "X-Enc: ab\n"
              "Message-ID: <m1@test>\n"
              "\n"
              "..two dots\n"
              "one dot\n" +
                  longBody +
                  "\n"
                  "From me\n");
    // Delete mode: the Message-ID does not go to the seen list.
    EXPECT_TRUE(job.SeenMessageIds().empty());
}

// Without delete mode each message is first looked at with TOP: known and
// read (Status with R, or no Status) means skipped; known but unread is
// fetched again.
TEST(Pop3Client, TopCheckSkipsMessagesAlreadyReceived) {
    ScriptedServer server([](ServerConnection& c) {
        PopLogin(c);
        c.ReadLine();  // TOP 1 0
        c.Send("+OK\r\nMessage-Id: <known@test>\r\nStatus: RO\r\n.\r\n");
        c.ReadLine();  // TOP 2 0
        c.Send("+OK\r\nMessage-Id: <known2@test>\r\nStatus: O\r\n.\r\n");
        c.ReadLine();  // RETR 2
        c.Send("+OK\r\nMessage-Id: <known2@test>\r\n\r\nbody\r\n.\r\n");
        c.ReadLine();
        c.SendLine("+OK bye");
    });
    Fixture f;
    ASSERT_TRUE(f.LogIn(server.Port()));
    ReceiveJob job(f.session);
    job.SavedMessageIds() = {"<known@test>", "<known2@test>"};
    std::string text;
    EXPECT_EQ(job.Retrieve(1, text, false), 0);
    EXPECT_TRUE(text.empty());
    EXPECT_GT(job.Retrieve(2, text, false), 0);
    EXPECT_EQ(text, "Message-Id: <known2@test>\n\nbody\n");
    EXPECT_EQ(job.SeenMessageIds(), (std::vector<std::string>{"<known@test>", "<known2@test>"}));
    f.session.Pop().Quit();
    std::vector<std::string> got = server.Finish();
    EXPECT_FALSE(Has(got, "RETR 1"));
    EXPECT_TRUE(Has(got, "RETR 2"));
}

TEST(Pop3Client, UidlListingAndItsFailures) {
    ScriptedServer server([](ServerConnection& c) {
        PopLogin(c);
        c.ReadLine();
        c.Send("+OK\r\n1 uid-one\r\n2 uid two\r\n.\r\n");
        c.ReadLine();
        c.Send("+OK\r\n1 a\r\n   \r\n.\r\n");
        c.ReadLine();
        c.SendLine("-ERR not supported");
    });
    Fixture f;
    f.Account(server.Port());
    ASSERT_TRUE(f.session.Prepare(false));
    EXPECT_EQ(f.session.Pop().FetchUidl(), -1);
    ASSERT_TRUE(f.session.LoginPop({"alice", "s3cret"}));
    EXPECT_EQ(f.session.Pop().FetchUidl(), 1);
    EXPECT_TRUE(f.session.Pop().UidMode());
    EXPECT_EQ(f.session.Pop().ServerUids(), (std::vector<std::string>{"uid-one", "uid two"}));
    EXPECT_EQ(f.session.Pop().FetchUidl(), 0);  // a blank line ends the listing as an error
    EXPECT_FALSE(f.session.Pop().UidMode());
    EXPECT_EQ(f.session.Pop().FetchUidl(), 1);  // -ERR: no UIDL, Message-ID mode
    EXPECT_FALSE(f.session.Pop().UidMode());
}

TEST(Pop3Client, DroppedConnectionMidRetrFails) {
    ScriptedServer server([](ServerConnection& c) {
        PopLogin(c);
        c.ReadLine();
        c.Send("+OK\r\nSubject: cut\r\n\r\nhalf a bo");
        c.Close();
    });
    Fixture f;
    ASSERT_TRUE(f.LogIn(server.Port()));
    std::string text;
    EXPECT_EQ(f.session.Pop().Retrieve(1, text, 0), -1);
    EXPECT_TRUE(text.empty());
    EXPECT_TRUE(f.state.broken.load());
    EXPECT_FALSE(f.state.quiet.load());
    EXPECT_FALSE(f.session.Pop().Delete(1));
}

TEST(Pop3Client, UnresolvableServerReportsOnceUnlessSkipped) {
    Fixture f;
    f.Account(1);
    f.account.pop = "no-such-host.invalid";
    f.Apply();
    EXPECT_FALSE(f.session.Prepare(false));
    EXPECT_EQ(f.host.NoticeIds(), (std::vector<int>{61446}));
    SessionSettings quiet;
    quiet.skipError = 1;
    f.session.SetSettings(quiet);
    EXPECT_FALSE(f.session.Prepare(false));
    EXPECT_EQ(f.host.NoticeIds().size(), 1u);
}

}  // namespace
}  // namespace corvina
