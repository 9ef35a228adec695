#include "app/MainCommandTable.h"

#include "app/MainCommands.h"
#include "app/Startup.h"

namespace corvina {

namespace {

using enum CommandMenu;
using enum EnabledRule;

// Clean up Server and the remote mailbox stay choosable while busy (the
// mail commands decide); Switch User stays choosable to beep its refusal.
constexpr MainCommandRow kRows[] = {
    {kCmdPrint, "&Print...", "", "document-print", kFile, true, kAlways},
    {kCmdPrintPreview, "Print Pre&view", "", "document-print-preview", kFile, false, kAlways},
    {kCmdPreferences, "&Preferences...", "", "preferences-system", kFile, false, kAlways},
    {kCmdSwitchUser, "S&witch User...", "", "system-users", kFile, false, kAlways},
    {kCmdExit, "E&xit", "", "application-exit", kFile, false, kAlways},
    {kCmdCompose, "&Compose...", "", "mail-message-new", kEdit, true, kAlways},
    {kCmdAddressBook, "&Address Book...", "", "x-office-address-book", kEdit, false, kAlways},
    {kCmdDeleteMessage, "&Delete", "", "edit-delete", kEdit, true, kAlways},
    {kCmdReceiveNew, "Receive &New", "F5", "mail-receive", kMail, true, kIdle},
    {kCmdReceiveAll, "Recei&ve All", "", "", kMail, false, kIdle},
    {kCmdDeliver, "De&liver", "", "mail-send", kMail, true, kIdle},
    {kCmdReceive, "&Receive", "", "", kNone, false, kIdle},
    {kCmdCleanUpServer, "Clea&n up Server", "", "", kMail, false, kAlways},
    {kCmdRemoteMailbox, "Re&mote Mailbox...", "", "", kMail, false, kAlways},
    {kCmdCheckAllAccounts, "Check &All Accounts...", "", "", kMail, false, kIdle},
    {kCmdManualFiltering, "Manual &Filtering", "", "view-filter", kMail, false, kIdle},
    {kCmdAbortConnection, "A&bort Connection", "", "process-stop", kMail, false, kBusy},
    {kCmdRestoreWindow, "&Restore Window", "", "", kNone, false, kAlways},
};

}  // namespace

std::span<const MainCommandRow> MainCommandRows() {
    return kRows;
}

const MainCommandRow* FindCommandRow(int id) {
    for (const MainCommandRow& row : kRows) {
        if (row.id == id)
            return &row;
    }
    return nullptr;
}

std::vector<int> TrayMenuCommands() {
    return {kCmdReceiveNew,  kCmdDeliver, kCmdCheckAllAccounts, kCmdCompose,
            kCmdAddressBook, 0,           kCmdRestoreWindow,    0,
            kCmdExit};
}

bool RuleAllows(EnabledRule rule, int busyCount) {
    switch (rule) {
        case EnabledRule::kAlways:
            return true;
        case EnabledRule::kIdle:
            return busyCount == 0;
        case EnabledRule::kBusy:
            return busyCount != 0;
    }
    return false;
}

}  // namespace corvina
