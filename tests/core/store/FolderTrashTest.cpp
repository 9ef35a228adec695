// Emptying the Trash, dropping a message on a folder, and saving the
// tree's state: the folder operations that go through the mailbox files.

#include <gtest/gtest.h>

#include <filesystem>

#include "StoreTestHost.h"
#include "TestSupport.h"
#include "common/IniFile.h"
#include "message/MailMessage.h"
#include "store/EmptyTrash.h"
#include "store/FolderDrop.h"
#include "store/FolderOps.h"
#include "store/FolderTree.h"

namespace corvina {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::RecordingStore;
using test::ScratchDir;
using test::WriteFileBytes;

class FolderStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        box = dir.Path() / "User0";
        fs::create_directories(box / "Attach");
        profiles[0].address = "me@example.com";
    }
    void Build() {
        tree.BuildFolderTree(box, profiles, 0,
                             {"InBox", "OutBox", "Sent", "Draft", "Reminder", "Trash"});
    }
    FolderNode& Node(std::string_view name) { return *tree.FindNode(name); }
    int CtlValue(const fs::path& ctl, const char* section, const char* key) {
        IniFile ini;
        ini.Load(ctl);
        return ini.GetInt(section, key, -1);
    }

    ScratchDir dir;
    fs::path box;
    ProfileTable profiles{};
    RecordingStore host;
    FolderTree tree{&host.store};
};

class EmptyTrashTest : public FolderStoreTest {
protected:
    void SetUp() override {
        FolderStoreTest::SetUp();
        outside = dir.Path() / "outside.bin";
        WriteFileBytes(outside, "x");
        for (const char* f : {"f1.bin", "f2.bin", "f3.bin"})
            WriteFileBytes(box / "Attach" / f, f);
        trashText =
            "From:a@x\r\nTo:me\r\nSubject:one\r\nX-Marlo-Attachment-File:f1.bin\r\n"
            "X-Marlo-Attachment-File:" +
            outside.string() +
            "\r\n\r\nbody\r\n.\r\n"
            "From:b@x\r\nTo:me\r\nSubject:two\r\nStatus:R\r\n"
            "X-Marlo-Attachment-File:f2.bin\r\nX-Marlo-Attachment-File:f3.bin\r\n\r\n.\r\n";
        WriteFileBytes(box / "Trash.mbx", trashText);
        Build();
    }
    fs::path outside;
    std::string trashText;
};

TEST_F(EmptyTrashTest, CancelLeavesTrashUnchanged) {
    host.prompt.answers = {ConfirmAnswer::Yes, ConfirmAnswer::Cancel};
    EXPECT_EQ(EmptyTrash(tree), EmptyTrashResult::Cancelled);
    ASSERT_EQ(host.prompt.questions.size(), 2u);
    const Question& asked = host.prompt.questions[0];
    EXPECT_EQ(asked.caption, "Deleting Attachments");
    EXPECT_EQ(asked.buttons, ConfirmButtons::YesAllNoCancel);
    EXPECT_EQ(asked.preset, ConfirmAnswer::No);
    EXPECT_EQ(asked.text, "Do you want to delete this attachment file in the Trash box?\n\n" +
                              (box / "Attach" / "f1.bin").string() + "\n\nFrom: a@x\nSubject: one");
    EXPECT_EQ(ReadFileBytes(box / "Trash.mbx"), trashText);
    EXPECT_FALSE(fs::exists(box / "Attach" / "f1.bin"));  // answered Yes before Cancel
    EXPECT_TRUE(fs::exists(box / "Attach" / "f2.bin"));
    EXPECT_TRUE(fs::exists(box / "Attach" / "f3.bin"));
    EXPECT_TRUE(host.resetFolders.empty());
    EXPECT_EQ(AttachmentQuestionDetails("/a/f1.bin", "a@x", "one"),
              "/a/f1.bin\n\nFrom: a@x\nSubject: one");
}

TEST_F(EmptyTrashTest, YesToAllStopsAskingAndOutsideFilesStay) {
    host.store.SetShown(Node("Trash").folder.get());
    host.prompt.answers = {ConfirmAnswer::No, ConfirmAnswer::YesToAll};
    EXPECT_EQ(EmptyTrash(tree), EmptyTrashResult::Emptied);
    // The file outside the attachment directory is never offered.
    ASSERT_EQ(host.prompt.questions.size(), 2u);
    EXPECT_NE(host.prompt.questions[1].text.find((box / "Attach" / "f2.bin").string()),
              std::string::npos);
    EXPECT_TRUE(fs::exists(box / "Attach" / "f1.bin"));
    EXPECT_FALSE(fs::exists(box / "Attach" / "f2.bin"));
    EXPECT_FALSE(fs::exists(box / "Attach" / "f3.bin"));
    EXPECT_TRUE(fs::exists(outside));

    EXPECT_EQ(ReadFileBytes(box / "Trash.mbx"), "");
    const MailFolder& trash = *Node("Trash").folder;
    EXPECT_TRUE(trash.messages.empty());
    EXPECT_EQ(trash.total, 0);
    EXPECT_EQ(trash.unread, 0);
    EXPECT_EQ(CtlValue(box / "Trash.ctl", "Mail", "Total"), 0);
    EXPECT_EQ(CtlValue(box / "Trash.ctl", "Mail", "UnRead"), 0);
    ASSERT_EQ(host.resetFolders.size(), 1u);
    EXPECT_EQ(host.resetFolders[0], &trash);
}

TEST_F(EmptyTrashTest, NoHostKeepsAttachments) {
    FolderTree quiet(nullptr);
    quiet.BuildFolderTree(box, profiles, 0);
    EXPECT_EQ(EmptyTrash(quiet), EmptyTrashResult::Emptied);
    EXPECT_TRUE(fs::exists(box / "Attach" / "f1.bin"));
    EXPECT_EQ(ReadFileBytes(box / "Trash.mbx"), "");
}

std::unique_ptr<MailMessage> Message(std::string from, std::string to) {
    auto m = std::make_unique<MailMessage>();
    m->from = std::move(from);
    m->to = std::move(to);
    m->subject = "dropped";
    m->AddBodyLine("text");
    return m;
}

TEST_F(FolderStoreTest, DropDecisions) {
    WriteFileBytes(box / "Work.mbx", "");
    Build();
    const MailFolder& sent = *Node("Sent").folder;
    const MailFolder& work = *Node("Work").folder;
    const std::string me = "me@example.com";
    EXPECT_EQ(DecideDrop(sent, *Message("Other <other@x>", "me"), me), DropDecision::NotYours);
    EXPECT_EQ(DecideDrop(sent, *Message("Me <ME@Example.com>", "you@x"), me), DropDecision::Add);
    EXPECT_EQ(DecideDrop(sent, *Message("me@example.com", ""), me), DropDecision::Compose);
    EXPECT_EQ(DecideDrop(work, *Message("other@x", ""), me), DropDecision::Add);
    EXPECT_EQ(DecideDrop(*tree.CurrentRoot()->folder, *Message("me@example.com", "x"), me),
              DropDecision::NoTarget);
}

TEST_F(FolderStoreTest, DropOnCountAllFolder) {
    Build();
    MailFolder& draft = *Node("Draft").folder;
    EXPECT_EQ(DropMessageOnFolder(tree, draft, Message("other@x", "me"), "me@example.com"),
              DropDecision::NotYours);
    ASSERT_EQ(host.QuestionTexts().size(), 1u);
    EXPECT_EQ(host.QuestionTexts()[0], "This message is not yours");
    EXPECT_TRUE(draft.messages.empty());

    EXPECT_EQ(DropMessageOnFolder(tree, draft, Message("me@example.com", ""), "me@example.com"),
              DropDecision::Compose);
    ASSERT_EQ(host.composed.size(), 1u);
    EXPECT_EQ(host.composed[0]->subject, "dropped");
    EXPECT_TRUE(draft.messages.empty());

    EXPECT_EQ(
        DropMessageOnFolder(tree, draft, Message("me@example.com", "you@x"), "me@example.com"),
        DropDecision::Add);
    ASSERT_EQ(draft.messages.size(), 1u);
    EXPECT_TRUE(draft.modified);
    EXPECT_EQ(draft.messages[0]->owner, &draft);
}

TEST_F(FolderStoreTest, SaveCurrentStatusWritesExpandedForKindOne) {
    WriteFileBytes(box / "Work.mbx", "");
    fs::create_directories(box / "Work");
    WriteFileBytes(box / "Work" / "Old.mbx", "");
    WriteFileBytes(box / "Plain.mbx", "");
    Build();
    Node("Work").expanded = true;
    Node("OutBox").expanded = false;
    Node("Plain").expanded = true;
    EXPECT_TRUE(SaveCurrentStatus(tree));
    EXPECT_EQ(CtlValue(box / "Work.ctl", "Tree", "Expanded"), 1);
    EXPECT_EQ(CtlValue(box / "OutBox.ctl", "Tree", "Expanded"), 0);
    EXPECT_EQ(CtlValue(box / "Plain.ctl", "Tree", "Expanded"), -1);
    Build();
    EXPECT_TRUE(Node("Work").expanded);
}

}  // namespace
}  // namespace corvina
