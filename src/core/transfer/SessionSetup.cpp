#include "transfer/SessionSetup.h"

#include "app/AppState.h"
#include "transfer/MailSession.h"

namespace corvina {

SessionSettings SessionSettingsFrom(const Settings& settings) {
    SessionSettings s;
    s.timeout = settings.timeout < 0 ? 0 : settings.timeout;
    s.skipError = settings.skipError;
    s.leaveLog = settings.leaveLog;
    s.autoFilter = settings.autoFilter;
    s.eucReceive = settings.eucReceive;
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
}

}  // namespace corvina
