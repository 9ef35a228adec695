// Receiving again from a backup log: complete messages go to the end of
// InBox unread, a trailing part without terminator is ignored, Escape
// stops after the current message.
#include <gtest/gtest.h>

#include <string>

#include "StoreTestHost.h"
#include "TestSupport.h"
#include "message/MailMessage.h"
#include "store/BackupLog.h"
#include "store/CompactHost.h"
#include "store/MailFolder.h"
#include "store/Mailbox.h"

namespace corvina {
namespace {

using test::ScratchDir;
using test::WriteFileBytes;

// Stands in for the MIME parser: the Subject and the body lines, the
// extra dot of the transfer form removed, stopping at the terminator.
void ParseForTest(MailMessage& m, std::string_view text) {
    bool header = true;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t lf = text.find('\n', pos);
        std::string_view line = text.substr(pos, lf - pos);
        pos = lf == std::string_view::npos ? text.size() : lf + 1;
        if (header) {
            if (line.empty()) {
                header = false;
            } else if (line.starts_with("Subject: ")) {
                m.subject = line.substr(9);
            } else if (line.starts_with("Status: ")) {
                m.SetStatus(line.substr(8));
            }
            continue;
        }
        if (line == ".") {
            break;
        }
        m.AddBodyLine(line.starts_with("..") ? line.substr(1) : line);
    }
    m.bodyLoaded = true;
}

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

const char kLog[] =
    "Subject: one\r\nStatus: R\r\n\r\nfirst\r\n..dot\r\n.\r\n"
    "Subject: two\r\n\r\nsecond\r\n.\r\n"
    "Subject: three\n\nthird\n.\n"
    "Subject: unfinished\r\n\r\nno terminator\r\n";

TEST(BackupLog, DeliversCompleteMessagesUnreadAtTheEndOfInBox) {
    Inbox box;
    WriteFileBytes(box.folder.path, "Subject: old\r\n\r\nold\r\n.\r\n");
    ASSERT_TRUE(LoadFolder(box.folder, box.context));
    box.folder.messages[0]->read = true;
    WriteFileBytes(box.dir / "19981207.mol", kLog);
    StopAfter never(1000);
    EXPECT_EQ(ReceiveBackupLog(box.dir / "19981207.mol", box.context, ParseForTest, &never), 3);
    EXPECT_EQ(never.idles, 3);
    EXPECT_EQ(box.folder.messages.size(), 4u);
    EXPECT_EQ(box.Subjects(),
              (std::vector<std::string>{"old/unread", "one/unread", "two/unread", "three/unread"}));
    LoadMessageBody(*box.folder.messages[1]);
    EXPECT_EQ(box.folder.messages[1]->bodyLines.Joined(), "first\n.dot\n");

    // Restoring the same log again adds the messages again.
    EXPECT_EQ(ReceiveBackupLog(box.dir / "19981207.mol", box.context, ParseForTest, nullptr), 3);
    EXPECT_EQ(box.Subjects().size(), 7u);
}

TEST(BackupLog, EscapeStopsAfterTheCurrentMessage) {
    Inbox box;
    WriteFileBytes(box.dir / "log.mol", kLog);
    StopAfter stop(2);
    EXPECT_EQ(ReceiveBackupLog(box.dir / "log.mol", box.context, ParseForTest, &stop), 2);
    EXPECT_EQ(box.Subjects(), (std::vector<std::string>{"one/unread", "two/unread"}));
}

TEST(BackupLog, MissingOrEmptyLogDeliversNothing) {
    Inbox box;
    EXPECT_EQ(ReceiveBackupLog(box.dir / "none.mol", box.context, ParseForTest, nullptr), 0);
    WriteFileBytes(box.dir / "empty.mol", "");
    EXPECT_EQ(ReceiveBackupLog(box.dir / "empty.mol", box.context, ParseForTest, nullptr), 0);
    EXPECT_FALSE(std::filesystem::exists(box.folder.path));
    EXPECT_EQ(BackupLogFileName(0).size(), 12u);
    EXPECT_TRUE(BackupLogFileName(0).ends_with(".mol"));
}

}  // namespace
}  // namespace corvina
