// Folder maintenance: compaction in both modes with the .bak copy, and
// reorganisation into date order; both rewrite the whole file.
#include <gtest/gtest.h>

#include <string>

#include "StoreTestHost.h"
#include "TestSupport.h"
#include "message/MailMessage.h"
#include "store/Compact.h"
#include "store/CompactHost.h"
#include "store/MailFolder.h"
#include "store/Mailbox.h"
#include "store/Reorganise.h"

namespace corvina {
namespace {

using test::ReadFileBytes;
using test::ScratchDir;
using test::WriteFileBytes;

class RecordingMaintenanceHost : public MaintenanceHost {
public:
    int waits = 0, ends = 0, idles = 0;
    void BeginWait() override { ++waits; }
    void EndWait() override { ++ends; }
    void ProcessPendingInput() override { ++idles; }
};

const char kRichMessage[] =
    "Received: from a by b\r\n"
    "Received: from c\r\n"
    "\tby d\r\n"
    "From: Alice <alice@example.org>\r\n"
    "To: bob@example.org\r\n"
    "Cc: carol@example.org\r\n"
    "Subject: hello\r\n"
    "Date: Mon, 07 Dec 1998 09:45:03 +0900\r\n"
    "Message-Id: <1@example.org>\r\n"
    "In-Reply-To: <0@example.org>\r\n"
    "References: <a@example.org> <0@example.org>\r\n"
    "MIME-Version: 1.0\r\n"
    "Content-Type: text/plain; charset=us-ascii\r\n"
    "X-Mailer: Test\r\n"
    "\r\n"
    "body line\r\n"
    ".\r\n";

struct Box {
    ScratchDir dir;
    test::RecordingStore storeHost;
    RecordingMaintenanceHost host;
    StoreContext context{dir.Path(), &storeHost.store};
    MailFolder folder{dir / "InBox.mbx"};

    std::vector<std::string> HeadersOfReloaded(std::size_t i) {
        MailFolder reloaded(dir / "Other.mbx");
        std::filesystem::copy_file(folder.path, reloaded.path);
        EXPECT_TRUE(LoadFolder(reloaded, context));
        MailMessage& m = *reloaded.messages.at(i);
        EXPECT_TRUE(LoadOtherHeaders(m));
        std::filesystem::remove(reloaded.path);
        return m.otherHeaders;
    }
};

std::string Joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& l : lines) {
        out += l;
        out += '|';
    }
    return out;
}

TEST(Compact, MinimumKeepsFieldsFirstReferenceAndMessageId) {
    Box box;
    WriteFileBytes(box.folder.path, kRichMessage);
    ASSERT_TRUE(CompactFolder(box.folder, CompactMode::kMinimum, false, box.context, &box.host));
    std::vector<std::string> kept = box.HeadersOfReloaded(0);
    EXPECT_EQ(Joined(kept), "Message-Id: <1@example.org>|In-Reply-To: <0@example.org>|");
    const std::string file = ReadFileBytes(box.folder.path);
    for (const char* field : {"Alice <alice@example.org>", "bob@example.org", "carol@example.org",
                              "hello", "Mon, 07 Dec 1998"}) {
        EXPECT_NE(file.find(field), std::string::npos) << field;
    }
    for (const char* gone :
         {"Received", "MIME-Version", "Content-Type", "X-Mailer", "References"}) {
        EXPECT_EQ(file.find(gone), std::string::npos) << gone;
    }
    EXPECT_NE(file.find("body line\r\n.\r\n"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(box.dir / "InBox.bak"));
    EXPECT_EQ(box.host.waits, 1);
    EXPECT_EQ(box.host.ends, 1);
    EXPECT_EQ(box.storeHost.reloaded.size(), 1u);
}

TEST(Compact, NormalRemovesOnlyReceivedAndKeepsABackup) {
    Box box;
    const std::string original = std::string(kRichMessage) + kRichMessage;
    WriteFileBytes(box.folder.path, original);
    WriteFileBytes(box.dir / "InBox.bak", "an older copy");
    ASSERT_TRUE(CompactFolder(box.folder, CompactMode::kNormal, true, box.context, &box.host));
    EXPECT_EQ(ReadFileBytes(box.dir / "InBox.bak"), original);
    ASSERT_EQ(box.folder.messages.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(Joined(box.HeadersOfReloaded(i)),
                  "Message-Id: <1@example.org>|In-Reply-To: <0@example.org>|"
                  "References: <a@example.org> <0@example.org>|MIME-Version: 1.0|"
                  "Content-Type: text/plain; charset=us-ascii|X-Mailer: Test|");
    }
    EXPECT_EQ(ReadFileBytes(box.folder.path).find("Received"), std::string::npos);
}

TEST(Compact, HeaderRulesAndBackupName) {
    // The first of In-Reply-To and References stays, whichever comes
    // first; names compare without regard to case.
    const std::vector<std::string> lines = {"references: <r>", "In-Reply-To: <i>",
                                            "MESSAGE-ID: <m>", "received: x", "Message-Id: <n>"};
    EXPECT_EQ(Joined(CompactHeaderLines(lines, CompactMode::kMinimum)),
              "references: <r>|MESSAGE-ID: <m>|Message-Id: <n>|");
    EXPECT_EQ(Joined(CompactHeaderLines(lines, CompactMode::kNormal)),
              "references: <r>|In-Reply-To: <i>|MESSAGE-ID: <m>|Message-Id: <n>|");

    EXPECT_EQ(CompactBackupPath("/m/User0/Lists.Work.mbx"),
              std::filesystem::path("/m/User0/Lists.Work.bak"));
    EXPECT_EQ(CompactBackupPath("/m.d/User0/Box"), std::filesystem::path("/m.d/User0/Box.bak"));

    MailFolder root;
    root.kind = 0;
    EXPECT_FALSE(CompactEnabled(&root));
    EXPECT_FALSE(CompactEnabled(nullptr));
    MailFolder user;
    EXPECT_TRUE(CompactEnabled(&user));
}

TEST(Compact, FailedRewriteLeavesTheFileAlone) {
    Box box;
    WriteFileBytes(box.folder.path, kRichMessage);
    ASSERT_TRUE(LoadFolder(box.folder, box.context));
    // The message's text is gone from where the index says it is.
    WriteFileBytes(box.folder.path, "short");
    EXPECT_FALSE(CompactFolder(box.folder, CompactMode::kMinimum, false, box.context, &box.host));
    EXPECT_EQ(ReadFileBytes(box.folder.path), "short");
    EXPECT_FALSE(box.folder.messages[0]->dirty);
    EXPECT_TRUE(box.storeHost.reloaded.empty());
}

std::string Dated(std::string_view subject, std::string_view date) {
    return "From: a@example.org\r\nSubject: " + std::string(subject) +
           "\r\nDate: " + std::string(date) + "\r\n\r\nbody of " + std::string(subject) +
           "\r\n.\r\n";
}

TEST(Reorganise, RewritesTheFileInDateOrder) {
    Box box;
    WriteFileBytes(box.folder.path, Dated("third", "Tue, 08 Dec 1998 10:00:00 +0000") +
                                        Dated("first", "Mon, 07 Dec 1998 09:00:00 +0000") +
                                        // 08:30 UTC, earlier than "third" in spite of its hour
                                        Dated("second", "Tue, 08 Dec 1998 17:30:00 +0900") +
                                        Dated("first-too", "Mon, 07 Dec 1998 09:00:00 +0000"));
    ASSERT_TRUE(ReorganiseFolder(box.folder, box.context, &box.host));
    MailFolder reloaded(box.dir / "InBox.mbx");
    ASSERT_TRUE(LoadFolder(reloaded, box.context));
    std::vector<std::string> order;
    for (auto& m : reloaded.messages) {
        LoadMessageBody(*m);
        EXPECT_EQ(m->bodyLines.Joined(), "body of " + m->subject + "\n");
        order.push_back(m->subject);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"first", "first-too", "second", "third"}));
    EXPECT_EQ(box.storeHost.reloaded.size(), 1u);
}

}  // namespace
}  // namespace corvina
