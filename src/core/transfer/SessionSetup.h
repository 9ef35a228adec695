#pragma once
// Points a MailSession at the application's current account and settings:
// what the windows and the batch front end do before every command.

#include <string>
#include <vector>

namespace corvina {

struct AppState;
struct Settings;
struct SessionSettings;
class MailSession;

SessionSettings SessionSettingsFrom(const Settings& settings);

// The current profile (AppState::current, index settings.defUser), its
// mailbox directory, the other profiles, the address book directory and
// the transfer settings.
void ConfigureSession(MailSession& session, const AppState& state);

// What the start of the client runs before any transfer: every configured
// account's "OutBox.bak" left by a delivery that was killed goes back into
// its OutBox (the messages not yet in Sent nor in the OutBox). Returns the
// lines to tell the user, one per account that had a leftover.
std::vector<std::string> RecoverInterruptedDeliveries(const AppState& state);

}  // namespace corvina
