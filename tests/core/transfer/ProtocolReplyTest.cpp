// The POP3 and SMTP replies as a hostile or mistaken server sends them:
// dot-started lines inside listings, a server of the wrong kind, unreadable
// sizes, replies and messages that never end. The endless ones run in a
// forked child under an address-space limit, so that a reader that buffers
// without bound crashes the child instead of passing slowly.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <map>

#include "ScriptedServer.h"
#include "StoreBackedHost.h"
#include "TestSupport.h"
#include "message/MailMessage.h"
#include "store/FolderNames.h"
#include "transfer/CleanUpJob.h"
#include "transfer/ListFile.h"
#include "transfer/MailSession.h"
#include "transfer/ReceiveJob.h"

namespace corvina {
namespace {

using test::ScriptedServer;
using test::ServerConnection;
using test::StoreBackedHost;

bool Has(const std::vector<std::string>& lines, std::string_view wanted) {
    return std::find(lines.begin(), lines.end(), wanted) != lines.end();
}

bool StartsAny(const std::vector<std::string>& lines, std::string_view prefix) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
}

AccountProfile Account(uint16_t popPort, uint16_t smtpPort = 1) {
    AccountProfile a;
    a.pop = "127.0.0.1";
    a.smtp = "127.0.0.1";
    a.pop3Port = popPort;
    a.smtpPort = smtpPort;
    a.user = "alice";
    a.pass = "s3cret";
    a.address = "alice@example.test";
    return a;
}

struct Session {
    explicit Session(AccountProfile account, long long maxMessageSize = 0) : host(dir.Path()) {
        session.SetAccount(account, 0, dir.Path());
        SessionSettings s;
        s.timeout = 10;
        s.maxMessageSize = maxMessageSize;
        session.SetSettings(s);
    }
    test::ScratchDir dir;
    StoreBackedHost host;
    TransferState state;
    MailSession session{state, host, host};
};

// Lines of a message file without their line ends.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t lf = text.find('\n', pos);
        size_t end = lf == std::string::npos ? text.size() : lf;
        std::string line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
        pos = end + 1;
    }
    return lines;
}

// A message as a POP3 server sends it: every line beginning with "." gets
// one more, then the terminating ".". `headerOnly` stops at the header.
std::string Stuffed(const std::string& message, bool headerOnly = false) {
    std::string out;
    for (const std::string& line : Lines(message)) {
        if (headerOnly && line.empty()) {
            break;
        }
        out += (!line.empty() && line[0] == '.' ? "." : "") + line + "\r\n";
    }
    return out + ".\r\n";
}

std::string Simple(int i) {
    return "Message-ID: <m" + std::to_string(i) + "@test>\r\nSubject: s" + std::to_string(i) +
           "\r\n\r\ntext " + std::to_string(i) + "\r\n";
}

// A maildrop that answers STAT, LIST, UIDL (or -ERR without it), TOP, RETR,
// DELE and QUIT honestly for `messages`; `listed` overrides listed sizes.
struct Maildrop {
    std::vector<std::string> messages;
    bool uidl = false;
    std::map<int, long long> listed;
    std::vector<int> deleted;
    std::function<void(int)> beforeRetr;  // runs before message n is sent

    long long Size(int n) const {
        auto it = listed.find(n);
        return it != listed.end() ? it->second : static_cast<long long>(messages[n - 1].size());
    }
    void Play(ServerConnection& c) {
        c.SendLine("+OK POP3 ready");
        while (auto line = c.ReadLine()) {
            const std::string& l = *line;
            int count = static_cast<int>(messages.size());
            if (l.rfind("USER", 0) == 0 || l.rfind("PASS", 0) == 0) {
                c.SendLine("+OK");
            } else if (l == "STAT") {
                c.SendLine("+OK " + std::to_string(count) + " 1000");
            } else if (l == "LIST") {
                std::string text = "+OK\r\n";
                for (int i = 1; i <= count; ++i) {
                    text += std::to_string(i) + " " + std::to_string(Size(i)) + "\r\n";
                }
                c.Send(text + ".\r\n");
            } else if (l == "UIDL" && !uidl) {
                c.SendLine("-ERR no UIDL here");
            } else if (l == "UIDL") {
                std::string text = "+OK\r\n";
                for (int i = 1; i <= count; ++i) {
                    text += std::to_string(i) + " uid" + std::to_string(i) + "\r\n";
                }
                c.Send(text + ".\r\n");
            } else if (l.rfind("TOP ", 0) == 0) {
                c.Send("+OK\r\n" + Stuffed(messages[std::stoi(l.substr(4)) - 1], true));
            } else if (l.rfind("RETR ", 0) == 0) {
                const int n = std::stoi(l.substr(5));
                if (beforeRetr) {
                    beforeRetr(n);
                }
                c.Send("+OK\r\n" + Stuffed(messages[n - 1]));
            } else if (l.rfind("DELE ", 0) == 0) {
                deleted.push_back(std::stoi(l.substr(5)));
                c.SendLine("+OK");
            } else if (l == "QUIT") {
                c.SendLine("+OK bye");
                return;
            } else {
                c.SendLine("-ERR unknown");
            }
        }
    }
};

// A header full of dot-started lines ("." alone among them) and such body
// lines, on a server without UIDL: every listing is read to its real end,
// so the message after it is received too, and Clean up Server deletes
// exactly the messages that were received.
TEST(PopMultiLine, DotStartedLinesNeitherEndNorShiftAListing) {
    const std::string dotted =
        test::ReadFileBytes(test::DataPath("pop3/dot-started-header-lines.eml"));
    ASSERT_FALSE(dotted.empty());
    Maildrop drop;
    drop.messages = {Simple(1), dotted, Simple(3)};
    ScriptedServer server([&](ServerConnection& c) { drop.Play(c); });
    AccountProfile keep = Account(server.Port());
    keep.deleteOnServer = 0;
    Session r(keep);
    SessionSettings settings = r.session.Settings();
    settings.leaveLog = 1;
    r.session.SetSettings(settings);
    ReceiveOutcome outcome = ReceiveJob(r.session).Run(false);
    ASSERT_TRUE(outcome.ok) << r.session.LastError();
    EXPECT_EQ(outcome.stored, 3);
    std::vector<std::string> got = server.Finish();
    EXPECT_TRUE(Has(got, "RETR 3"));

    std::vector<std::unique_ptr<MailMessage>> inbox = r.host.ReadFolder("InBox");
    ASSERT_EQ(inbox.size(), 3u);
    EXPECT_EQ(inbox[1]->subject, "dots at the start of lines");
    EXPECT_EQ(inbox[2]->subject, "s3");
    // The text went on as received, stuffed once, whole to its last line.
    const std::string log = test::ReadFileBytes(ReceiveJob(r.session).BackupLogPath());
    EXPECT_NE(log.find("\n..Evil: x\n..\n..Evil: y\n"), std::string::npos) << log;
    EXPECT_NE(log.find("\n..\n...\n..hidden line\n.. \nlast line\n.\n"), std::string::npos) << log;
    EXPECT_EQ(ReadListFile(r.dir / kMessageIdFile),
              (std::vector<std::string>{"<m1@test>", "<dots@example.test>", "<m3@test>"}));

    Maildrop again = drop;
    ScriptedServer cleanup([&](ServerConnection& c) { again.Play(c); });
    Session c(Account(cleanup.Port()));
    std::filesystem::copy_file(r.dir / kMessageIdFile, c.dir / kMessageIdFile);
    EXPECT_TRUE(CleanUpJob(c.session).Run()) << c.session.LastError();
    cleanup.Finish();
    EXPECT_EQ(again.deleted, (std::vector<int>{1, 2, 3}));
}

// Each listing kind read through a session: a stuffed line loses its dot,
// and only a lone "." ends the reply.
TEST(PopMultiLine, HeaderOfTopKeepsStuffedLinesWhole) {
    Maildrop drop;
    drop.messages = {"Subject: x\r\n.Evil: one\r\n..Two: dots\r\n\r\nbody\r\n"};
    ScriptedServer server([&](ServerConnection& c) { drop.Play(c); });
    Session s(Account(server.Port()));
    ASSERT_TRUE(s.session.Prepare(false));
    ASSERT_TRUE(s.session.LoginPop({"alice", "s3cret"}));
    std::optional<std::string> header = s.session.Pop().FetchHeader(1);
    ASSERT_TRUE(header);
    EXPECT_EQ(*header, "Subject: x\r\n.Evil: one\r\n..Two: dots\r\n");
    std::string text;
    ASSERT_GT(s.session.Pop().Retrieve(1, text, 0), 0);
    // The text keeps the stored form: dot-started lines stuffed once.
    EXPECT_EQ(text, "Subject: x\n..Evil: one\n...Two: dots\n\nbody\n");
    s.session.Pop().Quit();
    EXPECT_TRUE(Has(server.Finish(), "QUIT"));
}

// An SMTP server on the POP3 port: its "220" greeting is no "+OK", so no
// user name and no password go out; the error names what it said.
TEST(PopLogin, ServerOfAnotherKindGetsNoCredentials) {
    ScriptedServer server([](ServerConnection& c) {
        c.SendLine("220 mail.example.test ESMTP");
        while (auto line = c.ReadLine()) {
            c.SendLine("500 5.5.2 Error: bad syntax");
        }
    });
    Session s(Account(server.Port()));
    ReceiveOutcome outcome = ReceiveJob(s.session).Run(false);
    EXPECT_FALSE(outcome.ok);
    std::vector<std::string> got = server.Finish();
    EXPECT_FALSE(StartsAny(got, "USER"));
    EXPECT_FALSE(StartsAny(got, "PASS"));
    ASSERT_EQ(s.host.notices.size(), 1u);
    EXPECT_NE(s.host.notices[0].find("220 mail.example.test ESMTP"), std::string::npos);
}

// A refused USER ends the login without PASS; a refused PASS is reported in
// the server's own words, not as the answer to the QUIT that followed.
TEST(PopLogin, RefusalsNameTheServersReply) {
    for (std::string userReply : {"-ERR [AUTH] no such user", "500 unknown command"}) {
        ScriptedServer server([&](ServerConnection& c) {
            c.SendLine("+OK ready");
            c.ReadLine();
            c.SendLine(userReply);
            if (c.ReadLine()) {
                c.SendLine("+OK Logging out");
            }
        });
        Session s(Account(server.Port()));
        EXPECT_FALSE(ReceiveJob(s.session).Run(false).ok);
        std::vector<std::string> got = server.Finish();
        EXPECT_FALSE(StartsAny(got, "PASS")) << userReply;
        ASSERT_EQ(s.host.notices.size(), 1u);
        EXPECT_EQ(s.host.notices[0], "Authentication or Connection failed! (" + userReply + ")");
    }
    ScriptedServer server([](ServerConnection& c) {
        c.SendLine("+OK ready");
        c.ReadLine();
        c.SendLine("+OK");
        c.ReadLine();
        c.SendLine("-ERR [AUTH] Authentication failed.");
        c.ReadLine();
        c.SendLine("+OK Logging out");
    });
    Session s(Account(server.Port()));
    EXPECT_FALSE(ReceiveJob(s.session).Run(false).ok);
    EXPECT_TRUE(Has(server.Finish(), "QUIT"));
    ASSERT_EQ(s.host.notices.size(), 1u);
    EXPECT_EQ(s.host.notices[0],
              "Authentication or Connection failed! (-ERR [AUTH] Authentication failed.)");
    EXPECT_EQ(s.host.status.back(), "-ERR [AUTH] Authentication failed.");
}

// A STAT or LIST size that does not read as a count is a failed listing,
// never an empty maildrop.
TEST(PopListing, UnreadableSizesAreErrors) {
    struct Case {
        std::string stat;
        std::string list;
    };
    const Case cases[] = {
        {"+OK -1 0", ""},
        {"+OK x 0", ""},
        {"+OK 1234567890123456789 0", ""},
        {"+OK 1", ""},
        {"500 what", ""},
        {"+OK 1 10", "1 -5"},
        {"+OK 1 10", "1 abc"},
        {"+OK 1 10", "1 1234567890123456789"},
        {"+OK 1 10", "1"},
        {"+OK 1 10", "x 10"},
    };
    for (const Case& c : cases) {
        ScriptedServer server([&](ServerConnection& conn) {
            conn.SendLine("+OK ready");
            conn.ReadLine();
            conn.SendLine("+OK");
            conn.ReadLine();
            conn.SendLine("+OK");
            conn.ReadLine();  // STAT
            conn.SendLine(c.stat);
            if (conn.ReadLine()) {  // LIST
                conn.Send("+OK\r\n" + c.list + "\r\n.\r\n");
                conn.ReadLine();
            }
        });
        Session s(Account(server.Port()));
        ASSERT_TRUE(s.session.Prepare(false));
        ASSERT_TRUE(s.session.LoginPop({"alice", "s3cret"}));
        EXPECT_EQ(s.session.Pop().NextMessage(), 0) << c.stat << " / " << c.list;
        EXPECT_TRUE(s.session.Pop().ListFailed()) << c.stat << " / " << c.list;
        s.session.Pop().End();
        server.Finish();
    }
}

// The filters are read once for a whole receive: a Filter.DEF changed while
// mail comes in takes effect with the next receive, and every message of
// this one is sorted by the same rules.
TEST(PopReceive, FiltersAreReadOnceForTheWholeReceive) {
    std::filesystem::path filterFile;
    Maildrop drop;
    drop.messages = {Simple(1), Simple(2)};
    drop.beforeRetr = [&](int n) {
        if (n == 2) {
            test::WriteFileBytes(filterFile, "Subject\ts\tInBox\n");
        }
    };
    ScriptedServer server([&](ServerConnection& c) { drop.Play(c); });
    Session s(Account(server.Port()));
    const std::filesystem::path reportsFile = FolderNameToPath(s.dir.Path(), "Reports");
    test::WriteFileBytes(reportsFile, "");
    MailFolder reports(reportsFile);
    filterFile = s.dir.Path() / "Filter.DEF";
    test::WriteFileBytes(filterFile, "Subject\ts\tReports\n");
    ReceiveOutcome outcome = ReceiveJob(s.session).Run(false);
    ASSERT_TRUE(outcome.ok) << s.session.LastError();
    EXPECT_EQ(outcome.folders, (std::vector<std::string>{"Reports", "Reports"}));
}

// A message larger than MaxMessageSize stays on the server, neither fetched
// nor deleted, with a notice naming it; its unique id is not recorded, so
// neither the next receive nor Clean up Server takes it as received.
TEST(PopReceive, MessagesOverMaxMessageSizeStayOnTheServer) {
    Maildrop drop;
    drop.uidl = true;
    drop.messages = {Simple(1), Simple(2), Simple(3)};
    drop.listed[2] = 5000;
    ScriptedServer server([&](ServerConnection& c) { drop.Play(c); });
    AccountProfile account = Account(server.Port());
    account.deleteOnServer = 1;
    Session s(account, 1000);
    ReceiveJob job(s.session);
    ReceiveOutcome outcome = job.Run(false);
    ASSERT_TRUE(outcome.ok) << s.session.LastError();
    EXPECT_EQ(outcome.stored, 2);
    std::vector<std::string> got = server.Finish();
    EXPECT_FALSE(Has(got, "RETR 2"));
    EXPECT_EQ(drop.deleted, (std::vector<int>{1, 3}));
    EXPECT_EQ(job.LeftOnServer(), (std::vector<int>{2}));
    const std::vector<std::string> transcript = s.state.Transcript();
    EXPECT_TRUE(std::any_of(transcript.begin(), transcript.end(), [](const std::string& l) {
        return l.find("Message 2 (5000 bytes)") != std::string::npos;
    }));

    // Kept on the server (UIDL mode): its id is left out of the list.
    Maildrop keep = drop;
    keep.deleted.clear();
    ScriptedServer second([&](ServerConnection& c) { keep.Play(c); });
    AccountProfile kept = Account(second.Port());
    kept.deleteOnServer = 0;
    Session k(kept, 1000);
    ASSERT_TRUE(ReceiveJob(k.session).Run(false).ok) << k.session.LastError();
    second.Finish();
    EXPECT_EQ(ReadListFile(k.dir / kUidlFile), (std::vector<std::string>{"uid1", "uid3"}));
}

// --- SMTP -------------------------------------------------------------------

Session SmtpSession(uint16_t port, int auth = kSmtpAuthNone) {
    AccountProfile a = Account(1, port);
    a.smtpAuth = auth;
    return Session(a);
}

// Every reply may have many lines, the greeting and HELO included; each is
// read whole, so no line of one is taken as the reply to the next command.
TEST(SmtpReplies, EveryReplyIsReadWhole) {
    ScriptedServer server([](ServerConnection& c) {
        c.Send("220-mail.example.test\r\n220-second line\r\n220 ready\r\n");
        c.ReadLine();  // HELO
        c.Send("250-mail.example.test\r\n250 pleased\r\n");
        c.ReadLine();  // RSET
        c.Send("250-reset\r\n250 ok\r\n");
        c.ReadLine();  // MAIL
        c.Send("250-sender\r\n250 ok\r\n");
        c.ReadLine();  // RCPT
        c.Send("250-recipient\r\n250 ok\r\n");
        c.ReadLine();  // DATA
        c.Send("354-go\r\n354 end with .\r\n");
        while (auto line = c.ReadLine()) {
            if (*line == ".") {
                break;
            }
        }
        c.Send("250-queued\r\n250 as 1234\r\n");
        c.ReadLine();  // QUIT
        c.SendLine("221 bye");
    });
    Session s = SmtpSession(server.Port());
    ASSERT_TRUE(s.session.Prepare(false));
    ASSERT_TRUE(s.session.ConnectSmtp()) << s.session.LastError();
    EXPECT_TRUE(s.session.Smtp().SendEnvelope("alice@example.test", {"bob@example.test"},
                                              std::vector<std::string>{"Subject: x", "", "hi"}));
    s.session.Smtp().Quit();
    EXPECT_TRUE(Has(server.Finish(), "QUIT"));
}

// A greeting that is not 2xx ends the session before HELO; a POP3 server
// on the SMTP port is no SMTP server at all.
TEST(SmtpReplies, WrongGreetingsEndTheSession) {
    for (std::string greeting : {"554-not now\r\n554 go away\r\n", "+OK POP3 ready\r\n"}) {
        ScriptedServer server([&](ServerConnection& c) {
            c.Send(greeting);
            while (auto line = c.ReadLine()) {
                c.SendLine(line->rfind("QUIT", 0) == 0 ? "221 bye" : "-ERR what");
            }
        });
        Session s = SmtpSession(server.Port());
        ASSERT_TRUE(s.session.Prepare(false));
        EXPECT_FALSE(s.session.ConnectSmtp());
        std::vector<std::string> got = server.Finish();
        EXPECT_FALSE(StartsAny(got, "HELO")) << greeting;
        EXPECT_FALSE(StartsAny(got, "EHLO")) << greeting;
        std::string first = greeting.substr(0, greeting.find('\r'));
        std::string last = Lines(greeting)[Lines(greeting).size() - 1];
        EXPECT_TRUE(s.session.LastError().find(first) != std::string::npos ||
                    s.session.LastError().find(last) != std::string::npos)
            << s.session.LastError();
    }
}

// Lines of one reply that disagree on the code, or a line that carries no
// code, make the reply unreadable: an error, never a success.
TEST(SmtpReplies, MismatchedCodesAreErrors) {
    for (std::string reply :
         {"250-one\r\n251 two\r\n", "250-one\r\nno code\r\n", "25x ok\r\n", "250ok\r\n"}) {
        ScriptedServer server([&](ServerConnection& c) {
            c.SendLine("220 ready");
            c.ReadLine();  // HELO
            c.Send(reply);
            while (c.ReadLine()) {
            }
        });
        Session s = SmtpSession(server.Port());
        ASSERT_TRUE(s.session.Prepare(false));
        EXPECT_FALSE(s.session.ConnectSmtp()) << reply;
        server.Finish();
    }
}

// A refused login is reported in the server's words.
TEST(SmtpReplies, RefusedAuthNamesTheReply) {
    ScriptedServer server([](ServerConnection& c) {
        c.SendLine("220 ready");
        c.ReadLine();  // EHLO
        c.Send("250-mail\r\n250 AUTH PLAIN\r\n");
        c.ReadLine();  // AUTH PLAIN
        c.SendLine("535 5.7.8 Error: authentication failed");
        c.ReadLine();  // QUIT
        c.SendLine("221 2.0.0 Bye");
    });
    Session s = SmtpSession(server.Port(), kSmtpAuthAccount);
    ASSERT_TRUE(s.session.Prepare(false));
    EXPECT_FALSE(s.session.ConnectSmtp());
    EXPECT_TRUE(Has(server.Finish(), "QUIT"));
    EXPECT_EQ(s.session.LastError(), "535 5.7.8 Error: authentication failed");
}

// --- bounded memory -----------------------------------------------------------

// Runs `client` in a forked child whose address space is limited to what it
// uses now plus `headroom`; returns the child's exit code, or 100 + signal
// when it was killed (a crash). The server thread stays in the parent.
int RunLimited(size_t headroom, const std::function<int()>& client) {
    pid_t pid = fork();
    if (pid == 0) {
        size_t used = 0;
        std::ifstream status("/proc/self/status");
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("VmSize:", 0) == 0) {
                used = std::stoull(line.substr(7)) * 1024;
            }
        }
        rlimit limit{used + headroom, used + headroom};
        setrlimit(RLIMIT_AS, &limit);
        _exit(client());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

constexpr size_t kHeadroom = 256u << 20;

// Sends `chunk` until the client goes away.
void Endless(ServerConnection& c, const std::string& chunk) {
    while (c.Send(chunk)) {
    }
}

int Expect(bool ok) {
    return ok ? 0 : 1;
}

bool Mentions(const MailSession& session, std::string_view part) {
    return session.LastError().find(part) != std::string::npos;
}

TEST(BoundedReplies, EndlessReplyLineEndsTheSession) {
    ScriptedServer server([](ServerConnection& c) { Endless(c, std::string(65536, 'x')); });
    EXPECT_EQ(RunLimited(kHeadroom,
                         [&] {
                             Session s(Account(server.Port()));
                             bool ok = s.session.Prepare(false) &&
                                       !s.session.LoginPop({"alice", "s3cret"}) &&
                                       Mentions(s.session, "longer than");
                             return Expect(ok);
                         }),
              0);
    server.Finish();
}

TEST(BoundedReplies, EndlessEhloReplyEndsTheSession) {
    ScriptedServer server([](ServerConnection& c) {
        c.SendLine("220 ready");
        c.ReadLine();
        Endless(c, "250-CAPABILITY LINE THAT NEVER STOPS\r\n");
    });
    EXPECT_EQ(RunLimited(kHeadroom,
                         [&] {
                             Session s = SmtpSession(server.Port(), kSmtpAuthAccount);
                             bool ok = s.session.Prepare(false) && !s.session.ConnectSmtp() &&
                                       Mentions(s.session, "longer than");
                             return Expect(ok);
                         }),
              0);
    server.Finish();
}

TEST(BoundedReplies, HugeListingEndsTheSession) {
    ScriptedServer server([](ServerConnection& c) {
        c.SendLine("+OK ready");
        c.ReadLine();
        c.SendLine("+OK");
        c.ReadLine();
        c.SendLine("+OK");
        c.ReadLine();
        c.SendLine("+OK 5 500");
        c.ReadLine();
        c.SendLine("+OK");
        std::string chunk;
        for (int i = 0; i < 4096; ++i) {
            chunk += "1 100\r\n";
        }
        Endless(c, chunk);
    });
    EXPECT_EQ(RunLimited(kHeadroom,
                         [&] {
                             Session s(Account(server.Port()));
                             bool ok = s.session.Prepare(false) &&
                                       s.session.LoginPop({"alice", "s3cret"}) &&
                                       s.session.Pop().NextMessage() == 0 &&
                                       s.session.Pop().ListFailed() &&
                                       Mentions(s.session, "1000000 entries");
                             return Expect(ok);
                         }),
              0);
    server.Finish();
}

// A maildrop of one message whose text never ends; the other commands get
// ordinary answers whatever order the receive sends them in.
void EndlessRetr(ServerConnection& c) {
    c.SendLine("+OK ready");
    while (auto command = c.ReadLine()) {
        if (command->rfind("STAT", 0) == 0) {
            c.SendLine("+OK 1 100");
        } else if (command->rfind("LIST", 0) == 0) {
            c.Send("+OK\r\n1 100\r\n.\r\n");
        } else if (command->rfind("UIDL", 0) == 0) {
            c.Send("+OK\r\n1 endless-1\r\n.\r\n");
        } else if (command->rfind("RETR", 0) == 0) {
            c.Send("+OK\r\nSubject: endless\r\n\r\n");
            std::string chunk;
            for (int i = 0; i < 1024; ++i) {
                chunk += "a line of a message that never ends, sent again and again\r\n";
            }
            Endless(c, chunk);
            return;
        } else {
            c.SendLine("+OK");
        }
    }
}

// Without MaxMessageSize the text grows until memory runs short: a clear
// error, no crash, nothing stored.
TEST(BoundedReplies, EndlessRetrEndsAtAvailableMemory) {
    ScriptedServer server(EndlessRetr);
    EXPECT_EQ(RunLimited(kHeadroom,
                         [&] {
                             Session s(Account(server.Port()));
                             ReceiveOutcome outcome = ReceiveJob(s.session).Run(true);
                             return Expect(!outcome.ok && outcome.stored == 0 &&
                                           Mentions(s.session, "Not enough memory"));
                         }),
              0);
    server.Finish();
}

// With MaxMessageSize the text stops growing at the limit.
TEST(BoundedReplies, EndlessRetrEndsAtMaxMessageSize) {
    ScriptedServer server(EndlessRetr);
    EXPECT_EQ(RunLimited(kHeadroom,
                         [&] {
                             Session s(Account(server.Port()), 8 << 20);
                             ReceiveOutcome outcome = ReceiveJob(s.session).Run(true);
                             return Expect(!outcome.ok && outcome.stored == 0 &&
                                           Mentions(s.session, "MaxMessageSize"));
                         }),
              0);
    server.Finish();
}

}  // namespace
}  // namespace corvina
