// Pictures, context menu, command enabling and open/leave actions of the
// folder tree.

#include <gtest/gtest.h>

#include <filesystem>

#include "StoreTestHost.h"
#include "TestSupport.h"
#include "store/FolderOps.h"
#include "store/FolderTree.h"
#include "store/FolderView.h"

namespace corvina {
namespace {

namespace fs = std::filesystem;
using test::RecordingStore;
using test::ScratchDir;
using test::WriteFileBytes;

const char kUnread[] = "From:a\r\nTo:b\r\nSubject:s\r\n\r\nx\r\n.\r\n";
const char kRead[] = "From:a\r\nTo:b\r\nSubject:s\r\nStatus:R\r\n\r\nx\r\n.\r\n";

class FolderViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        box = dir.Path() / "User0";
        fs::create_directories(box / "OutBox");
        fs::create_directories(box / "Work" / "Old");
        profiles[0].pop = "pop.a";
        profiles[3].pop = "pop.b";
        profiles[3].account = "Second";
    }
    void Build() { tree.BuildFolderTree(box, profiles, 0); }
    FolderIcon Icon(std::string_view name) { return ChooseFolderIcon(tree, *tree.FindNode(name)); }

    ScratchDir dir;
    fs::path box;
    ProfileTable profiles{};
    RecordingStore host;
    FolderTree tree{&host.store};
};

TEST_F(FolderViewTest, IconsFollowUnreadMail) {
    WriteFileBytes(box / "InBox.mbx", kUnread);
    WriteFileBytes(box / "Trash.mbx", kRead);
    WriteFileBytes(box / "OutBox.mbx", kRead);  // count-all: still unread
    WriteFileBytes(box / "OutBox" / "Sent.mbx", kRead);
    WriteFileBytes(box / "Work.mbx", kRead);
    WriteFileBytes(box / "Work" / "Old.mbx", "");
    WriteFileBytes(box / "Work" / "Old" / "Deep.mbx", kUnread);
    WriteFileBytes(box / "Quiet.mbx", kRead);
    Build();
    EXPECT_EQ(ChooseFolderIcon(tree, *tree.CurrentRoot()), FolderIcon::AccountRoot);
    EXPECT_EQ(Icon("InBox"), FolderIcon::FixedUnread);
    EXPECT_EQ(Icon("Trash"), FolderIcon::Trash);
    EXPECT_EQ(Icon("OutBox"), FolderIcon::CountAllUnread);
    EXPECT_EQ(Icon("Sent"), FolderIcon::CountAll);
    EXPECT_EQ(Icon("Draft"), FolderIcon::CountAll);
    EXPECT_EQ(Icon("Work"), FolderIcon::UserUnreadBelow);
    EXPECT_EQ(Icon("Work\\Old"), FolderIcon::UserUnreadBelow);
    EXPECT_EQ(Icon("Work\\Old\\Deep"), FolderIcon::UserUnread);
    EXPECT_EQ(Icon("Quiet"), FolderIcon::User);
}

TEST_F(FolderViewTest, ContextMenuAndCommands) {
    const auto menu = FolderContextMenu(profiles);
    ASSERT_EQ(menu.size(), 15u);
    EXPECT_EQ(menu[0].id, kCmdSaveCurrentStatus);
    EXPECT_EQ(menu[1].text, "&New Letter Folder");
    EXPECT_EQ(menu[3].id, 0);
    EXPECT_EQ(menu[11].id, kCmdFolderProperty);
    EXPECT_EQ(menu[12].id, 0);
    EXPECT_EQ(menu[13].id, 501);
    EXPECT_EQ(menu[14].id, 504);
    EXPECT_EQ(menu[14].text, "&4: Second");

    WriteFileBytes(box / "Work.mbx", "");
    Build();
    const FolderNode* work = tree.FindNode("Work");
    const FolderNode* inbox = tree.FindNode("InBox");
    EXPECT_TRUE(FolderCommandEnabled(kCmdDeleteFolder, work, true));
    EXPECT_FALSE(FolderCommandEnabled(kCmdDeleteFolder, work, false));
    EXPECT_FALSE(FolderCommandEnabled(kCmdDeleteFolder, inbox, true));
    EXPECT_FALSE(FolderCommandEnabled(kCmdDeleteFolder, nullptr, true));
    EXPECT_TRUE(FolderCommandEnabled(kCmdFolderProperty, work, false));
    EXPECT_FALSE(FolderCommandEnabled(kCmdFolderProperty, tree.CurrentRoot(), true));
    EXPECT_TRUE(FolderCommandEnabled(kCmdEmptyTrash, nullptr, false));
}

TEST_F(FolderViewTest, OpeningAndLeaving) {
    WriteFileBytes(box / "InBox.mbx", kUnread);
    Build();
    ASSERT_EQ(tree.Roots().size(), 2u);
    const FolderNode& other = *tree.Roots()[1];
    EXPECT_EQ(OpenFolderNode(tree, other, false).kind, FolderOpenAction::SwitchProfile);
    EXPECT_EQ(OpenFolderNode(tree, other, false).command, 504);
    EXPECT_EQ(OpenFolderNode(tree, other, true).kind, FolderOpenAction::None);
    EXPECT_EQ(OpenFolderNode(tree, *tree.FindNode("InBox"), true).kind,
              FolderOpenAction::ShowFolder);

    // Leaving a changed kind-2 folder writes it; OutBox (kind 1) is not saved.
    FolderNode& inbox = *tree.FindNode("InBox");
    ASSERT_TRUE(LoadFolder(*inbox.folder, tree.Context()));
    inbox.folder->messages[0]->read = true;
    inbox.folder->messages[0]->dirty = true;
    inbox.folder->modified = true;
    EXPECT_TRUE(LeaveFolderNode(tree, inbox));
    EXPECT_NE(test::ReadFileBytes(box / "InBox.mbx").find("Status:R\r\n"), std::string::npos);
    EXPECT_FALSE(LeaveFolderNode(tree, *tree.FindNode("OutBox")));
}

}  // namespace
}  // namespace corvina
