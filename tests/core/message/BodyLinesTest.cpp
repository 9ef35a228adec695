#include <gtest/gtest.h>

#include <string>

#include "message/MailMessage.h"

namespace corvina {
namespace {

std::string Texts(const BodyLines& lines) {
    return lines.Joined();
}

// The editor edits a body line by line: lines go in and out anywhere, text
// is replaced, and a line taken out keeps its bytes until it is put back.
TEST(BodyLines, EditingLineByLineKeepsTextsFlagsAndStorage) {
    BodyLines lines;
    lines.Append("one\ntwo\nthree");
    lines.Line(1).lineFlags = kLineMarked | kLineMessage;
    lines.Line(1).rowCount = 3;

    EXPECT_TRUE(lines.InsertLine(1, "new\n"));
    EXPECT_TRUE(lines.InsertLine(lines.size(), "last\n"));
    EXPECT_EQ(Texts(lines), "one\nnew\ntwo\nthree\nlast\n");
    EXPECT_EQ(lines[1].lineFlags, 0);

    EXPECT_TRUE(lines.SetText(2, "TWO, longer\n"));
    EXPECT_EQ(lines[2].lineFlags, kLineMarked | kLineMessage);
    EXPECT_EQ(lines[2].rowCount, 0);

    MessageLine taken = lines.DetachLine(2);
    EXPECT_EQ(Texts(lines), "one\nnew\nthree\nlast\n");
    lines.Clear();  // the detached line's bytes stay its own
    EXPECT_EQ(taken.Text(), "TWO, longer\n");
    EXPECT_TRUE(lines.AttachLine(0, taken));
    EXPECT_EQ(Texts(lines), "TWO, longer\n");

    MessageLine freed = lines.DetachLine(0);
    BodyLines::ReleaseLine(freed);
    EXPECT_TRUE(lines.empty());
}

TEST(BodyLines, RefusesWhatIsNotOneWholeLine) {
    BodyLines lines;
    lines.Append("keep");
    for (std::string bad : {std::string(), std::string("no end"), std::string("two\nlines\n"),
                            std::string(kMaxLineBytes, 'x') + "\n"}) {
        EXPECT_FALSE(lines.InsertLine(0, bad));
        EXPECT_FALSE(lines.SetText(0, bad));
    }
    EXPECT_FALSE(lines.InsertLine(5, "x\n"));
    EXPECT_TRUE(lines.SetText(0, std::string(kMaxLineBytes - 1, 'y') + "\n"));
    EXPECT_EQ(lines[0].Length(), kMaxLineBytes);
}

TEST(BodyLines, ManyInsertsAndErasesInOneRegionKeepOrder) {
    BodyLines lines;
    for (int i = 0; i < 1000; ++i) {
        lines.Append(std::to_string(i));
    }
    // Delete 100 lines one by one in the middle, then put new ones there.
    for (int i = 0; i < 100; ++i) {
        MessageLine gone = lines.DetachLine(500);
        BodyLines::ReleaseLine(gone);
    }
    EXPECT_EQ(lines[500].Content(), "600");
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(lines.InsertLine(500, "x" + std::to_string(i) + "\n"));
    }
    EXPECT_EQ(lines.size(), 903u);
    EXPECT_EQ(lines[499].Content(), "499");
    EXPECT_EQ(lines[500].Content(), "x2");
    EXPECT_EQ(lines[503].Content(), "600");
    EXPECT_EQ(lines[902].Content(), "999");

    BodyLines copy = lines;  // flags and texts copy, storage is new
    lines.Clear();
    EXPECT_EQ(copy.size(), 903u);
    EXPECT_EQ(copy[501].Content(), "x1");
}

}  // namespace
}  // namespace corvina
