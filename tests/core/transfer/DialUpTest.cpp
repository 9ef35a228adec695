#include "transfer/DialUp.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include "TestSupport.h"
#include "platform/LinkLayer.h"

namespace corvina {
namespace {

using test::ReadFileBytes;
using test::ScratchDir;

// A fake nmcli first on PATH: logs its arguments, keeps the "up" state of
// the dial-up profile in a file, and records the secret it was handed.
class FakeNmcli {
public:
    FakeNmcli() {
        const std::string d = dir.Path().string();
        test::WriteFileBytes(
            dir / "nmcli",
            "#!/bin/sh\n"
            "printf '%s\\n' \"$*\" >> '" +
                d +
                "/log'\n"
                "case \"$*\" in\n"
                "*'connection show --active'*)\n"
                "  printf 'Wired:uuid-1:802-3-ethernet:eth0\\n'\n"
                "  [ -f '" +
                d +
                "/up' ] && printf 'Mobile:uuid-2:gsm:ttyUSB0\\n'\n"
                "  exit 0;;\n"
                "*'connection show'*)\n"
                "  printf "
                "'Wired:uuid-1:802-3-ethernet\\nMobile:uuid-2:gsm\\nBroken:uuid-3:vpn\\n'\n"
                "  exit 0;;\n"
                "*'connection up uuid uuid-2'*)\n"
                "  for a; do case $a in /dev/fd/*) cat \"$a\" > '" +
                d +
                "/secret';; esac; done\n"
                "  touch '" +
                d +
                "/up'; exit 0;;\n"
                "*'connection up uuid uuid-3'*) echo 'activation failed' >&2; exit 4;;\n"
                "*'connection down uuid uuid-2'*) rm -f '" +
                d +
                "/up'; exit 0;;\n"
                "*) exit 10;;\n"
                "esac\n");
        chmod((dir / "nmcli").c_str(), 0700);
        const char* path = getenv("PATH");
        oldPath = path ? path : "";
        setenv("PATH", (d + ":" + oldPath).c_str(), 1);
    }
    ~FakeNmcli() { setenv("PATH", oldPath.c_str(), 1); }

    std::string Log() const { return ReadFileBytes(dir / "log"); }
    bool Up() const { return std::filesystem::exists(dir / "up"); }
    void SetUp() const { test::WriteFileBytes(dir / "up", ""); }

    ScratchDir dir;
    std::string oldPath;
};

struct RecordingDialHost : DialUpHost {
    void ShowStatus(std::string_view text) override { status.emplace_back(text); }
    std::optional<Credentials> AskLogon(std::string_view entry, const Credentials&) override {
        ++logonQuestions;
        return answer;
    }
    void ShowSystemError(std::string_view text, int code) override { errors.push_back(code); }
    std::vector<std::string> status;
    std::vector<int> errors;
    int logonQuestions = 0;
    std::optional<Credentials> answer;
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
    EXPECT_TRUE(dialUp.BringUpLink(AccountProfile{}, false, host));
    EXPECT_EQ(tool.Log(), "");
}

TEST(DialUp, DialsAndHangsUpWhatItDialled) {
    FakeNmcli tool;
    LinkLayer link;
    DialUp dialUp(link);
    RecordingDialHost host;
    AccountProfile account = DialAccount();
    ASSERT_TRUE(dialUp.BringUpLink(account, false, host));
    EXPECT_TRUE(tool.Up());
    EXPECT_EQ(ReadFileBytes(tool.dir / "secret"), "gsm.password:p4ss\n");
    EXPECT_EQ(host.status.back(), "Connection established");
    dialUp.HangUpLink(account);
    EXPECT_FALSE(tool.Up());
    EXPECT_FALSE(dialUp.Handle());

    // With AutoDisconnect 0 the link stays up after the command.
    account.autoDisconnect = 0;
    ASSERT_TRUE(dialUp.BringUpLink(account, false, host));
    dialUp.HangUpLink(account);
    EXPECT_TRUE(tool.Up());
}

TEST(DialUp, ALinkMadeOutsideIsNeitherDialledNorHungUp) {
    FakeNmcli tool;
    tool.SetUp();
    LinkLayer link;
    DialUp dialUp(link);
    RecordingDialHost host;
    AccountProfile account = DialAccount();
    ASSERT_TRUE(dialUp.BringUpLink(account, false, host));
    dialUp.HangUpLink(account);
    EXPECT_EQ(tool.Log().find("connection up"), std::string::npos);
    EXPECT_EQ(tool.Log().find("connection down"), std::string::npos);
    EXPECT_TRUE(tool.Up());
    EXPECT_EQ(dialUp.HasActiveConnection(), std::optional<bool>(true));
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
    ASSERT_TRUE(dialUp.BringUpLink(account, false, host));
    dialUp.HangUpLink(account);
    ASSERT_TRUE(dialUp.BringUpLink(account, false, host));
    EXPECT_EQ(host.logonQuestions, 1);
    EXPECT_EQ(ReadFileBytes(tool.dir / "secret"), "gsm.password:typedpw\n");
    dialUp.HangUpLink(account);

    // Cancel dials nothing.
    DialUp fresh(link);
    host.answer.reset();
    EXPECT_FALSE(fresh.BringUpLink(account, false, host));
    EXPECT_FALSE(tool.Up());
}

TEST(DialUp, FailedDiallingShowsTheServiceErrorUnlessSkipped) {
    FakeNmcli tool;
    LinkLayer link;
    DialUp dialUp(link);
    RecordingDialHost host;
    AccountProfile account = DialAccount("Broken");
    EXPECT_FALSE(dialUp.BringUpLink(account, false, host));
    EXPECT_EQ(host.errors, (std::vector<int>{4}));
    EXPECT_EQ(host.status.back(), "Connection aborted");
    EXPECT_FALSE(dialUp.BringUpLink(account, true, host));
    EXPECT_EQ(host.errors.size(), 1u);
    EXPECT_FALSE(dialUp.Handle());
}

TEST(DialUp, MissingServiceFailsDialUpAccounts) {
    ScratchDir empty;
    LinkLayer link((empty / "no-nmcli").string());
    DialUp dialUp(link);
    RecordingDialHost host;
    EXPECT_FALSE(dialUp.BringUpLink(DialAccount(), false, host));
    EXPECT_TRUE(dialUp.BringUpLink(AccountProfile{}, false, host));
    EXPECT_EQ(dialUp.HasActiveConnection(), std::nullopt);
}

}  // namespace
}  // namespace corvina
