// A rewrite never loses bytes it did not read: files changed by another
// writer since they were read, foreign or unfinished tails, backups on a
// full disk, and the modes of the files and directories the store creates.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "StoreTestHost.h"
#include "StoreTestMail.h"
#include "TestSupport.h"
#include "common/AtomicFile.h"
#include "message/MailMessage.h"
#include "store/Compact.h"
#include "store/MailFolder.h"
#include "store/Mailbox.h"

namespace corvina {
namespace {

namespace fs = std::filesystem;
using test::DataPath;
using test::ReadFileBytes;
using test::ScratchDir;
using test::WriteFileBytes;

std::string Message(std::string_view from, std::string_view body = "x\r\n") {
    return test::StoredMessage(from, body);
}
auto NewMessage(std::string from) {
    return test::NewStoreMessage(std::move(from));
}
auto Senders(const fs::path& mbx, const StoreContext& context) {
    return test::SendersIn(mbx, context);
}
using test::FileSizeLimit;

struct Box {
    ScratchDir dir;
    test::RecordingStore host;
    StoreContext context{dir.Path(), &host.store};
    MailFolder folder{dir / "InBox.mbx"};

    void Load(std::string_view bytes) {
        WriteFileBytes(folder.path, bytes);
        ASSERT_TRUE(LoadFolder(folder, context));
    }
    // Marks the first message read and saves: a rewrite from offset 0.
    bool ChangeFirstAndSave() {
        folder.messages.at(0)->read = true;
        folder.messages.at(0)->dirty = true;
        folder.modified = true;
        return SaveFolder(folder, false, context);
    }
};

// Appends in place, as another process's delivery does.
void AppendBytes(const fs::path& path, std::string_view bytes) {
    std::FILE* f = std::fopen(path.c_str(), "ab");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

// Another writer appended after the index was read: the rewrite keeps its
// messages after the rewritten part, and a later load indexes them.
TEST(FolderFileCheck, RewriteKeepsWhatAnotherWriterAppended) {
    Box box;
    box.Load(Message("a") + Message("b"));
    AppendBytes(box.folder.path, Message("other1") + Message("other2"));
    ASSERT_TRUE(box.ChangeFirstAndSave());
    EXPECT_TRUE(box.host.Errors().empty());
    EXPECT_EQ(Senders(box.folder.path, box.context),
              (std::vector<std::string>{"a", "b", "other1", "other2"}));
    // The index still ends before them; saving again keeps them once.
    box.folder.messages.at(1)->dirty = true;
    box.folder.modified = true;
    ASSERT_TRUE(SaveFolder(box.folder, false, box.context));
    EXPECT_EQ(Senders(box.folder.path, box.context),
              (std::vector<std::string>{"a", "b", "other1", "other2"}));

    // A delivery first indexes what others appended, so nothing is doubled.
    ASSERT_NE(DeliverMessage(box.context, "InBox", NewMessage("mine")), nullptr);
    ASSERT_EQ(box.folder.messages.size(), 5u);
    EXPECT_EQ(box.folder.messages[2]->from, "other1");
    EXPECT_EQ(box.folder.total, 5);
    ASSERT_TRUE(box.ChangeFirstAndSave());
    EXPECT_EQ(Senders(box.folder.path, box.context),
              (std::vector<std::string>{"a", "b", "other1", "other2", "mine"}));
}

// A message dropped on the folder (in the index only) and then messages
// indexed from another writer's appends: each is in the file once.
TEST(FolderFileCheck, UnsavedMessageBeforeCaughtUpOnesIsWrittenOnce) {
    Box box;
    box.Load(Message("a") + Message("b"));
    AddMessage(box.folder, NewMessage("dropped"), box.context);
    AppendBytes(box.folder.path, Message("other"));
    ASSERT_NE(DeliverMessage(box.context, "InBox", NewMessage("mine")), nullptr);
    ASSERT_TRUE(SaveFolder(box.folder, false, box.context));
    EXPECT_EQ(Senders(box.folder.path, box.context),
              (std::vector<std::string>{"a", "b", "dropped", "other", "mine"}));
    for (const auto& m : box.folder.messages) {
        LoadMessageBody(*m);
        EXPECT_FALSE(m->bodyLines.empty()) << m->from;
    }
}

// Once delivered, the index matches the file: another program's rewrite
// after the delivery leaves nothing for the next save to refuse.
TEST(FolderFileCheck, ADeliveryLeavesNothingToSave) {
    Box box;
    box.Load(Message("a"));
    ASSERT_NE(DeliverMessage(box.context, "InBox", NewMessage("mine")), nullptr);
    EXPECT_FALSE(box.folder.modified);
    const std::string bytes = ReadFileBytes(box.folder.path);
    WriteFileBytes(box.dir / "rewritten", bytes);
    fs::rename(box.dir / "rewritten", box.folder.path);
    SaveResult result = SaveResult::Failed;
    EXPECT_FALSE(SaveFolder(box.folder, false, box.context, &result));
    EXPECT_EQ(result, SaveResult::CountsOnly);
    EXPECT_TRUE(box.host.Errors().empty());
    EXPECT_EQ(ReadFileBytes(box.folder.path), bytes);
}

// Replaced, cut short or edited inside the read part: the save refuses,
// says what to do, and leaves the file as the other program left it.
TEST(FolderFileCheck, RewriteRefusesAFileChangedSinceItWasRead) {
    const std::string original = Message("a") + Message("b");
    const std::string replacement = Message("x") + Message("y") + Message("z");
    struct Case {
        const char* what;
        std::function<void(const fs::path&)> change;
    };
    const std::vector<Case> cases = {
        {"replaced by rename",
         [&](const fs::path& p) {
             WriteFileBytes(p.string() + ".new", replacement);
             fs::rename(p.string() + ".new", p);
         }},
        {"cut short", [&](const fs::path& p) { fs::resize_file(p, original.size() - 5); }},
        {"edited in place, same length",
         [&](const fs::path& p) {
             std::string bytes = ReadFileBytes(p);
             bytes[bytes.size() - 10] = 'Q';
             std::FILE* f = std::fopen(p.c_str(), "r+b");
             std::fwrite(bytes.data(), 1, bytes.size(), f);
             std::fclose(f);
         }},
        {"removed", [&](const fs::path& p) { fs::remove(p); }},
    };
    for (const Case& c : cases) {
        Box box;
        box.Load(original);
        c.change(box.folder.path);
        const bool existed = fs::exists(box.folder.path);
        const std::string after = existed ? ReadFileBytes(box.folder.path) : "";
        SaveResult result = SaveResult::Written;
        box.folder.messages.at(0)->dirty = true;
        box.folder.modified = true;
        EXPECT_FALSE(SaveFolder(box.folder, false, box.context, &result)) << c.what;
        EXPECT_EQ(result, SaveResult::Failed) << c.what;
        EXPECT_EQ(fs::exists(box.folder.path), existed) << c.what;
        if (existed) {
            EXPECT_EQ(ReadFileBytes(box.folder.path), after) << c.what;
        }
        ASSERT_EQ(box.host.Errors().size(), 1u) << c.what;
        EXPECT_EQ(box.host.Errors()[0],
                  "The folder InBox was changed by another program after it was read; it was "
                  "not saved. Open it again and repeat the change.");
        EXPECT_TRUE(box.folder.modified) << c.what;  // the change is still in memory
    }
}

// A delivery into a folder whose file another program replaced reads the
// file again instead of trusting offsets into the old one.
TEST(FolderFileCheck, DeliveryAfterAReplacementReadsTheFileAgain) {
    Box box;
    box.Load(Message("a") + Message("b"));
    WriteFileBytes(box.dir / "new.mbx", Message("x"));
    fs::rename(box.dir / "new.mbx", box.folder.path);
    ASSERT_NE(DeliverMessage(box.context, "InBox", NewMessage("mine")), nullptr);
    ASSERT_EQ(box.folder.messages.size(), 2u);
    EXPECT_EQ(box.folder.messages[0]->from, "x");
    ASSERT_TRUE(box.ChangeFirstAndSave());
    EXPECT_EQ(Senders(box.folder.path, box.context), (std::vector<std::string>{"x", "mine"}));
}

// A hand-copied mbox (no terminator lines) holds no complete message: the
// moved-in message is stored and the copied bytes stay, byte for byte.
TEST(FolderFileCheck, ForeignFileWithoutACompleteMessageKeepsItsBytes) {
    const std::string copied = ReadFileBytes(DataPath("store/hand-copied-mbox.mbx"));
    ASSERT_FALSE(copied.empty());
    {
        // Moved in by filtering: added to the index, written by the save.
        Box box;
        MailFolder archive(box.dir / "Archive.mbx");
        WriteFileBytes(archive.path, copied);
        AddMessage(archive, NewMessage("moved"), box.context);
        ASSERT_TRUE(SaveFolder(archive, false, box.context));
        const std::string after = ReadFileBytes(archive.path);
        EXPECT_NE(after.find(copied), std::string::npos);
        EXPECT_EQ(Senders(archive.path, box.context), std::vector<std::string>{"moved"});
        // Saved again: still there, once.
        archive.messages.at(0)->read = true;
        archive.messages.at(0)->dirty = true;
        archive.modified = true;
        ASSERT_TRUE(SaveFolder(archive, false, box.context));
        const std::string again = ReadFileBytes(archive.path);
        EXPECT_EQ(again.find(copied), again.rfind(copied));
        EXPECT_NE(again.find(copied), std::string::npos);
    }
    {
        // Delivered: appended after the copied bytes, which stay in front.
        Box box;
        MailFolder archive(box.dir / "Archive.mbx");
        WriteFileBytes(archive.path, copied);
        MailMessage* stored = DeliverMessage(box.context, "Archive", NewMessage("delivered"));
        ASSERT_NE(stored, nullptr);
        EXPECT_EQ(stored->from, "delivered");
        EXPECT_EQ(ReadFileBytes(archive.path).substr(0, copied.size()), copied);
        const auto senders = Senders(archive.path, box.context);
        ASSERT_FALSE(senders.empty());
        EXPECT_EQ(senders.back(), "delivered");
    }
}

// A stray line after the last message is not indexed, and a rewrite from
// the first message keeps it.
TEST(FolderFileCheck, RewriteFromTheStartKeepsAnUnfinishedTail) {
    const std::string file = ReadFileBytes(DataPath("store/unfinished-tail.mbx"));
    const std::string tail = "stray line pasted by hand";
    ASSERT_TRUE(file.ends_with(tail));
    Box box;
    box.Load(file);
    ASSERT_EQ(box.folder.messages.size(), 1u);
    ASSERT_TRUE(box.ChangeFirstAndSave());
    const std::string after = ReadFileBytes(box.folder.path);
    EXPECT_TRUE(after.ends_with(tail)) << after;
    EXPECT_NE(after.find("Status:R"), std::string::npos);
    // Deleting every message still leaves the bytes that were never read.
    box.folder.messages.clear();
    box.folder.modified = true;
    ASSERT_TRUE(SaveFolder(box.folder, false, box.context));
    EXPECT_EQ(ReadFileBytes(box.folder.path), tail);
}

TEST(CompactBackup, AFailedCopyNeverReplacesTheOlderBackup) {
    Box box;
    box.Load(Message("a", std::string(4000, 'x') + "\r\n"));
    const fs::path bak = CompactBackupPath(box.folder.path);
    WriteFileBytes(bak, "older backup");
    const std::string before = ReadFileBytes(box.folder.path);
    {
        FileSizeLimit limit(1000);
        EXPECT_FALSE(CompactFolder(box.folder, CompactMode::kMinimum, true, box.context, nullptr));
    }
    EXPECT_EQ(ReadFileBytes(bak), "older backup");
    EXPECT_EQ(ReadFileBytes(box.folder.path), before);
    ASSERT_FALSE(box.host.Errors().empty());
    EXPECT_NE(box.host.Errors()[0].find("older backup was kept"), std::string::npos)
        << box.host.Errors()[0];
    // No half-written copy is left beside it.
    for (const auto& e : fs::directory_iterator(box.dir.Path()))
        EXPECT_FALSE(e.path().filename().string().starts_with(".InBox.bak")) << e.path();
    box.host.prompt.notices.clear();

    // With room, the backup is the file as it was before compaction.
    ASSERT_TRUE(CompactFolder(box.folder, CompactMode::kMinimum, true, box.context, nullptr));
    EXPECT_EQ(ReadFileBytes(bak), before);
    EXPECT_TRUE(box.host.Errors().empty());

    // The same guarantee for any atomic copy.
    WriteFileBytes(box.dir / "big", std::string(5000, 'b'));
    WriteFileBytes(box.dir / "copy", "old");
    {
        FileSizeLimit limit(1000);
        int err = 0;
        EXPECT_FALSE(CopyFileAtomically(box.dir / "big", box.dir / "copy", 0600, &err));
        EXPECT_NE(err, 0);
    }
    EXPECT_EQ(ReadFileBytes(box.dir / "copy"), "old");
}

class Umask {
public:
    explicit Umask(mode_t mask) : old_(::umask(mask)) {}
    ~Umask() { ::umask(old_); }

private:
    mode_t old_;
};

mode_t ModeOf(const fs::path& p) {
    struct stat st {};
    EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
    return st.st_mode & 07777;
}

// With a permissive umask, every file the store creates is still private.
TEST(PrivateFiles, MailFilesAreCreatedForTheOwnerOnly) {
    Umask permissive(0);
    Box box;
    MailFolder work(box.dir / "Work.mbx");
    ASSERT_NE(DeliverMessage(box.context, "Work", NewMessage("a")), nullptr);
    EXPECT_EQ(ModeOf(work.path), 0600u);
    SaveFolder(work, false, box.context);  // writes the counts
    EXPECT_EQ(ModeOf(work.ControlFile()), 0600u);
    MailMessage copy(0);
    copy.from = "b";
    copy.AddBodyLine("x");
    copy.bodyLoaded = true;
    ASSERT_TRUE(AppendToFolderFile(copy, "Fresh", box.context));
    EXPECT_EQ(ModeOf(box.dir / "Fresh.mbx"), 0600u);
    ASSERT_TRUE(CompactFolder(work, CompactMode::kNormal, true, box.context, nullptr));
    EXPECT_EQ(ModeOf(CompactBackupPath(work.path)), 0600u);
    EXPECT_EQ(ModeOf(work.path), 0600u);
    ASSERT_TRUE(WriteFileAtomically(box.dir / "any.txt", "x"));
    EXPECT_EQ(ModeOf(box.dir / "any.txt"), 0600u);
}

}  // namespace
}  // namespace corvina
