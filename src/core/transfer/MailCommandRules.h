#pragma once
// What the main window's mail commands decide before anything reaches the
// mail thread: which command the thread is given, and which save the OutBox first. When a command
// can be chosen is the command table's rule (app/MainCommandTable.h).

namespace corvina {

// The command the mail thread runs for `command`: Receive New becomes
// "deliver, then receive" when DeliverOnReceive is set.
int ThreadCommandFor(int command, bool deliverOnReceive);

// Receive commands reset the periodic check's minute counter.
bool IsReceiveCommand(int threadCommand);

// Whether the thread command reads the OutBox file, whose status must then
// be saved first.
bool ReadsOutBox(int threadCommand);

}  // namespace corvina
