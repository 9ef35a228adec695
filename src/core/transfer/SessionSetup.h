#pragma once
// Points a MailSession at the application's current account and settings:
// what the windows and the batch front end do before every command.

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

}  // namespace corvina
