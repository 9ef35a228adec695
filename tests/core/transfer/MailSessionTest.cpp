// The POP3 and SMTP dialogues against scripted servers: the faults and
// corner cases a real server does not produce on demand.

#include "transfer/MailSession.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "RecordingHost.h"
#include "ScriptedServer.h"
#include "TestSupport.h"
#include "message/Base64.h"
#include "message/MailMessage.h"

namespace corvina {
namespace {

using test::RecordingHost;
using test::ScriptedServer;
using test::ServerConnection;

bool Has(const std::vector<std::string>& lines, std::string_view wanted) {
    return std::find(lines.begin(), lines.end(), wanted) != lines.end();
}

bool AnyContains(const std::vector<std::string>& lines, std::string_view part) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.find(part) != std::string::npos; });
}

struct Fixture {
    TransferState state;
    RecordingHost host;
    MailSession session{state, host};
    test::ScratchDir dir;

    void Account(uint16_t popPort, uint16_t smtpPort = 0) {
        AccountProfile a;
        a.pop = "127.0.0.1";
        a.smtp = "127.0.0.1";
        a.pop3Port = popPort ? popPort : 1;
        a.smtpPort = smtpPort ? smtpPort : 1;
        a.user = "alice";
        a.pass = "s3cret";
        a.address = "alice@example.test";
        account = a;
        Apply();
    }
    void Apply() {
        session.SetAccount(account, 0, dir.Path());
        SessionSettings s;
        s.timeout = 10;
        session.SetSettings(s);
    }
    AccountProfile account;
};

// Greets and accepts USER/PASS.
void PopLogin(ServerConnection& c) {
    c.SendLine("+OK ready");
    c.ReadLine();
    c.SendLine("+OK user");
    c.ReadLine();
    c.SendLine("+OK logged in");
}

TEST(PopSession, LoginHidesThePassword) {
    ScriptedServer server([](ServerConnection& c) {
        PopLogin(c);
        c.ReadLine();
        c.SendLine("+OK bye");
    });
    Fixture f;
    f.Account(server.Port());
    ASSERT_TRUE(f.session.Prepare(false));
    ASSERT_TRUE(f.session.LoginPop("alice", "s3cret"));
    f.session.QuitPop();
    std::vector<std::string> got = server.Finish();
    EXPECT_TRUE(Has(got, "USER alice"));
    EXPECT_TRUE(Has(got, "PASS s3cret"));
    EXPECT_TRUE(Has(got, "QUIT"));
    EXPECT_FALSE(AnyContains(f.state.Transcript(), "s3cret"));
    EXPECT_FALSE(AnyContains(f.host.status, "s3cret"));
    EXPECT_TRUE(Has(f.host.status, "PASS ********"));
    EXPECT_TRUE(Has(f.state.Transcript(), "USER alice\n"));
}

TEST(PopSession, RefusedLoginAndMissingCredentials) {
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
    EXPECT_FALSE(f.session.LoginPop("alice", "bad"));
    EXPECT_FALSE(f.session.IsConnected());
    EXPECT_TRUE(Has(server.Finish(), "QUIT"));

    // An empty password asks the host; Cancel ends before connecting.
    EXPECT_FALSE(f.session.LoginPop("alice", ""));
    EXPECT_EQ(f.host.credentialQuestions, 1);
}

TEST(PopSession, StlsRefusedNeverSendsCredentials) {
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
    EXPECT_FALSE(f.session.LoginPop("alice", "s3cret"));
    std::vector<std::string> got = server.Finish();
    EXPECT_EQ(got, (std::vector<std::string>{"STLS", "QUIT"}));
    EXPECT_NE(f.session.LastError().find("STLS"), std::string::npos);
}

// Every message of a big maildrop is listed: no cap on the entries.
TEST(PopSession, ListsEveryMessageOfALargeMaildrop) {
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
    f.Account(server.Port());
    ASSERT_TRUE(f.session.Prepare(false));
    ASSERT_TRUE(f.session.LoginPop("alice", "s3cret"));
    int seen = 0;
    long long last = 0;
    while (long long size = f.session.NextMessage()) {
        ++seen;
        last = size;
        EXPECT_EQ(f.session.CurrentListNumber(), seen);
    }
    EXPECT_EQ(seen, count);
    EXPECT_EQ(last, 100 + count);
    EXPECT_EQ(f.state.messageCount.load(), count);
    f.session.QuitPop();
    EXPECT_TRUE(Has(server.Finish(), "QUIT"));
    // The listing never reached the transcript.
    EXPECT_LT(f.state.Transcript().size(), 20u);
}

TEST(PopSession, EmptyMaildropSendsNoList) {
    ScriptedServer server([](ServerConnection& c) {
        PopLogin(c);
        c.ReadLine();
        c.SendLine("+OK 0 0");
        c.ReadLine();
        c.SendLine("+OK bye");
    });
    Fixture f;
    f.Account(server.Port());
    ASSERT_TRUE(f.session.Prepare(false));
    ASSERT_TRUE(f.session.LoginPop("alice", "s3cret"));
    EXPECT_EQ(f.session.NextMessage(), 0);
    f.session.QuitPop();
    std::vector<std::string> got = server.Finish();
    EXPECT_FALSE(Has(got, "LIST"));
    EXPECT_TRUE(Has(got, "QUIT"));
}

TEST(PopSession, RetrieveUnfoldsHeaderAndKeepsDotLinesStuffed) {
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
    f.Account(server.Port());
    ASSERT_TRUE(f.session.Prepare(false));
    ASSERT_TRUE(f.session.LoginPop("alice", "s3cret"));
    std::string text;
    long long n = f.session.RetrieveMessage(1, text, true);
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
    EXPECT_TRUE(f.session.SeenMessageIds().empty());
}

// Without delete mode each message is first looked at with TOP: known and
// read (Status with R, or no Status) means skipped; known but unread is
// fetched again.
TEST(PopSession, TopCheckSkipsMessagesAlreadyReceived) {
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
    f.Account(server.Port());
    ASSERT_TRUE(f.session.Prepare(false));
    ASSERT_TRUE(f.session.LoginPop("alice", "s3cret"));
    f.session.SavedMessageIds() = {"<known@test>", "<known2@test>"};
    std::string text;
    EXPECT_EQ(f.session.RetrieveMessage(1, text, false), 0);
    EXPECT_TRUE(text.empty());
    EXPECT_GT(f.session.RetrieveMessage(2, text, false), 0);
    EXPECT_EQ(text, "Message-Id: <known2@test>\n\nbody\n");
    EXPECT_EQ(f.session.SeenMessageIds(),
              (std::vector<std::string>{"<known@test>", "<known2@test>"}));
    f.session.QuitPop();
    std::vector<std::string> got = server.Finish();
    EXPECT_FALSE(Has(got, "RETR 1"));
    EXPECT_TRUE(Has(got, "RETR 2"));
}

TEST(PopSession, UidlListingAndItsFailures) {
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
    test::WriteFileBytes(f.dir / "UIDL.DAT", "old-1\r\nold-2\r\n");
    ASSERT_TRUE(f.session.Prepare(false));
    EXPECT_EQ(f.session.FetchUidl(), -1);
    ASSERT_TRUE(f.session.LoginPop("alice", "s3cret"));
    EXPECT_EQ(f.session.FetchUidl(), 1);
    EXPECT_TRUE(f.session.UidMode());
    EXPECT_EQ(f.session.ServerUids(), (std::vector<std::string>{"uid-one", "uid two"}));
    EXPECT_EQ(f.session.SavedUids(), (std::vector<std::string>{"old-1", "old-2"}));
    EXPECT_EQ(f.session.FetchUidl(), 0);  // a blank line ends the listing as an error
    EXPECT_FALSE(f.session.UidMode());
    EXPECT_EQ(f.session.FetchUidl(), 1);  // -ERR: no UIDL, Message-ID mode
    EXPECT_FALSE(f.session.UidMode());
}

TEST(PopSession, DroppedConnectionMidRetrFails) {
    ScriptedServer server([](ServerConnection& c) {
        PopLogin(c);
        c.ReadLine();
        c.Send("+OK\r\nSubject: cut\r\n\r\nhalf a bo");
        c.Close();
    });
    Fixture f;
    f.Account(server.Port());
    ASSERT_TRUE(f.session.Prepare(false));
    ASSERT_TRUE(f.session.LoginPop("alice", "s3cret"));
    std::string text;
    EXPECT_EQ(f.session.RetrieveMessage(1, text, true), -1);
    EXPECT_TRUE(f.state.broken.load());
    EXPECT_FALSE(f.state.quiet.load());
    EXPECT_FALSE(f.session.DeleteMessage(1));
}

TEST(PopSession, UnresolvableServerReportsOnceUnlessSkipped) {
    Fixture f;
    f.Account(1);
    f.account.pop = "no-such-host.invalid";
    f.Apply();
    EXPECT_FALSE(f.session.Prepare(false));
    EXPECT_EQ(f.host.errors, (std::vector<int>{61446}));
    SessionSettings quiet;
    quiet.skipError = 1;
    f.session.SetSettings(quiet);
    EXPECT_FALSE(f.session.Prepare(false));
    EXPECT_EQ(f.host.errors.size(), 1u);
}

// --- SMTP ---------------------------------------------------------------

TEST(SmtpSession, HeloConsumesAMultiLineGreeting) {
    ScriptedServer server([](ServerConnection& c) {
        c.Send("220-first\r\n220-second\r\n220 third\r\n");
        c.ReadLine();
        c.SendLine("250 hello");
        c.ReadLine();
        c.SendLine("221 bye");
    });
    Fixture f;
    f.Account(0, server.Port());
    ASSERT_TRUE(f.session.Prepare(false));
    ASSERT_TRUE(f.session.ConnectSmtp());
    f.session.QuitSmtp();
    std::vector<std::string> got = server.Finish();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].substr(0, 5), "HELO ");
    EXPECT_EQ(got[1], "QUIT");
    EXPECT_TRUE(Has(f.state.Transcript(), "250 hello\n"));
}

// Accepts HELO, RSET, MAIL; then runs `rest`.
void SmtpUpToMail(ServerConnection& c) {
    c.SendLine("220 ready");
    c.ReadLine();
    c.SendLine("250 hello");
    c.ReadLine();
    c.SendLine("250 reset");
    c.ReadLine();
    c.SendLine("250 sender ok");
}

TEST(SmtpSession, RefusedRecipientFailsBeforeData) {
    bool closedWithoutQuit = false;
    ScriptedServer server([&](ServerConnection& c) {
        SmtpUpToMail(c);
        c.ReadLine();
        c.SendLine("250 ok");
        c.ReadLine();
        c.SendLine("550 no such user");
        closedWithoutQuit = c.WaitForClose(5);
    });
    Fixture f;
    f.Account(0, server.Port());
    ASSERT_TRUE(f.session.Prepare(false));
    ASSERT_TRUE(f.session.ConnectSmtp());
    EXPECT_FALSE(f.session.SendEnvelope("alice@example.test", {"bob@x.test", "nobody@x.test"},
                                        {"Subject: t", "", "body"}));
    EXPECT_FALSE(f.session.IsConnected());
    f.session.QuitSmtp();  // nothing left to quit
    std::vector<std::string> got = server.Finish();
    EXPECT_TRUE(closedWithoutQuit);
    EXPECT_FALSE(Has(got, "DATA"));
    EXPECT_FALSE(Has(got, "QUIT"));
    EXPECT_EQ(got.back(), "RCPT TO:<nobody@x.test>");
}

TEST(SmtpSession, DataIsDotStuffedAndHiddenFromTheTranscript) {
    ScriptedServer server([](ServerConnection& c) {
        SmtpUpToMail(c);
        c.ReadLine();
        c.SendLine("250 ok");
        c.ReadLine();
        c.SendLine("354 go ahead");
        while (auto line = c.ReadLine()) {
            if (*line == ".") {
                break;
            }
        }
        c.SendLine("250 queued");
        c.ReadLine();
        c.SendLine("221 bye");
    });
    Fixture f;
    f.Account(0, server.Port());
    ASSERT_TRUE(f.session.Prepare(false));
    ASSERT_TRUE(f.session.ConnectSmtp());
    EXPECT_TRUE(
        f.session.SendEnvelope("alice@example.test", {"bob@x.test"},
                               {"Subject: secret subject", "", ".", ".x", "From me", "end"}));
    f.session.QuitSmtp();
    std::vector<std::string> got = server.Finish();
    std::vector<std::string> data(std::find(got.begin(), got.end(), "DATA") + 1,
                                  std::find(got.begin(), got.end(), "QUIT"));
    EXPECT_EQ(data, (std::vector<std::string>{"Subject: secret subject", "", "..", "..x", "From me",
                                              "end", "."}));
    EXPECT_FALSE(AnyContains(f.state.Transcript(), "secret subject"));
}

TEST(SmtpSession, CommandLinesWithLineBreaksAreRefused) {
    ScriptedServer server([](ServerConnection& c) {
        SmtpUpToMail(c);
        c.WaitForClose(5);
    });
    Fixture f;
    f.Account(0, server.Port());
    ASSERT_TRUE(f.session.Prepare(false));
    ASSERT_TRUE(f.session.ConnectSmtp());
    EXPECT_FALSE(f.session.SendEnvelope("alice@example.test",
                                        {"bob@x.test>\r\nRCPT TO:<evil@x.test"}, {"x"}));
    f.session.Disconnect();
    std::vector<std::string> got = server.Finish();
    EXPECT_FALSE(AnyContains(got, "evil"));
}

TEST(SmtpSession, RequiredStartTlsMissingSendsNoPassword) {
    ScriptedServer server([](ServerConnection& c) {
        c.SendLine("220 ready");
        c.ReadLine();
        c.Send("250-hello\r\n250-AUTH PLAIN LOGIN\r\n250 8BITMIME\r\n");
        c.ReadLine();
        c.SendLine("221 bye");
    });
    Fixture f;
    f.Account(0, server.Port());
    f.account.smtpSecurity = kSmtpSecurityStartTls;
    f.account.smtpAuth = kSmtpAuthAccount;
    f.Apply();
    ASSERT_TRUE(f.session.Prepare(false));
    EXPECT_FALSE(f.session.ConnectSmtp());
    std::vector<std::string> got = server.Finish();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].substr(0, 5), "EHLO ");
    EXPECT_EQ(got[1], "QUIT");
}

// EHLO refused: HELO instead; a server without AUTH then gets no password.
TEST(SmtpSession, EhloRefusedFallsBackToHelo) {
    ScriptedServer server([](ServerConnection& c) {
        c.SendLine("220 old server");
        c.ReadLine();
        c.SendLine("502 unknown command");
        c.ReadLine();
        c.SendLine("250 hello");
        c.ReadLine();
        c.SendLine("221 bye");
    });
    Fixture f;
    f.Account(0, server.Port());
    f.account.smtpAuth = kSmtpAuthOwn;
    f.account.smtpUser = "u";
    f.account.smtpPass = "p";
    f.Apply();
    ASSERT_TRUE(f.session.Prepare(false));
    EXPECT_FALSE(f.session.ConnectSmtp());
    std::vector<std::string> got = server.Finish();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[1].substr(0, 5), "HELO ");
    EXPECT_EQ(got[2], "QUIT");
}

TEST(SmtpSession, StartTlsThenAuthPlainOrLogin) {
    const test::TestCertificate& cert = test::TestCertificate::Get();
    for (bool plain : {true, false}) {
        SCOPED_TRACE(plain ? "PLAIN" : "LOGIN");
        ScriptedServer server([&](ServerConnection& c) {
            c.SendLine("220 ready");
            c.ReadLine();
            c.Send("250-hello\r\n250-STARTTLS\r\n250 SIZE 1000\r\n");
            c.ReadLine();
            c.SendLine("220 go ahead");
            if (!c.AcceptTls(cert)) {
                return;
            }
            c.ReadLine();
            c.Send(plain ? "250-hello again\r\n250 AUTH LOGIN PLAIN\r\n"
                         : "250-hello again\r\n250 AUTH=LOGIN\r\n");
            c.ReadLine();
            if (!plain) {
                c.SendLine("334 VXNlcm5hbWU6");
                c.ReadLine();
                c.SendLine("334 UGFzc3dvcmQ6");
                c.ReadLine();
            }
            c.SendLine("235 ok");
            c.ReadLine();
            c.SendLine("221 bye");
        });
        Fixture f;
        f.Account(0, server.Port());
        f.account.smtpSecurity = kSmtpSecurityStartTls;
        f.account.smtpAuth = kSmtpAuthOwn;
        f.account.smtpUser = "sub";
        f.account.smtpPass = "pw";
        f.account.certFingerprint = cert.fingerprint;
        f.Apply();
        ASSERT_TRUE(f.session.Prepare(false));
        ASSERT_TRUE(f.session.ConnectSmtp()) << f.session.LastError();
        EXPECT_TRUE(f.session.Connection().IsTls());
        f.session.QuitSmtp();
        std::vector<std::string> got = server.Finish();
        if (plain) {
            EXPECT_TRUE(Has(got, "AUTH PLAIN " + Base64EncodeText(std::string("\0sub\0pw", 7))));
        } else {
            EXPECT_TRUE(Has(got, "AUTH LOGIN"));
            EXPECT_TRUE(Has(got, Base64EncodeText("sub")));
            EXPECT_TRUE(Has(got, Base64EncodeText("pw")));
        }
        EXPECT_FALSE(AnyContains(f.state.Transcript(), Base64EncodeText("pw")));
        EXPECT_EQ(got.back(), "QUIT");
    }
}

// A group reference and a plain address in To: the group's two members
// first, then the address; the Bcc recipient gets RCPT but no header line.
TEST(SmtpSession, SendMailExpandsGroupsAndHidesBcc) {
    std::vector<std::string> data;
    ScriptedServer server([&](ServerConnection& c) {
        c.SendLine("220 ready");
        while (auto line = c.ReadLine()) {
            if (line->rfind("DATA", 0) == 0) {
                c.SendLine("354 go ahead");
                while (auto d = c.ReadLine()) {
                    if (*d == ".") {
                        break;
                    }
                    data.push_back(*d);
                }
                c.SendLine("250 queued");
            } else if (*line == "QUIT") {
                c.SendLine("221 bye");
                return;
            } else {
                c.SendLine("250 ok");
            }
        }
    });
    Fixture f;
    f.Account(0, server.Port());
    test::WriteFileBytes(f.dir / "AddrBook" / "team.adr",
                         "(team)\r\none@x.test\tOne\r\ntwo@x.test\tTwo\r\n");
    f.session.SetAddressBookDirectory(f.dir / "AddrBook");
    ASSERT_TRUE(f.session.Prepare(false));
    MailMessage message;
    message.from = "Alice <alice@example.test>";
    message.to = "@team, three@x.test";
    message.bcc = "hidden@x.test";
    message.subject = "groups";
    message.AddBodyLine("hello");
    ASSERT_TRUE(f.session.SendMail(message)) << f.session.LastError();
    std::vector<std::string> got = server.Finish();
    std::vector<std::string> rcpts;
    for (const std::string& l : got) {
        if (l.rfind("RCPT TO:", 0) == 0) {
            rcpts.push_back(l);
        }
    }
    EXPECT_EQ(rcpts,
              (std::vector<std::string>{"RCPT TO:<one@x.test>", "RCPT TO:<two@x.test>",
                                        "RCPT TO:<three@x.test>", "RCPT TO:<hidden@x.test>"}));
    EXPECT_TRUE(Has(got, "MAIL FROM:<alice@example.test>"));
    EXPECT_FALSE(AnyContains(data, "hidden"));
    EXPECT_TRUE(AnyContains(data, "Subject: groups"));
    EXPECT_EQ(got.back(), "QUIT");  // the connection SendMail opened is closed again
}

TEST(TransferStateTest, BusyGuardHonoursTheCommandToken) {
    TransferState state;
    {
        BusyGuard outer(state);
        EXPECT_TRUE(outer.Entered());
        EXPECT_EQ(state.busy.load(), 1);
        BusyGuard refused(state);
        EXPECT_FALSE(refused.Entered());
        state.commandToken = true;
        BusyGuard tokened(state);
        EXPECT_TRUE(tokened.Entered());
        EXPECT_FALSE(state.commandToken.load());
        EXPECT_EQ(state.busy.load(), 2);
        {
            NestedBusy nested(state);
            BusyGuard inner(state);
            EXPECT_TRUE(inner.Entered());
        }
        EXPECT_EQ(state.busy.load(), 2);
    }
    EXPECT_EQ(state.busy.load(), 0);
}

}  // namespace
}  // namespace corvina
