// Receiving and sending against a real Dovecot and Postfix on 127.0.0.1.

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "MailServers.h"
#include "StoreBackedHost.h"
#include "TestSupport.h"
#include "app/ProfileSelection.h"
#include "message/MailMessage.h"
#include "transfer/CleanUpJob.h"
#include "transfer/DeliverJob.h"
#include "transfer/ListFile.h"
#include "transfer/MailSession.h"
#include "transfer/ReceiveJob.h"

namespace corvina {
namespace {

using test::MailServers;
using test::StoreBackedHost;
using test::TrustFile;

MailServers& Servers() {
    return MailServers::Get();
}

#define REQUIRE_SERVERS() ASSERT_TRUE(Servers().Ok()) << Servers().Failure()

std::string Message(int i, std::string_view user = "bob") {
    return "From: sender@example.test\r\nTo: " + std::string(user) +
           "@example.test\r\nSubject: message " + std::to_string(i) + "\r\nMessage-ID: <m" +
           std::to_string(i) + "." + std::string(user) + "@example.test>\r\n\r\nbody of " +
           std::to_string(i) + "\r\n";
}

struct Client {
    explicit Client(std::string_view user) : host(dir.Path()) {
        account.pop = "127.0.0.1";
        account.smtp = "127.0.0.1";
        account.pop3Port = Servers().pop3;
        account.smtpPort = Servers().smtp;
        account.user = std::string(user);
        account.pass = std::string(user) + "pw";
        account.address = std::string(user) + "@example.test";
        account.name = std::string(user);
        Apply();
    }
    void Apply() {
        session.SetAccount(account, 0, dir.Path());
        SessionSettings s;
        s.timeout = 20;
        session.SetSettings(s);
    }
    std::vector<std::string> Subjects(std::string_view folder) {
        std::vector<std::string> out;
        for (auto& m : host.ReadFolder(folder)) {
            out.push_back(m->subject);
        }
        return out;
    }

    test::ScratchDir dir;
    StoreBackedHost host;
    TransferState state;
    MailSession session{state, host, host};
    AccountProfile account;
};

TEST(PopIntegration, ReceiveAndDeleteOnServer) {
    REQUIRE_SERVERS();
    Servers().ClearMaildir("bob");
    for (int i = 1; i <= 3; ++i) {
        Servers().PutMessage("bob", Message(i));
    }
    Client c("bob");
    ReceiveOutcome r = ReceiveJob(c.session).Run(false);
    ASSERT_TRUE(r.ok) << c.session.LastError() << Servers().Logs();
    EXPECT_EQ(r.stored, 3);
    EXPECT_EQ(c.Subjects("InBox"),
              (std::vector<std::string>{"message 1", "message 2", "message 3"}));
    EXPECT_TRUE(Servers().Messages("bob").empty());
    // Each message is made durable before its DELE, and all before QUIT.
    EXPECT_EQ(c.host.syncs, 4);
    EXPECT_EQ(c.host.receiveStored, 1);
    EXPECT_EQ(c.host.firstNew, (std::vector<std::string>{"InBox"}));
    EXPECT_TRUE(ReadListFile(c.dir / "UIDL.DAT").empty());
    EXPECT_TRUE(ReadListFile(c.dir / "MsgId.DAT").empty());
    EXPECT_TRUE(std::filesystem::exists(c.dir / "UIDL.DAT"));
}

TEST(PopIntegration, KeepOnServerRemembersUidsAcrossRuns) {
    REQUIRE_SERVERS();
    Servers().ClearMaildir("carol");
    Servers().PutMessage("carol", Message(1, "carol"));
    Servers().PutMessage("carol", Message(2, "carol"));
    Client c("carol");
    c.account.deleteOnServer = 0;
    c.Apply();
    ReceiveOutcome first = ReceiveJob(c.session).Run(false);
    ASSERT_TRUE(first.ok) << c.session.LastError();
    EXPECT_EQ(first.stored, 2);
    EXPECT_EQ(ReadListFile(c.dir / "UIDL.DAT").size(), 2u);
    EXPECT_EQ(ReadListFile(c.dir / "MsgId.DAT"),
              (std::vector<std::string>{"<m1.carol@example.test>", "<m2.carol@example.test>"}));

    ReceiveOutcome again = ReceiveJob(c.session).Run(false);
    ASSERT_TRUE(again.ok);
    EXPECT_EQ(again.stored, 0);

    Servers().PutMessage("carol", Message(3, "carol"));
    ReceiveOutcome third = ReceiveJob(c.session).Run(false);
    ASSERT_TRUE(third.ok);
    EXPECT_EQ(third.stored, 1);
    EXPECT_EQ(c.Subjects("InBox").back(), "message 3");
    EXPECT_EQ(Servers().Messages("carol").size(), 3u);

    ReceiveOutcome all = ReceiveJob(c.session).Run(true);
    ASSERT_TRUE(all.ok);
    EXPECT_EQ(all.stored, 3);
    EXPECT_FALSE(c.state.receiveAll.load());
    EXPECT_EQ(c.Subjects("InBox").size(), 6u);

    // Clean up deletes what was received and forgets both lists.
    ASSERT_TRUE(CleanUpJob(c.session).Run());
    EXPECT_TRUE(Servers().Messages("carol").empty());
    EXPECT_FALSE(std::filesystem::exists(c.dir / "UIDL.DAT"));
    EXPECT_FALSE(std::filesystem::exists(c.dir / "MsgId.DAT"));
}

TEST(PopIntegration, EverySecurityModeAndCertificateCheck) {
    REQUIRE_SERVERS();
    TrustFile trust(Servers().CaFile());
    struct Mode {
        int security;
        uint16_t port;
    };
    for (Mode mode :
         {Mode{kPop3SecurityNone, Servers().pop3}, Mode{kPop3SecurityStls, Servers().pop3},
          Mode{kPop3SecurityImplicit, Servers().pop3s}}) {
        SCOPED_TRACE(mode.security);
        Servers().ClearMaildir("dave");
        Servers().PutMessage("dave", Message(7, "dave"));
        Client c("dave");
        c.account.pop3Security = mode.security;
        c.account.pop3Port = mode.port;
        c.Apply();
        ReceiveOutcome r = ReceiveJob(c.session).Run(false);
        ASSERT_TRUE(r.ok) << c.session.LastError();
        EXPECT_EQ(r.stored, 1);
        EXPECT_TRUE(Servers().Messages("dave").empty());
    }
}

TEST(PopIntegration, WrongCertificateEndsTheSessionNamingTheFingerprint) {
    REQUIRE_SERVERS();
    test::ScratchDir other;
    test::WriteFileBytes(other / "empty.pem", "");
    TrustFile trust(other / "empty.pem");
    Servers().ClearMaildir("dave");
    Servers().PutMessage("dave", Message(8, "dave"));
    Client c("dave");
    c.account.pop3Security = kPop3SecurityImplicit;
    c.account.pop3Port = Servers().pop3s;
    c.Apply();
    ReceiveOutcome r = ReceiveJob(c.session).Run(false);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.stored, 0);
    ASSERT_EQ(c.host.NoticeIds(), (std::vector<int>{61455}));
    EXPECT_NE(c.host.notices[0].find("SHA-256 fingerprint is"), std::string::npos)
        << c.host.notices[0];
    EXPECT_EQ(Servers().Messages("dave").size(), 1u);

    // Pinning the fingerprint the message named lets the same server in.
    std::string detail = c.host.notices[0];
    detail.pop_back();  // the ")" that closes the detail
    std::string fingerprint = detail.substr(detail.rfind(' ') + 1);
    c.account.certFingerprint = fingerprint;
    c.Apply();
    ReceiveOutcome pinned = ReceiveJob(c.session).Run(false);
    ASSERT_TRUE(pinned.ok) << c.session.LastError();
    EXPECT_EQ(pinned.stored, 1);
}

TEST(PopIntegration, WrongPasswordStoresNothing) {
    REQUIRE_SERVERS();
    Servers().ClearMaildir("erin");
    Servers().PutMessage("erin", Message(1, "erin"));
    Client c("erin");
    c.account.pass = "wrong";
    c.Apply();
    ReceiveOutcome r = ReceiveJob(c.session).Run(false);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(c.host.NoticeIds(), (std::vector<int>{61455}));
    EXPECT_TRUE(c.Subjects("InBox").empty());
    EXPECT_EQ(Servers().Messages("erin").size(), 1u);
}

// A store that fails on the second message: the first stays stored, the
// server keeps everything (no QUIT, so no DELE takes effect) and the UID
// list gains only the stored message, so it is not fetched again.
TEST(PopIntegration, StoreFailureKeepsEverythingOnTheServer) {
    REQUIRE_SERVERS();
    Servers().ClearMaildir("frank");
    for (int i = 1; i <= 3; ++i) {
        Servers().PutMessage("frank", Message(i, "frank"));
    }
    Client c("frank");
    test::WriteFileBytes(c.dir / "UIDL.DAT", "keep\r\n");
    c.host.failStoreAfter = 1;
    ReceiveOutcome r = ReceiveJob(c.session).Run(false);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.stored, 1);
    EXPECT_EQ(c.Subjects("InBox"), (std::vector<std::string>{"message 1"}));
    EXPECT_EQ(Servers().Messages("frank").size(), 3u);
    std::vector<std::string> uids = ReadListFile(c.dir / "UIDL.DAT");
    ASSERT_EQ(uids.size(), 2u);
    EXPECT_EQ(uids[0], "keep");
    c.host.failStoreAfter = -1;
    ReceiveOutcome again = ReceiveJob(c.session).Run(false);
    EXPECT_TRUE(again.ok);
    EXPECT_EQ(c.Subjects("InBox"),
              (std::vector<std::string>{"message 1", "message 2", "message 3"}));
}

TEST(PopIntegration, AbortDuringAReceiveKeepsWhatWasStored) {
    REQUIRE_SERVERS();
    Servers().ClearMaildir("bench");
    std::string big = Message(0, "bench") + std::string(200000, 'x') + "\r\n";
    for (int i = 0; i < 40; ++i) {
        Servers().PutMessage("bench", big);
    }
    Client c("bench");
    std::thread aborter([&] {
        while (c.host.storedCount == 0 && c.state.busy.load() >= 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (c.host.storedCount > 0) {
                break;
            }
        }
        c.state.abort.Raise();
    });
    ReceiveOutcome r = ReceiveJob(c.session).Run(false);
    aborter.join();
    c.state.abort.Clear();
    EXPECT_FALSE(r.ok);
    EXPECT_LT(r.stored, 40);
    EXPECT_EQ(static_cast<int>(c.Subjects("InBox").size()), r.stored);
    // Without QUIT nothing was deleted; what was stored is recorded, so only
    // the rest is fetched next time.
    EXPECT_EQ(Servers().Messages("bench").size(), 40u);
    EXPECT_EQ(static_cast<int>(ReadListFile(c.dir / "UIDL.DAT").size()), r.stored);
    Servers().ClearMaildir("bench");
}

// --- SMTP ---------------------------------------------------------------

std::unique_ptr<MailMessage> Outgoing(std::string_view to, std::string_view subject,
                                      std::vector<std::string> body, std::string_view bcc = {}) {
    auto m = std::make_unique<MailMessage>();
    m->from = "bob@example.test";
    m->to = std::string(to);
    m->bcc = std::string(bcc);
    m->subject = std::string(subject);
    for (const std::string& line : body) {
        m->AddBodyLine(line);
    }
    return m;
}

TEST(SmtpIntegration, DeliverThroughEverySecurityMode) {
    REQUIRE_SERVERS();
    TrustFile trust(Servers().CaFile());
    struct Mode {
        int security;
        int auth;
        uint16_t port;
    };
    int sent = 0;
    Servers().ClearMaildir("carol");
    for (Mode mode : {Mode{kSmtpSecurityNone, kSmtpAuthNone, Servers().smtp},
                      Mode{kSmtpSecurityStartTls, kSmtpAuthAccount, Servers().submission},
                      Mode{kSmtpSecurityImplicit, kSmtpAuthOwn, Servers().smtps}}) {
        SCOPED_TRACE(mode.security);
        Client c("bob");
        c.account.smtpSecurity = mode.security;
        c.account.smtpAuth = mode.auth;
        c.account.smtpPort = mode.port;
        c.account.smtpUser = "bob";
        c.account.smtpPass = "bobpw";
        c.Apply();
        for (int i = 0; i < 2; ++i) {
            ASSERT_TRUE(c.host.AddToOutBox(Outgoing(
                "carol@example.test", "mode " + std::to_string(mode.security), {"hello"})));
        }
        ASSERT_TRUE(DeliverJob(c.session).Run()) << c.session.LastError() << Servers().Logs();
        sent += 2;
        std::vector<std::unique_ptr<MailMessage>> inSent = c.host.ReadFolder("Sent");
        ASSERT_EQ(inSent.size(), 2u);
        EXPECT_EQ(inSent[0]->status, "S");
        EXPECT_EQ(test::ReadFileBytes(c.dir / "OutBox.mbx"), "");
        EXPECT_FALSE(std::filesystem::exists(c.dir / "OutBox.bak"));
        EXPECT_EQ(c.host.outBoxRewritten, (std::vector<std::string>{"OutBox"}));
        ASSERT_TRUE(Servers().WaitForMessages("carol", static_cast<size_t>(sent)))
            << Servers().Logs();
    }
}

TEST(SmtpIntegration, WrongPasswordFailsBeforeAnythingLeavesTheOutBox) {
    REQUIRE_SERVERS();
    TrustFile trust(Servers().CaFile());
    Client c("bob");
    c.account.smtpSecurity = kSmtpSecurityStartTls;
    c.account.smtpAuth = kSmtpAuthOwn;
    c.account.smtpPort = Servers().submission;
    c.account.smtpUser = "bob";
    c.account.smtpPass = "wrong";
    c.Apply();
    ASSERT_TRUE(c.host.AddToOutBox(Outgoing("carol@example.test", "never", {"x"})));
    std::string before = test::ReadFileBytes(c.dir / "OutBox.mbx");
    EXPECT_FALSE(DeliverJob(c.session).Run());
    EXPECT_EQ(test::ReadFileBytes(c.dir / "OutBox.mbx"), before);
    EXPECT_TRUE(c.host.ReadFolder("Sent").empty());
    EXPECT_EQ(c.host.NoticeIds(), (std::vector<int>{61460}));
}

// A refused recipient fails the message as a whole: nothing reaches the
// other recipient, the message goes to Sent marked "E", a notice with the
// transcript goes to InBox and the later messages go back to the OutBox.
TEST(SmtpIntegration, RefusedRecipientFailsTheMessage) {
    REQUIRE_SERVERS();
    Servers().ClearMaildir("dave");
    Client c("bob");
    ASSERT_TRUE(
        c.host.AddToOutBox(Outgoing("dave@example.test, nobody@example.test", "refused", {"x"})));
    ASSERT_TRUE(c.host.AddToOutBox(Outgoing("dave@example.test", "later", {"y"})));
    EXPECT_FALSE(DeliverJob(c.session).Run());
    std::vector<std::unique_ptr<MailMessage>> sent = c.host.ReadFolder("Sent");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0]->status, "E");
    std::vector<std::unique_ptr<MailMessage>> inbox = c.host.ReadFolder("InBox");
    ASSERT_EQ(inbox.size(), 1u);
    EXPECT_EQ(inbox[0]->subject, "Mail sending error!");
    EXPECT_EQ(inbox[0]->from, "Marlo");
    std::string notice = inbox[0]->bodyLines.Joined();
    EXPECT_NE(notice.find("Dear bob\n"), std::string::npos);
    EXPECT_NE(notice.find("RCPT TO:<nobody@example.test>"), std::string::npos) << notice;
    EXPECT_NE(notice.find("Love. Marlo."), std::string::npos);
    EXPECT_EQ(c.host.NoticeIds(), (std::vector<int>{61460}));
    std::vector<std::unique_ptr<MailMessage>> outBox = c.host.ReadFolder("OutBox");
    ASSERT_EQ(outBox.size(), 1u);
    EXPECT_EQ(outBox[0]->subject, "later");
    EXPECT_FALSE(std::filesystem::exists(c.dir / "OutBox.bak"));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_TRUE(Servers().Messages("dave").empty());
}

TEST(SmtpIntegration, BccGetsTheMessageButNoHeader) {
    REQUIRE_SERVERS();
    Servers().ClearMaildir("erin");
    Servers().ClearMaildir("frank");
    Client c("bob");
    ASSERT_TRUE(c.host.AddToOutBox(
        Outgoing("erin@example.test", "with bcc", {"secret copy"}, "frank@example.test")));
    ASSERT_TRUE(DeliverJob(c.session).Run()) << c.session.LastError();
    ASSERT_TRUE(Servers().WaitForMessages("erin", 1));
    ASSERT_TRUE(Servers().WaitForMessages("frank", 1));
    std::string copy = Servers().Messages("frank")[0];
    std::string header = copy.substr(0, copy.find("\n\n"));
    EXPECT_EQ(header.find("Bcc"), std::string::npos);
    EXPECT_EQ(copy.find("frank@example.test>\n", copy.find("\nTo:")), std::string::npos);
    EXPECT_NE(copy.find("secret copy"), std::string::npos);
}

// SendMode 0: the other accounts' OutBoxes go through their own servers;
// their Sent folders are written directly and their OutBox counts reset.
TEST(SmtpIntegration, DeliverSendsTheOtherAccountsOutBoxes) {
    REQUIRE_SERVERS();
    Servers().ClearMaildir("dave");
    test::ScratchDir home;
    ProfileTable profiles;
    for (int i = 0; i < 2; ++i) {
        AccountProfile& a = profiles[static_cast<size_t>(i)];
        a.pop = "127.0.0.1";
        a.smtp = "127.0.0.1";
        a.pop3Port = Servers().pop3;
        a.smtpPort = Servers().smtp;
        a.mailDirNo = i;
        a.user = i == 0 ? "bob" : "carol";
        a.pass = a.user + "pw";
        a.address = a.user + "@example.test";
    }
    std::filesystem::path dir0 = MailboxDirectoryFor(home.Path(), 0);
    std::filesystem::path dir1 = MailboxDirectoryFor(home.Path(), 1);
    std::filesystem::create_directories(dir0);
    std::filesystem::create_directories(dir1);
    StoreBackedHost host(dir0);
    StoreBackedHost other(dir1);  // only to create and read its folder files
    ASSERT_TRUE(host.AddToOutBox(Outgoing("dave@example.test", "from bob", {"1"})));
    auto m = Outgoing("dave@example.test", "from carol", {"2"});
    m->from = "carol@example.test";
    ASSERT_TRUE(other.AddToOutBox(std::move(m)));
    TransferState state;
    MailSession session(state, host, host);
    session.SetAccount(profiles[0], 0, dir0);
    session.SetProfiles(&profiles, home.Path());
    ASSERT_TRUE(DeliverJob(session).Run()) << session.LastError();
    ASSERT_TRUE(Servers().WaitForMessages("dave", 2)) << Servers().Logs();
    EXPECT_EQ(host.ReadFolder("Sent").size(), 1u);
    std::vector<std::unique_ptr<MailMessage>> sentByCarol = other.ReadFolder("Sent");
    ASSERT_EQ(sentByCarol.size(), 1u);
    EXPECT_EQ(sentByCarol[0]->status, "S");
    EXPECT_EQ(test::ReadFileBytes(dir1 / "OutBox.mbx"), "");
    EXPECT_NE(test::ReadFileBytes(dir1 / "OutBox.ctl").find("Total=0"), std::string::npos);
    EXPECT_EQ(session.Account().user, "bob");
}

// A binary attachment goes out base64-encoded in a multipart message and
// comes back as a file with exactly the same bytes.
TEST(RoundTrip, BinaryAttachmentComesBackByteForByte) {
    REQUIRE_SERVERS();
    Servers().ClearMaildir("erin");
    Client c("erin");
    std::string bytes;
    for (int i = 0; i < 70000; ++i) {
        bytes += static_cast<char>((i * 7 + i / 256) & 0xff);
    }
    test::WriteFileBytes(c.dir / "payload.bin", bytes);
    auto m = Outgoing("erin@example.test", "with attachment", {"see attached"});
    m->from = "erin@example.test";
    AttachmentEntry entry;
    entry.path = c.dir / "payload.bin";
    entry.type = "application";
    entry.subtype = "octet-stream";
    entry.encoding = "base64";
    m->attachments.push_back(entry);
    ASSERT_TRUE(c.host.AddToOutBox(std::move(m)));
    ASSERT_TRUE(DeliverJob(c.session).Run()) << c.session.LastError();
    ASSERT_TRUE(Servers().WaitForMessages("erin", 1)) << Servers().Logs();
    std::filesystem::remove(c.dir / "payload.bin");
    ReceiveOutcome r = ReceiveJob(c.session).Run(false);
    ASSERT_TRUE(r.ok) << c.session.LastError();
    std::vector<std::unique_ptr<MailMessage>> got = c.host.ReadFolder("InBox");
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0]->subject, "with attachment");
    ASSERT_EQ(got[0]->attachments.size(), 1u);
    EXPECT_EQ(test::ReadFileBytes(got[0]->attachments[0].path), bytes);
    EXPECT_NE(got[0]->bodyLines.Joined().find("see attached"), std::string::npos);
}

// Sent through Postfix, received from Dovecot: the same header fields and
// body lines come back.
TEST(RoundTrip, SentMessagesComeBackUnchanged) {
    REQUIRE_SERVERS();
    Servers().ClearMaildir("bob");
    Client c("bob");
    std::vector<std::vector<std::string>> bodies = {
        {"plain ASCII text", "second line"},
        {"caf\xc3\xa9 na\xc3\xafve 8-bit"},
        {"\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e\xe3\x81\xae\xe6\x9c\xac\xe6\x96\x87"},
        {"before", ".", "..two", "From me", "after"},
    };
    for (size_t i = 0; i < bodies.size(); ++i) {
        ASSERT_TRUE(c.host.AddToOutBox(
            Outgoing("bob@example.test", "round trip " + std::to_string(i), bodies[i])));
    }
    ASSERT_TRUE(DeliverJob(c.session).Run()) << c.session.LastError();
    ASSERT_TRUE(Servers().WaitForMessages("bob", bodies.size())) << Servers().Logs();
    std::vector<std::string> onServer = Servers().Messages("bob");
    ReceiveOutcome r = ReceiveJob(c.session).Run(false);
    ASSERT_TRUE(r.ok) << c.session.LastError();
    ASSERT_EQ(r.stored, static_cast<int>(bodies.size()));
    std::vector<std::unique_ptr<MailMessage>> sent = c.host.ReadFolder("Sent");
    std::vector<std::unique_ptr<MailMessage>> got = c.host.ReadFolder("InBox");
    ASSERT_EQ(got.size(), bodies.size());
    // Postfix files them in arrival order, which is sending order here.
    std::sort(got.begin(), got.end(),
              [](const auto& a, const auto& b) { return a->subject < b->subject; });
    for (size_t i = 0; i < bodies.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(got[i]->subject, sent[i]->subject);
        EXPECT_EQ(got[i]->from, sent[i]->from);
        EXPECT_EQ(got[i]->to, sent[i]->to);
        EXPECT_EQ(got[i]->date, sent[i]->date);
        EXPECT_EQ(got[i]->messageId, sent[i]->messageId);
        // The outgoing assembly sends a body line beginning with "From" as
        // ">From" (old mailbox readers would take it for a separator).
        std::string expected;
        for (const std::string& line : bodies[i]) {
            expected += (line.rfind("From", 0) == 0 ? ">" : "") + line + "\n";
        }
        EXPECT_EQ(got[i]->bodyLines.Joined(), expected) << onServer[i];
    }
}

// Dovecot stuffs the dot-started lines of a message: every listing of the
// dialogue (TOP as Clean up Server reads it without UIDL, RETR, UIDL) is
// read to its real end, the message after it is received too, and the
// clean-up deletes exactly the messages received.
TEST(PopIntegration, DotStartedLinesKeepTheDialogueInStep) {
    REQUIRE_SERVERS();
    Servers().ClearMaildir("frank");
    const std::string dotted =
        test::ReadFileBytes(test::DataPath("pop3/dot-started-header-lines.eml"));
    ASSERT_FALSE(dotted.empty());
    Servers().PutMessage("frank", Message(1, "frank"));
    Servers().PutMessage("frank", dotted);
    Servers().PutMessage("frank", Message(3, "frank"));
    Client c("frank");
    c.account.deleteOnServer = 0;
    c.Apply();

    ASSERT_TRUE(c.session.Prepare(false));
    ASSERT_TRUE(c.session.LoginPop({"frank", "frankpw"})) << c.session.LastError();
    std::vector<std::string> ids;
    std::string summary;
    std::string id;
    while (c.session.Pop().NextMessage(&summary, &id) != 0) {
        ids.push_back(id);
    }
    EXPECT_FALSE(c.session.Pop().ListFailed());
    EXPECT_EQ(ids, (std::vector<std::string>{"<m1.frank@example.test>", "<dots@example.test>",
                                             "<m3.frank@example.test>"}));
    std::optional<std::string> header = c.session.Pop().FetchHeader(2);
    ASSERT_TRUE(header);
    EXPECT_NE(header->find("\r\n.Evil: x\r\n.\r\n.Evil: y\r\nDate:"), std::string::npos) << *header;
    c.session.Pop().End();

    ReceiveOutcome r = ReceiveJob(c.session).Run(false);
    ASSERT_TRUE(r.ok) << c.session.LastError();
    EXPECT_EQ(r.stored, 3);
    EXPECT_EQ(c.Subjects("InBox"),
              (std::vector<std::string>{"message 1", "dots at the start of lines", "message 3"}));
    ASSERT_TRUE(CleanUpJob(c.session).Run()) << c.session.LastError();
    EXPECT_TRUE(Servers().Messages("frank").empty());
}

}  // namespace
}  // namespace corvina
