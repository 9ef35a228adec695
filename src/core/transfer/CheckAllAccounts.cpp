#include "transfer/CheckAllAccounts.h"

#include <cstdio>

#include "app/ProfileSelection.h"
#include "transfer/DialUp.h"
#include "transfer/MailSession.h"
#include "transfer/ReceiveJob.h"

namespace corvina {

namespace {

std::filesystem::path DirectoryOf(const std::filesystem::path& home, const AccountProfile& a) {
    return MailboxDirectoryFor(home, a.mailDirNo);
}

}  // namespace

CheckAllResult CheckAllAccounts(const ProfileTable& profiles, int currentAccount,
                                const std::filesystem::path& homeDirectory,
                                const SessionSettings& settings, TransferState& state,
                                const std::function<TransferHost&(int accountIndex)>& hostFor,
                                UserPrompt& prompt, DialUp* dialUp) {
    CheckAllResult result;
    BusyGuard busy(state);
    if (!busy.Entered()) {
        result.ok = false;
        result.refused = true;
        return result;
    }
    SessionSettings forced = settings;
    forced.skipError = 1;

    const bool haveCurrent = currentAccount >= 0 && currentAccount < kProfileCount;
    const int linkAccount = haveCurrent ? currentAccount : 0;
    const AccountProfile& current = profiles[static_cast<size_t>(linkAccount)];
    MailSession linkSession(state, hostFor(linkAccount), prompt);
    linkSession.SetAccount(current, linkAccount, DirectoryOf(homeDirectory, current));
    linkSession.SetSettings(forced);
    linkSession.SetDialUp(dialUp);
    DialUpScope link(linkSession.LinkService(), current, true, linkSession.LinkHost());
    if (!link.Up()) {
        linkSession.ReportLinkDown();
        result.lines.push_back(linkSession.LastError());
        result.ok = false;
        return result;
    }

    // The current account comes last, after every other one.
    std::vector<int> order;
    for (int i = 0; i < kProfileCount; ++i) {
        if (!haveCurrent || i != currentAccount) {
            order.push_back(i);
        }
    }
    if (haveCurrent) {
        order.push_back(currentAccount);
    }
    for (int i : order) {
        const AccountProfile& account = profiles[static_cast<size_t>(i)];
        if (!account.IsConfigured() || account.noCheckAll != 0) {
            continue;
        }
        const std::string name = account.DisplayName(i);
        result.lines.push_back("<<< " + name + " >>>");
        MailSession session(state, hostFor(i), prompt);
        std::filesystem::path mailboxDirectory = DirectoryOf(homeDirectory, account);
        session.SetAccount(account, i, mailboxDirectory);
        session.SetSettings(forced);
        session.SetDialUp(dialUp);
        ReceiveOutcome outcome;
        {
            NestedBusy nested(state);
            outcome = ReceiveJob(session).Run(false, mailboxDirectory / "MailLog.TXT");
        }
        if (!outcome.ok) {
            // Errors are not shown while all accounts are checked: the list
            // says what went wrong.
            result.ok = false;
            result.lines.push_back("Receiving failed" + (session.LastError().empty()
                                                             ? std::string(".")
                                                             : ": " + session.LastError()));
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
