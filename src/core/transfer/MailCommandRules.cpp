#include "transfer/MailCommandRules.h"

#include "app/MainCommands.h"
#include "app/Startup.h"

namespace corvina {

int ThreadCommandFor(int command, bool deliverOnReceive) {
    return command == kCmdReceiveNew && deliverOnReceive ? kCmdReceive : command;
}

bool RefusedWhileBusy(int command) {
    return command != kCmdCleanUpServer && command != kCmdRemoteMailbox &&
           command != kCmdAbortConnection;
}

bool IsReceiveCommand(int threadCommand) {
    return threadCommand == kCmdReceiveNew || threadCommand == kCmdReceiveAll ||
           threadCommand == kCmdReceive;
}

bool ReadsOutBox(int threadCommand) {
    // The tree menu's Receive delivers first as much as Receive New with
    // DeliverOnReceive does.
    return threadCommand == kCmdDeliver || threadCommand == kCmdReceive;
}

bool MailCommandEnabled(int command, int busy) {
    switch (command) {
        case kCmdAbortConnection:
            return busy != 0;
        case kCmdReceiveNew:
        case kCmdReceiveAll:
        case kCmdReceive:
        case kCmdDeliver:
        case kCmdCheckAllAccounts:
        case kCmdSwitchUser:
            return busy == 0;
        default:
            return true;
    }
}

}  // namespace corvina
