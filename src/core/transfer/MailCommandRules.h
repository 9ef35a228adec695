#pragma once
// What the main window's mail commands decide before anything reaches the
// mail thread: which command the thread is given, which commands wait for
// a running transfer, which save the OutBox first, and when a command can
// be chosen at all.

namespace corvina {

// The command the mail thread runs for `command`: Receive New becomes
// "deliver, then receive" when DeliverOnReceive is set.
int ThreadCommandFor(int command, bool deliverOnReceive);

// Whether `command` is refused while a transfer runs. Clean up Server and
// the remote mailbox are not: the thread runs them after the running one.
bool RefusedWhileBusy(int command);

// Receive commands reset the periodic check's minute counter.
bool IsReceiveCommand(int threadCommand);

// Whether the thread command reads the OutBox file, whose status must then
// be saved first.
bool ReadsOutBox(int threadCommand);

// Whether the main window offers `command` with `busy` transfers running:
// the transfer commands, Check All Accounts and Switch User only while
// none runs (Clean up Server and the remote mailbox always), the abort only
// while one runs; every other command is not a transfer's business.
bool MailCommandEnabled(int command, int busy);

}  // namespace corvina
