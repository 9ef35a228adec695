// The folder tree pane over a real mailbox directory: folders with their
// unread counts, opening a folder fills the list, label editing renames
// through the core (and says why a name is refused), the tree's own
// commands.

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include "FrameFixture.h"
#include "store/FolderOps.h"
#include "store/FolderTree.h"
#include "store/FolderView.h"
#include "ui/main/CFolderTree.h"
#include "ui/main/CMoList.h"
#include "ui/main/FolderTreeModel.h"

namespace corvina::test {
namespace {

class FolderTreePaneTest : public FrameFixture {
protected:
    CFolderTree& Tree() { return frame->Tree(); }
    QModelIndex IndexOf(std::string_view folder) {
        return Tree().Model().IndexOf(context->tree.FindNode(folder));
    }
    // F2 on the selected folder, the text typed over the label, Enter.
    void EditLabel(const QString& text) {
        QTest::keyClick(&Tree(), Qt::Key_F2);
        auto* editor = Tree().viewport()->findChild<QLineEdit*>();
        ASSERT_NE(editor, nullptr);
        editor->selectAll();
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, Qt::Key_Return);
        // The delegate commits later, and the rename comes after the commit.
        for (int round = 0; round < 3; ++round)
            QCoreApplication::processEvents();
    }
};

TEST_F(FolderTreePaneTest, ShowsTheFoldersAndOpensTheSelectedOne) {
    AddToFolder("InBox", ReadFileBytes(DataPath("lists/apple.eml")));
    AddToFolder("Work", ReadFileBytes(DataPath("lists/banana.eml")));
    MakeFrame();
    const QModelIndex root = Tree().Model().index(0, 0);
    EXPECT_EQ(root.data().toString(), "Test Account");
    QStringList labels;
    for (int row = 0; row < Tree().Model().rowCount(root); ++row)
        labels << Tree().Model().index(row, 0, root).data().toString();
    // InBox is open, so its count is known; Work's once it is opened.
    EXPECT_EQ(labels, (QStringList{"InBox (1)", "OutBox", "Trash", "Work"}));
    EXPECT_FALSE(IndexOf("InBox").data(Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_EQ(context->list.Folder(), context->tree.FindNode("InBox")->folder.get());

    QSignalSpy opened(&Tree(), &CFolderTree::FolderOpened);
    QTest::mouseClick(Tree().viewport(), Qt::LeftButton, {},
                      Tree().visualRect(IndexOf("Work")).center());
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(context->list.Folder(), context->tree.FindNode("Work")->folder.get());
    EXPECT_EQ(IndexOf("Work").data().toString(), "Work (1)");

    // The keyboard opens the folder only after a pause.
    QTest::keyClick(&Tree(), Qt::Key_Up);
    EXPECT_EQ(opened.size(), 1);
    EXPECT_TRUE(opened.wait(kKeyboardOpenDelayMs * 4));
    EXPECT_EQ(context->list.Folder(), context->tree.FindNode("Trash")->folder.get());
}

TEST_F(FolderTreePaneTest, LabelEditingRenamesAndSaysWhyANameIsRefused) {
    AddToFolder("Work", ReadFileBytes(DataPath("lists/apple.eml")));
    MakeFrame();
    ASSERT_TRUE(Tree().SelectFolder("Work"));
    EditLabel("Job");
    EXPECT_TRUE(std::filesystem::exists(MailboxDir() / "Job.mbx"));
    EXPECT_FALSE(std::filesystem::exists(MailboxDir() / "Work.mbx"));
    EXPECT_EQ(Tree().currentIndex(), IndexOf("Job"));
    EXPECT_TRUE(prompt.notices.empty());

    const std::vector<std::pair<QString, std::string>> refused = {
        {"Jo|b",
         "A folder name cannot contain < > * ? | \\ / or control characters. "
         "Choose another name."},
        {"Trash", "\"Trash\" is the name of a special folder. Choose another name."},
        {"  ", "A folder name cannot be empty. Type a name for the folder."},
    };
    for (const auto& [name, text] : refused) {
        EditLabel(name);
        ASSERT_FALSE(prompt.notices.empty()) << name.toStdString();
        EXPECT_EQ(prompt.notices.back(), text);
        EXPECT_TRUE(std::filesystem::exists(MailboxDir() / "Job.mbx"));
    }
}

TEST_F(FolderTreePaneTest, NewAndDeletedFoldersKeepTheTreeInStep) {
    MakeFrame();
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    ASSERT_TRUE(Tree().SelectFolder("InBox"));
    ASSERT_TRUE(Tree().RunFolderCommand(kCmdNewFolder));
    EXPECT_TRUE(std::filesystem::exists(MailboxDir() / "NewBox01.mbx"));
    ASSERT_TRUE(IndexOf("NewBox01").isValid());
    EXPECT_EQ(Tree().currentIndex(), IndexOf("NewBox01"));
    auto* editor = Tree().viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);  // the new folder's label is being edited
    QTest::keyClick(editor, Qt::Key_Escape);
    Tree().setFocus();

    prompt.answers.push_back(ConfirmAnswer::Ok);
    ASSERT_TRUE(Tree().RunFolderCommand(kCmdDeleteFolder));
    EXPECT_FALSE(std::filesystem::exists(MailboxDir() / "NewBox01.mbx"));
    EXPECT_EQ(context->tree.FindNode("NewBox01"), nullptr);
    EXPECT_TRUE(Tree().currentIndex().isValid());
}

}  // namespace
}  // namespace corvina::test
