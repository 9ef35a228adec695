#pragma once
// Command ids of the main window, shared by its menus, tool bar, tray menu,
// context menus and the editor's frame commands. The numbers are those the
// key file and the rest of the program know.

namespace corvina {

// Mail
inline constexpr int kCmdReceive = 42771;  // deliver, then receive (tree menu)
inline constexpr int kCmdCleanUpServer = 42780;
inline constexpr int kCmdReceiveAll = 42782;
inline constexpr int kCmdDeliver = 42783;
// kCmdReceiveNew (42785) and kCmdPreferences (42774): app/Startup.h
inline constexpr int kCmdDeleteMessage = 42798;
inline constexpr int kCmdSwitchUser = 42786;
inline constexpr int kCmdRemoteMailbox = 32855;
inline constexpr int kCmdCheckAllAccounts = 32861;
inline constexpr int kCmdManualFiltering = 32841;
inline constexpr int kCmdAbortConnection = 131;  // the connection indicator
inline constexpr int kCmdCompose = 42776;
inline constexpr int kCmdAddressBook = 42778;
// The viewer's print commands (the framework's standard numbers)
inline constexpr int kCmdPrint = 57607;
inline constexpr int kCmdPrintPreview = 57609;
// Tray
inline constexpr int kCmdRestoreWindow = 32873;
inline constexpr int kCmdExit = 32871;
// Profiles: 501 + profile index (app/ProfileSelection.h)
inline constexpr int kCmdFirstProfile = 501;

}  // namespace corvina
