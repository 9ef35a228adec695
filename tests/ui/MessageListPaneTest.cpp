// The message list pane over real mailbox files: rows and the three-click
// sort cycle through the header, keys and selection reaching the core, the
// unread count following a selection, drags onto the tree, and a double
// click that must not lose a waiting message.

#include <QHeaderView>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "FrameFixture.h"
#include "store/FolderTree.h"
#include "store/MailFolder.h"
#include "store/Mailbox.h"
#include "ui/main/CFolderTree.h"
#include "ui/main/CMoList.h"
#include "ui/main/FolderTreeModel.h"
#include "ui/main/MessageListModel.h"

namespace corvina::test {
namespace {

class MessageListPaneTest : public FrameFixture {
protected:
    void Add(std::string_view folder, std::string_view file) {
        AddToFolder(folder, ReadFileBytes(DataPath(std::string("lists/") + std::string(file))));
    }
    CMoList& List() { return frame->List(); }
    QStringList Column(int column) {
        QStringList texts;
        const MessageListModel& model = List().Model();
        for (int row = 0; row < model.rowCount(); ++row)
            texts << model.index(row, column).data().toString();
        return texts;
    }
    QStringList Captions() {
        QStringList texts;
        for (int c = 0; c < 4; ++c)
            texts << List().Model().headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        return texts;
    }
    void ClickHeader(int column) {
        QHeaderView* header = List().header();
        QTest::mouseClick(
            header->viewport(), Qt::LeftButton, {},
            QPoint(header->sectionViewportPosition(column) + 5, header->height() / 2));
    }
    void ClickRow(int row, Qt::KeyboardModifiers modifiers = {}) {
        QTest::mouseClick(List().viewport(), Qt::LeftButton, modifiers,
                          List().visualRect(List().Model().index(row, 1)).center());
    }
    QString TreeLabel(std::string_view folder) {
        FolderTreeModel& model = frame->Tree().Model();
        return model.IndexOf(context->tree.FindNode(folder)).data().toString();
    }
    // The subjects of a folder file as read back from disk.
    std::vector<std::string> OnDisk(std::string_view folder) {
        MailFolder fresh(context->tree.FindNode(folder)->folder->path);
        LoadFolder(fresh, {MailboxDir(), nullptr});
        std::vector<std::string> subjects;
        for (const auto& m : fresh.messages)
            subjects.push_back(m->subject);
        return subjects;
    }
};

TEST_F(MessageListPaneTest, RowsAndTheThreeClickSortCycle) {
    Add("InBox", "banana.eml");
    Add("InBox", "apple.eml");
    Add("InBox", "cherry.eml");
    MakeFrame();
    EXPECT_EQ(Captions(), (QStringList{"Subject", "Sender", "Date", "Lines"}));
    EXPECT_EQ(Column(0), (QStringList{"cherry", "Apple", "banana"}));
    EXPECT_EQ(Column(3), (QStringList{"3", "1", "2"}));

    ClickHeader(0);
    EXPECT_EQ(Captions()[0], "Subject <");
    EXPECT_EQ(Column(0), (QStringList{"Apple", "banana", "cherry"}));
    ClickHeader(0);
    EXPECT_EQ(Captions()[0], "Subject >");
    EXPECT_EQ(Column(0), (QStringList{"cherry", "banana", "Apple"}));
    ClickHeader(0);
    EXPECT_EQ(Captions()[0], "Subject");
    EXPECT_EQ(Column(0), (QStringList{"cherry", "Apple", "banana"}));
    ClickHeader(3);
    EXPECT_EQ(Captions(), (QStringList{"Subject", "Sender", "Date", "Lines <"}));
    EXPECT_EQ(Column(3), (QStringList{"1", "2", "3"}));
}

TEST_F(MessageListPaneTest, SelectingMarksReadAndTheCountsFollow) {
    config.SetInt("Settings", "AlwaysRead", 1);
    Add("InBox", "banana.eml");
    Add("InBox", "apple.eml");
    MakeFrame();
    QSignalSpy status(&List(), &CMoList::StatusMessage);
    EXPECT_EQ(TreeLabel("InBox"), "InBox (2)");
    EXPECT_TRUE(List().Model().index(0, 0).data(Qt::FontRole).value<QFont>().bold());

    ClickRow(0);
    EXPECT_EQ(context->list.SelectedRows(), std::vector<int>{0});
    EXPECT_EQ(context->list.ViewedMessage(), context->list.Items()[0].message);
    EXPECT_FALSE(List().Model().index(0, 0).data(Qt::FontRole).value<QFont>().bold());
    EXPECT_EQ(TreeLabel("InBox"), "InBox (1)");
    ASSERT_FALSE(status.isEmpty());
    EXPECT_EQ(status.last().at(0).toString(), "Unread:    1 / Total:    2");

    // The keyboard moves the selection the same way; Shift extends it.
    QTest::keyClick(&List(), Qt::Key_Down);
    EXPECT_EQ(context->list.SelectedRows(), std::vector<int>{1});
    EXPECT_EQ(TreeLabel("InBox"), "InBox");
    QTest::keyClick(&List(), Qt::Key_Home, Qt::ShiftModifier);
    EXPECT_EQ(context->list.SelectedRows(), (std::vector<int>{0, 1}));

    // Mark unread from the list's command, then Delete moves both to Trash.
    ASSERT_TRUE(List().RunListCommand(kCmdMarkUnread));
    EXPECT_EQ(TreeLabel("InBox"), "InBox (2)");
    QTest::keyClick(&List(), Qt::Key_Delete);
    EXPECT_EQ(List().Model().rowCount(), 0);
    EXPECT_EQ(OnDisk("Trash"), (std::vector<std::string>{"banana", "Apple"}));
}

// A drop on a folder of the tree moves the selected messages, with Ctrl
// copies them; the target's file holds them at once.
TEST_F(MessageListPaneTest, DraggingOntoATreeFolderMovesOrCopies) {
    Add("InBox", "banana.eml");
    Add("InBox", "apple.eml");
    Add("Work", "cherry.eml");
    MakeFrame();
    CFolderTree& tree = frame->Tree();
    auto dropOnWork = [&](Qt::KeyboardModifiers modifiers) {
        std::unique_ptr<QMimeData> data(List().Model().mimeData({}));
        ASSERT_TRUE(data);
        const QPoint at =
            tree.visualRect(tree.Model().IndexOf(context->tree.FindNode("Work"))).center();
        const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
        QDragEnterEvent enter(at, actions, data.get(), Qt::LeftButton, modifiers);
        QCoreApplication::sendEvent(tree.viewport(), &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent drop(at, actions, data.get(), Qt::LeftButton, modifiers);
        QCoreApplication::sendEvent(tree.viewport(), &drop);
    };
    ClickRow(1);  // banana
    dropOnWork(Qt::ControlModifier);
    EXPECT_EQ(Column(0), (QStringList{"Apple", "banana"}));
    EXPECT_EQ(OnDisk("Work"), (std::vector<std::string>{"cherry", "banana"}));

    ClickRow(0);
    dropOnWork(Qt::NoModifier);
    EXPECT_EQ(Column(0), (QStringList{"banana"}));
    EXPECT_EQ(OnDisk("Work"), (std::vector<std::string>{"cherry", "banana", "Apple"}));
    EXPECT_EQ(context->list.SelectedRows(), std::vector<int>{0});
}

// A double click on a waiting message asks for a compose window; until one
// takes it, the message stays in OutBox, also on disk.
TEST_F(MessageListPaneTest, ReEditingWithoutAComposeWindowKeepsTheMessage) {
    Add("OutBox", "waiting-in-outbox.eml");
    MakeFrame();
    ASSERT_TRUE(frame->Tree().SelectFolder("OutBox"));
    QSignalSpy compose(&List(), &CMoList::ComposeRequested);
    const int row = List().Model().rowCount() - 1;  // below Draft, Sent and Reminder
    QTest::mouseDClick(List().viewport(), Qt::LeftButton, {},
                       List().visualRect(List().Model().index(row, 1)).center());
    ASSERT_EQ(compose.size(), 1);
    EXPECT_EQ(compose[0][0].toString(), "OutBox");
    EXPECT_FALSE(compose[0][2].toBool());
    EXPECT_EQ(List().Model().rowCount(), row + 1);
    MailFolder& outbox = *context->tree.FindNode("OutBox")->folder;
    EXPECT_EQ(outbox.total, 1);
    SaveFolder(outbox, false, context->tree.Context());
    EXPECT_EQ(OnDisk("OutBox"), (std::vector<std::string>{"waiting to be sent"}));
}

}  // namespace
}  // namespace corvina::test
