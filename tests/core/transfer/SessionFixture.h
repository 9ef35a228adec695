#pragma once
// A session on 127.0.0.1 for the scripted-server tests of the clients:
// an account whose servers are the scripted ones, and helpers over the
// lines a server received.

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "RecordingHost.h"
#include "TestSupport.h"
#include "transfer/MailSession.h"

namespace corvina::test {

inline bool Has(const std::vector<std::string>& lines, std::string_view wanted) {
    return std::find(lines.begin(), lines.end(), wanted) != lines.end();
}

inline bool AnyContains(const std::vector<std::string>& lines, std::string_view part) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.find(part) != std::string::npos; });
}

struct ClientFixture {
    TransferState state;
    RecordingHost host;
    MailSession session{state, host, host};
    ScratchDir dir;

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
    // The account on `popPort`, logged in as alice.
    bool LogIn(uint16_t popPort) {
        Account(popPort);
        return session.Prepare(false) && session.LoginPop({"alice", "s3cret"});
    }
    void Apply() {
        session.SetAccount(account, 0, dir.Path());
        SessionSettings s;
        s.timeout = 10;
        session.SetSettings(s);
    }
    AccountProfile account;
};

}  // namespace corvina::test
