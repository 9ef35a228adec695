// Folder names in another letter case reach the file that exists, at every
// level; the tree lists every folder file once, whatever links lead to it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "StoreTestHost.h"
#include "StoreTestMail.h"
#include "TestSupport.h"
#include "message/MailMessage.h"
#include "store/FolderNames.h"
#include "store/FolderOps.h"
#include "store/FolderTree.h"
#include "store/MailFolder.h"
#include "store/Mailbox.h"

namespace corvina {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::ScratchDir;
using test::WriteFileBytes;

const std::vector<std::string> kEnglishNames = {"InBox", "OutBox",   "Sent",
                                                "Draft", "Reminder", "Trash"};

std::string Message(std::string_view from) {
    return test::StoredMessage(from);
}
auto NewMessage(std::string from) {
    return test::NewStoreMessage(std::move(from));
}

int Count(const fs::path& mbx, const StoreContext& context) {
    MailFolder f(mbx);
    LoadFolder(f, context);
    return static_cast<int>(f.messages.size());
}

TEST(FolderFilePath, MatchesEveryLevelIgnoringCase) {
    ScratchDir dir;
    fs::create_directories(dir / "Work" / "Deep");
    fs::create_directories(dir / "OutBox");
    WriteFileBytes(dir / "Lists.mbx", "");
    WriteFileBytes(dir / "Work" / "Deep" / "Old.mbx", "");
    WriteFileBytes(dir / "OutBox" / "sent.mbx", "");
    EXPECT_EQ(FolderFilePath(dir.Path(), "lists"), dir / "Lists.mbx");
    EXPECT_EQ(FolderFilePath(dir.Path(), "LISTS"), dir / "Lists.mbx");
    EXPECT_EQ(FolderFilePath(dir.Path(), "work\\DEEP\\old"), dir / "Work" / "Deep" / "Old.mbx");
    EXPECT_EQ(FolderFilePath(dir.Path(), "Sent"), dir / "OutBox" / "sent.mbx");
    EXPECT_EQ(FolderFilePath(dir.Path(), "outbox\\SENT"), dir / "OutBox" / "sent.mbx");
    // New names: the levels that exist keep their case, the rest as typed.
    EXPECT_EQ(FolderFilePath(dir.Path(), "work\\New"), dir / "Work" / "New.mbx");
    EXPECT_EQ(FolderFilePath(dir.Path(), "work\\Other\\x"), dir / "Work" / "Other" / "x.mbx");
    EXPECT_EQ(FolderFilePath(dir.Path(), "Draft"), dir / "OutBox" / "Draft.mbx");
    // An exact match wins over another case; otherwise the choice is stable.
    WriteFileBytes(dir / "lists.mbx", "");
    EXPECT_EQ(FolderFilePath(dir.Path(), "lists"), dir / "lists.mbx");
    EXPECT_EQ(FolderFilePath(dir.Path(), "LiStS"), dir / "Lists.mbx");
    // A directory is not a folder file, nor a file a directory level.
    fs::create_directories(dir / "Box.mbx");
    WriteFileBytes(dir / "Plain", "");
    EXPECT_EQ(FolderFilePath(dir.Path(), "box"), dir / "box.mbx");
    EXPECT_EQ(FolderFilePath(dir.Path(), "plain\\x"), dir / "plain" / "x.mbx");
}

// "lists" typed, Lists.mbx on disk: the earlier messages stay and no second
// file appears, whether the folder is known to the tree or not.
TEST(FolderFilePath, DeliveryAndSaveUnderAnotherCaseKeepEarlierMail) {
    ScratchDir dir;
    test::RecordingStore host;
    const StoreContext context{dir.Path(), &host.store};
    fs::create_directories(dir / "Work");
    WriteFileBytes(dir / "Lists.mbx", Message("one") + Message("two"));
    WriteFileBytes(dir / "Work" / "Old.mbx", Message("old"));
    {
        MailFolder lists(dir / "Lists.mbx");
        ASSERT_NE(DeliverMessage(context, "lists", NewMessage("three")), nullptr);
        lists.messages.at(0)->read = true;
        lists.messages.at(0)->dirty = true;
        lists.modified = true;
        ASSERT_TRUE(SaveFolder(lists, false, context));
    }
    EXPECT_FALSE(fs::exists(dir / "lists.mbx"));
    EXPECT_EQ(Count(dir / "Lists.mbx", context), 3);

    // No folder objects at all (another account's folders, a filter rule).
    MailMessage m(0);
    m.from = "four";
    m.AddBodyLine("x");
    m.bodyLoaded = true;
    ASSERT_TRUE(AppendToFolderFile(m, "LISTS", context));
    ASSERT_TRUE(AppendToFolderFile(m, "WORK\\old", context));
    EXPECT_EQ(Count(dir / "Lists.mbx", context), 4);
    EXPECT_EQ(Count(dir / "Work" / "Old.mbx", context), 2);
    int mailboxes = 0;
    for (const auto& e : fs::directory_iterator(dir / "Work"))
        mailboxes += e.path().extension() == ".mbx" ? 1 : 0;
    EXPECT_EQ(mailboxes, 1);
    // A folder that exists in no case is created as typed.
    ASSERT_TRUE(AppendToFolderFile(m, "Work\\Fresh", context));
    EXPECT_TRUE(fs::exists(dir / "Work" / "Fresh.mbx"));
}

class FolderTreeOnDisk : public ::testing::Test {
protected:
    void SetUp() override {
        box = dir.Path() / "User0";
        fs::create_directories(box);
    }
    void Build() { tree.BuildFolderTree(box, profiles, 0, kEnglishNames); }
    int Nodes(std::string_view label) {
        int n = 0;
        for (FolderNode* node : tree.FolderNodes())
            n += node->label == label ? 1 : 0;
        return n;
    }

    ScratchDir dir;
    fs::path box;
    ProfileTable profiles{};
    test::RecordingStore host;
    FolderTree tree{&host.store};
};

// Special folders whose files exist in another case keep those files.
TEST_F(FolderTreeOnDisk, SpecialFoldersUseTheirFilesInAnyCase) {
    fs::create_directories(box / "outbox");
    WriteFileBytes(box / "inbox.mbx", Message("kept"));
    WriteFileBytes(box / "outbox" / "SENT.mbx", Message("sent"));
    Build();
    EXPECT_EQ(tree.Special(SpecialFolder::InBox)->folder->path, box / "inbox.mbx");
    EXPECT_EQ(tree.Special(SpecialFolder::Sent)->folder->path, box / "outbox" / "SENT.mbx");
    EXPECT_FALSE(fs::exists(box / "OutBox"));
    const StoreContext context = tree.Context();
    ASSERT_NE(DeliverMessage(context, "INBOX", NewMessage("new")), nullptr);
    EXPECT_FALSE(fs::exists(box / "InBox.mbx"));
    EXPECT_EQ(Count(box / "inbox.mbx", context), 2);
}

// Links that lead back to a directory above: each folder file once, and
// the scan ends.
TEST_F(FolderTreeOnDisk, SymbolicLinkLoopsListEachFolderOnce) {
    WriteFileBytes(box / "Loop.mbx", "");
    WriteFileBytes(box / "Again.mbx", "");
    WriteFileBytes(box / "Lists.mbx", "");
    fs::create_directory_symlink(".", box / "Loop");
    fs::create_directory_symlink(".", box / "Again");
    fs::create_directories(box / "Deep");
    WriteFileBytes(box / "Deep.mbx", "");
    WriteFileBytes(box / "Deep" / "Back.mbx", "");
    fs::create_directory_symlink("..", box / "Deep" / "Back");
    fs::create_symlink("Lists.mbx", box / "Alias.mbx");
    fs::create_symlink("InBox.mbx", box / "Mine.mbx");
    WriteFileBytes(box / "InBox.mbx", "");
    Build();
    EXPECT_EQ(Nodes("Loop"), 1);
    EXPECT_EQ(Nodes("Again"), 1);
    EXPECT_EQ(Nodes("Deep"), 1);
    EXPECT_EQ(Nodes("Back"), 1);
    EXPECT_EQ(Nodes("Lists") + Nodes("Alias"), 1);
    EXPECT_EQ(Nodes("Mine"), 0);  // InBox's own file
    EXPECT_EQ(Nodes("InBox"), 1);
    EXPECT_LE(tree.FolderNodes().size(), 14u);
}

// Directories the store creates are private to their owner.
TEST_F(FolderTreeOnDisk, MailDirectoriesAreCreatedForTheOwnerOnly) {
    const mode_t old = ::umask(0);
    fs::remove(box);
    Build();
    FolderNode* work = NewFolder(tree, nullptr);
    ASSERT_NE(work, nullptr);
    FolderNode* child = NewFolder(tree, work);
    ::umask(old);
    ASSERT_NE(child, nullptr);
    auto mode = [](const fs::path& p) {
        struct stat st {};
        EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
        return st.st_mode & 07777;
    };
    EXPECT_EQ(mode(box), 0700u);
    EXPECT_EQ(mode(box / "Attach"), 0700u);
    EXPECT_EQ(mode(box / "OutBox"), 0700u);
    EXPECT_EQ(mode(work->folder->path), 0600u);
    EXPECT_EQ(mode(ChildDirectoryPath(work->folder->path)), 0700u);
    EXPECT_EQ(mode(child->folder->path), 0600u);
}

}  // namespace
}  // namespace corvina
