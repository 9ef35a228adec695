// The main window end to end: the real CMainFrame on the offscreen
// platform receives from Dovecot through the mail thread, files by the
// filters, delivers its OutBox through Postfix, and an abort in the middle
// of a stalled message loses nothing.

#include <QDialogButtonBox>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <atomic>

#include "FrameFixture.h"
#include "MailServers.h"
#include "ScriptedServer.h"
#include "app/MainCommands.h"
#include "app/Startup.h"
#include "message/MailMessage.h"
#include "store/FolderNames.h"
#include "store/FolderTree.h"
#include "store/MailFolder.h"
#include "store/Mailbox.h"
#include "ui/bridge/MailThread.h"
#include "ui/dialogs/CheckAllDialog.h"
#include "ui/dialogs/RemoteMailboxDialog.h"
#include "ui/editor/CIlkaView.h"
#include "ui/main/CHeadView.h"
#include "ui/main/CMoList.h"
#include "ui/main/CMoView.h"

namespace corvina::test {
namespace {

MailServers& Servers() {
    return MailServers::Get();
}

std::string Data(std::string_view name) {
    return ReadFileBytes(DataPath(name));
}

size_t Occurrences(const std::string& text, std::string_view what) {
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

class WindowEndToEnd : public FrameFixture {
protected:
    void SetUp() override { ASSERT_TRUE(Servers().Ok()) << Servers().Failure(); }

    // Carol's account; POP3 with STLS on Dovecot unless `popPort` names a
    // scripted server (plain), submission with STARTTLS and AUTH.
    void UseCarol(uint16_t popPort = 0) {
        config.SetString("Users\\0", "Account", "carol");
        config.SetString("Users\\0", "Address", "carol@example.test");
        config.SetString("Users\\0", "User", "carol");
        config.SetString("Users\\0", "Pass", "carolpw");
        config.SetInt("Users\\0", "POP3Port", popPort ? popPort : Servers().pop3);
        config.SetInt("Users\\0", "POP3Security", popPort ? 0 : 1);
        config.SetInt("Users\\0", "DeleteOnServer", 0);
        config.SetInt("Users\\0", "SMTPPort", Servers().submission);
        config.SetInt("Users\\0", "SMTPSecurity", 1);
        config.SetInt("Users\\0", "SMTPAuth", 1);
        config.SetInt("Settings", "Timeout", 30);
        config.SetInt("Settings", "AlwaysRead", 1);
    }

    // Runs a mail command through the window's command table and waits for
    // the mail thread to end it; its result.
    bool RunToEnd(int id) {
        QSignalSpy finished(&frame->Mail(), &MailThread::CommandFinished);
        if (!frame->RunCommand(id)) {
            ADD_FAILURE() << "command " << id << " did not start";
            return false;
        }
        if (!finished.wait(60000)) {
            ADD_FAILURE() << "command " << id << " did not end\n" << Servers().Logs();
            return false;
        }
        return finished.at(0).at(1).toBool();
    }

    MailFolder& Folder(SpecialFolder which) { return *context->tree.Special(which)->folder; }

    TrustFile trust{Servers().CaFile()};
};

TEST_F(WindowEndToEnd, ReceivedMailIsListedUnreadFiledAndReadWhenSelected) {
    Servers().ClearMaildir("carol");
    Servers().PutMessage("carol", Data("window/lunch-note.eml"));
    Servers().PutMessage("carol", Data("window/invoice-for-work-folder.eml"));
    UseCarol();
    WriteFileBytes(MailboxDir() / "Filter.DEF", "Subject\tInvoice\tWork\n");
    WriteFileBytes(MailboxDir() / "Work.mbx", "");
    // The first new message is not selected for the reader: the list shows
    // it as it came.
    config.SetInt("Settings", "SelFirst", 0);
    MakeFrame();
    MailFolder& inbox = Folder(SpecialFolder::InBox);
    frame->List().ShowFolder(&inbox);

    QSignalSpy stored(&frame->Mail(), &MailThread::MessageStored);
    ASSERT_TRUE(RunToEnd(kCmdReceiveNew)) << (prompt.notices.empty() ? "" : prompt.notices[0]);
    EXPECT_EQ(stored.count(), 2);

    ASSERT_EQ(context->list.Count(), 1);
    EXPECT_EQ(context->list.Picture(0), ItemPicture::Unread);
    EXPECT_EQ(inbox.unread, 1);
    const FolderNode* work = context->tree.FindNode("Work");
    ASSERT_NE(work, nullptr);
    ASSERT_EQ(work->folder->total, 1);
    EXPECT_NE(ReadFileBytes(MailboxDir() / "Work.mbx").find("Invoice 2026-117"), std::string::npos);

    context->list.Select(0);
    const MailMessage* viewed = context->list.ViewedMessage();
    ASSERT_NE(viewed, nullptr);
    EXPECT_EQ(viewed->subject, "Lunch on Friday");
    EXPECT_TRUE(viewed->read);
    EXPECT_EQ(context->list.Picture(0), ItemPicture::Viewed);
    // The message pane shows it: header and body.
    EXPECT_EQ(frame->View().Head().Text(CHeadView::Field::Subject), "Lunch on Friday");
    EXPECT_EQ(frame->View().Body().Document(), viewed);
    EXPECT_TRUE(viewed->bodyLoaded);

    // Kept on the server and known by its unique id: nothing comes twice.
    stored.clear();
    ASSERT_TRUE(RunToEnd(kCmdReceiveNew));
    EXPECT_EQ(stored.count(), 0);
    EXPECT_EQ(context->list.Count(), 1);
}

TEST_F(WindowEndToEnd, DeliverSendsTheOutBoxThroughPostfix) {
    Servers().ClearMaildir("carol");
    UseCarol();
    {
        MailMessage outgoing;
        outgoing.from = "carol <carol@example.test>";
        outgoing.to = "carol@example.test";
        outgoing.subject = "Note to self from the window";
        outgoing.AddBodyLine("Sent by the mail thread.");
        outgoing.bodyLoaded = true;
        outgoing.SetStatus("W");
        StoreContext store;
        store.mailboxDir = MailboxDir();
        ASSERT_TRUE(AppendToFolderFile(outgoing, "OutBox", store));
    }
    MakeFrame();

    QSignalSpy rewritten(&frame->Mail(), &MailThread::OutBoxRewritten);
    ASSERT_TRUE(RunToEnd(kCmdDeliver)) << (prompt.notices.empty() ? "" : prompt.notices[0]);
    ASSERT_TRUE(Servers().WaitForMessages("carol", 1)) << Servers().Logs();
    std::vector<std::string> arrived = Servers().Messages("carol");
    ASSERT_EQ(arrived.size(), 1u);
    EXPECT_NE(arrived[0].find("Subject: Note to self from the window"), std::string::npos);

    // The window's OutBox follows its file, and Sent holds the message.
    EXPECT_TRUE(rewritten.count() > 0 || rewritten.wait(5000));
    EXPECT_EQ(Folder(SpecialFolder::OutBox).total, 0);
    EXPECT_EQ(Folder(SpecialFolder::OutBox).messages.size(), 0u);
    const std::string sent = ReadFileBytes(Folder(SpecialFolder::Sent).path);
    EXPECT_EQ(Occurrences(sent, "Note to self from the window"), 1u);
}

// A POP3 server that lists two messages with unique ids, sends the first
// whole and, on the first connection, stops in the middle of the second;
// on the next connection it serves both honestly.
class StallingMaildrop {
public:
    StallingMaildrop()
        : messages_{Data("window/lunch-note.eml"), Data("window/long-figures.eml")},
          server_([this](ServerConnection& c) { Play(c); }, false, 2) {}

    uint16_t Port() const { return server_.Port(); }
    bool Stalled() const { return stalled_; }
    std::vector<std::string> Finish() { return server_.Finish(); }

private:
    void Play(ServerConnection& c) {
        const bool stall = connection_++ == 0;
        c.SendLine("+OK POP3 ready");
        while (auto line = c.ReadLine()) {
            const std::string& l = *line;
            if (l.rfind("USER", 0) == 0 || l.rfind("PASS", 0) == 0) {
                c.SendLine("+OK");
            } else if (l == "STAT") {
                c.SendLine("+OK 2 " + std::to_string(messages_[0].size() + messages_[1].size()));
            } else if (l == "LIST") {
                c.Send("+OK\r\n1 " + std::to_string(messages_[0].size()) + "\r\n2 " +
                       std::to_string(messages_[1].size()) + "\r\n.\r\n");
            } else if (l == "UIDL") {
                c.Send("+OK\r\n1 uid-lunch\r\n2 uid-figures\r\n.\r\n");
            } else if (l.rfind("RETR ", 0) == 0) {
                const std::string& text = messages_[std::stoi(l.substr(5)) - 1];
                if (stall && l == "RETR 2") {
                    c.Send("+OK\r\n" + text.substr(0, text.size() / 2));
                    stalled_ = true;
                    c.WaitForClose(60);
                    return;
                }
                c.Send("+OK\r\n" + text + ".\r\n");
            } else if (l == "QUIT") {
                c.SendLine("+OK bye");
                return;
            } else {
                c.SendLine("-ERR unknown");
            }
        }
    }

    std::vector<std::string> messages_;
    std::atomic<int> connection_{0};
    std::atomic<bool> stalled_{false};
    ScriptedServer server_;
};

TEST_F(WindowEndToEnd, AbortInAStalledMessageStoresNothingHalfAndRefetchesOnlyIt) {
    StallingMaildrop drop;
    UseCarol(drop.Port());
    MakeFrame();
    MailFolder& inbox = Folder(SpecialFolder::InBox);

    QSignalSpy finished(&frame->Mail(), &MailThread::CommandFinished);
    ASSERT_TRUE(frame->RunCommand(kCmdReceiveNew));
    ASSERT_TRUE(QTest::qWaitFor([&] { return drop.Stalled(); }, 20000));
    // Receive New is refused while the receive runs.
    EXPECT_FALSE(frame->RunCommand(kCmdReceiveNew));
    prompt.answers = {ConfirmAnswer::Ok};
    ASSERT_TRUE(frame->RunCommand(kCmdAbortConnection));
    EXPECT_EQ(context->transfer.busy.load(), 0);
    EXPECT_FALSE(context->transfer.abort.IsRaised());
    ASSERT_TRUE(finished.count() > 0 || finished.wait(10000));
    EXPECT_FALSE(finished.at(0).at(1).toBool());

    EXPECT_EQ(inbox.total, 1);
    std::string file = ReadFileBytes(MailboxDir() / "InBox.mbx");
    EXPECT_EQ(Occurrences(file, "Lunch on Friday"), 1u);
    EXPECT_EQ(Occurrences(file, "Quarterly figures"), 0u);

    ASSERT_TRUE(RunToEnd(kCmdReceiveNew));
    EXPECT_EQ(inbox.total, 2);
    file = ReadFileBytes(MailboxDir() / "InBox.mbx");
    EXPECT_EQ(Occurrences(file, "Lunch on Friday"), 1u);
    EXPECT_EQ(Occurrences(file, "Quarterly figures"), 1u);
    EXPECT_EQ(Occurrences(file, "Row 0399"), 1u);
    const std::vector<std::string> lines = drop.Finish();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "RETR 1"), 1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "RETR 2"), 2);
}

// The remote mailbox's dialog draws the rows the mail thread listed and
// sets marks; OK carries them out there: "L" retrieves and deletes.
TEST_F(WindowEndToEnd, RemoteMailboxCarriesOutTheMarksOnTheMailThread) {
    Servers().ClearMaildir("carol");
    Servers().PutMessage("carol", Data("window/lunch-note.eml"));
    Servers().PutMessage("carol", Data("window/invoice-for-work-folder.eml"));
    UseCarol();
    MakeFrame();
    std::vector<RemoteRow> listed;
    QTimer::singleShot(0, [&] {
        auto* dialog = frame->findChild<RemoteMailboxDialog*>();
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog->Working(); }, 20000));
        QTest::mouseClick(dialog->findChild<QPushButton*>("listing"), Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog->Working(); }, 20000));
        listed = dialog->Rows();
        auto* rows = dialog->findChild<QTreeWidget*>("rows");
        const QList<QTreeWidgetItem*> lunch =
            rows->findItems("Lunch on Friday", Qt::MatchExactly, 1);
        ASSERT_EQ(lunch.size(), 1);
        rows->setCurrentItem(lunch[0]);
        for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
            if (button->text() == "L&oad (L)") {
                QTest::mouseClick(button, Qt::LeftButton);
            }
        }
        EXPECT_EQ(lunch[0]->text(0), "L");
        QTest::mouseClick(dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok),
                          Qt::LeftButton);
    });
    QSignalSpy finished(&frame->Mail(), &MailThread::CommandFinished);
    ASSERT_TRUE(frame->RunCommand(kCmdRemoteMailbox));
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_FALSE(listed[0].received);
    ASSERT_TRUE(finished.count() > 0 || finished.wait(5000));
    EXPECT_EQ(context->transfer.busy.load(), 0);

    const std::string inbox = ReadFileBytes(MailboxDir() / "InBox.mbx");
    EXPECT_EQ(Occurrences(inbox, "Lunch on Friday"), 1u);
    EXPECT_EQ(Occurrences(inbox, "Invoice 2026-117"), 0u);
    const std::vector<std::string> left = Servers().Messages("carol");
    ASSERT_EQ(left.size(), 1u);
    EXPECT_NE(left[0].find("Invoice 2026-117"), std::string::npos);
}

// Check All Accounts runs on the UI thread with sessions of its own; each
// account's mail goes into that account's folders, the current one's into
// the tree on screen.
TEST_F(WindowEndToEnd, CheckAllAccountsStoresEachAccountsMailInItsOwnFolders) {
    Servers().ClearMaildir("carol");
    Servers().ClearMaildir("dave");
    Servers().PutMessage("carol", Data("window/lunch-note.eml"));
    Servers().PutMessage("dave", Data("window/invoice-for-work-folder.eml"));
    UseCarol();
    config.SetString("Users\\1", "Account", "dave");
    config.SetString("Users\\1", "Address", "dave@example.test");
    config.SetString("Users\\1", "User", "dave");
    config.SetString("Users\\1", "Pass", "davepw");
    config.SetString("Users\\1", "POP", "127.0.0.1");
    config.SetInt("Users\\1", "POP3Port", Servers().pop3);
    config.SetInt("Users\\1", "POP3Security", 1);
    config.SetInt("Users\\1", "DeleteOnServer", 0);
    config.SetInt("Users\\1", "MailDirNo", 1);
    std::filesystem::create_directories(home / "User1");
    MakeFrame();
    MailFolder& inbox = Folder(SpecialFolder::InBox);
    frame->List().ShowFolder(&inbox);

    QStringList lines;
    QString closeText;
    QTimer::singleShot(0, [&] {
        auto* dialog = frame->findChild<CheckAllDialog*>();
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(QTest::qWaitFor([&] { return dialog->Done(); }, 60000));
        auto* list = dialog->findChild<QListWidget*>("lines");
        for (int i = 0; i < list->count(); ++i) {
            lines << list->item(i)->text();
        }
        auto* close = dialog->findChild<QPushButton*>("close");
        closeText = close->text();
        QTest::mouseClick(close, Qt::LeftButton);
    });
    ASSERT_TRUE(frame->RunCommand(kCmdCheckAllAccounts));
    EXPECT_EQ(closeText, "Close");
    // The other accounts first, the current one last.
    ASSERT_GE(lines.size(), 8) << lines.join("|").toStdString();
    EXPECT_EQ(lines[0], "<<< dave >>>");
    EXPECT_TRUE(lines[1].startsWith("Invoice 2026-117 / ")) << lines[1].toStdString();
    EXPECT_EQ(lines[2], "*");
    EXPECT_EQ(lines[3], "1 new messages are received from 127.0.0.1.");
    EXPECT_EQ(lines[4], "<<< carol >>>");
    EXPECT_TRUE(lines[5].startsWith("Lunch on Friday / ")) << lines[5].toStdString();

    EXPECT_EQ(Occurrences(ReadFileBytes(home / "User1" / "InBox.mbx"), "Invoice 2026-117"), 1u);
    EXPECT_EQ(context->list.Count(), 1);
    EXPECT_EQ(Occurrences(ReadFileBytes(MailboxDir() / "InBox.mbx"), "Invoice 2026-117"), 0u);
}

}  // namespace
}  // namespace corvina::test
