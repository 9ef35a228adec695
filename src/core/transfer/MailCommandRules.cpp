#include "transfer/MailCommandRules.h"

#include "app/MainCommands.h"
#include "app/Startup.h"

namespace corvina {

int ThreadCommandFor(int command, bool deliverOnReceive) {
    return command == kCmdReceiveNew && deliverOnReceive ? kCmdReceive : command;
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

}  // namespace corvina
