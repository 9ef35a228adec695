#pragma once
// Check All Accounts: one receive per account, run by its dialog, which
// shows the returned lines.

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/AccountProfile.h"

namespace corvina {

struct SessionSettings;
struct TransferState;
class TransferHost;

struct CheckAllResult {
    std::vector<std::string> lines;  // the dialog's list box
    int stored = 0;
    bool ok = true;  // every account's receive ended without failure
};

// For every configured account not excluded from the check (NoCheckAll),
// in account order: "<<< name >>>" ("MailBox %02d" without a name), a
// receive with SkipError forced on and "MailLog.TXT" as the backup log,
// one line "subject / sender" per stored message, and after stored mail
// the lines "*" and "%d new messages are received from %s." (count, POP
// server). `hostFor` gives the host that stores into that account.
CheckAllResult CheckAllAccounts(const ProfileTable& profiles,
                                const std::filesystem::path& homeDirectory,
                                const SessionSettings& settings, TransferState& state,
                                const std::function<TransferHost&(int accountIndex)>& hostFor);

}  // namespace corvina
