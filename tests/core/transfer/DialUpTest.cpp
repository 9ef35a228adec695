#include "transfer/DialUp.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <functional>

#include "ScriptedServer.h"
#include "StoreBackedHost.h"
#include "TestSupport.h"
#include "app/ProfileSelection.h"
#include "platform/LinkLayer.h"
#include "transfer/CheckAllAccounts.h"
#include "transfer/CleanUpJob.h"
#include "transfer/DeliverJob.h"
#include "transfer/MailSession.h"
#include "transfer/ReceiveJob.h"
#include "transfer/RemoteMailbox.h"
#include "transfer/TransferStrings.h"

namespace corvina {
namespace {

using test::ReadFileBytes;
using test::ScratchDir;
using test::ScriptedServer;
using test::ServerConnection;
using test::StoreBackedHost;

// A fake nmcli first on PATH: logs its arguments and keeps the state of
// each profile uuid-N in a file "up-N". Mobile dials; Broken fails but
// leaves its link coming up; Slow comes up only after the caller gave up.
class FakeNmcli {
public:
    FakeNmcli() {
        const std::string d = dir.Path().string();
        test::WriteFileBytes(
            dir / "nmcli",
            "#!/bin/sh\n"
            "D='" +
                d +
                "'\n"
                "printf '%s\\n' \"$*\" >> \"$D/log\"\n"
                "case \"$*\" in\n"
                "*'connection show --active'*)\n"
                "  printf 'Wired:uuid-1:802-3-ethernet:eth0\\n'\n"
                "  [ -f \"$D/up-2\" ] && printf 'Mobile:uuid-2:gsm:ttyUSB0\\n'\n"
                "  [ -f \"$D/up-3\" ] && printf 'Broken:uuid-3:vpn:tun0\\n'\n"
                "  [ -f \"$D/up-4\" ] && printf 'Slow:uuid-4:gsm:ttyUSB1\\n'\n"
                "  exit 0;;\n"
                "*'connection show'*)\n"
                "  printf 'Wired:uuid-1:802-3-ethernet\\nMobile:uuid-2:gsm\\n'\n"
                "  printf 'Broken:uuid-3:vpn\\nSlow:uuid-4:gsm\\n'\n"
                "  exit 0;;\n"
                "*'connection up uuid uuid-2'*)\n"
                "  for a; do case $a in /dev/fd/*) cat \"$a\" > \"$D/secret\";; esac; done\n"
                "  touch \"$D/up-2\"; exit 0;;\n"
                "*'connection up uuid uuid-3'*) touch \"$D/up-3\"; echo 'activation failed' >&2; "
                "exit 4;;\n"
                "*'connection up uuid uuid-4'*) touch \"$D/up-4\"; exec sleep 30;;\n"
                "*'connection down uuid uuid-'[234])\n"
                "  for a; do last=$a; done; rm -f \"$D/up-${last#uuid-}\"; exit 0;;\n"
                "*) exit 10;;\n"
                "esac\n");
        chmod((dir / "nmcli").c_str(), 0700);
        const char* path = getenv("PATH");
        oldPath = path ? path : "";
        setenv("PATH", (d + ":" + oldPath).c_str(), 1);
    }
    ~FakeNmcli() { setenv("PATH", oldPath.c_str(), 1); }

    std::string Log() const { return ReadFileBytes(dir / "log"); }
    size_t Count(std::string_view what) const {
        const std::string log = Log();
        size_t n = 0;
        for (size_t at = log.find(what); at != std::string::npos; at = log.find(what, at + 1)) {
            ++n;
        }
        return n;
    }
    bool Up(int n = 2) const { return std::filesystem::exists(dir / ("up-" + std::to_string(n))); }
    void SetUp(int n = 2) const { test::WriteFileBytes(dir / ("up-" + std::to_string(n)), ""); }

    ScratchDir dir;
    std::string oldPath;
};

struct RecordingDialHost : DialUpHost {
    void ShowStatus(std::string_view text) override { status.emplace_back(text); }
    std::optional<Credentials> AskLogon(std::string_view, const Credentials&) override {
        ++logonQuestions;
        return answer;
    }
    void ShowSystemError(std::string_view, int code) override { errors.push_back(code); }
    bool KeepWaiting() override { return !giveUp || !giveUp(); }
    std::vector<std::string> status;
    std::vector<int> errors;
    int logonQuestions = 0;
    std::optional<Credentials> answer;
    std::function<bool()> giveUp;
};

AccountProfile DialAccount(std::string entry = "Mobile") {
    AccountProfile a;
    a.dialup = 1;
    a.dialupEntry = std::move(entry);
    a.dialupMode = kDialupOwn;
    a.dialupUser = "u";
    a.dialupPass = "p4ss";
    return a;
}

TEST(DialUp, LanAccountNeverTouchesTheService) {
    FakeNmcli tool;
    LinkLayer link;
    DialUp dialUp(link);
    RecordingDialHost host;
    DialUpScope scope(dialUp, AccountProfile{}, false, host);
    EXPECT_TRUE(scope.Up());
    EXPECT_EQ(tool.Log(), "");
}

TEST(DialUp, DialsAndHangsUpWhatItDialled) {
    FakeNmcli tool;
    LinkLayer link;
    DialUp dialUp(link);
    RecordingDialHost host;
    AccountProfile account = DialAccount();
    {
        DialUpScope scope(dialUp, account, false, host);
        ASSERT_TRUE(scope.Up());
        EXPECT_TRUE(tool.Up());
        EXPECT_EQ(ReadFileBytes(tool.dir / "secret"), "gsm.password:p4ss\n");
        EXPECT_EQ(host.status.back(), "Connection established");
        // A job inside this one finds the link up and leaves it alone.
        DialUpScope inner(dialUp, account, false, host);
        EXPECT_TRUE(inner.Up());
    }
    EXPECT_FALSE(tool.Up());
    EXPECT_EQ(tool.Count("connection up"), 1u);
    EXPECT_EQ(tool.Count("connection down"), 1u);

    // With AutoDisconnect 0 the link stays up after the command.
    account.autoDisconnect = 0;
    { DialUpScope scope(dialUp, account, false, host); }
    EXPECT_TRUE(tool.Up());
}

// A dial-up link made outside, or the account's entry already up (even a
// LAN profile), is neither dialled nor hung up.
TEST(DialUp, ALinkMadeOutsideIsNeitherDialledNorHungUp) {
    for (const char* entry : {"Mobile", "Wired"}) {
        SCOPED_TRACE(entry);
        FakeNmcli tool;
        tool.SetUp();
        LinkLayer link;
        DialUp dialUp(link);
        RecordingDialHost host;
        { DialUpScope scope(dialUp, DialAccount(entry), false, host); }
        EXPECT_EQ(tool.Count("connection up"), 0u);
        EXPECT_EQ(tool.Count("connection down"), 0u);
        EXPECT_TRUE(tool.Up());
        EXPECT_EQ(dialUp.HasActiveConnection(), std::optional<bool>(true));
    }
}

TEST(DialUp, LogonAskedOnceAndReusedForTheSameEntry) {
    FakeNmcli tool;
    LinkLayer link;
    DialUp dialUp(link);
    RecordingDialHost host;
    AccountProfile account = DialAccount();
    account.dialupMode = kDialupSameAsPop;  // with an empty POP password
    account.user = "pop";
    host.answer = Credentials{"typed", "typedpw"};
    { DialUpScope scope(dialUp, account, false, host); }
    { DialUpScope scope(dialUp, account, false, host); }
    EXPECT_EQ(host.logonQuestions, 1);
    EXPECT_EQ(ReadFileBytes(tool.dir / "secret"), "gsm.password:typedpw\n");

    // Cancel dials nothing.
    DialUp fresh(link);
    host.answer.reset();
    DialUpScope scope(fresh, account, false, host);
    EXPECT_FALSE(scope.Up());
    EXPECT_FALSE(tool.Up());
}

// A dialling that failed or was aborted takes down what it started, so the
// next command does not take that link for one made elsewhere.
TEST(DialUp, FailedOrAbortedDiallingHangsUpWhatItStarted) {
    FakeNmcli tool;
    LinkLayer link;
    DialUp dialUp(link);
    RecordingDialHost host;
    {
        DialUpScope scope(dialUp, DialAccount("Broken"), false, host);
        EXPECT_FALSE(scope.Up());
    }
    EXPECT_EQ(host.errors, (std::vector<int>{4}));
    EXPECT_EQ(host.status.back(), "Connection aborted");
    EXPECT_FALSE(tool.Up(3));
    {
        DialUpScope again(dialUp, DialAccount("Broken"), true, host);
        EXPECT_FALSE(again.Up());
    }
    EXPECT_EQ(host.errors.size(), 1u);  // SkipError
    EXPECT_EQ(tool.Count("connection up uuid uuid-3"), 2u);

    host.giveUp = [&] { return tool.Up(4); };  // ESC once the service started
    {
        DialUpScope scope(dialUp, DialAccount("Slow"), false, host);
        EXPECT_FALSE(scope.Up());
    }
    EXPECT_EQ(host.errors.size(), 1u);  // the user's own abort is no error
    EXPECT_FALSE(tool.Up(4));
    EXPECT_EQ(tool.Count("connection down uuid uuid-4"), 1u);
}

TEST(DialUp, MissingServiceFailsDialUpAccounts) {
    ScratchDir empty;
    LinkLayer link((empty / "no-nmcli").string());
    DialUp dialUp(link);
    RecordingDialHost host;
    EXPECT_FALSE(DialUpScope(dialUp, DialAccount(), false, host).Up());
    EXPECT_EQ(host.errors, (std::vector<int>{-1}));
    EXPECT_TRUE(DialUpScope(dialUp, AccountProfile{}, false, host).Up());
    EXPECT_EQ(dialUp.HasActiveConnection(), std::nullopt);
}

// A POP3 server that notes whether the link was up when it was reached.
// `refuse`: the greeting is a refusal (the job fails).
void PlayPop(ServerConnection& c, const FakeNmcli& tool, std::vector<bool>& linkUp, bool refuse) {
    linkUp.push_back(tool.Up());
    if (refuse) {
        c.SendLine("-ERR go away");
        return;
    }
    c.SendLine("+OK ready");
    while (auto line = c.ReadLine()) {
        if (*line == "STAT") {
            c.SendLine("+OK 0 0");
        } else if (*line == "UIDL" || *line == "LIST") {
            c.Send("+OK\r\n.\r\n");
        } else if (*line == "QUIT") {
            c.SendLine("+OK bye");
            return;
        } else {
            c.SendLine("+OK");
        }
    }
}

// Every transfer job of a dial-up account brings the link up before it
// reaches a server and hangs up, on success and on failure alike, exactly
// the link it dialled.
TEST(DialUpJobs, EveryJobHoldsTheLinkFromStartToEnd) {
    struct Job {
        const char* name;
        bool refuse;
        std::function<bool(MailSession&)> run;
    };
    const std::vector<Job> jobs = {
        {"receive", false, [](MailSession& s) { return ReceiveJob(s).Run(false).ok; }},
        {"receive refused", true, [](MailSession& s) { return ReceiveJob(s).Run(false).ok; }},
        {"clean up", false, [](MailSession& s) { return CleanUpJob(s).Run(); }},
        {"remote mailbox", false,
         [](MailSession& s) {
             RemoteMailbox remote(s);
             return remote.List(false) && remote.Execute() == 0;
         }},
        {"deliver", false, [](MailSession& s) { return DeliverJob(s).Run(); }},
    };
    for (const Job& job : jobs) {
        SCOPED_TRACE(job.name);
        FakeNmcli tool;
        LinkLayer link;
        DialUp dialUp(link);
        std::vector<bool> linkUp;
        const bool deliver = std::string(job.name) == "deliver";
        ScriptedServer server(
            [&](ServerConnection& c) {
                if (!deliver) {
                    PlayPop(c, tool, linkUp, job.refuse);
                }
            },
            false, deliver ? 0 : 1);
        ScratchDir dir;
        StoreBackedHost host(dir.Path());
        TransferState state;
        MailSession session(state, host, host);
        AccountProfile account = DialAccount();
        account.pop = "127.0.0.1";
        account.pop3Port = server.Port();
        account.user = "u";
        account.pass = "p";
        account.deleteOnServer = 0;
        session.SetAccount(account, 0, dir.Path());
        SessionSettings settings;
        settings.timeout = 10;
        session.SetSettings(settings);
        session.SetDialUp(&dialUp);
        EXPECT_EQ(job.run(session), !job.refuse);
        server.Finish();
        EXPECT_EQ(linkUp, deliver ? std::vector<bool>{} : std::vector<bool>{true});
        EXPECT_EQ(tool.Count("connection up uuid uuid-2"), 1u);
        EXPECT_EQ(tool.Count("connection down uuid uuid-2"), 1u);
        EXPECT_FALSE(tool.Up());
    }
}

// A link that cannot be brought up stops the job before any server is
// reached, and the user is told why.
TEST(DialUpJobs, NoLinkNoTransfer) {
    FakeNmcli tool;
    LinkLayer link;
    DialUp dialUp(link);
    ScratchDir dir;
    StoreBackedHost host(dir.Path());
    TransferState state;
    MailSession session(state, host, host);
    AccountProfile account = DialAccount("Broken");
    account.pop = "no-such-host.invalid";
    session.SetAccount(account, 0, dir.Path());
    session.SetDialUp(&dialUp);
    EXPECT_FALSE(ReceiveJob(session).Run(false).ok);
    EXPECT_FALSE(DeliverJob(session).Run());
    // The dial-up errors are told; "Mail server initializing failed" is not.
    const std::vector<int> ids = host.NoticeIds();
    EXPECT_EQ(std::count(ids.begin(), ids.end(), kStrServerInitFailed), 0);
    ASSERT_FALSE(host.status.empty());
    EXPECT_NE(host.status.back().find("The dial-up link \"Broken\" could not be brought up"),
              std::string::npos);
    EXPECT_FALSE(tool.Up(3));
}

// Check All Accounts holds the current account's link for the whole run:
// one dialling, one hang-up, every account checked over it.
TEST(DialUpJobs, CheckAllAccountsDialsOnce) {
    FakeNmcli tool;
    LinkLayer link;
    DialUp dialUp(link);
    std::vector<bool> linkUp;
    ScriptedServer server([&](ServerConnection& c) { PlayPop(c, tool, linkUp, false); }, false, 2);
    ScratchDir home;
    ProfileTable profiles;
    std::vector<std::unique_ptr<StoreBackedHost>> hosts;
    for (int i = 0; i < 2; ++i) {
        AccountProfile& a = profiles[static_cast<size_t>(i)];
        a = DialAccount();
        a.pop = "127.0.0.1";
        a.pop3Port = server.Port();
        a.user = "u";
        a.pass = "p";
        a.mailDirNo = i;
        std::filesystem::create_directories(MailboxDirectoryFor(home.Path(), i));
        hosts.push_back(std::make_unique<StoreBackedHost>(MailboxDirectoryFor(home.Path(), i)));
    }
    TransferState state;
    CheckAllResult result = CheckAllAccounts(
        profiles, 1, home.Path(), SessionSettings{}, state,
        [&](int i) -> TransferHost& { return *hosts[static_cast<size_t>(i)]; }, *hosts[1], &dialUp);
    server.Finish();
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(linkUp, (std::vector<bool>{true, true}));
    EXPECT_EQ(tool.Count("connection up"), 1u);
    EXPECT_EQ(tool.Count("connection down"), 1u);
    EXPECT_FALSE(tool.Up());
}

}  // namespace
}  // namespace corvina
