// The store object: its watchers hear of every change by folder name and
// message key, and what the windows show decides which bodies stay loaded.

#include <gtest/gtest.h>

#include <filesystem>

#include "StoreTestHost.h"
#include "TestSupport.h"
#include "store/FolderTree.h"
#include "store/FolderWatcher.h"
#include "store/MailFolder.h"
#include "store/MailStore.h"
#include "store/Mailbox.h"

namespace corvina {
namespace {

namespace fs = std::filesystem;
using test::ScratchDir;
using test::WriteFileBytes;

std::string Message(std::string_view from) {
    return "From:" + std::string(from) + "\r\nTo:me\r\nSubject:s\r\n\r\nbody of " +
           std::string(from) + "\r\n.\r\n";
}

std::unique_ptr<MailMessage> NewMessage(std::string from) {
    auto m = std::make_unique<MailMessage>(0);
    m->from = std::move(from);
    m->AddBodyLine("text");
    m->bodyLoaded = true;
    return m;
}

// Takes itself off the store at its first notice.
struct LeavingWatcher : FolderWatcher {
    MailStore* store = nullptr;
    int told = 0;
    void MessageAdded(MailFolder&, const MessageRef&) override {
        ++told;
        store->RemoveWatcher(this);
    }
};

class StoreWatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        box = dir.Path() / "User0";
        fs::create_directories(box / "Work");
        WriteFileBytes(box / "InBox.mbx", Message("a") + Message("b"));
        WriteFileBytes(box / "Work.mbx", "");
        WriteFileBytes(box / "Work" / "Old.mbx", "");
        tree.BuildFolderTree(box, profiles, 0,
                             {"InBox", "OutBox", "Sent", "Draft", "Reminder", "Trash"});
    }
    MailFolder& Folder(std::string_view name) { return *tree.FindNode(name)->folder; }

    ScratchDir dir;
    fs::path box;
    ProfileTable profiles{};
    test::RecordingStore host;
    FolderTree tree{&host.store};
};

TEST_F(StoreWatchTest, DeliveryTellsEveryWatcherByNameAndKey) {
    LeavingWatcher leaving;
    leaving.store = &host.store;
    host.store.AddWatcher(&leaving);
    MailFolder& old = Folder("Work\\Old");
    FolderNode& work = *tree.FindNode("Work");
    work.expanded = false;

    const MailMessage* stored = DeliverMessage(tree.Context(), "work\\old", NewMessage("x"));
    ASSERT_NE(stored, nullptr);
    ASSERT_EQ(host.added.size(), 1u);
    EXPECT_EQ(host.added[0], (MessageRef{"Work\\Old", stored->key.Value()}));
    EXPECT_EQ(host.delivered[0], &old);
    // The nested folder's parent item opens, and its watchers hear of it.
    EXPECT_TRUE(work.expanded);
    EXPECT_EQ(host.changed, std::vector<MailFolder*>{work.folder.get()});

    // A watcher that left while being told hears nothing more.
    ASSERT_NE(DeliverMessage(tree.Context(), "InBox", NewMessage("y")), nullptr);
    EXPECT_EQ(leaving.told, 1);
    EXPECT_EQ(host.added.size(), 2u);
    EXPECT_EQ(host.added[1].folder, "InBox");
}

TEST_F(StoreWatchTest, AFileReplacedByAnotherProgramIsReloaded) {
    MailFolder& inbox = Folder("InBox");
    ASSERT_TRUE(LoadFolder(inbox, tree.Context()));
    WriteFileBytes(box / "new.mbx", Message("z"));
    fs::rename(box / "new.mbx", inbox.path);
    ASSERT_NE(DeliverMessage(tree.Context(), "InBox", NewMessage("y")), nullptr);
    EXPECT_EQ(host.reloaded, std::vector<MailFolder*>{&inbox});
    ASSERT_EQ(inbox.messages.size(), 2u);
    EXPECT_EQ(inbox.messages[0]->from, "z");
}

// Only what the windows show keeps its body in memory: a message stored
// into the shown folder, and the shown message when its folder is saved.
TEST_F(StoreWatchTest, WhatIsShownKeepsItsBodyLoaded) {
    MailFolder& inbox = Folder("InBox");
    const StoreContext context = tree.Context();
    ASSERT_TRUE(LoadFolder(inbox, context));
    host.store.SetShown(&inbox);
    EXPECT_TRUE(DeliverMessage(context, "InBox", NewMessage("shown"))->bodyLoaded);
    EXPECT_FALSE(DeliverMessage(context, "Work", NewMessage("elsewhere"))->bodyLoaded);

    MailMessage& viewed = *inbox.messages[0];
    MailMessage& other = *inbox.messages[1];
    LoadMessageBody(viewed);
    LoadMessageBody(other);
    host.store.SetShown(&inbox, &viewed);
    viewed.dirty = other.dirty = true;
    inbox.modified = true;
    ASSERT_TRUE(SaveFolder(inbox, false, context));
    EXPECT_TRUE(viewed.bodyLoaded);
    EXPECT_FALSE(other.bodyLoaded);

    // A copy is another message, and a folder that goes away is shown no more.
    const MailMessage copy(viewed);
    EXPECT_FALSE(host.store.KeepsBodyLoaded(copy));
    host.store.FolderReset(inbox);
    EXPECT_EQ(host.store.ShownFolder(), nullptr);
    EXPECT_FALSE(host.store.KeepsBodyLoaded(viewed));
}

}  // namespace
}  // namespace corvina
