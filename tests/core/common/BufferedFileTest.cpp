#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "common/BufferedFile.h"
#include "common/CodePage.h"
#include "common/MappedFile.h"

namespace corvina {
namespace {

using test::ReadFileBytes;
using test::ScratchDir;
using test::WriteFileBytes;

// Every line ReadLine returns for the given file content, until it
// returns 0 (bounded, so a reader that never ends fails the test).
std::vector<std::string> ReadAllLines(const ScratchDir& dir, std::string_view content,
                                      int size = 2048) {
    const auto path = dir / "in.txt";
    WriteFileBytes(path, content);
    BufferedFile file;
    EXPECT_TRUE(file.Open(path, BufferedFile::kRead));
    std::vector<std::string> lines;
    std::string line;
    for (int guard = 0; guard < 100000; ++guard) {
        const int n = file.ReadLine(line, size);
        if (n == 0) {
            break;
        }
        EXPECT_EQ(static_cast<std::size_t>(n), line.size());
        lines.push_back(line);
    }
    EXPECT_EQ(file.ReadLine(line, size), 0) << "stays at the end";
    file.Close();
    return lines;
}

using Lines = std::vector<std::string>;

TEST(BufferedFileRead, LineEndsAndTheExtraFinalLine) {
    ScratchDir dir;
    EXPECT_EQ(ReadAllLines(dir, "a\r\nb"), (Lines{"a\n", "b\n"}));
    EXPECT_EQ(ReadAllLines(dir, "a\n"), (Lines{"a\n", "\n"}));
    EXPECT_EQ(ReadAllLines(dir, ""), (Lines{"\n"}));
    EXPECT_EQ(ReadAllLines(dir, "a\r\n"), (Lines{"a\n", "\n"}));
    EXPECT_EQ(ReadAllLines(dir, "one\ntwo\r\nthree\n"), (Lines{"one\n", "two\n", "three\n", "\n"}));
}

TEST(BufferedFileRead, CarriageReturnRules) {
    ScratchDir dir;
    EXPECT_EQ(ReadAllLines(dir, "x\r\ry"), (Lines{"x\ry\n"}));
    EXPECT_EQ(ReadAllLines(dir, "x\r\r\nz"), (Lines{"x\n", "z\n"}));
    EXPECT_EQ(ReadAllLines(dir, "x\ry\n"), (Lines{"x\ry\n", "\n"}));
    // A CR at the very end is the last line's newline.
    EXPECT_EQ(ReadAllLines(dir, "a\r"), (Lines{"a\n"}));
    EXPECT_EQ(ReadAllLines(dir, "a\r\r"), (Lines{"a\r\n"}));
}

TEST(BufferedFileRead, EndOfFileMarkOnlyAsLastByte) {
    ScratchDir dir;
    EXPECT_EQ(ReadAllLines(dir, "a\nb\x1A"), (Lines{"a\n", "b\n"}));
    EXPECT_EQ(ReadAllLines(dir,
                           "a\x1A"
                           "b\n"),
              (Lines{"a\x1A"
                     "b\n",
                     "\n"}));
}

TEST(BufferedFileRead, NulIsAnOrdinaryByte) {
    ScratchDir dir;
    const std::string content("a\0b\nc", 5);
    const Lines lines = ReadAllLines(dir, content);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], std::string("a\0b\n", 4));
    EXPECT_EQ(lines[1], "c\n");
}

TEST(BufferedFileRead, LongLinesComeInPieces) {
    ScratchDir dir;
    std::string longLine;
    for (int i = 0; i < 5000; ++i) {
        longLine += static_cast<char>('a' + i % 26);
    }
    const Lines lines = ReadAllLines(dir, longLine + "\r\nnext\r\n", 2048);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], longLine.substr(0, 2047) + "\n");
    EXPECT_EQ(lines[1], longLine.substr(2047, 2047) + "\n");
    EXPECT_EQ(lines[2], longLine.substr(4094) + "\n");
    EXPECT_EQ(lines[3], "next\n");
    EXPECT_EQ(lines[4], "\n");

    // A line of exactly size - 1 bytes keeps its own line end: no empty
    // line appears after it, whatever the line end is.
    const std::string exact(2047, 'q');
    EXPECT_EQ(ReadAllLines(dir, exact + "\r\nz", 2048), (Lines{exact + "\n", "z\n"}));
    EXPECT_EQ(ReadAllLines(dir, exact + "\nz", 2048), (Lines{exact + "\n", "z\n"}));
    EXPECT_EQ(ReadAllLines(dir, exact, 2048), (Lines{exact + "\n"}));
}

TEST(BufferedFileRead, LinesAcrossBufferBoundaries) {
    ScratchDir dir;
    // CR LF pairs and CR CR LF triples straddling the 64 KB refill.
    for (std::size_t pad : {65534u, 65535u, 65536u}) {
        std::string content(pad, 'p');
        content += "\r\r\nafter\r\n";
        const Lines lines = ReadAllLines(dir, content, 200000);
        ASSERT_EQ(lines.size(), 3u) << pad;
        EXPECT_EQ(lines[0], std::string(pad, 'p') + "\n");
        EXPECT_EQ(lines[1], "after\n");
    }
    // Many short lines over several buffers arrive complete and in order.
    std::string many;
    for (int i = 0; i < 30000; ++i) {
        many += "line " + std::to_string(i) + "\r\n";
    }
    const Lines lines = ReadAllLines(dir, many);
    ASSERT_EQ(lines.size(), 30001u);
    EXPECT_EQ(lines[12345], "line 12345\n");
    EXPECT_EQ(lines[29999], "line 29999\n");
}

TEST(BufferedFileRead, TellSeekAndReadChar) {
    ScratchDir dir;
    const auto path = dir / "f.txt";
    WriteFileBytes(path, "abc\r\ndef\r\nghi");
    BufferedFile file;
    ASSERT_TRUE(file.Open(path, BufferedFile::kRead));
    char buf[64];
    EXPECT_EQ(file.ReadLine(buf, 63), 4);
    EXPECT_STREQ(buf, "abc\n");
    EXPECT_EQ(file.Tell(), 5);
    // Seeking drops what was buffered: the next line is read from there.
    EXPECT_EQ(file.Seek(10, BufferedFile::kSeekSet), 10);
    EXPECT_EQ(file.ReadLine(buf, 63), 4);
    EXPECT_STREQ(buf, "ghi\n");
    EXPECT_EQ(file.Seek(5, BufferedFile::kSeekSet), 5);
    EXPECT_EQ(file.ReadChar(), 'd');
    EXPECT_EQ(file.Seek(1, BufferedFile::kSeekCur), 7);
    EXPECT_EQ(file.ReadChar(), 'f');
    EXPECT_EQ(file.Seek(-1, BufferedFile::kSeekEnd), 12);
    EXPECT_EQ(file.ReadChar(), 'i');
    EXPECT_FALSE(file.AtEnd());
    EXPECT_EQ(file.ReadChar(), BufferedFile::kEndChar);
    EXPECT_TRUE(file.AtEnd());
    EXPECT_TRUE(file.Close());
    EXPECT_EQ(file.Seek(0, BufferedFile::kSeekSet), -1);
    EXPECT_EQ(file.Tell(), -1);
    EXPECT_TRUE(file.Close()) << "closing twice does nothing";
}

TEST(BufferedFileOpen, MissingFilesAndCreation) {
    ScratchDir dir;
    BufferedFile file;
    EXPECT_FALSE(file.Open(dir / "missing.txt", BufferedFile::kRead));
    EXPECT_FALSE(file.Open(dir / "no" / "dir.txt", BufferedFile::kWrite));
    EXPECT_FALSE(file.Open(dir.Path(), BufferedFile::kRead)) << "a directory";
    ASSERT_TRUE(file.Open(dir / "new.txt", BufferedFile::kWrite));
    EXPECT_FALSE(file.Open(dir / "other.txt", BufferedFile::kWrite)) << "already open";
    EXPECT_TRUE(file.Close());
    EXPECT_EQ(ReadFileBytes(dir / "new.txt"), "");
}

std::string WriteAndRead(const ScratchDir& dir, std::string_view text, int tabMode, bool noCr) {
    const auto path = dir / "out.txt";
    BufferedFile file;
    EXPECT_TRUE(file.Open(path, BufferedFile::kWrite));
    file.SetTabMode(tabMode);
    file.SetTabWidth(8);
    file.SetNoCr(noCr);
    EXPECT_EQ(file.Write(text), static_cast<long>(text.size()));
    EXPECT_TRUE(file.Close());
    return ReadFileBytes(path);
}

TEST(BufferedFileWrite, NewlinesAndTabs) {
    ScratchDir dir;
    EXPECT_EQ(WriteAndRead(dir, "a\tb\n", 1, false), "a       b\r\n");
    EXPECT_EQ(WriteAndRead(dir, "\"a\tb\"\n", 1, false), "\"a\tb\"\r\n");
    EXPECT_EQ(WriteAndRead(dir, "'a\tb' c\td\n", 1, false), "'a\tb' c    d\r\n");
    EXPECT_EQ(WriteAndRead(dir, "a\tb\n", 0, false), "a\tb\r\n");
    EXPECT_EQ(WriteAndRead(dir, "a\nb\n", 0, true), "a\nb\n");
    // Columns restart on each line of one call.
    EXPECT_EQ(WriteAndRead(dir, "abc\tx\n\ty\n", 1, false), "abc     x\r\n        y\r\n");
    // A NUL byte is written like any other.
    EXPECT_EQ(WriteAndRead(dir, std::string_view("a\0b\n", 4), 0, false),
              std::string("a\0b\r\n", 5));
}

TEST(BufferedFileWrite, TabColumnsCountDoubleWidthCharacters) {
    ScratchDir dir;
    const CodePage& saved = CodePage::Working();
    CodePage::SetWorking(932);
    // Two Shift_JIS characters take four columns: the tab fills four more.
    EXPECT_EQ(WriteAndRead(dir, "\x82\xA0\x82\xA2\tz\n", 1, false), "\x82\xA0\x82\xA2    z\r\n");
    CodePage::SetWorking(65001);
    EXPECT_EQ(WriteAndRead(dir, "\xC3\xA9\tz\n", 1, false), "\xC3\xA9       z\r\n");
    CodePage::SetWorking(saved.Id());
}

TEST(BufferedFileWrite, LargeWritesMatchOnePieceAndCutAtClose) {
    ScratchDir dir;
    std::string big;
    for (int i = 0; big.size() < 200000; ++i) {
        big += "row " + std::to_string(i) + "\n";
    }
    const std::string once = WriteAndRead(dir, big, 0, false);

    const auto path = dir / "pieces.txt";
    // An existing longer file is cut at the last written byte.
    WriteFileBytes(path, std::string(500000, 'X'));
    BufferedFile file;
    ASSERT_TRUE(file.Open(path, BufferedFile::kWrite));
    for (std::size_t at = 0; at < big.size();) {
        const std::size_t n = std::min<std::size_t>(777, big.size() - at);
        ASSERT_EQ(file.Write(big.data() + at, n), static_cast<long>(n));
        at += n;
    }
    EXPECT_EQ(file.Tell(), static_cast<long>(once.size()));
    ASSERT_TRUE(file.Close());
    EXPECT_EQ(ReadFileBytes(path), once);
    EXPECT_EQ(once.size(), big.size() + std::count(big.begin(), big.end(), '\n'));
}

TEST(BufferedFileWrite, AppendMirrorAndRawBytes) {
    ScratchDir dir;
    const auto path = dir / "mbox.txt";
    const auto mirror = dir / "mirror.txt";
    WriteFileBytes(path, "old\r\n");
    WriteFileBytes(mirror, "stale content that is longer");
    BufferedFile file;
    ASSERT_TRUE(file.Open(path, BufferedFile::kWrite));
    EXPECT_EQ(file.Seek(0, BufferedFile::kSeekEnd), 5);
    ASSERT_TRUE(file.OpenMirror(mirror));
    const std::string block(70000, 'm');  // more than one buffer
    EXPECT_EQ(file.Write(block), 70000);
    EXPECT_TRUE(file.WriteChar('\n'));  // raw: no CR added
    EXPECT_TRUE(file.Sync());
    EXPECT_TRUE(file.Close());
    EXPECT_EQ(ReadFileBytes(path), "old\r\n" + block + "\n");
    EXPECT_EQ(ReadFileBytes(mirror), block + "\n");
}

TEST(BufferedFileWrite, FailingMirrorIsDroppedAndTheMainWriteGoesOn) {
    ScratchDir dir;
    const auto path = dir / "main.txt";
    BufferedFile file;
    ASSERT_TRUE(file.Open(path, BufferedFile::kWrite));
    if (!file.OpenMirror("/dev/full")) {
        GTEST_SKIP() << "no /dev/full";
    }
    const std::string block(BufferedFile::kBufferData + 100, 'k');
    EXPECT_EQ(file.Write(block), static_cast<long>(block.size()));
    EXPECT_FALSE(file.HasMirror());
    EXPECT_FALSE(file.Failed());
    EXPECT_TRUE(file.Close());
    EXPECT_EQ(ReadFileBytes(path), block);
}

TEST(BufferedFileWrite, FailedWriteIsNotALength) {
    // /dev/full accepts the open and fails every write with ENOSPC.
    BufferedFile file;
    if (!file.Open("/dev/full", BufferedFile::kWrite)) {
        GTEST_SKIP() << "no /dev/full";
    }
    const std::string block(BufferedFile::kBufferData + 10, 'z');
    EXPECT_EQ(file.Write(block), BufferedFile::kWriteFailed);
    EXPECT_TRUE(file.Failed());
    EXPECT_NE(file.Error(), 0);
    EXPECT_FALSE(file.IsOpen()) << "a failed flush closes the handle";
    EXPECT_EQ(file.Write("more"), BufferedFile::kWriteFailed);
    EXPECT_FALSE(file.WriteChar('x'));
    EXPECT_FALSE(file.Close());

    // A small write only fails when it reaches the disk: Sync tells.
    BufferedFile small;
    ASSERT_TRUE(small.Open("/dev/full", BufferedFile::kWrite));
    EXPECT_EQ(small.Write("short\n"), 6);
    EXPECT_FALSE(small.Sync());
    EXPECT_FALSE(small.Close());
}

TEST(MappedFileTest, ViewLinesAndEmptyFile) {
    ScratchDir dir;
    WriteFileBytes(dir / "m.txt", std::string("ab\r\n\0c\nlast", 11));
    MappedFile map;
    ASSERT_TRUE(map.Open(dir / "m.txt"));
    EXPECT_EQ(map.Size(), 11u);
    std::string_view line;
    ASSERT_TRUE(map.NextLine(line));
    EXPECT_EQ(line, "ab\r\n");
    ASSERT_TRUE(map.NextLine(line));
    EXPECT_EQ(line, std::string_view("\0c\n", 3));
    ASSERT_TRUE(map.NextLine(line));
    EXPECT_EQ(line, "last");
    EXPECT_FALSE(map.NextLine(line));
    map.SetOffset(4);
    EXPECT_EQ(map.Cursor()[1], 'c');

    MappedFile moved = std::move(map);
    EXPECT_FALSE(map.IsOpen());
    EXPECT_EQ(moved.View().substr(0, 2), "ab");
    moved.Close();
    EXPECT_EQ(moved.Data(), nullptr);
    EXPECT_EQ(moved.Size(), 0u);

    WriteFileBytes(dir / "empty.txt", "");
    MappedFile empty;
    ASSERT_TRUE(empty.Open(dir / "empty.txt"));
    EXPECT_TRUE(empty.IsOpen());
    EXPECT_EQ(empty.Size(), 0u);
    EXPECT_NE(empty.Data(), nullptr);
    EXPECT_FALSE(empty.NextLine(line));

    EXPECT_FALSE(empty.Open(dir / "missing.txt"));
    EXPECT_FALSE(empty.IsOpen());
    EXPECT_FALSE(empty.Open(dir.Path())) << "a directory is no file";
}

}  // namespace
}  // namespace corvina
