#pragma once
// Check All Accounts: one receive per account, run by its dialog, which
// shows the returned lines.

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/AccountProfile.h"

namespace corvina {

class DialUp;
struct SessionSettings;
struct TransferState;
class TransferHost;
class UserPrompt;

struct CheckAllResult {
    std::vector<std::string> lines;  // the dialog's list box
    int stored = 0;
    bool ok = true;        // every account's receive ended without failure
    bool refused = false;  // another transfer was running: nothing done
};

// Refused while another transfer runs. Brings up the current account's dial-up link (through
// `dialUp`, null: the program's own) and holds it to the end; a link that cannot be brought up ends
// the check before any account. Then, for every account with a POP server not excluded from the
// check (NoCheckAll), the others in account order and the current one last: "<<< name >>>"
// ("MailBox %02d" without a name), a receive with SkipError forced on and "MailLog.TXT" as the
// backup log, one line "subject / sender" per stored message, and after stored mail the lines "*"
// and "%d new messages are received from %s." (count, POP server). `hostFor` gives the host that
// stores into that account; `prompt` hears what is not a failure of one account.
CheckAllResult CheckAllAccounts(const ProfileTable& profiles, int currentAccount,
                                const std::filesystem::path& homeDirectory,
                                const SessionSettings& settings, TransferState& state,
                                const std::function<TransferHost&(int accountIndex)>& hostFor,
                                UserPrompt& prompt, DialUp* dialUp = nullptr);

}  // namespace corvina
