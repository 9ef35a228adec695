#include "transfer/CheckAllAccounts.h"

#include <cstdio>

#include "app/ProfileSelection.h"
#include "transfer/MailSession.h"

namespace corvina {

CheckAllResult CheckAllAccounts(const ProfileTable& profiles,
                                const std::filesystem::path& homeDirectory,
                                const SessionSettings& settings, TransferState& state,
                                const std::function<TransferHost&(int accountIndex)>& hostFor) {
    CheckAllResult result;
    for (int i = 0; i < kProfileCount; ++i) {
        const AccountProfile& account = profiles[static_cast<size_t>(i)];
        if (!account.IsConfigured() || account.noCheckAll != 0) {
            continue;
        }
        std::string name = account.account;
        if (name.empty()) {
            char text[32];
            std::snprintf(text, sizeof text, "MailBox %02d", i + 1);
            name = text;
        }
        result.lines.push_back("<<< " + name + " >>>");
        MailSession session(state, hostFor(i));
        std::filesystem::path mailboxDirectory =
            MailboxDirectoryFor(homeDirectory, account.mailDirNo);
        session.SetAccount(account, i, mailboxDirectory);
        SessionSettings forced = settings;
        forced.skipError = 1;
        session.SetSettings(forced);
        ReceiveOutcome outcome = session.Receive(false, mailboxDirectory / "MailLog.TXT");
        if (!outcome.ok) {
            result.ok = false;
        }
        for (const auto& [subject, sender] : outcome.summaries) {
            result.lines.push_back((subject.empty() ? std::string("(non-title)") : subject) +
                                   " / " + sender);
        }
        if (outcome.stored > 0) {
            char text[256];
            std::snprintf(text, sizeof text, "%d new messages are received from %s.",
                          outcome.stored, account.pop.c_str());
            result.lines.push_back("*");
            result.lines.push_back(text);
            result.stored += outcome.stored;
        }
    }
    return result;
}

}  // namespace corvina
