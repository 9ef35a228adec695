// The SMTP client against scripted servers: the faults and corner cases a
// real server does not produce on demand.

#include "transfer/SmtpClient.h"

#include <gtest/gtest.h>

#include "ScriptedServer.h"
#include "SessionFixture.h"
#include "message/Base64.h"
#include "message/MailMessage.h"
#include "transfer/DeliverJob.h"

namespace corvina {
namespace {

using test::AnyContains;
using test::Has;
using test::ScriptedServer;
using test::ServerConnection;
using Fixture = test::ClientFixture;

TEST(SmtpClient, HeloConsumesAMultiLineGreeting) {
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
    f.session.Smtp().Quit();
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

TEST(SmtpClient, RefusedRecipientFailsBeforeData) {
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
    EXPECT_FALSE(f.session.Smtp().SendEnvelope(
        "alice@example.test", {"bob@x.test", "nobody@x.test"}, {"Subject: t", "", "body"}));
    EXPECT_FALSE(f.session.Smtp().IsOpen());
    f.session.Smtp().Quit();  // nothing left to quit
    std::vector<std::string> got = server.Finish();
    EXPECT_TRUE(closedWithoutQuit);
    EXPECT_FALSE(Has(got, "DATA"));
    EXPECT_FALSE(Has(got, "QUIT"));
    EXPECT_EQ(got.back(), "RCPT TO:<nobody@x.test>");
}

TEST(SmtpClient, DataIsDotStuffedAndHiddenFromTheTranscript) {
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
    EXPECT_TRUE(f.session.Smtp().SendEnvelope(
        "alice@example.test", {"bob@x.test"},
        {"Subject: secret subject", "", ".", ".x", "From me", "end"}));
    f.session.Smtp().Quit();
    std::vector<std::string> got = server.Finish();
    std::vector<std::string> data(std::find(got.begin(), got.end(), "DATA") + 1,
                                  std::find(got.begin(), got.end(), "QUIT"));
    EXPECT_EQ(data, (std::vector<std::string>{"Subject: secret subject", "", "..", "..x", "From me",
                                              "end", "."}));
    EXPECT_FALSE(AnyContains(f.state.Transcript(), "secret subject"));
}

TEST(SmtpClient, CommandLinesWithLineBreaksAreRefused) {
    ScriptedServer server([](ServerConnection& c) {
        SmtpUpToMail(c);
        c.WaitForClose(5);
    });
    Fixture f;
    f.Account(0, server.Port());
    ASSERT_TRUE(f.session.Prepare(false));
    ASSERT_TRUE(f.session.ConnectSmtp());
    EXPECT_FALSE(f.session.Smtp().SendEnvelope("alice@example.test",
                                               {"bob@x.test>\r\nRCPT TO:<evil@x.test"}, {"x"}));
    f.session.Smtp().Disconnect();
    std::vector<std::string> got = server.Finish();
    EXPECT_FALSE(AnyContains(got, "evil"));
}

TEST(SmtpClient, RequiredStartTlsMissingSendsNoPassword) {
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
TEST(SmtpClient, EhloRefusedFallsBackToHelo) {
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

TEST(SmtpClient, StartTlsThenAuthPlainOrLogin) {
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
        EXPECT_TRUE(f.session.Smtp().Connection().IsTls());
        f.session.Smtp().Quit();
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
TEST(SmtpClient, SendMailExpandsGroupsAndHidesBcc) {
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
    ASSERT_TRUE(DeliverJob(f.session).SendMail(message)) << f.session.LastError();
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
