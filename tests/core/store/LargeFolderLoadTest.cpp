// Loading a folder of many megabytes, which the index pass reads in windows
// and gives back behind itself: messages that straddle the windows and
// pages, a line longer than a window, lone CRs and NUL bytes where a window
// ends, and a file that ends inside a message.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "StoreTestHost.h"
#include "TestSupport.h"
#include "message/MailMessage.h"
#include "store/FolderStat.h"
#include "store/MailFolder.h"
#include "store/Mailbox.h"

namespace corvina {
namespace {

using test::ScratchDir;
using test::WriteFileBytes;

constexpr std::size_t kMiB = std::size_t{1} << 20;
// Longest text of a body line before it is split.
constexpr std::size_t kLinePiece = kMaxLineBytes - 1;

struct Expected {
    std::string from;
    std::int64_t offset = 0;
    int lines = 0;
    bool read = false;
};

class FolderWriter {
public:
    std::string bytes;
    std::vector<Expected> messages;

    // A message with `lines` body lines; each line's end (CR LF, LF or a
    // lone CR) and an occasional NUL byte come from the generator.
    void Add(int lines, bool read) {
        Begin(read);
        for (int l = 0; l < lines; ++l) {
            std::string text(1 + Next() % 160, static_cast<char>('a' + l % 26));
            if (Next() % 9 == 0) {
                text[Next() % text.size()] = '\0';
            }
            bytes += text;
            bytes += LineEnd();
        }
        End(lines);
    }

    // A message whose terminator line ends `shift` bytes after `at` (which
    // lies ahead), its body padded with lines of up to 1,000 bytes.
    void AddEndingAt(std::size_t at, std::size_t shift) {
        Begin(false);
        std::size_t left = at + shift - bytes.size() - 3;  // before ".", CR LF
        int lines = 0;
        while (left > 0) {
            std::size_t length = std::min<std::size_t>(1000, left - 2);
            if (left - length - 2 == 1) {
                --length;  // never leave one byte: a line takes two at least
            }
            bytes += std::string(length, 'p') + "\r\n";
            left -= length + 2;
            ++lines;
        }
        bytes += ".\r\n";
        EXPECT_EQ(bytes.size(), at + shift);
        pending_.lines = lines;
        messages.push_back(pending_);
    }

    // A body of one line `length` bytes long, split into pieces.
    void AddLongLine(std::size_t length) {
        Begin(true);
        bytes += std::string(length, 'L');
        bytes += "\r\n";
        bytes += "after\r\n";
        End(static_cast<int>((length + kLinePiece - 1) / kLinePiece) + 1);
    }

    // Header and body with lone CRs only, a NUL at the start of the body.
    void AddCrOnly() {
        pending_ = {"cr" + std::to_string(messages.size()), static_cast<std::int64_t>(bytes.size()),
                    2, true};
        bytes += "From:" + pending_.from + "\rStatus:R\r\r";
        bytes += std::string(1, '\0');
        bytes += "one\rtwo\r.\r";
        messages.push_back(pending_);
    }

private:
    void Begin(bool read) {
        pending_ = {"m" + std::to_string(messages.size()), static_cast<std::int64_t>(bytes.size()),
                    0, read};
        bytes += "From:" + pending_.from + "\r\n";
        bytes += "Subject: window test\r\n";
        bytes += read ? "Status:RO\r\n" : "Status:O\r\n";
        bytes += "\r\n";
    }
    void End(int lines) {
        bytes += ".";
        bytes += LineEnd();
        pending_.lines = lines == 0 ? 1 : lines;  // an empty body shows one line
        messages.push_back(pending_);
    }
    const char* LineEnd() {
        switch (Next() % 5) {
            case 0:
                return "\n";
            case 1:
                return "\r";
            default:
                return "\r\n";
        }
    }
    unsigned Next() { return seed_ = seed_ * 1103515245u + 12345u, (seed_ >> 16) & 0x7fff; }

    unsigned seed_ = 11;
    Expected pending_;
};

void FillUpTo(FolderWriter& w, std::size_t size) {
    while (w.bytes.size() < size) {
        w.Add(static_cast<int>(w.bytes.size() / 997 % 60), w.messages.size() % 3 != 0);
    }
}

TEST(LargeFolderLoad, WindowsAndPagesNeverCutTheIndex) {
    FolderWriter w;
    FillUpTo(w, 4 * kMiB - 70000);
    w.AddEndingAt(4 * kMiB, 0);  // the next message starts on a window's edge
    w.AddCrOnly();
    FillUpTo(w, 8 * kMiB - 70000);
    w.AddEndingAt(8 * kMiB, 4096 * 3 - 1);  // CR | LF across a page
    w.AddCrOnly();
    FillUpTo(w, 9 * kMiB);
    w.AddLongLine(5 * kMiB + 12345);  // longer than a window
    w.AddCrOnly();
    FillUpTo(w, 17 * kMiB);
    const std::vector<Expected> expected = w.messages;
    w.bytes += "From:unfinished\r\nStatus:R\r\n\r\nno terminator\r\n";

    ScratchDir dir;
    test::RecordingStore host;
    const StoreContext context{dir.Path(), &host.store};
    MailFolder folder(dir / "InBox.mbx");
    WriteFileBytes(folder.path, w.bytes);
    ASSERT_TRUE(LoadFolder(folder, context));

    ASSERT_EQ(folder.messages.size(), expected.size());
    int unread = 0;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const MailMessage& m = *folder.messages[i];
        ASSERT_EQ(m.from, expected[i].from) << i;
        EXPECT_EQ(m.offset, expected[i].offset) << m.from;
        EXPECT_EQ(m.bodyLineCount, expected[i].lines) << m.from;
        EXPECT_EQ(m.read, expected[i].read) << m.from;
        unread += expected[i].read ? 0 : 1;
    }
    EXPECT_EQ(folder.total, static_cast<int>(expected.size()));
    EXPECT_EQ(folder.unread, unread);

    // The offsets lead the body reader to the same lines.
    for (std::size_t i = 0; i < expected.size(); ++i) {
        MailMessage& m = *folder.messages[i];
        const bool special = m.from[0] == 'c' || m.bodyLineCount > 60;
        if (m.bodyLoaded || (!special && i % 53 != 0 && i + 1 != expected.size())) {
            continue;
        }
        LoadMessageBody(m);
        EXPECT_EQ(static_cast<int>(m.bodyLines.size()), expected[i].lines) << m.from;
        ReleaseMessageBody(m);
    }

    // The counting scan of an unknown folder agrees.
    MailFolder unknown(dir / "Copy.mbx");
    WriteFileBytes(unknown.path, w.bytes);
    EXPECT_EQ(FolderHasUnread(unknown, context), unread > 0);
    EXPECT_EQ(ReadFolderStat(unknown, "Mail", "Total", -1), static_cast<int>(expected.size()));
    EXPECT_EQ(ReadFolderStat(unknown, "Mail", "UnRead", -1), unread);
}

}  // namespace
}  // namespace corvina
