// Receiving again from a backup log: complete messages go to the end of
// InBox unread (a "Status: R" from outside is not trusted), a trailing
// part without terminator is ignored, Escape stops after the current
// message.
#include <gtest/gtest.h>

#include <string>

#include "StoreTestHost.h"
#include "TestSupport.h"
#include "message/MailMessage.h"
#include "message/mime/MessageParser.h"
#include "store/BackupLog.h"
#include "store/CompactHost.h"
#include "store/MailFolder.h"
#include "store/Mailbox.h"

namespace corvina {
namespace {

using test::ScratchDir;
using test::WriteFileBytes;

class StopAfter : public MaintenanceHost {
public:
    explicit StopAfter(int n) : left_(n) {}
    int idles = 0;
    void ProcessPendingInput() override { ++idles; }
    bool StopRequested() override { return --left_ <= 0; }

private:
    int left_;
};

struct Inbox {
    ScratchDir dir;
    test::RecordingStore storeHost;
    StoreContext context{dir.Path(), &storeHost.store};
    MailFolder folder{dir / "InBox.mbx"};
    ParseOptions received;

    Inbox() {
        received.mailboxDirectory = dir.Path();
        std::filesystem::copy_file(test::DataPath("store/backup-log-with-unfinished-tail.mol"),
                                   dir / "19981207.mol");
    }

    std::vector<std::string> Subjects() {
        MailFolder reloaded(dir / "Check.mbx");
        std::filesystem::copy_file(folder.path, reloaded.path,
                                   std::filesystem::copy_options::overwrite_existing);
        EXPECT_TRUE(LoadFolder(reloaded, context));
        std::vector<std::string> out;
        for (auto& m : reloaded.messages) {
            out.push_back(m->subject + (m->read ? "/read" : "/unread"));
        }
        std::filesystem::remove(reloaded.path);
        return out;
    }
};

TEST(BackupLog, DeliversCompleteMessagesUnreadAtTheEndOfInBox) {
    Inbox box;
    WriteFileBytes(box.folder.path, "Subject: old\r\n\r\nold\r\n.\r\n");
    ASSERT_TRUE(LoadFolder(box.folder, box.context));
    box.folder.messages[0]->read = true;
    StopAfter never(1000);
    EXPECT_EQ(ReceiveBackupLog(box.dir / "19981207.mol", box.context, box.received, &never), 3);
    EXPECT_EQ(never.idles, 3);
    EXPECT_EQ(box.folder.messages.size(), 4u);
    EXPECT_EQ(box.Subjects(),
              (std::vector<std::string>{"old/unread", "one/unread", "two/unread", "three/unread"}));
    LoadMessageBody(*box.folder.messages[1]);
    EXPECT_EQ(box.folder.messages[1]->bodyLines.Joined(), "first\n.dot\n");

    // Restoring the same log again adds the messages again.
    EXPECT_EQ(ReceiveBackupLog(box.dir / "19981207.mol", box.context, box.received, nullptr), 3);
    EXPECT_EQ(box.Subjects().size(), 7u);
}

TEST(BackupLog, EscapeStopsAfterTheCurrentMessage) {
    Inbox box;
    StopAfter stop(2);
    EXPECT_EQ(ReceiveBackupLog(box.dir / "19981207.mol", box.context, box.received, &stop), 2);
    EXPECT_EQ(box.Subjects(), (std::vector<std::string>{"one/unread", "two/unread"}));
}

TEST(BackupLog, MissingOrEmptyLogDeliversNothing) {
    Inbox box;
    EXPECT_EQ(ReceiveBackupLog(box.dir / "none.mol", box.context, box.received, nullptr), 0);
    WriteFileBytes(box.dir / "empty.mol", "");
    EXPECT_EQ(ReceiveBackupLog(box.dir / "empty.mol", box.context, box.received, nullptr), 0);
    EXPECT_FALSE(std::filesystem::exists(box.folder.path));
    EXPECT_EQ(BackupLogFileName(0).size(), 12u);
    EXPECT_TRUE(BackupLogFileName(0).ends_with(".mol"));
}

}  // namespace
}  // namespace corvina
