// The main window's commands, status bar, profile switch and the hand-over
// from a later start.

#include <QAction>
#include <QSignalSpy>
#include <QTest>
#include <future>

#include "FrameFixture.h"
#include "app/MainCommands.h"
#include "app/Startup.h"
#include "platform/SingleInstance.h"
#include "ui/bridge/MailThread.h"
#include "ui/editor/CIlkaView.h"
#include "ui/main/CFolderTree.h"
#include "ui/main/CMoView.h"
#include "ui/main/CommandTable.h"
#include "ui/main/ConnectionIndicator.h"
#include "ui/main/StatusPanes.h"
#include "ui/main/TrayIcon.h"

namespace corvina::test {
namespace {

using MainFrameCommandsTest = FrameFixture;

TEST_F(MainFrameCommandsTest, EntriesFollowTheBusyCount) {
    CMainFrame& window = MakeFrame();
    struct Entry {
        int id;
        bool idle, busy;
    };
    const Entry entries[] = {
        {kCmdReceiveNew, true, false},      {kCmdDeliver, true, false},
        {kCmdAbortConnection, false, true}, {kCmdPrint, true, true},
        {kCmdSwitchUser, true, true},     // chosen while busy, it beeps its refusal
        {kCmdAddressBook, false, false},  // no address book window yet
    };
    for (int busy : {0, 1}) {
        context->transfer.busy = busy;
        window.UpdateCommands();
        for (const Entry& e : entries) {
            QAction* action = window.Commands().Action(e.id);
            ASSERT_NE(action, nullptr) << e.id;
            EXPECT_EQ(action->isEnabled(), busy ? e.busy : e.idle) << e.id << " busy " << busy;
        }
    }
    // A refused command does nothing: Switch User while busy keeps the profile.
    EXPECT_FALSE(window.RunCommand(kCmdFirstProfile));
    context->transfer.busy = 0;
    EXPECT_FALSE(window.RunCommand(12345));
}

TEST_F(MainFrameCommandsTest, StatusPanesFollowViewerAndProgress) {
    CMainFrame& window = MakeFrame();
    CIlkaView& body = window.View().Body();
    emit body.CharacterCodeChanged("82A0h");
    emit body.StatusMessage("Searching");
    EXPECT_EQ(window.Status().Message(), "Searching");
    emit window.Mail().StatusText("Connection established");
    EXPECT_EQ(window.Status().Message(), "Connection established");

    emit window.Mail().CommandStarted(kCmdReceiveNew);
    EXPECT_TRUE(window.Indicator().Running());
    window.Indicator().Step();
    EXPECT_FALSE(window.Status().ProgressShown());  // nothing counted yet
    context->transfer.currentMessage = 3;
    context->transfer.messageCount = 12;
    context->transfer.currentSize = 20480;
    window.Indicator().Step();
    EXPECT_TRUE(window.Status().ProgressShown());
    EXPECT_EQ(window.Status().ProgressCount(), "3/12");
    EXPECT_EQ(window.Status().ProgressSize(), "20480 bytes");
    emit window.Mail().CommandFinished(kCmdReceiveNew, false);
    EXPECT_FALSE(window.Indicator().Running());
    EXPECT_FALSE(window.Status().ProgressShown());
    EXPECT_EQ(context->transfer.messageCount.load(), 0);
}

TEST_F(MainFrameCommandsTest, SwitchUserShowsTheOtherProfile) {
    config.SetString("Users\\1", "POP", "127.0.0.1");  // no title: "My Mailbox"
    config.SetInt("Users\\1", "MailDirNo", 1);
    CMainFrame& window = MakeFrame();
    EXPECT_TRUE(window.windowTitle().startsWith("Test Account"));
    EXPECT_EQ(window.Tray().Tip(), "Test Account");

    context->transfer.busy = 1;
    EXPECT_FALSE(window.RunCommand(kCmdFirstProfile + 1));
    context->transfer.busy = 0;
    ASSERT_TRUE(window.RunCommand(kCmdFirstProfile + 1));
    EXPECT_EQ(app.settings.defUser, 1);
    EXPECT_TRUE(window.windowTitle().startsWith("My Mailbox"));
    EXPECT_EQ(window.Tray().Tip(), "My Mailbox");
    EXPECT_EQ(context->tree.MailboxDir(), home / "User1");
    // The folder tree's menu routes another profile's root the same way.
    emit window.Tree().FrameCommand(kCmdFirstProfile);
    EXPECT_EQ(app.settings.defUser, 0);
    EXPECT_TRUE(window.windowTitle().startsWith("Test Account"));
}

TEST_F(MainFrameCommandsTest, LaterStartHandsOverAddressAndFiles) {
    CMainFrame& window = MakeFrame();
    SingleInstance running(scratch / "run");
    ASSERT_EQ(running.Acquire(), SingleInstance::Role::kPrimary);
    window.WatchSingleInstance(running);
    window.hide();  // in the tray: the hand-over brings it back
    QSignalSpy compose(&window, &CMainFrame::ComposeRequested);
    QSignalSpy attach(&window, &CMainFrame::AttachRequested);

    SingleInstance later(scratch / "run");
    ASSERT_EQ(later.Acquire(), SingleInstance::Role::kSecondary);
    auto sent = std::async(std::launch::async, [&] {
        return SendHandOver(later, DecideHandOver(ParseCommandLine({"mailto:x@example.org"})));
    });
    QTRY_COMPARE(compose.count(), 1);
    EXPECT_TRUE(sent.get());
    EXPECT_EQ(compose.at(0).at(0).toString(), "x@example.org");
    EXPECT_EQ(window.Status().Message(), "Write to x@example.org");
    EXPECT_TRUE(window.isVisible());

    auto files = std::async(std::launch::async,
                            [&] { return later.SendFiles("/tmp/a.txt \"/tmp/b c.pdf\""); });
    QTRY_COMPARE(attach.count(), 1);
    EXPECT_TRUE(files.get());
    EXPECT_EQ(attach.at(0).at(0).toStringList(), (QStringList{"/tmp/a.txt", "/tmp/b c.pdf"}));
    EXPECT_EQ(window.Status().Message(), "Attach /tmp/a.txt, /tmp/b c.pdf");
}

}  // namespace
}  // namespace corvina::test
