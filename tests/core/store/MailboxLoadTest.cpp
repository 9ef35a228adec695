// Reading mailbox files: the header rules of the index, line ends, bodies
// on demand and the control-file counts.
#include <gtest/gtest.h>

#include <string>

#include "StoreTestHost.h"
#include "TestSupport.h"
#include "common/IniFile.h"
#include "message/MailMessage.h"
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

TEST(MailboxLoad, SummaryFieldsAndTheNameTable) {
    Box box;
    ASSERT_TRUE(
        box.Load("From:    Ann <ann@example.org>\r\n"
                 "to: bob@example.org\r\n"
                 "Received: from a by b\r\n"
                 "Subject: Hello\r\n"
                 "Reply-To: r@example.org\r\n"
                 "Resent-From: fw@example.org\r\n"
                 "Resent-Message-Id: <rm@x>\r\n"
                 "X-Marlo-Decorded:1\r\n"
                 "X-Marlo-Reply:1\r\n"
                 "X-Marlo-Encoding:2\r\n"
                 "X-Marlo-ReplyFolder:Work\\Old\r\n"
                 "X-Marlo-Attachment-File:pic.jpg\r\n"
                 "X-Marlo-Attachment-File:/elsewhere/doc.pdf\r\n"
                 "X-Priority: 0\r\n"
                 "Message-Id: <m1@example.org>\r\n"
                 "Content-Type: multipart/mixed; boundary=\"b1 x\"\r\n"
                 "Content-Transfer-Encoding: 8bit\r\n"
                 "\r\n"
                 "body\r\n"
                 ".\r\n"));
    ASSERT_EQ(box.folder.messages.size(), 1u);
    MailMessage& m = box.At(0);
    EXPECT_EQ(m.from, "Ann <ann@example.org>");
    EXPECT_EQ(m.to, "bob@example.org");
    EXPECT_EQ(m.subject, "Hello");
    EXPECT_EQ(m.replyTo, "r@example.org");
    EXPECT_TRUE(m.hasResent);
    EXPECT_EQ(m.resentFrom, "fw@example.org");
    EXPECT_TRUE(m.decoded);
    EXPECT_TRUE(m.replied);
    EXPECT_EQ(m.encoding, 2);
    EXPECT_EQ(m.priority, 3);
    EXPECT_EQ(m.messageId, "<m1@example.org>");
    EXPECT_EQ(m.contentType, "multipart");
    EXPECT_EQ(m.contentSubtype, "mixed");
    EXPECT_EQ(m.boundary, "b1 x");
    EXPECT_EQ(m.transferEncoding, "8bit");
    ASSERT_EQ(m.attachments.size(), 2u);
    EXPECT_EQ(m.attachments[0].path, box.dir.Path() / "Attach" / "pic.jpg");
    EXPECT_EQ(m.attachments[1].path, "/elsewhere/doc.pdf");
    EXPECT_EQ(m.offset, 0);
    EXPECT_EQ(m.bodyLineCount, 1);
    EXPECT_FALSE(m.read);
    // Received, Reply-To, Resent-Message-Id, X-Marlo-ReplyFolder, Message-Id,
    // Content-Type, Content-Transfer-Encoding stay; the index keeps them in
    // the file until asked.
    EXPECT_EQ(m.otherHeaderCount, 7);
    EXPECT_FALSE(m.otherHeadersLoaded);
    ASSERT_TRUE(LoadOtherHeaders(m));
    ASSERT_EQ(m.otherHeaders.size(), 7u);
    EXPECT_EQ(m.otherHeaders[0], "Received: from a by b");
    EXPECT_EQ(m.otherHeaders[1], "Reply-To: r@example.org");
    EXPECT_EQ(m.otherHeaders[3], "X-Marlo-ReplyFolder:Work\\Old");
}

// A priority is 1 to 5 whatever the file says, and an empty attachment
// link names no file (not the attachment directory itself).
TEST(MailboxLoad, ValuesOutsideTheirRange) {
    Box box;
    ASSERT_TRUE(box.Load(ReadFileBytes(test::DataPath("store/out-of-range-values.mbx"))));
    ASSERT_EQ(box.folder.messages.size(), 3u);
    EXPECT_EQ(box.At(0).priority, 5);
    EXPECT_EQ(box.At(1).priority, 3);
    EXPECT_TRUE(box.At(2).attachments.empty());
}

TEST(MailboxLoad, ContentTypeBoundaryOnlyAsFirstParameterOfMultipart) {
    Box box;
    ASSERT_TRUE(
        box.Load("Content-Type: multipart/alternative; charset=x; boundary=zz\r\n\r\n.\r\n"
                 "Content-Type: text/html; boundary=zz\r\n\r\n.\r\n"
                 "Content-Type: Multipart/Mixed;\r\n\tBoundary=abc;x=y\r\n\r\n.\r\n"));
    ASSERT_EQ(box.folder.messages.size(), 3u);
    EXPECT_EQ(box.At(0).boundary, "");
    EXPECT_EQ(box.At(1).boundary, "");
    EXPECT_EQ(box.At(1).contentSubtype, "html");
    EXPECT_EQ(box.At(2).boundary, "abc");
}

TEST(MailboxLoad, ParentReferenceFromReferencesAndInReplyTo) {
    Box box;
    ASSERT_TRUE(
        box.Load("References: <a@x> <b@x>\r\nIn-Reply-To: <c@x>\r\n\r\n.\r\n"
                 "In-Reply-To: <c@x> (comment)\r\nReferences: <a@x>\r\n <b@x>\r\n\r\n.\r\n"
                 "In-Reply-To: no brackets  \r\n\r\n.\r\n"
                 "References: <a@x> >b@x<\r\n\r\n.\r\n"));
    ASSERT_EQ(box.folder.messages.size(), 4u);
    EXPECT_EQ(box.At(0).parentReference, "<b@x>");
    EXPECT_EQ(box.At(1).parentReference, "<b@x>");
    EXPECT_EQ(box.At(2).parentReference, "no brackets");
    EXPECT_EQ(box.At(3).parentReference, "<a@x> >b@x<");
}

TEST(MailboxLoad, ContinuationLinesAreJoined) {
    Box box;
    ASSERT_TRUE(
        box.Load("Subject: one\r\n   two\r\n\t=?iso-8859-1?q?three?=\r\n"
                 "DKIM-Signature: v=1;\r\n b=abc\r\n"
                 "\r\nx\r\n.\r\n"));
    ASSERT_EQ(box.folder.messages.size(), 1u);
    MailMessage& m = box.At(0);
    EXPECT_EQ(m.subject, "one two=?iso-8859-1?q?three?=");
    EXPECT_EQ(m.otherHeaderCount, 1);
    ASSERT_TRUE(LoadOtherHeaders(m));
    EXPECT_EQ(m.otherHeaders.at(0), "DKIM-Signature: v=1; b=abc");
}

TEST(MailboxLoad, LineEndsNulBytesAndAnIncompleteLastMessage) {
    Box box;
    // LF only, lone CR, a NUL inside a body, then a message without its
    // terminator line.
    std::string bytes = "From:a\nStatus:RO\n\nline\n.\n";
    bytes += "From:b\rSubject:s\r\rone\rtw";
    bytes += std::string(1, '\0');
    bytes += "o\r.\r";
    bytes += "From:c\r\n\r\nlast\r\n";
    ASSERT_TRUE(box.Load(bytes));
    ASSERT_EQ(box.folder.messages.size(), 2u);
    EXPECT_TRUE(box.At(0).read);
    EXPECT_EQ(box.At(1).from, "b");
    EXPECT_EQ(box.At(1).subject, "s");
    EXPECT_EQ(box.At(1).bodyLineCount, 2);
    EXPECT_EQ(box.At(1).offset, 25);
    EXPECT_EQ(box.folder.total, 2);
    EXPECT_EQ(box.folder.unread, 1);

    LoadMessageBody(box.At(1));
    ASSERT_EQ(box.At(1).bodyLines.size(), 2u);
    EXPECT_EQ(box.At(1).bodyLines[1].Text(), std::string("tw\0o\n", 5));
}

// The index counts body lines in a fast pass; reading the body back must
// give the same lines whatever the line ends, lengths and alignments.
TEST(MailboxLoad, IndexAndBodyReaderAgreeOnEveryLine) {
    Box box;
    std::string bytes;
    std::vector<int> expected;
    unsigned seed = 7;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7fff; };
    for (int i = 0; i < 300; ++i) {
        bytes += "From:m" + std::to_string(i) + "\r\n\r\n";
        const int lines = static_cast<int>(next() % 12);
        for (int l = 0; l < lines; ++l) {
            const unsigned kind = next() % 10;
            std::string text(next() % 90, static_cast<char>('a' + l % 26));
            if (kind == 0) {
                text = ".";  // stuffed form of a "." line
                text += ".";
            } else if (kind == 1) {
                text = ".x";
            }
            bytes += text;
            bytes += kind == 2 ? "\n" : kind == 3 && i % 7 == 0 ? "\r" : "\r\n";
        }
        if (i % 50 == 0) {
            bytes += std::string(70000, 'L') + "\r\n";  // split in two
        }
        bytes += i % 3 == 0 ? ".\n" : ".\r\n";
        expected.push_back(lines + (i % 50 == 0 ? 2 : 0));
    }
    ASSERT_TRUE(box.Load(bytes));
    ASSERT_EQ(box.folder.messages.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        MailMessage& m = box.At(i);
        EXPECT_EQ(m.from, "m" + std::to_string(i));
        const int indexed = m.bodyLineCount;
        EXPECT_EQ(indexed, std::max(expected[i], 1)) << i;
        if (m.bodyLoaded) {
            continue;  // an empty body: one empty line already
        }
        LoadMessageBody(m);
        EXPECT_EQ(static_cast<int>(m.bodyLines.size()), indexed) << i;
    }
}

TEST(MailboxLoad, CountsGoToTheControlFileAndCountAllFolders) {
    Box box;
    const std::string two = "From:a\r\n\r\n.\r\nFrom:b\r\nStatus:R\r\n\r\nx\r\n.\r\n";
    ASSERT_TRUE(box.Load(two));
    EXPECT_EQ(box.folder.unread, 1);
    EXPECT_EQ(ReadFolderStat(box.folder, "Mail", "Total", -1), 2);
    EXPECT_EQ(ReadFolderStat(box.folder, "mail", "unread", -1), 1);
    // A message without body lines gets one empty line, already loaded.
    EXPECT_TRUE(box.At(0).bodyLoaded);
    EXPECT_EQ(box.At(0).bodyLineCount, 1);

    MailFolder sent(box.dir / "OutBox" / "Sent.mbx");
    sent.countAll = true;
    std::filesystem::create_directories(box.dir / "OutBox");
    WriteFileBytes(sent.path, two);
    ASSERT_TRUE(LoadFolder(sent, box.context));
    EXPECT_EQ(sent.total, 2);
    EXPECT_EQ(sent.unread, 2);
}

TEST(MailboxLoad, MissingFileAndIdleCallback) {
    Box box;
    box.folder.total = 5;
    EXPECT_FALSE(LoadFolder(box.folder, box.context));
    EXPECT_TRUE(box.folder.messages.empty());
    EXPECT_EQ(box.folder.total, 5);

    std::string many;
    for (int i = 0; i < 250; ++i) {
        many += "From:x\r\n\r\nb\r\n.\r\n";
    }
    ASSERT_TRUE(box.Load(many));
    EXPECT_EQ(box.folder.messages.size(), 250u);
    EXPECT_EQ(box.host.idleCalls, 2);
}

TEST(MailboxLoad, BodiesOnDemandUnstuffAndSplitLongLines) {
    Box box;
    const std::string longLine(70000, 'a');
    ASSERT_TRUE(box.Load("From:a\r\n\r\n..\r\n.x\r\n" + longLine + "\r\n...\r\n.\r\n"));
    MailMessage& m = box.At(0);
    EXPECT_EQ(m.bodyLineCount, 5);
    EXPECT_FALSE(m.bodyLoaded);
    LoadMessageBody(m);
    ASSERT_TRUE(m.bodyLoaded);
    ASSERT_EQ(m.bodyLines.size(), 5u);
    EXPECT_EQ(m.bodyLines[0].Text(), ".\n");
    EXPECT_EQ(m.bodyLines[1].Text(), ".x\n");
    EXPECT_EQ(m.bodyLines[2].Length(), kMaxLineBytes);
    EXPECT_EQ(m.bodyLines[3].Content(), std::string(70000 - (kMaxLineBytes - 1), 'a'));
    EXPECT_EQ(m.bodyLines[4].Text(), "...\n");

    ReleaseMessageBody(m);
    EXPECT_FALSE(m.bodyLoaded);
    EXPECT_TRUE(m.bodyLines.empty());
    // A dirty message keeps what it holds.
    LoadMessageBody(m);
    m.dirty = true;
    ReleaseMessageBody(m);
    EXPECT_TRUE(m.bodyLoaded);
}

TEST(MailboxLoad, UnreadableBodyShowsOneEmptyLine) {
    Box box;
    ASSERT_TRUE(box.Load("From:a\r\n\r\ntext\r\n.\r\n"));
    MailMessage& m = box.At(0);
    std::filesystem::remove(box.folder.path);
    LoadMessageBody(m);
    EXPECT_TRUE(m.bodyLoaded);
    ASSERT_EQ(m.bodyLines.size(), 1u);
    EXPECT_EQ(m.bodyLines[0].Text(), "\n");
}

TEST(FolderHasUnread, UsesTheCheapestSource) {
    Box box;
    // Control file says unread; the file (read, both) is never looked at.
    WriteFileBytes(box.folder.path, "From:a\r\nStatus:R\r\n\r\n.\r\n");
    ASSERT_TRUE(WriteFolderCounts(box.folder, 1, 1));
    EXPECT_TRUE(FolderHasUnread(box.folder, box.context));
    ASSERT_TRUE(WriteFolderCounts(box.folder, 1, 0));
    EXPECT_FALSE(FolderHasUnread(box.folder, box.context));

    // Known counts come before the control file.
    box.folder.unread = 3;
    EXPECT_TRUE(FolderHasUnread(box.folder, box.context));
}

TEST(FolderHasUnread, ScansWhenNothingIsKnown) {
    Box box;
    WriteFileBytes(box.folder.path,
                   "From:a\r\nStatus:R\r\n\r\n.\r\nFrom:b\r\nstatus:O\r\n\r\nx\r\n.\r\n");
    EXPECT_TRUE(FolderHasUnread(box.folder, box.context));
    EXPECT_EQ(ReadFolderStat(box.folder, "Mail", "Total", -1), 2);
    EXPECT_EQ(ReadFolderStat(box.folder, "Mail", "UnRead", -1), 1);

    // A message without a Status line answers at once; nothing is written.
    MailFolder other(box.dir / "Other.mbx");
    WriteFileBytes(other.path, "From:a\r\n\r\n.\r\nFrom:b\r\nStatus:R\r\n\r\n.\r\n");
    EXPECT_TRUE(FolderHasUnread(other, box.context));
    EXPECT_FALSE(std::filesystem::exists(other.ControlFile()));

    // In a count-all folder every message counts.
    MailFolder outbox(box.dir / "OutBox.mbx");
    outbox.countAll = true;
    WriteFileBytes(outbox.path, "From:a\r\nStatus:RS\r\n\r\n.\r\n");
    EXPECT_TRUE(FolderHasUnread(outbox, box.context));
    EXPECT_EQ(ReadFolderStat(outbox, "Mail", "UnRead", -1), 1);

    // A loaded index answers from itself.
    ASSERT_TRUE(LoadFolder(box.folder, box.context));
    box.folder.unread = -1;
    box.At(1).read = true;
    EXPECT_FALSE(FolderHasUnread(box.folder, box.context));
}

}  // namespace
}  // namespace corvina
