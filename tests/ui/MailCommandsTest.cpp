// The main window's mail commands: refused and greyed by the busy count,
// the clean-up and abort questions through the window's prompt, and the
// mail thread's answer arriving on the UI thread.

#include <QSignalSpy>
#include <QTimer>

#include "FrameFixture.h"
#include "app/MainCommands.h"
#include "app/Startup.h"
#include "common/StringTable.h"
#include "ui/bridge/MailThread.h"
#include "ui/main/MailCommands.h"

namespace corvina::test {
namespace {

class MailCommandsTest : public FrameFixture {
protected:
    MailCommands& Commands() {
        if (!commands) {
            CMainFrame& f = frame ? *frame : MakeFrame();
            commands = std::make_unique<MailCommands>(*context, f.Mail(), &f);
        }
        return *commands;
    }
    ~MailCommandsTest() override { commands.reset(); }

    std::unique_ptr<MailCommands> commands;
};

TEST_F(MailCommandsTest, TransfersAreRefusedAndGreyedWhileOneRuns) {
    MailCommands& commands = Commands();
    TransferState& state = context->transfer;
    QSignalSpy started(&frame->Mail(), &MailThread::CommandStarted);
    QSignalSpy reset(&commands, &MailCommands::MinuteCounterReset);
    state.busy = 1;
    for (int id :
         {kCmdReceiveNew, kCmdReceiveAll, kCmdReceive, kCmdDeliver, kCmdCheckAllAccounts}) {
        SCOPED_TRACE(id);
        EXPECT_FALSE(commands.Enabled(id));
        EXPECT_FALSE(commands.Run(id));
    }
    EXPECT_TRUE(commands.Enabled(kCmdCleanUpServer));
    EXPECT_TRUE(commands.Enabled(kCmdAbortConnection));
    EXPECT_EQ(started.count(), 0);
    EXPECT_EQ(reset.count(), 0);
    EXPECT_FALSE(state.commandToken.load());

    state.busy = 0;
    EXPECT_TRUE(commands.Enabled(kCmdReceiveNew));
    EXPECT_FALSE(commands.Enabled(kCmdAbortConnection));
    EXPECT_FALSE(commands.Run(kCmdAbortConnection));
    EXPECT_TRUE(prompt.questions.empty());
    EXPECT_FALSE(MailCommands::Handles(kCmdSwitchUser));
}

TEST_F(MailCommandsTest, CleanUpStartsOnlyAfterOk) {
    MailCommands& commands = Commands();
    QSignalSpy started(&frame->Mail(), &MailThread::CommandStarted);
    prompt.answers = {ConfirmAnswer::Cancel};
    EXPECT_FALSE(commands.Run(kCmdCleanUpServer));
    ASSERT_EQ(prompt.questions.size(), 1u);
    EXPECT_EQ(prompt.questions[0].text, LoadString(61453));
    EXPECT_EQ(prompt.questions[0].buttons, ConfirmButtons::OkCancel);
    EXPECT_EQ(started.count(), 0);
}

TEST_F(MailCommandsTest, AbortAsksThenWaitsForTheTransferToEnd) {
    MailCommands& commands = Commands();
    TransferState& state = context->transfer;
    state.busy = 1;
    prompt.answers = {ConfirmAnswer::Cancel};
    EXPECT_FALSE(commands.Run(kCmdAbortConnection));
    ASSERT_EQ(prompt.questions.size(), 1u);
    EXPECT_EQ(prompt.questions[0].text, LoadString(110));
    EXPECT_FALSE(state.abort.IsRaised());

    // The transfer ends while the window waits: the wait must keep the
    // window's events running, or the timer below would never fire.
    bool raisedAtEnd = false;
    QTimer::singleShot(50, [&] {
        raisedAtEnd = state.abort.IsRaised();
        // A second abort while the first is being waited for is not asked.
        EXPECT_FALSE(commands.Run(kCmdAbortConnection));
        state.busy = 0;
    });
    prompt.answers = {ConfirmAnswer::Ok};
    EXPECT_TRUE(commands.Run(kCmdAbortConnection));
    EXPECT_TRUE(raisedAtEnd);
    EXPECT_EQ(prompt.questions.size(), 2u);
    EXPECT_EQ(state.busy.load(), 0);
    EXPECT_FALSE(state.abort.IsRaised());
}

// Nothing listens on the account's port: the receive fails on the mail
// thread, its failure notice reaches the window's prompt on the UI thread,
// and the command's end arrives as a signal with the busy count back at 0.
TEST_F(MailCommandsTest, AFailedReceiveReportsThroughTheWindow) {
    config.SetInt("Users\\0", "POP3Port", 1);
    config.SetString("Users\\0", "User", "reader");
    config.SetString("Users\\0", "Pass", "secret");
    MailCommands& commands = Commands();
    QSignalSpy finished(&frame->Mail(), &MailThread::CommandFinished);
    QSignalSpy reset(&commands, &MailCommands::MinuteCounterReset);
    ASSERT_TRUE(commands.Run(kCmdReceiveNew));
    EXPECT_EQ(reset.count(), 1);
    ASSERT_TRUE(finished.wait(20000));
    EXPECT_EQ(finished.at(0).at(0).toInt(), kCmdReceiveNew);
    EXPECT_FALSE(finished.at(0).at(1).toBool());
    EXPECT_EQ(context->transfer.busy.load(), 0);
    ASSERT_FALSE(prompt.notices.empty());
    EXPECT_EQ(prompt.notices[0].rfind(LoadString(61455), 0), 0u) << prompt.notices[0];
}

}  // namespace
}  // namespace corvina::test
