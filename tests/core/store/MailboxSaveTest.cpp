// Writing mailbox files: the header block, rewriting from the first
// changed message, failures that must leave the file alone, appending and
// delivery.
#include <gtest/gtest.h>

#include <string>

#include "StoreTestHost.h"
#include "StoreTestMail.h"
#include "TestSupport.h"
#include "common/BufferedFile.h"
#include "message/MailMessage.h"
#include "message/mime/MessageParser.h"
#include "store/FolderStat.h"
#include "store/MailFolder.h"
#include "store/Mailbox.h"

namespace corvina {
namespace {

using test::ReadFileBytes;
using test::ScratchDir;
using test::WriteFileBytes;

struct Box {
    ScratchDir dir;
    test::RecordingStore host;
    StoreContext context{dir.Path(), &host.store};
    MailFolder folder{dir / "InBox.mbx"};

    bool Load(std::string_view bytes) {
        WriteFileBytes(folder.path, bytes);
        return LoadFolder(folder, context);
    }
    MailMessage& At(std::size_t i) { return *folder.messages.at(i); }
};

std::unique_ptr<MailMessage> NewMessage(std::string from, std::string subject,
                                        std::initializer_list<std::string_view> body) {
    auto m = std::make_unique<MailMessage>(0);
    m->from = std::move(from);
    m->to = "to@example.org";
    m->subject = std::move(subject);
    for (std::string_view line : body) {
        m->AddBodyLine(line);
    }
    m->bodyLoaded = true;
    return m;
}

std::string Message(std::string_view from, std::string_view body) {
    return "From:" + std::string(from) + "\r\nTo:x\r\nSubject:s\r\nX-Priority:3\r\n\r\n" +
           std::string(body) + ".\r\n";
}

using test::FileSizeLimit;

TEST(WriteMessage, HeaderBlockOrderAndStoreLines) {
    ScratchDir dir;
    MailMessage m(0);
    m.from = "a@x";
    m.to = "b@x";
    m.cc = "c@x";
    m.resentFrom = "r@x";
    m.resentDate = "Mon, 1 Jan 2024 00:00:00 +0000";
    m.subject = "";
    m.date = "Tue, 2 Jan 2024 00:00:00 +0000";
    m.priority = 1;
    m.status = "O";
    m.read = true;
    m.otherHeaders = {"Received: by z", "X-Evil: a\r\nFrom:forged"};
    m.attachments.push_back({dir.Path() / "Attach" / "f.txt"});
    m.attachments.push_back({"/tmp/other.bin"});
    m.decoded = true;
    m.replied = true;
    m.encoding = 1;
    m.AddBodyLine(".");
    m.AddBodyLine(".x");
    m.bodyLoaded = true;
    const auto path = dir / "Out.mbx";
    BufferedFile file;
    ASSERT_TRUE(file.Open(path, BufferedFile::kWrite));
    ASSERT_TRUE(WriteMessage(m, file, dir.Path()));
    ASSERT_TRUE(file.Close());
    EXPECT_EQ(ReadFileBytes(path),
              "From:a@x\r\nTo:b@x\r\nCc:c@x\r\nResent-From:r@x\r\n"
              "Resent-Date:Mon, 1 Jan 2024 00:00:00 +0000\r\nSubject:\r\n"
              "Date:Tue, 2 Jan 2024 00:00:00 +0000\r\nX-Priority:1\r\nStatus:RO\r\n"
              "Received: by z\r\nX-Evil: a  From:forged\r\n"
              "X-Marlo-Attachment-File:f.txt\r\nX-Marlo-Attachment-File:/tmp/other.bin\r\n"
              "X-Marlo-Decorded:1\r\nX-Marlo-Reply:1\r\nX-Marlo-Encoding:1\r\n"
              "\r\n..\r\n.x\r\n.\r\n");
    EXPECT_EQ(m.offset, 0);
    EXPECT_FALSE(m.dirty);
}

// Two To lines are one list of addresses: a rewrite keeps both.
TEST(SaveFolder, RewriteKeepsTheAddressesOfRepeatedToLines) {
    Box box;
    ASSERT_TRUE(box.Load(ReadFileBytes(test::DataPath("store/two-to-lines.mbx"))));
    box.At(0).dirty = true;
    box.folder.modified = true;
    ASSERT_TRUE(SaveFolder(box.folder, false, box.context));
    EXPECT_NE(ReadFileBytes(box.folder.path).find("\r\nTo:bob@example.org, carol@example.org\r\n"),
              std::string::npos)
        << ReadFileBytes(box.folder.path);
}

TEST(SaveFolder, RoundTripKeepsEveryField) {
    Box box;
    // Several blanks after the colon are not written back; "O" marked read
    // becomes "RO"; an empty body is one empty line.
    ASSERT_TRUE(
        box.Load("From:     a@x\r\nTo: b@x\r\nStatus: O\r\nReceived: one\r\nX-Priority: 2\r\n"
                 "X-Marlo-Attachment-File:pic.png\r\n\r\n..\r\n.x\r\n.\r\n"
                 "From:b@x\r\nTo:c@x\r\nSubject:empty\r\n\r\n.\r\n"));
    box.At(0).read = true;
    box.At(0).dirty = true;
    box.folder.modified = true;
    ASSERT_TRUE(SaveFolder(box.folder, false, box.context));
    const std::string first =
        "From:a@x\r\nTo:b@x\r\nSubject:\r\nX-Priority:2\r\nStatus:RO\r\n"
        "Received: one\r\nX-Marlo-Attachment-File:pic.png\r\n\r\n..\r\n.x\r\n.\r\n";
    EXPECT_EQ(ReadFileBytes(box.folder.path),
              first + "From:b@x\r\nTo:c@x\r\nSubject:empty\r\nX-Priority:3\r\n\r\n\r\n.\r\n");
    EXPECT_FALSE(box.folder.modified);
    EXPECT_EQ(box.folder.unread, 1);
    EXPECT_FALSE(box.At(0).bodyLoaded);  // released after the save

    ASSERT_TRUE(LoadFolder(box.folder, box.context));
    ASSERT_EQ(box.folder.messages.size(), 2u);
    EXPECT_EQ(box.At(0).status, "RO");
    EXPECT_TRUE(box.At(0).read);
    EXPECT_EQ(box.At(0).priority, 2);
    EXPECT_EQ(box.At(0).attachments.at(0).path, box.dir.Path() / "Attach" / "pic.png");
    EXPECT_EQ(box.At(1).offset, static_cast<std::int64_t>(first.size()));
    LoadMessageBody(box.At(0));
    EXPECT_EQ(box.At(0).bodyLines.Joined(), ".\n.x\n");
}

TEST(SaveFolder, RewritesFromTheFirstDirtyMessageOnly) {
    Box box;
    const std::string a = Message("a", "one\r\n");
    const std::string b = Message("b", "two\r\n");
    const std::string c = Message("c", "three\r\n");
    ASSERT_TRUE(box.Load(a + b + c));

    // Mark the last read: the first two stay byte for byte.
    box.At(2).read = true;
    box.At(2).dirty = true;
    box.folder.modified = true;
    ASSERT_TRUE(SaveFolder(box.folder, false, box.context));
    const std::string cRead = Message("c", "three\r\n").insert(39, "Status:R\r\n");
    EXPECT_EQ(ReadFileBytes(box.folder.path), a + b + cRead);
    EXPECT_EQ(box.folder.unread, 2);
    EXPECT_EQ(ReadFolderStat(box.folder, "Mail", "UnRead", -1), 2);

    // Delete the first: the whole file is rewritten with new offsets.
    box.folder.messages.erase(box.folder.messages.begin());
    LoadMessageBody(box.At(0));
    box.At(0).dirty = true;
    box.folder.modified = true;
    ASSERT_TRUE(SaveFolder(box.folder, true, box.context));
    EXPECT_EQ(ReadFileBytes(box.folder.path), b + cRead);
    EXPECT_EQ(box.At(0).offset, 0);
    EXPECT_EQ(box.At(1).offset, static_cast<std::int64_t>(b.size()));
    EXPECT_TRUE(box.At(1).bodyLoaded);  // kept on request
    EXPECT_EQ(box.folder.total, 2);

    // Delete the last: rewritten from its predecessor and cut there.
    box.folder.messages.pop_back();
    box.At(0).dirty = true;
    box.folder.modified = true;
    ASSERT_TRUE(SaveFolder(box.folder, false, box.context));
    EXPECT_EQ(ReadFileBytes(box.folder.path), b);

    // Not modified: only the counts.
    SaveResult result;
    EXPECT_FALSE(SaveFolder(box.folder, false, box.context, &result));
    EXPECT_EQ(result, SaveResult::CountsOnly);
}

// A rewrite copies bodies that would come out unchanged and rebuilds the
// rest; keeping the bodies forces the rebuild everywhere. Both must give
// the same file.
TEST(SaveFolder, CopiedAndRebuiltBodiesGiveTheSameFile) {
    const std::string bytes = Message("first", "x\r\n") + Message("crlf", "a\r\n..\r\n.x\r\n\r\n") +
                              Message("lf", "a\nb\r\n") + Message("lone-cr", "a\rb\r\n") +
                              Message("long", std::string(70000, 'q') + "\r\n") +
                              "From:empty\r\nReceived: x\r\n y\r\n\r\n.\r\n" +
                              Message("nul", std::string("n\0l\r\n", 5));
    std::string results[2];
    for (int keep = 0; keep < 2; ++keep) {
        Box box;
        ASSERT_TRUE(box.Load(bytes));
        ASSERT_EQ(box.folder.messages.size(), 7u);
        box.At(0).dirty = true;
        box.folder.modified = true;
        ASSERT_TRUE(SaveFolder(box.folder, keep == 1, box.context));
        results[keep] = ReadFileBytes(box.folder.path);
        ASSERT_TRUE(LoadFolder(box.folder, box.context));
        EXPECT_EQ(box.folder.messages.size(), 7u);
    }
    EXPECT_EQ(results[0], results[1]);
    EXPECT_NE(results[0].find("a\r\nb\r\n.\r\nFrom:lone-cr"), std::string::npos);
    EXPECT_NE(results[0].find("Received: x y\r\n"), std::string::npos);
}

TEST(SaveFolder, NulByteSurvivesLoadAndSave) {
    Box box;
    const std::string withNul = Message("a", std::string("x\0y\r\n", 5));
    const std::string b = Message("b", "after\r\n");
    ASSERT_TRUE(box.Load(withNul + b));
    ASSERT_EQ(box.folder.messages.size(), 2u);
    box.folder.messages.erase(box.folder.messages.begin() + 1);
    box.folder.messages.push_back(NewMessage("n", "new", {"fresh"}));
    box.folder.messages.back()->owner = &box.folder;
    box.folder.messages.back()->dirty = true;
    box.At(0).dirty = true;
    box.folder.modified = true;
    ASSERT_TRUE(SaveFolder(box.folder, false, box.context));
    ASSERT_TRUE(LoadFolder(box.folder, box.context));
    ASSERT_EQ(box.folder.messages.size(), 2u);
    LoadMessageBody(box.At(0));
    EXPECT_EQ(box.At(0).bodyLines.Joined(), std::string("x\0y\n", 4));
    EXPECT_EQ(box.At(1).subject, "new");
}

TEST(SaveFolder, WriteFailureLeavesFileAndIndexUnchanged) {
    Box box;
    std::string bytes;
    for (int i = 0; i < 40; ++i) {
        bytes += Message("m" + std::to_string(i), std::string(2000, 'x') + "\r\n");
    }
    ASSERT_TRUE(box.Load(bytes));
    std::vector<std::int64_t> offsets;
    for (auto& m : box.folder.messages) {
        offsets.push_back(m->offset);
    }
    box.folder.messages.erase(box.folder.messages.begin());
    box.At(0).dirty = true;
    box.folder.modified = true;
    SaveResult result = SaveResult::Written;
    {
        FileSizeLimit limit(bytes.size() / 2);
        EXPECT_FALSE(SaveFolder(box.folder, false, box.context, &result));
    }
    EXPECT_EQ(result, SaveResult::Failed);
    EXPECT_EQ(ReadFileBytes(box.folder.path), bytes);
    EXPECT_FALSE(std::filesystem::exists(box.folder.path.string() + ".saving"));
    EXPECT_TRUE(box.folder.modified);
    EXPECT_TRUE(box.At(0).dirty);
    for (std::size_t i = 0; i < box.folder.messages.size(); ++i) {
        EXPECT_EQ(box.At(i).offset, offsets[i + 1]);
    }
    ASSERT_EQ(box.host.Errors().size(), 1u);

    // Once there is room again the same save goes through.
    ASSERT_TRUE(SaveFolder(box.folder, false, box.context));
    EXPECT_EQ(ReadFileBytes(box.folder.path), bytes.substr(offsets[1]));
}

TEST(AppendToFolderFile, CreatesTheFileAndCutsBackAFailedAppend) {
    Box box;
    auto m = NewMessage("a", "s", {"hello"});
    ASSERT_TRUE(AppendToFolderFile(*m, "sent", box.context) == false);  // no OutBox dir
    std::filesystem::create_directories(box.dir / "OutBox");
    ASSERT_TRUE(AppendToFolderFile(*m, "sent", box.context));
    const auto sent = box.dir / "OutBox" / "Sent.mbx";
    const std::string first = ReadFileBytes(sent);
    EXPECT_EQ(first,
              "From:a\r\nTo:to@example.org\r\nSubject:s\r\nX-Priority:3\r\n\r\nhello\r\n.\r\n");
    EXPECT_EQ(m->offset, 0);

    auto big = NewMessage("b", "big", {std::string(200000, 'z')});
    {
        FileSizeLimit limit(first.size() + 1000);
        EXPECT_FALSE(AppendToFolderFile(*big, "OutBox\\Sent", box.context));
    }
    EXPECT_EQ(ReadFileBytes(sent), first);
    EXPECT_EQ(big->offset, -1);
}

TEST(DeliverMessage, ResolvesFoldersFallsBackToInBoxAndNotifies) {
    Box box;
    std::filesystem::create_directories(box.dir / "OutBox");
    std::filesystem::create_directories(box.dir / "Work");
    MailFolder sent(box.dir / "OutBox" / "Sent.mbx");
    sent.countAll = true;
    MailFolder nested(box.dir / "Work" / "Old.mbx");
    box.host.store.SetShown(&sent);

    MailMessage* m = DeliverMessage(box.context, "sent", NewMessage("a", "one", {"x"}));
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->owner, &sent);
    EXPECT_FALSE(m->dirty);
    EXPECT_EQ(m->offset, 0);
    EXPECT_EQ(sent.total, 1);
    EXPECT_EQ(sent.unread, 1);
    EXPECT_TRUE(std::filesystem::exists(box.dir / "OutBox" / "Sent.mbx"));

    ASSERT_NE(DeliverMessage(box.context, "Work\\Old", NewMessage("b", "two", {"y"})), nullptr);
    EXPECT_FALSE(nested.messages.back()->bodyLoaded);  // not shown: read back on demand
    LoadMessageBody(*nested.messages.back());
    EXPECT_EQ(nested.messages.back()->bodyLines.Joined(), "y\n");

    ASSERT_NE(DeliverMessage(box.context, "NoSuch", NewMessage("c", "three", {"z"})), nullptr);
    ASSERT_EQ(box.folder.messages.size(), 1u);
    EXPECT_EQ(box.folder.messages[0]->subject, "three");
    EXPECT_EQ(box.host.delivered, (std::vector<MailFolder*>{&sent, &nested, &box.folder}));
    EXPECT_TRUE(box.host.store.SyncDeliveries());

    // A message moved from one folder to another carries its body along.
    auto moved = std::move(nested.messages.back());
    nested.messages.pop_back();
    ASSERT_NE(DeliverMessage(box.context, "InBox", std::move(moved)), nullptr);
    ASSERT_TRUE(LoadFolder(box.folder, box.context));
    ASSERT_EQ(box.folder.messages.size(), 2u);
    LoadMessageBody(*box.folder.messages[1]);
    EXPECT_EQ(box.folder.messages[1]->bodyLines.Joined(), "y\n");
}

// A file cut short inside its last message (a crash, another program)
// must not swallow what is stored after it.
TEST(DeliverMessage, AfterAnUnfinishedLastMessageStaysSeparate) {
    for (const std::string tail :
         {"From:cut\r\n\r\npartial", "From:cut\r\nSubject:x\r\n", "From:cut\r\n\r\nline\r\n"}) {
        Box box;
        const std::string before = Message("a", "x\r\n") + tail;
        ASSERT_TRUE(box.Load(before));
        ASSERT_EQ(box.folder.messages.size(), 1u);
        ASSERT_NE(DeliverMessage(box.context, "InBox", NewMessage("new", "s", {"b"})), nullptr);
        // Through SaveFolder too: a new message after clean ones goes at the end.
        box.folder.messages.push_back(NewMessage("saved", "s", {"c"}));
        box.folder.messages.back()->owner = &box.folder;
        box.folder.messages.back()->dirty = true;
        box.folder.modified = true;
        ASSERT_TRUE(SaveFolder(box.folder, false, box.context));
        EXPECT_EQ(ReadFileBytes(box.folder.path).substr(0, before.size()), before);

        MailFolder again(box.dir / "InBox.mbx");
        ASSERT_TRUE(LoadFolder(again, box.context));
        ASSERT_EQ(again.messages.size(), 4u) << tail;
        EXPECT_EQ(again.messages[1]->from, "cut");
        EXPECT_EQ(again.messages[2]->from, "new");
        EXPECT_EQ(again.messages[3]->from, "saved");
    }
    // A complete file gets nothing in between.
    Box box;
    ASSERT_TRUE(box.Load(Message("a", "x\r\n")));
    ASSERT_NE(DeliverMessage(box.context, "InBox", NewMessage("new", "s", {"b"})), nullptr);
    EXPECT_EQ(box.folder.messages.back()->offset,
              static_cast<std::int64_t>(Message("a", "x\r\n").size()));
}

TEST(DeliverMessage, ReportsWhatCouldNotBeStored) {
    ScratchDir dir;
    test::RecordingStore host;
    StoreContext context{dir.Path(), &host.store};
    EXPECT_EQ(DeliverMessage(context, "InBox", NewMessage("a", "s", {"x"})), nullptr);

    MailFolder inbox(dir / "InBox.mbx");
    ASSERT_NE(DeliverMessage(context, "InBox", NewMessage("a", "s", {"x"})), nullptr);
    const std::string before = ReadFileBytes(inbox.path);
    {
        FileSizeLimit limit(before.size() + 10);
        EXPECT_EQ(
            DeliverMessage(context, "InBox", NewMessage("b", "big", {std::string(9000, 'q')})),
            nullptr);
    }
    EXPECT_EQ(ReadFileBytes(inbox.path), before);
    EXPECT_EQ(inbox.messages.size(), 1u);
    EXPECT_EQ(inbox.total, 1);

    // An enclosed message opened from the attachment pane goes to the shown
    // folder, parsed as outside mail: its store lines are not trusted.
    ParseOptions outside;
    outside.mailboxDirectory = dir.Path();
    const std::string enclosed =
        "From: c@example.org\nSubject: enclosed\nX-Marlo-Status: R\n\nbody\n";
    EXPECT_FALSE(DeliverToShownFolder(context, enclosed, outside));
    host.store.SetShown(&inbox);
    EXPECT_TRUE(DeliverToShownFolder(context, enclosed, outside));
    ASSERT_EQ(inbox.messages.size(), 2u);
    EXPECT_EQ(inbox.messages.back()->subject, "enclosed");
    EXPECT_FALSE(inbox.messages.back()->read);
}

TEST(LinePool, BlocksReturnWhenTheirLinesAreReleased) {
    LinePool& pool = LinePool::Shared();
    const std::size_t before = pool.BlocksInUse();
    {
        BodyLines lines;
        for (int i = 0; i < 3000; ++i) {
            lines.Append(std::string(100, 'a' + i % 26));
        }
        EXPECT_GE(pool.BlocksInUse(), before + 4);
        BodyLines copy = lines;
        EXPECT_EQ(copy.Joined(), lines.Joined());
        EXPECT_EQ(lines.Append("a\r\nb\rc\n"), 3u);
    }
    EXPECT_LE(pool.BlocksInUse(), before + 1);
}

}  // namespace
}  // namespace corvina
