// The tray icon's new-mail state driven by the mail thread's signals, the
// notice at the end of a receive, the local password on restore, and the
// closing checks.

#include <QTest>

#include "FrameFixture.h"
#include "app/CloseChecks.h"
#include "app/MainCommands.h"
#include "app/NewMailNotice.h"
#include "app/Startup.h"
#include "common/StringTable.h"
#include "ui/bridge/MailThread.h"
#include "ui/main/ConnectionIndicator.h"
#include "ui/main/TrayIcon.h"

namespace corvina::test {
namespace {

using MainFrameTrayTest = FrameFixture;

TEST_F(MainFrameTrayTest, NewMailWhileHiddenBlinksUntilRestored) {
    config.SetInt("Settings", "AskPopUp", 1);
    CMainFrame& window = MakeFrame();
    TrayIcon& tray = window.Tray();
    MailThread& mail = window.Mail();

    emit mail.CommandStarted(kCmdReceiveNew);
    EXPECT_EQ(tray.State().Current(), NewMailState::kConnection);
    for (int i = 0; i < 3; ++i)
        window.Indicator().Step();
    EXPECT_EQ(tray.State().Picture(), TrayPicture::kConnection2);

    window.hide();
    emit mail.ReceiveStored();
    EXPECT_EQ(tray.State().Current(), NewMailState::kNewMail);
    EXPECT_TRUE(tray.BlinkTimerActive());
    ASSERT_EQ(prompt.questions.size(), 1u);
    EXPECT_EQ(prompt.questions[0].text, LoadString(kStrReadNewMailNow));
    EXPECT_EQ(prompt.questions[0].preset, ConfirmAnswer::No);  // PopUp 0
    EXPECT_FALSE(window.isVisible());                          // answered No
    tray.BlinkTick();
    EXPECT_EQ(tray.State().Picture(), TrayPicture::kNewMail2);

    emit mail.CommandFinished(kCmdReceiveNew, true);
    EXPECT_EQ(tray.State().Current(), NewMailState::kNewMail);  // stored: no "No new mail"
    EXPECT_TRUE(prompt.notices.empty());

    EXPECT_TRUE(window.RestoreWindow());
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(tray.State().Current(), NewMailState::kNormal);
    EXPECT_FALSE(tray.BlinkTimerActive());
}

TEST_F(MainFrameTrayTest, EmptyReceiveTellsNoNewMailWhenAsked) {
    config.SetInt("Settings", "NoMailNotify", 1);
    CMainFrame& window = MakeFrame();
    emit window.Mail().CommandStarted(kCmdDeliver);
    emit window.Mail().CommandFinished(kCmdDeliver, true);
    EXPECT_TRUE(prompt.notices.empty());  // a delivery is no receive
    emit window.Mail().CommandStarted(kCmdReceiveNew);
    emit window.Mail().CommandFinished(kCmdReceiveNew, true);
    EXPECT_EQ(prompt.notices, std::vector<std::string>{LoadString(kStrNoNewMail)});
    EXPECT_EQ(window.Tray().State().Current(), NewMailState::kNormal);
}

TEST_F(MainFrameTrayTest, RestoreAsksTheLocalPasswordWithPassIcon) {
    config.SetInt("Settings", "PassIcon", 1);
    CMainFrame& window = MakeFrame();
    app.settings.localPass = "secret";  // loaded settings would have asked already
    window.hide();
    prompt.passwords = {std::nullopt};
    EXPECT_FALSE(window.RestoreWindow());
    EXPECT_FALSE(window.isVisible());
    prompt.passwords = {std::string("wrong"), std::string("secret")};
    EXPECT_TRUE(window.RestoreWindow());
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(prompt.notices, std::vector<std::string>{"Wrong password!"});
}

TEST_F(MainFrameTrayTest, ClosingAsksAboutConnectionAndOutBox) {
    CMainFrame& window = MakeFrame();
    context->transfer.busy = 1;
    prompt.answers = {ConfirmAnswer::Cancel};
    EXPECT_FALSE(window.close());
    EXPECT_TRUE(window.isVisible());
    ASSERT_EQ(prompt.questions.size(), 1u);
    EXPECT_EQ(prompt.questions[0].text, LoadString(kStrConnectionInProgress));
    context->transfer.busy = 0;

    AddToFolder("OutBox",
                "From: reader@example.org\r\nTo: x@example.org\r\nSubject: waiting\r\n\r\nhi\r\n");
    prompt.questions.clear();
    prompt.answers = {ConfirmAnswer::Cancel};
    EXPECT_FALSE(window.close());
    ASSERT_EQ(prompt.questions.size(), 1u);
    EXPECT_EQ(prompt.questions[0].text, LoadString(kStrUnsentInOutBox));

    window.resize(900, 600);
    prompt.answers = {ConfirmAnswer::Ok};
    EXPECT_TRUE(window.close());
    EXPECT_EQ(config.GetInt("Settings", "MainWidth", -1), 900);
    EXPECT_EQ(config.GetInt("Settings", "MainShowCmd", -1), kShowNormal);
    EXPECT_GT(config.GetInt("Settings", "PaneWidth1", -1), 0);
}

}  // namespace
}  // namespace corvina::test
