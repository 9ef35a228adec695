#include "FrameFixture.h"
#include "ui/main/CFolderTree.h"
#include "ui/main/CMoList.h"
#include "ui/main/CMoView.h"

namespace corvina::test {
namespace {

using MainFrameTest = FrameFixture;

TEST_F(MainFrameTest, OpensWithThreePanesOverTheCurrentProfile) {
    CMainFrame& window = MakeFrame();
    EXPECT_TRUE(window.Tree().isVisible());
    EXPECT_TRUE(window.List().isVisible());
    EXPECT_TRUE(window.View().isVisible());
    ASSERT_NE(context->tree.FindNode("InBox"), nullptr);
    EXPECT_TRUE(std::filesystem::exists(MailboxDir() / "OutBox.mbx") ||
                std::filesystem::exists(MailboxDir() / "OutBox"));
}

}  // namespace
}  // namespace corvina::test
