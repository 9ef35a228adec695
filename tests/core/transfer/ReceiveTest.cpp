// Receive against scripted servers: the cases a real Dovecot will not
// produce on demand (no UIDL, a connection cut inside RETR, a store that
// cannot sync).

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

#include "ScriptedServer.h"
#include "StoreBackedHost.h"
#include "TestSupport.h"
#include "app/ProfileSelection.h"
#include "transfer/CheckAllAccounts.h"
#include "transfer/CleanUpJob.h"
#include "transfer/ListFile.h"
#include "transfer/MailSession.h"
#include "transfer/ReceiveJob.h"
#include "transfer/RemoteMailbox.h"
#include "transfer/TransferStrings.h"

namespace corvina {
namespace {

using test::ScriptedServer;
using test::ServerConnection;
using test::StoreBackedHost;

bool Has(const std::vector<std::string>& lines, std::string_view wanted) {
    return std::find(lines.begin(), lines.end(), wanted) != lines.end();
}

struct Receiver {
    explicit Receiver(uint16_t port, int deleteOnServer = 1, std::filesystem::path where = {})
        : path(where.empty() ? scratch.Path() : where), host(path) {
        AccountProfile a;
        a.pop = "127.0.0.1";
        a.pop3Port = port;
        a.user = "u";
        a.pass = "p";
        a.deleteOnServer = deleteOnServer;
        session.SetAccount(a, 0, path);
        SessionSettings s;
        s.timeout = 10;
        session.SetSettings(s);
    }
    const std::filesystem::path& dir() const { return path; }
    test::ScratchDir scratch;
    std::filesystem::path path;
    StoreBackedHost host;
    TransferState state;
    MailSession session{state, host, host};
};

std::string Body(int i) {
    return "Message-Id: <id" + std::to_string(i) + ">\r\nSubject: s" + std::to_string(i) +
           "\r\n\r\ntext " + std::to_string(i) + "\r\n.\r\n";
}

// Plays a POP3 maildrop of `count` messages; RETR of `cutAt` is cut off in
// the middle. Answers UIDL with -ERR when `uidl` is false.
void Maildrop(ServerConnection& c, int count, bool uidl, int cutAt = 0) {
    c.SendLine("+OK ready");
    while (auto line = c.ReadLine()) {
        const std::string& l = *line;
        if (l.rfind("USER", 0) == 0 || l.rfind("PASS", 0) == 0 || l.rfind("DELE", 0) == 0) {
            c.SendLine("+OK");
        } else if (l == "STAT") {
            c.SendLine(count < 0 ? "-ERR mailbox locked" : "+OK " + std::to_string(count) + " 100");
        } else if (l == "LIST") {
            std::string text = "+OK\r\n";
            for (int i = 1; i <= count; ++i) {
                text += std::to_string(i) + " 50\r\n";
            }
            c.Send(text + ".\r\n");
        } else if (l == "UIDL") {
            if (!uidl) {
                c.SendLine("-ERR no UIDL here");
                continue;
            }
            std::string text = "+OK\r\n";
            for (int i = 1; i <= count; ++i) {
                text += std::to_string(i) + " uid" + std::to_string(i) + "\r\n";
            }
            c.Send(text + ".\r\n");
        } else if (l.rfind("TOP ", 0) == 0) {
            int n = std::stoi(l.substr(4));
            c.Send("+OK\r\nMessage-Id: <id" + std::to_string(n) + ">\r\n.\r\n");
        } else if (l.rfind("RETR ", 0) == 0) {
            int n = std::stoi(l.substr(5));
            if (n == cutAt) {
                c.Send("+OK\r\nSubject: cut\r\n\r\nhalf");
                c.Close();
                return;
            }
            c.Send("+OK\r\n" + Body(n));
        } else if (l == "QUIT") {
            c.SendLine("+OK bye");
            return;
        } else {
            c.SendLine("-ERR unknown");
        }
    }
}

TEST(Receive, WithoutUidlFallsBackToMessageIds) {
    ScriptedServer server([](ServerConnection& c) { Maildrop(c, 3, false); });
    Receiver r(server.Port(), 0);
    test::WriteFileBytes(r.dir() / "MsgId.DAT", "<id2>\r\n");
    ReceiveOutcome outcome = ReceiveJob(r.session).Run(false);
    ASSERT_TRUE(outcome.ok) << r.session.LastError();
    EXPECT_EQ(outcome.stored, 2);
    std::vector<std::string> got = server.Finish();
    EXPECT_TRUE(Has(got, "TOP 2 0"));
    EXPECT_FALSE(Has(got, "RETR 2"));
    EXPECT_TRUE(Has(got, "RETR 1"));
    EXPECT_TRUE(Has(got, "RETR 3"));
    EXPECT_FALSE(std::any_of(got.begin(), got.end(),
                             [](const std::string& l) { return l.rfind("DELE", 0) == 0; }));
    EXPECT_EQ(ReadListFile(r.dir() / "MsgId.DAT"),
              (std::vector<std::string>{"<id1>", "<id2>", "<id3>"}));
    EXPECT_TRUE(ReadListFile(r.dir() / "UIDL.DAT").empty());
}

// The connection breaks inside the second RETR: the first message stays
// stored, the server deleted nothing (no QUIT went out), and the lists
// name the message that was stored, so the next receive deletes it without
// fetching it again.
TEST(Receive, DroppedConnectionMidRetrLosesNothing) {
    test::ScratchDir dir;
    {
        ScriptedServer server([](ServerConnection& c) { Maildrop(c, 3, true, 2); });
        Receiver r(server.Port(), 1, dir.Path());
        test::WriteFileBytes(r.dir() / "UIDL.DAT", "old\r\n");
        test::WriteFileBytes(r.dir() / "MsgId.DAT", "<old>\r\n");
        ReceiveOutcome outcome = ReceiveJob(r.session).Run(false);
        EXPECT_FALSE(outcome.ok);
        EXPECT_EQ(outcome.stored, 1);
        std::vector<std::unique_ptr<MailMessage>> inbox = r.host.ReadFolder("InBox");
        ASSERT_EQ(inbox.size(), 1u);
        EXPECT_EQ(inbox[0]->subject, "s1");
        std::vector<std::string> got = server.Finish();
        EXPECT_TRUE(Has(got, "DELE 1"));
        EXPECT_FALSE(Has(got, "QUIT"));
        EXPECT_EQ(test::ReadFileBytes(r.dir() / "UIDL.DAT"), "old\r\nuid1\r\n");
        EXPECT_EQ(test::ReadFileBytes(r.dir() / "MsgId.DAT"), "<old>\r\n<id1>\r\n");
    }
    ScriptedServer server([](ServerConnection& c) { Maildrop(c, 3, true); });
    Receiver r(server.Port(), 1, dir.Path());
    ReceiveOutcome outcome = ReceiveJob(r.session).Run(false);
    EXPECT_TRUE(outcome.ok);
    EXPECT_EQ(outcome.stored, 2);
    std::vector<std::string> got = server.Finish();
    EXPECT_FALSE(Has(got, "RETR 1"));
    EXPECT_TRUE(Has(got, "DELE 1"));
    EXPECT_EQ(r.host.ReadFolder("InBox").size(), 3u);
    EXPECT_TRUE(ReadListFile(r.dir() / "UIDL.DAT").empty());
}

// QUIT commits the deletions, and DELE goes out only for a message made
// durable: a store that cannot sync stops the receive at the first message.
TEST(Receive, NoDeleteNorQuitWhenTheStoreCannotSync) {
    ScriptedServer server([](ServerConnection& c) { Maildrop(c, 2, true); });
    Receiver r(server.Port(), 1);
    r.host.syncResult = false;
    ReceiveOutcome outcome = ReceiveJob(r.session).Run(false);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.stored, 1);
    EXPECT_EQ(r.host.syncs, 1);
    std::vector<std::string> got = server.Finish();
    EXPECT_FALSE(Has(got, "DELE 1"));
    EXPECT_FALSE(Has(got, "RETR 2"));
    EXPECT_FALSE(Has(got, "QUIT"));
    EXPECT_FALSE(std::filesystem::exists(r.dir() / "UIDL.DAT"));
}

// A receive killed after storing two messages (its journal's last line cut
// mid-write): the next one folds the journal in first and fetches only
// what was not stored.
TEST(ReceiveJournalTest, KilledReceiveIsNotFetchedAgain) {
    ScriptedServer server([](ServerConnection& c) { Maildrop(c, 3, true); });
    Receiver r(server.Port(), 0);
    test::WriteFileBytes(
        r.dir() / kReceiveJournalFile,
        test::ReadFileBytes(test::DataPath("receive/journal-killed-mid-write.txt")));
    ReceiveOutcome outcome = ReceiveJob(r.session).Run(false);
    ASSERT_TRUE(outcome.ok);
    EXPECT_EQ(outcome.stored, 1);
    std::vector<std::string> got = server.Finish();
    EXPECT_FALSE(Has(got, "RETR 1"));
    EXPECT_FALSE(Has(got, "RETR 2"));
    EXPECT_TRUE(Has(got, "RETR 3"));
    EXPECT_EQ(ReadListFile(r.dir() / "UIDL.DAT"),
              (std::vector<std::string>{"uid1", "uid2", "uid3"}));
    EXPECT_FALSE(std::filesystem::exists(r.dir() / kReceiveJournalFile));
}

// Without UIDL and with deleting on: a message the journal names is
// retrieved (nothing else tells it apart) but not stored twice, and deleted.
TEST(ReceiveJournalTest, WithoutUidlTheJournalsMessageIdsAreDeletedNotStored) {
    ScriptedServer server([](ServerConnection& c) { Maildrop(c, 2, false); });
    Receiver r(server.Port(), 1);
    test::WriteFileBytes(r.dir() / kReceiveJournalFile, "M <id1>\r\n");
    ReceiveOutcome outcome = ReceiveJob(r.session).Run(false);
    ASSERT_TRUE(outcome.ok);
    EXPECT_EQ(outcome.stored, 1);
    std::vector<std::string> got = server.Finish();
    EXPECT_TRUE(Has(got, "DELE 1"));
    EXPECT_TRUE(Has(got, "DELE 2"));
    std::vector<std::unique_ptr<MailMessage>> inbox = r.host.ReadFolder("InBox");
    ASSERT_EQ(inbox.size(), 1u);
    EXPECT_EQ(inbox[0]->subject, "s2");
}

// A "-ERR" to UIDL keeps the UID list as it was; the lists and the journal
// are private files.
TEST(ReceiveJournalTest, UidlRefusedKeepsTheListAndFilesArePrivate) {
    ScriptedServer server([](ServerConnection& c) { Maildrop(c, 1, false); });
    Receiver r(server.Port(), 0);
    test::WriteFileBytes(r.dir() / "UIDL.DAT", "kept\r\n");
    ASSERT_TRUE(ReceiveJob(r.session).Run(false).ok);
    server.Finish();
    EXPECT_EQ(ReadListFile(r.dir() / "UIDL.DAT"), (std::vector<std::string>{"kept"}));
    ReceiveJournal journal(r.dir());
    ASSERT_TRUE(journal.Record("u", "<m>"));
    ASSERT_TRUE(WriteListFile(r.dir() / "UIDL.DAT", {"kept"}));
    for (const char* name : {"UIDL.DAT", "MsgId.DAT", kReceiveJournalFile}) {
        struct stat st {};
        ASSERT_EQ(stat((r.dir() / name).c_str(), &st), 0) << name;
        EXPECT_EQ(st.st_mode & 0777, 0600u) << name;
    }
}

// A refused STAT is not an empty maildrop: the lists stay as they were, or
// the next receive would take every message as already received.
TEST(Receive, RefusedStatLeavesTheListsAlone) {
    ScriptedServer server([](ServerConnection& c) { Maildrop(c, -1, true); });
    Receiver r(server.Port(), 0);
    test::WriteFileBytes(r.dir() / "UIDL.DAT", "old\r\n");
    ReceiveOutcome outcome = ReceiveJob(r.session).Run(false);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(test::ReadFileBytes(r.dir() / "UIDL.DAT"), "old\r\n");
    EXPECT_FALSE(std::filesystem::exists(r.dir() / "MsgId.DAT"));
}

// Plays a maildrop of the one message `text` (CR LF lines, no "." line)
// without UIDL.
void OneMessageDrop(ServerConnection& c, const std::string& text) {
    const std::string size = std::to_string(text.size());
    c.SendLine("+OK ready");
    while (auto line = c.ReadLine()) {
        const std::string& l = *line;
        if (l == "STAT") {
            c.SendLine("+OK 1 " + size);
        } else if (l == "LIST") {
            c.Send("+OK\r\n1 " + size + "\r\n.\r\n");
        } else if (l == "UIDL") {
            c.SendLine("-ERR no UIDL here");
        } else if (l == "TOP 1 0") {
            c.Send("+OK\r\n" + text.substr(0, text.find("\r\n\r\n") + 4) + ".\r\n");
        } else if (l == "RETR 1") {
            c.Send("+OK\r\n" + text + ".\r\n");
        } else if (l == "QUIT") {
            c.SendLine("+OK bye");
            return;
        } else {
            c.SendLine("+OK");
        }
    }
}

// A Message-ID and a Status folded onto continuation lines: the receive
// records the Message-ID as the received-before check reads it, so a
// server without UIDL does not hand the message over again (unless its
// Status lacks 'R'), and Clean up Server finds it.
TEST(Receive, FoldedMessageIdIsKnownTheNextTime) {
    const std::string mail = test::ReadFileBytes(test::DataPath("pop3/folded-message-id.eml"));
    std::string unread = mail;
    unread.replace(unread.find(" RO\r\n"), 5, " O\r\n");
    test::ScratchDir dir;
    auto receive = [&](const std::string& text) {
        ScriptedServer server([&](ServerConnection& c) { OneMessageDrop(c, text); });
        Receiver r(server.Port(), 0, dir.Path());
        ReceiveOutcome outcome = ReceiveJob(r.session).Run(false);
        EXPECT_TRUE(outcome.ok) << r.session.LastError();
        server.Finish();
        return outcome.stored;
    };
    EXPECT_EQ(receive(mail), 1);
    EXPECT_EQ(ReadListFile(dir / "MsgId.DAT"),
              (std::vector<std::string>{"<folded.1@example.test>"}));
    EXPECT_EQ(receive(mail), 0);
    EXPECT_EQ(receive(unread), 1);

    ScriptedServer server([&](ServerConnection& c) { OneMessageDrop(c, mail); });
    Receiver r(server.Port(), 0, dir.Path());
    EXPECT_TRUE(CleanUpJob(r.session).Run());
    EXPECT_TRUE(Has(server.Finish(), "DELE 1"));
}

// A "-ERR" to UIDL: neither the remote mailbox nor Clean up Server drops
// the kept UID list (the next receive with UIDL would fetch everything
// again), and the transcript says why messages go by their Message-ID.
TEST(Receive, RefusedUidlKeepsTheUidListInEveryJob) {
    const std::vector<std::pair<const char*, std::function<bool(MailSession&)>>> jobs = {
        {"remote mailbox",
         [](MailSession& s) {
             RemoteMailbox remote(s);
             return remote.List(false) && remote.Execute() == 0;
         }},
        {"clean up", [](MailSession& s) { return CleanUpJob(s).Run(); }},
    };
    for (const auto& [name, run] : jobs) {
        SCOPED_TRACE(name);
        ScriptedServer server([](ServerConnection& c) { Maildrop(c, 2, false); });
        Receiver r(server.Port(), 0);
        test::WriteFileBytes(r.dir() / "UIDL.DAT", "kept\r\n");
        EXPECT_TRUE(run(r.session)) << r.session.LastError();
        server.Finish();
        EXPECT_EQ(ReadListFile(r.dir() / "UIDL.DAT"), (std::vector<std::string>{"kept"}));
        const std::vector<std::string> transcript = r.state.Transcript();
        EXPECT_TRUE(std::any_of(transcript.begin(), transcript.end(), [](const std::string& l) {
            return l.rfind("The server refused UIDL (-ERR no UIDL here)", 0) == 0;
        }));
    }
}

// A server that stops answering in the middle of a message, with no
// timeout: the user's abort ends the receive at once.
TEST(Receive, AbortEndsABlockedReceive) {
    ScriptedServer server([](ServerConnection& c) {
        c.SendLine("+OK ready");
        c.ReadLine();
        c.SendLine("+OK");
        c.ReadLine();
        c.SendLine("+OK");
        c.ReadLine();  // STAT
        c.SendLine("+OK 1 50");
        c.ReadLine();  // LIST
        c.Send("+OK\r\n1 50\r\n.\r\n");
        c.ReadLine();  // RETR 1
        c.Send("+OK\r\nSubject: slow\r\n");
        c.WaitForClose(20);
    });
    Receiver r(server.Port(), 1);
    SessionSettings s = r.session.Settings();
    s.timeout = 0;
    r.session.SetSettings(s);
    ReceiveOutcome outcome;
    std::thread worker([&] { outcome = ReceiveJob(r.session).Run(false); });
    while (r.state.currentMessage.load() == 0 && r.state.busy.load() == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(AbortTransfers(r.state, std::chrono::seconds(5)));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    worker.join();
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.stored, 0);
    EXPECT_FALSE(r.state.abort.IsRaised());
    EXPECT_EQ(r.state.busy.load(), 0);
}

TEST(Receive, EmptyMaildropTellsTheUserWhenAsked) {
    ScriptedServer server([](ServerConnection& c) { Maildrop(c, 0, true); });
    Receiver r(server.Port(), 1);
    SessionSettings s = r.session.Settings();
    s.noMailNotify = 1;
    r.session.SetSettings(s);
    ReceiveOutcome outcome = ReceiveJob(r.session).Run(false);
    EXPECT_TRUE(outcome.ok);
    EXPECT_EQ(outcome.stored, 0);
    EXPECT_EQ(r.host.NoticeIds(), (std::vector<int>{kStrNoNewMail}));
    EXPECT_EQ(r.host.receiveStored, 0);
    EXPECT_FALSE(Has(server.Finish(), "LIST"));
}

TEST(Receive, RefusedWhileAnotherTransferRuns) {
    Receiver r(1);
    BusyGuard running(r.state);
    ReceiveOutcome outcome = ReceiveJob(r.session).Run(false);
    EXPECT_TRUE(outcome.refused);
    EXPECT_FALSE(outcome.ok);
    EXPECT_TRUE(r.host.NoticeIds().empty());
}

TEST(Receive, BackupLogKeepsTheRetrievedTextWithLfEnds) {
    ScriptedServer server([](ServerConnection& c) { Maildrop(c, 2, true); });
    Receiver r(server.Port(), 1);
    SessionSettings s = r.session.Settings();
    s.leaveLog = 1;
    r.session.SetSettings(s);
    ASSERT_TRUE(ReceiveJob(r.session).Run(false).ok);
    std::string log = test::ReadFileBytes(ReceiveJob(r.session).BackupLogPath());
    EXPECT_EQ(log,
              "Message-Id: <id1>\nSubject: s1\n\ntext 1\n.\n"
              "Message-Id: <id2>\nSubject: s2\n\ntext 2\n.\n");
}

TEST(RemoteMailboxTest, ListsAndCarriesOutTheMarks) {
    ScriptedServer server([](ServerConnection& c) { Maildrop(c, 4, true); });
    Receiver r(server.Port(), 0);
    test::WriteFileBytes(r.dir() / "UIDL.DAT", "uid4\r\n");
    RemoteMailbox remote(r.session);
    ASSERT_TRUE(remote.List(false));
    std::vector<RemoteRow>& rows = remote.Rows();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].subject, "(non-title)");  // TOP brought only the Message-Id
    EXPECT_EQ(rows[0].messageId, "<id1>");
    EXPECT_EQ(rows[0].size, "50");
    EXPECT_EQ(rows[1].uid, "uid2");
    EXPECT_FALSE(rows[0].received);
    EXPECT_TRUE(rows[3].received);
    EXPECT_EQ(r.host.status.back(), "4 messages are retrieved.");

    rows[0].mark = kMarkView;
    rows[1].mark = kMarkLoad;
    rows[2].mark = kMarkDelete;
    EXPECT_EQ(remote.Execute(), 2);
    std::vector<std::string> got = server.Finish();
    EXPECT_TRUE(Has(got, "RETR 1"));
    EXPECT_TRUE(Has(got, "RETR 2"));
    EXPECT_FALSE(Has(got, "RETR 3"));
    EXPECT_FALSE(Has(got, "DELE 1"));
    EXPECT_TRUE(Has(got, "DELE 2"));
    EXPECT_TRUE(Has(got, "DELE 3"));
    EXPECT_EQ(got.back(), "QUIT");
    EXPECT_EQ(r.host.ReadFolder("InBox").size(), 2u);
    // The lists now name exactly the kept rows: V and the one already received.
    EXPECT_EQ(ReadListFile(r.dir() / "MsgId.DAT"), (std::vector<std::string>{"<id1>", "<id4>"}));
    EXPECT_EQ(ReadListFile(r.dir() / "UIDL.DAT"), (std::vector<std::string>{"uid1", "uid4"}));
}

// The other accounts in account order, the current one last; an excluded
// account is not checked at all.
TEST(CheckAll, ReceivesEveryIncludedAccountCurrentLast) {
    ScriptedServer first([](ServerConnection& c) { Maildrop(c, 2, true); });
    ScriptedServer second([](ServerConnection& c) { Maildrop(c, 1, true); });
    ScriptedServer third([](ServerConnection& c) { Maildrop(c, 1, true); });
    test::ScratchDir home;
    ProfileTable profiles;
    const uint16_t ports[] = {first.Port(), second.Port(), third.Port(), 1};
    std::vector<std::unique_ptr<StoreBackedHost>> hosts;
    for (int i = 0; i < 4; ++i) {
        AccountProfile& a = profiles[static_cast<size_t>(i)];
        a.pop = "127.0.0.1";
        a.pop3Port = ports[i];
        a.user = "u";
        a.pass = "p";
        a.mailDirNo = i;
        std::filesystem::path dir = MailboxDirectoryFor(home.Path(), i);
        std::filesystem::create_directories(dir);
        hosts.push_back(std::make_unique<StoreBackedHost>(dir));
    }
    profiles[0].account = "Work";
    profiles[3].noCheckAll = 1;
    TransferState state;
    SessionSettings settings;
    settings.leaveLog = 1;
    {
        BusyGuard running(state);  // refused while another transfer runs
        EXPECT_TRUE(CheckAllAccounts(
                        profiles, 0, home.Path(), settings, state,
                        [&](int i) -> TransferHost& { return *hosts[i]; }, *hosts[0])
                        .refused);
    }
    CheckAllResult result = CheckAllAccounts(
        profiles, 0, home.Path(), settings, state,
        [&](int i) -> TransferHost& { return *hosts[i]; }, *hosts[0]);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.stored, 4);
    EXPECT_EQ(
        result.lines,
        (std::vector<std::string>{
            "<<< MailBox 02 >>>", "s1 / ", "*", "1 new messages are received from 127.0.0.1.",
            "<<< MailBox 03 >>>", "s1 / ", "*", "1 new messages are received from 127.0.0.1.",
            "<<< Work >>>", "s1 / ", "s2 / ", "*", "2 new messages are received from 127.0.0.1."}));
    EXPECT_EQ(hosts[0]->ReadFolder("InBox").size(), 2u);
    EXPECT_EQ(hosts[1]->ReadFolder("InBox").size(), 1u);
    EXPECT_TRUE(std::filesystem::exists(MailboxDirectoryFor(home.Path(), 0) / "MailLog.TXT"));
}

}  // namespace
}  // namespace corvina
