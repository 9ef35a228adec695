// Delivering the OutBox against scripted SMTP servers: the OutBox taken and
// committed as a queue while others append to it, the leftover of a killed
// delivery, the user's abort, and whose login goes to which server.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

#include "ScriptedServer.h"
#include "StoreBackedHost.h"
#include "TestSupport.h"
#include "app/AppState.h"
#include "app/ProfileSelection.h"
#include "message/Base64.h"
#include "store/FolderNames.h"
#include "store/Mailbox.h"
#include "store/OutBoxQueue.h"
#include "transfer/DeliverJob.h"
#include "transfer/MailSession.h"
#include "transfer/ReceiveJob.h"
#include "transfer/SessionSetup.h"
#include "transfer/TransferStrings.h"

namespace corvina {
namespace {

using test::ScriptedServer;
using test::ServerConnection;
using test::StoreBackedHost;

std::unique_ptr<MailMessage> Outgoing(const std::string& subject) {
    auto m = std::make_unique<MailMessage>();
    m->from = "Alice <alice@example.test>";
    m->to = "bob@example.test";
    m->subject = subject;
    m->AddBodyLine("body of " + subject);
    m->bodyLoaded = true;
    return m;
}

// Appends a message to the OutBox of `dir` the way a compose window does,
// from whichever thread or process is composing.
void Compose(const std::filesystem::path& dir, const std::string& subject) {
    std::unique_ptr<MailMessage> m = Outgoing(subject);
    m->SetStatus("W");
    StoreContext context;
    context.mailboxDir = dir;
    ASSERT_TRUE(AppendToFolderFile(*m, "OutBox", context));
}

std::vector<std::string> Subjects(const std::vector<std::unique_ptr<MailMessage>>& messages) {
    std::vector<std::string> out;
    for (const auto& m : messages) {
        out.push_back(m->subject + "/" + m->status);
    }
    return out;
}

// What a scripted SMTP server saw of each message.
struct SmtpLog {
    std::vector<std::string> subjects;    // the Subject line of each message accepted
    std::vector<std::string> messageIds;  // the Message-Id line of each message accepted
    std::vector<std::string> auth;        // every AUTH line, decoded
};

struct SmtpScript {
    std::function<void()> onGreeting;  // before the greeting goes out
    std::function<void(int)> onData;   // DATA of message n (from 1)
    int refuse = 0;                    // message n is refused at "."
    bool block = false;                // message `refuse` is never answered
    SmtpLog* log = nullptr;
    int count = 0;  // messages seen on all connections
};

void PlaySmtp(ServerConnection& c, SmtpScript& s) {
    if (s.onGreeting) {
        s.onGreeting();
    }
    c.SendLine("220 scripted ESMTP");
    while (auto line = c.ReadLine()) {
        const std::string& l = *line;
        if (l.rfind("EHLO", 0) == 0) {
            c.Send("250-scripted\r\n250 AUTH PLAIN LOGIN\r\n");
        } else if (l.rfind("AUTH PLAIN ", 0) == 0) {
            std::optional<std::string> token = Base64DecodeText(l.substr(11));
            s.log->auth.push_back(token ? *token : "?");
            c.SendLine("235 ok");
        } else if (l == "DATA") {
            ++s.count;
            if (s.onData) {
                s.onData(s.count);
            }
            c.SendLine("354 go ahead");
            std::string subject;
            std::string id;
            while (auto data = c.ReadLine()) {
                if (*data == ".") {
                    break;
                }
                if (data->rfind("Subject: ", 0) == 0 && subject.empty()) {
                    subject = data->substr(9);
                } else if (data->rfind("Message-Id: ", 0) == 0) {
                    id = data->substr(12);
                }
            }
            if (s.count == s.refuse) {
                if (s.block) {
                    c.WaitForClose(20);
                    return;
                }
                c.SendLine("554 refused");
            } else {
                s.log->subjects.push_back(subject);
                s.log->messageIds.push_back(id);
                c.SendLine("250 queued");
            }
        } else if (l == "QUIT") {
            c.SendLine("221 bye");
            return;
        } else {
            c.SendLine("250 ok");
        }
    }
}

struct Deliverer {
    Deliverer() : host(dir.Path()) {}
    void Account(uint16_t smtpPort) {
        AccountProfile a;
        a.pop = "127.0.0.1";
        a.smtp = "127.0.0.1";
        a.smtpPort = smtpPort;
        a.user = "alice";
        a.pass = "alicepw";
        a.address = "alice@example.test";
        session.SetAccount(a, 0, dir.Path());
        SessionSettings s;
        s.timeout = 10;
        s.sendMode = 2;
        session.SetSettings(s);
    }
    test::ScratchDir dir;
    StoreBackedHost host;
    TransferState state;
    MailSession session{state, host, host};
};

// Messages composed while a delivery runs, one before the OutBox was taken
// and one while a message was on the wire, survive a refused message: the
// first is sent with the others, the second waits in the OutBox behind the
// message that was not tried.
TEST(DeliverJob, ComposingDuringADeliveryLosesNothing) {
    SmtpLog log;
    Deliverer d;
    SmtpScript script;
    script.log = &log;
    script.onGreeting = [&] { Compose(d.dir.Path(), "composed at the greeting"); };
    script.onData = [&](int n) {
        if (n == 1) {
            Compose(d.dir.Path(), "composed during DATA");
        }
    };
    script.refuse = 2;
    ScriptedServer server([&](ServerConnection& c) { PlaySmtp(c, script); });
    d.Account(server.Port());
    for (const char* subject : {"m1", "m2", "m3"}) {
        ASSERT_TRUE(d.host.AddToOutBox(Outgoing(subject)));
    }
    EXPECT_FALSE(DeliverJob(d.session).Run());
    server.Finish();
    EXPECT_EQ(log.subjects, (std::vector<std::string>{"m1"}));
    EXPECT_EQ(Subjects(d.host.ReadFolder("Sent")), (std::vector<std::string>{"m1/S", "m2/E"}));
    EXPECT_EQ(
        Subjects(d.host.ReadFolder("OutBox")),
        (std::vector<std::string>{"m3/W", "composed at the greeting/W", "composed during DATA/W"}));
    ASSERT_EQ(d.host.ReadFolder("InBox").size(), 1u);
    EXPECT_EQ(d.host.ReadFolder("InBox")[0]->subject, "Mail sending error!");
    EXPECT_FALSE(std::filesystem::exists(d.dir / kOutBoxBackupFile));
    EXPECT_EQ(d.host.NoticeIds(), (std::vector<int>{kStrSendFailed}));
    // Committed once through the host: the two messages never tried.
    ASSERT_EQ(d.host.committed.size(), 1u);
    EXPECT_EQ(d.host.committed[0].size(), 2u);
}

// The leftover of a delivery killed while its second message was on the
// wire: the first is in Sent, the second and third (the third without a
// Message-ID) exist only in OutBox.bak, and a message was composed since.
// The next delivery puts the two back, says so, and sends all three.
TEST(DeliverJob, LeftoverOfAKilledDeliveryIsSentNextTime) {
    SmtpLog log;
    SmtpScript script;
    script.log = &log;
    ScriptedServer server([&](ServerConnection& c) { PlaySmtp(c, script); });
    Deliverer d;
    d.Account(server.Port());
    test::WriteFileBytes(
        d.dir / kOutBoxBackupFile,
        test::ReadFileBytes(test::DataPath("outbox/killed-delivery-outbox-bak.mbx")));
    test::WriteFileBytes(FolderNameToPath(d.dir.Path(), ResolveFolderName("Sent")),
                         test::ReadFileBytes(test::DataPath("outbox/killed-delivery-Sent.mbx")));
    test::WriteFileBytes(
        FolderNameToPath(d.dir.Path(), "OutBox"),
        test::ReadFileBytes(test::DataPath("outbox/killed-delivery-composed-after.mbx")));

    EXPECT_TRUE(DeliverJob(d.session).Run());
    server.Finish();
    EXPECT_EQ(log.subjects,
              (std::vector<std::string>{"second, in flight at the kill", "third, never tried",
                                        "composed while the delivery ran"}));
    ASSERT_EQ(d.host.notices.size(), 1u);
    EXPECT_EQ(d.host.notices[0].rfind("2 message(s) of an interrupted delivery", 0), 0u);
    EXPECT_FALSE(std::filesystem::exists(d.dir / kOutBoxBackupFile));
    EXPECT_TRUE(d.host.ReadFolder("OutBox").empty());
    std::vector<std::unique_ptr<MailMessage>> sent = d.host.ReadFolder("Sent");
    ASSERT_EQ(sent.size(), 4u);
    // A message queued without a Message-ID goes out with the one it is
    // filed under in Sent: that is how a later recovery recognises it.
    EXPECT_FALSE(sent[2]->messageId.empty());
    EXPECT_EQ(log.messageIds[1], sent[2]->messageId);
    EXPECT_EQ(sent[2]->bodyLines.Joined(), "three\n.\n.dotted line\n");
}

// The user's abort while a message is on the wire: that message was not
// refused, so it is neither filed as failed nor noticed; it and the rest
// go back to the OutBox.
TEST(DeliverJob, AbortPutsTheUnsentMessagesBack) {
    SmtpLog log;
    SmtpScript script;
    script.log = &log;
    script.refuse = 2;
    script.block = true;
    ScriptedServer server([&](ServerConnection& c) { PlaySmtp(c, script); });
    Deliverer d;
    d.Account(server.Port());
    SessionSettings s = d.session.Settings();
    s.timeout = 0;
    d.session.SetSettings(s);
    for (const char* subject : {"m1", "m2", "m3"}) {
        ASSERT_TRUE(d.host.AddToOutBox(Outgoing(subject)));
    }
    bool ok = true;
    std::thread worker([&] { ok = DeliverJob(d.session).Run(); });
    while (d.host.ReadFolder("Sent").empty()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(AbortTransfers(d.state, std::chrono::seconds(5)));
    worker.join();
    server.Finish();
    EXPECT_FALSE(ok);
    EXPECT_EQ(Subjects(d.host.ReadFolder("Sent")), (std::vector<std::string>{"m1/S"}));
    EXPECT_EQ(Subjects(d.host.ReadFolder("OutBox")), (std::vector<std::string>{"m2/W", "m3/W"}));
    EXPECT_TRUE(d.host.ReadFolder("InBox").empty());
    EXPECT_FALSE(std::filesystem::exists(d.dir / kOutBoxBackupFile));
}

TEST(OutBoxQueueTest, TakeCommitAndRecoverKeepEveryMessageOnce) {
    test::ScratchDir dir;
    StoreBackedHost host(dir.Path());
    const std::filesystem::path outBox = FolderNameToPath(dir.Path(), "OutBox");
    ASSERT_TRUE(host.AddToOutBox(Outgoing("a")));
    ASSERT_TRUE(host.AddToOutBox(Outgoing("b")));

    std::optional<std::vector<std::string>> taken = TakeOutBox(dir.Path());
    ASSERT_TRUE(taken);
    ASSERT_EQ(taken->size(), 2u);
    EXPECT_FALSE(StoredMessageId((*taken)[0]).empty());
    EXPECT_EQ(test::ReadFileBytes(outBox), "");
    struct stat st {};
    ASSERT_EQ(stat((dir / kOutBoxBackupFile).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    // A second delivery cannot take it while the first one's copy is there.
    std::string error;
    EXPECT_FALSE(TakeOutBox(dir.Path(), &error));
    EXPECT_FALSE(error.empty());

    Compose(dir.Path(), "c");
    ASSERT_TRUE(CommitOutBox(dir.Path(), {(*taken)[1]}));
    EXPECT_EQ(Subjects(host.ReadFolder("OutBox")), (std::vector<std::string>{"b/W", "c/W"}));
    EXPECT_FALSE(std::filesystem::exists(dir / kOutBoxBackupFile));
    EXPECT_EQ(RecoverOutBoxBackup(dir.Path()), 0);

    // Killed after the OutBox was taken and before it was emptied: both
    // files hold the same messages, nothing is doubled.
    std::string both = test::ReadFileBytes(outBox);
    taken = TakeOutBox(dir.Path());
    ASSERT_TRUE(taken);
    test::WriteFileBytes(outBox, test::ReadFileBytes(dir / kOutBoxBackupFile));
    EXPECT_EQ(RecoverOutBoxBackup(dir.Path()), 0);
    EXPECT_EQ(Subjects(host.ReadFolder("OutBox")), (std::vector<std::string>{"b/W", "c/W"}));

    // A leftover without Message-IDs is matched by its whole text.
    test::WriteFileBytes(dir / kOutBoxBackupFile, both);
    test::WriteFileBytes(outBox, both);
    EXPECT_EQ(RecoverOutBoxBackup(dir.Path()), 0);
    EXPECT_EQ(host.ReadFolder("OutBox").size(), 2u);
}

// At start-up every account's leftover is recovered, and the user is told
// for which account and how many.
TEST(OutBoxQueueTest, StartUpRecoversEveryAccountsLeftover) {
    test::ScratchDir home;
    AppState state;
    state.homeDirectory = home.Path();
    for (int i = 0; i < 2; ++i) {
        AccountProfile& a = state.profiles[static_cast<size_t>(i)];
        a.pop = "127.0.0.1";
        a.mailDirNo = i;
        StoreBackedHost files(MailboxDirectoryFor(home.Path(), i));
    }
    state.profiles[1].account = "Work";
    const std::filesystem::path work = MailboxDirectoryFor(home.Path(), 1);
    test::WriteFileBytes(
        work / kOutBoxBackupFile,
        test::ReadFileBytes(test::DataPath("outbox/killed-delivery-outbox-bak.mbx")));
    test::WriteFileBytes(FolderNameToPath(work, ResolveFolderName("Sent")),
                         test::ReadFileBytes(test::DataPath("outbox/killed-delivery-Sent.mbx")));
    EXPECT_EQ(
        RecoverInterruptedDeliveries(state),
        (std::vector<std::string>{
            "2 message(s) of an interrupted delivery were put back into the OutBox of Work."}));
    EXPECT_EQ(StoredMessageId(
                  SplitStoredMessages(test::ReadFileBytes(FolderNameToPath(work, "OutBox")))[0]),
              "<1765198800.a2@example.test>");
    EXPECT_TRUE(RecoverInterruptedDeliveries(state).empty());
}

// The OutBox.bak of a delivery that is still running is no leftover:
// recovery elsewhere leaves it alone until the delivery committed.
TEST(OutBoxQueueTest, RecoveryLeavesARunningDeliveryAlone) {
    test::ScratchDir dir;
    StoreBackedHost host(dir.Path());
    ASSERT_TRUE(host.AddToOutBox(Outgoing("a")));
    std::optional<std::vector<std::string>> taken = TakeOutBox(dir.Path());
    ASSERT_TRUE(taken);
    int recovered = -2;
    std::optional<std::vector<std::string>> second;
    std::thread other([&] {
        recovered = RecoverOutBoxBackup(dir.Path());
        second = TakeOutBox(dir.Path());
    });
    other.join();
    EXPECT_EQ(recovered, 0);
    EXPECT_FALSE(second);
    EXPECT_TRUE(host.ReadFolder("OutBox").empty());
    ASSERT_TRUE(std::filesystem::exists(dir / kOutBoxBackupFile));
    ASSERT_TRUE(CommitOutBox(dir.Path(), *taken));
    std::thread after([&] { recovered = RecoverOutBoxBackup(dir.Path()); });
    after.join();
    EXPECT_EQ(recovered, 0);
    EXPECT_EQ(Subjects(host.ReadFolder("OutBox")), (std::vector<std::string>{"a/W"}));
}

TEST(OutBoxQueueTest, SplitKeepsATruncatedLastMessage) {
    std::vector<std::string> pieces =
        SplitStoredMessages("From:a\r\n\r\nx\r\n.\r\nFrom:b\r\n\r\n..\r\n.\r\nFrom:c\r\n\r\ncut");
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces[1], "From:b\r\n\r\n..\r\n.\r\n");
    EXPECT_EQ(pieces[2], "From:c\r\n\r\ncut\r\n");
}

// Two accounts with their own servers and logins. `first` and `second`
// play the SMTP servers of account 0 and account 1.
struct TwoAccounts {
    TwoAccounts(uint16_t pop0, uint16_t smtp0, uint16_t smtp1, int sendMode)
        : dir0(MailboxDirectoryFor(home.Path(), 0)), dir1(MailboxDirectoryFor(home.Path(), 1)) {
        std::filesystem::create_directories(dir0);
        std::filesystem::create_directories(dir1);
        host = std::make_unique<StoreBackedHost>(dir0);
        other = std::make_unique<StoreBackedHost>(dir1);
        AccountProfile& a = profiles[0];
        a.pop = "127.0.0.1";
        a.pop3Port = pop0;
        a.smtp = "127.0.0.1";
        a.smtpPort = smtp0;
        a.user = "alice";
        a.pass = "alicepw";
        a.smtpAuth = kSmtpAuthAccount;
        a.deleteOnServer = 1;
        a.mailDirNo = 0;
        AccountProfile& b = profiles[1];
        b.pop = "127.0.0.1";
        b.smtp = "127.0.0.1";
        b.smtpPort = smtp1;
        b.user = "other";
        b.pass = "other-secret";
        b.smtpAuth = kSmtpAuthAccount;
        b.mailDirNo = 1;
        session = std::make_unique<MailSession>(state, *host, *host);
        session->SetAccount(a, 0, dir0);
        session->SetProfiles(&profiles, home.Path());
        SessionSettings s;
        s.timeout = 10;
        s.sendMode = sendMode;
        session->SetSettings(s);
        EXPECT_TRUE(host->AddToOutBox(Outgoing("from alice")));
        EXPECT_TRUE(other->AddToOutBox(Outgoing("from other")));
    }
    test::ScratchDir home;
    std::filesystem::path dir0, dir1;
    ProfileTable profiles;
    std::unique_ptr<StoreBackedHost> host, other;
    TransferState state;
    std::unique_ptr<MailSession> session;
};

// SendMode 1: every OutBox goes through the current account's server, so
// that server only ever sees the current account's login.
TEST(DeliverJob, SendModeOneLogsInWithTheServersOwnAccountOnly) {
    SmtpLog log;
    SmtpScript script;
    script.log = &log;
    ScriptedServer server([&](ServerConnection& c) { PlaySmtp(c, script); }, false, 2);
    TwoAccounts t(1, server.Port(), 1, 1);
    EXPECT_TRUE(DeliverJob(*t.session).Run());
    server.Finish();
    EXPECT_EQ(log.subjects, (std::vector<std::string>{"from alice", "from other"}));
    EXPECT_EQ(log.auth, (std::vector<std::string>{std::string("\0alice\0alicepw", 14),
                                                  std::string("\0alice\0alicepw", 14)}));
    EXPECT_EQ(Subjects(t.other->ReadFolder("Sent")), (std::vector<std::string>{"from other/S"}));
    // The other account's Sent copy went through the host too.
    EXPECT_EQ(t.host->storedIn, (std::vector<std::string>{(t.dir1 / "Sent").string()}));
}

// SendMode 0 after a receive of account 0 on the same session: account 1's
// own server gets account 1's login, never the one the receive used.
TEST(DeliverJob, SendModeZeroNeverCarriesALoginToAnotherAccountsServer) {
    ScriptedServer pop([](ServerConnection& c) {
        c.SendLine("+OK ready");
        while (auto line = c.ReadLine()) {
            if (*line == "STAT") {
                c.SendLine("+OK 0 0");
            } else if (*line == "QUIT") {
                c.SendLine("+OK bye");
                return;
            } else {
                c.SendLine("+OK");
            }
        }
    });
    SmtpLog log0;
    SmtpLog log1;
    SmtpScript script0;
    script0.log = &log0;
    SmtpScript script1;
    script1.log = &log1;
    ScriptedServer smtp0([&](ServerConnection& c) { PlaySmtp(c, script0); });
    ScriptedServer smtp1([&](ServerConnection& c) { PlaySmtp(c, script1); });
    TwoAccounts t(pop.Port(), smtp0.Port(), smtp1.Port(), 0);
    ASSERT_TRUE(ReceiveJob(*t.session).Run(false).ok);
    EXPECT_TRUE(DeliverJob(*t.session).Run());
    std::vector<std::string> popLines = pop.Finish();
    smtp0.Finish();
    smtp1.Finish();
    EXPECT_NE(std::find(popLines.begin(), popLines.end(), "USER alice"), popLines.end());
    EXPECT_EQ(log0.auth, (std::vector<std::string>{std::string("\0alice\0alicepw", 14)}));
    EXPECT_EQ(log1.auth, (std::vector<std::string>{std::string("\0other\0other-secret", 19)}));
    EXPECT_EQ(log1.subjects, (std::vector<std::string>{"from other"}));
}

// An account that only sends (an SMTP server, no POP3 server) has its
// OutBox delivered with SendMode 0 (through its own server) and 1 (through
// the current account's); SendMode 2 leaves it alone.
TEST(DeliverJob, AnAccountWithoutPopServerIsDelivered) {
    for (int sendMode : {0, 1, 2}) {
        SCOPED_TRACE(sendMode);
        SmtpLog log;
        SmtpScript script;
        script.log = &log;
        ScriptedServer server([&](ServerConnection& c) { PlaySmtp(c, script); }, false,
                              sendMode == 2 ? 1 : 2);
        TwoAccounts t(1, server.Port(), server.Port(), sendMode);
        t.profiles[1].pop.clear();
        EXPECT_TRUE(DeliverJob(*t.session).Run());
        server.Finish();
        const bool covered = sendMode != 2;
        EXPECT_EQ(log.subjects, covered ? (std::vector<std::string>{"from alice", "from other"})
                                        : (std::vector<std::string>{"from alice"}));
        EXPECT_EQ(t.other->ReadFolder("OutBox").size(), covered ? 0u : 1u);
    }
}

}  // namespace
}  // namespace corvina
