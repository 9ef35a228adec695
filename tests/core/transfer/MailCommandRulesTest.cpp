// What the main window's mail commands decide before the mail thread gets
// anything, and the abort that must keep the window's thread answering
// while the transfer unwinds.

#include <gtest/gtest.h>

#include "app/MainCommands.h"
#include "app/Startup.h"
#include "transfer/MailCommandRules.h"
#include "transfer/TransferState.h"

namespace corvina {
namespace {

TEST(MailCommandRules, WhatEachCommandGivesTheThread) {
    struct Case {
        int command;
        bool deliverOnReceive;
        int threadCommand;
        bool receive, readsOutBox;
    };
    const Case cases[] = {
        {kCmdReceiveNew, false, kCmdReceiveNew, true, false},
        {kCmdReceiveNew, true, kCmdReceive, true, true},
        {kCmdReceiveAll, true, kCmdReceiveAll, true, false},
        // The tree menu's Receive delivers first, so the OutBox is saved.
        {kCmdReceive, false, kCmdReceive, true, true},
        {kCmdDeliver, false, kCmdDeliver, false, true},
        {kCmdCleanUpServer, true, kCmdCleanUpServer, false, false},
        {kCmdRemoteMailbox, false, kCmdRemoteMailbox, false, false},
        {kCmdCheckAllAccounts, false, kCmdCheckAllAccounts, false, false},
        {kCmdManualFiltering, false, kCmdManualFiltering, false, false},
        {kCmdAbortConnection, false, kCmdAbortConnection, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        const int thread = ThreadCommandFor(c.command, c.deliverOnReceive);
        EXPECT_EQ(thread, c.threadCommand);
        EXPECT_EQ(IsReceiveCommand(thread), c.receive);
        EXPECT_EQ(ReadsOutBox(thread), c.readsOutBox);
    }
}

// A transfer that waits for the window's thread (to store a message) can
// only end when that thread keeps answering while it waits for the abort.
TEST(MailCommandRules, AbortRunsTheWaitersPumpUntilTheTransferEnds) {
    TransferState state;
    state.busy = 1;
    int pumped = 0;
    bool raisedWhilePumping = false;
    const bool ended = AbortTransfers(state, std::chrono::seconds(10), [&] {
        raisedWhilePumping = state.abort.IsRaised();
        if (++pumped == 3) {
            state.busy = 0;
        }
    });
    EXPECT_TRUE(ended);
    EXPECT_EQ(pumped, 3);
    EXPECT_TRUE(raisedWhilePumping);
    EXPECT_FALSE(state.abort.IsRaised());

    state.busy = 1;
    EXPECT_FALSE(AbortTransfers(state, std::chrono::milliseconds(20), [] {}));
    EXPECT_TRUE(state.abort.IsRaised());
}

}  // namespace
}  // namespace corvina
