#include "transfer/SessionSetup.h"

#include "app/AppState.h"
#include "app/ProfileSelection.h"
#include "message/mime/MessageOptions.h"
#include "store/OutBoxQueue.h"
#include "transfer/MailSession.h"

namespace corvina {

SessionSettings SessionSettingsFrom(const Settings& settings) {
    SessionSettings s;
    s.timeout = settings.timeout < 0 ? 0 : settings.timeout;
    s.skipError = settings.skipError;
    s.leaveLog = settings.leaveLog;
    s.autoFilter = settings.autoFilter;
    s.eucReceive = settings.eucReceive;
    s.autoWrap = settings.autoWrap;
    s.noMailNotify = settings.noMailNotify;
    s.sendMode = settings.sendMode;
    s.sendDate = settings.sendDate;
    s.maxMessageSize = settings.maxMessageSize < 0 ? 0 : settings.maxMessageSize;
    return s;
}

void ConfigureSession(MailSession& session, const AppState& state) {
    session.SetAccount(state.current, state.settings.defUser, state.mailboxDirectory);
    session.SetSettings(SessionSettingsFrom(state.settings));
    session.SetProfiles(&state.profiles, state.homeDirectory);
    session.SetAddressBookDirectory(state.addressBookDirectory);
    session.SetMimeTypes(&MimeTypesOf(state));
}

std::vector<std::string> RecoverInterruptedDeliveries(const AppState& state) {
    std::vector<std::string> lines;
    for (size_t i = 0; i < state.profiles.size(); ++i) {
        const AccountProfile& account = state.profiles[i];
        if (!UsesAnyServer(account)) {
            continue;
        }
        const std::filesystem::path dir =
            MailboxDirectoryFor(state.homeDirectory, account.mailDirNo);
        std::string error;
        int recovered = RecoverOutBoxBackup(dir, &error);
        const std::string name = account.DisplayName(i);
        if (recovered < 0) {
            lines.push_back("An interrupted delivery of " + name + " could not be recovered: " +
                            error + ". Its messages stay in " + (dir / kOutBoxBackupFile).string() +
                            "; free the disk or fix the permissions and start again.");
        } else if (recovered > 0) {
            lines.push_back(std::to_string(recovered) +
                            " message(s) of an interrupted delivery were put back into the "
                            "OutBox of " +
                            name + ".");
        }
    }
    return lines;
}

}  // namespace corvina
