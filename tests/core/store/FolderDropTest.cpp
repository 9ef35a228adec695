// A message text dropped on a folder is parsed by the store itself with the
// options its caller gives: as mail from outside, the store's own lines in
// it are not trusted, and the drop decision follows the parsed message.
#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.h"
#include "app/AccountProfile.h"
#include "message/MailMessage.h"
#include "message/mime/MessageParser.h"
#include "store/FolderDrop.h"
#include "store/FolderTree.h"
#include "store/MailFolder.h"

namespace corvina {
namespace {

TEST(FolderDrop, RawTextIsParsedAsMailFromOutside) {
    test::ScratchDir dir;
    const std::filesystem::path box = dir / "User0";
    std::filesystem::create_directories(box / "Attach");
    test::WriteFileBytes(box / "Work.mbx", "");
    ProfileTable profiles{};
    profiles[0].address = "me@example.com";
    FolderTree tree(nullptr);
    tree.BuildFolderTree(box, profiles, 0);
    MailFolder& work = *tree.FindNode("Work")->folder;
    MailFolder& sent = *tree.FindNode("Sent")->folder;
    ParseOptions outside;
    outside.mailboxDirectory = box;
    const std::string raw =
        test::ReadFileBytes(test::DataPath("store/dropped-with-store-lines.eml"));

    EXPECT_EQ(DropRawMessageOnFolder(tree, work, raw, outside, "me@example.com"),
              DropDecision::Add);
    ASSERT_EQ(work.messages.size(), 1u);
    const MailMessage& dropped = *work.messages[0];
    EXPECT_EQ(dropped.subject, "dropped");
    EXPECT_FALSE(dropped.read);
    EXPECT_TRUE(dropped.attachments.empty());

    // Sent takes only the user's own messages; an empty text drops nothing.
    EXPECT_EQ(DropRawMessageOnFolder(tree, sent, raw, outside, "me@example.com"),
              DropDecision::NotYours);
    EXPECT_EQ(DropRawMessageOnFolder(tree, work, "", outside, "me@example.com"),
              DropDecision::NoTarget);
    EXPECT_TRUE(sent.messages.empty());
    EXPECT_EQ(work.messages.size(), 1u);
}

}  // namespace
}  // namespace corvina
