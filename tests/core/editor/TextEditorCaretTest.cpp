#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "RecordingEditorHost.h"

namespace corvina {
namespace {

using test::TestEditor;

// Every character start of `line`, as the caret must visit them.
std::vector<std::size_t> CharStarts(std::string_view line, int codePage) {
    std::vector<std::size_t> starts;
    const CodePage& page = CodePage::Get(codePage);
    for (std::size_t pos = 0; pos + 1 < line.size();) {
        starts.push_back(pos);
        pos += static_cast<std::size_t>(std::max(1, page.CharLength(line, pos)));
    }
    starts.push_back(line.size() - 1);
    return starts;
}

TEST(TextEditorCaret, WalksCharacterByCharacterInBothCodePages) {
    struct Case {
        int codePage;
        std::string line;
    };
    const Case cases[] = {
        {932, "a\x82\xa0\tb\xb1\x88\x9f\x82\n"},  // kana, a lead byte before the LF
        {65001, "a\xc3\xa9\xe6\x97\xa5\xf0\x9f\x98\x80x\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.codePage);
        TestEditor t(c.line + "next\n", c.codePage);
        const std::vector<std::size_t> starts = CharStarts(c.line, c.codePage);
        std::vector<std::size_t> right{t.editor.CaretOffset()};
        while (t.editor.CaretLine() == 0 && right.back() + 1 < c.line.size()) {
            t.editor.CaretRight();
            right.push_back(t.editor.CaretOffset());
        }
        EXPECT_EQ(right, starts);
        std::vector<std::size_t> left{t.editor.CaretOffset()};
        while (t.editor.CaretOffset() > 0) {
            t.editor.CaretLeft();
            left.push_back(t.editor.CaretOffset());
        }
        EXPECT_EQ(std::vector<std::size_t>(left.rbegin(), left.rend()), starts);
        // A place inside a character is taken back to its start.
        EXPECT_FALSE(t.editor.MoveCaretTo(0, starts[1] + 1));
        EXPECT_EQ(t.editor.CaretOffset(), starts[1]);
    }
}

TEST(TextEditorCaret, EdgesOfTheText) {
    TestEditor empty("");
    EXPECT_EQ(empty.editor.Text(), "\n");
    EXPECT_EQ(empty.editor.CaretRow(), 0);
    EXPECT_EQ(empty.editor.CaretColumn(), 0);
    EXPECT_EQ(empty.editor.TotalRows(), 1);
    empty.editor.CaretLeft();
    empty.editor.CaretRight();
    EXPECT_EQ(empty.editor.Caret(), (TextPlace{0, 0}));

    TestEditor t("ab\ncd\n");
    t.editor.CaretLeft();  // at the start of the text
    EXPECT_EQ(t.editor.Caret(), (TextPlace{0, 0}));
    t.editor.MoveCaretTo(1, 2);
    t.editor.CaretRight();  // on the last LF
    EXPECT_EQ(t.editor.Caret(), (TextPlace{1, 2}));
    t.editor.DeleteChar();  // deleting the last LF does nothing
    EXPECT_EQ(t.editor.Text(), "ab\ncd\n");
    t.editor.CaretLeft();
    t.editor.CaretLeft();
    t.editor.CaretLeft();  // over the line start to the previous LF
    EXPECT_EQ(t.editor.Caret(), (TextPlace{0, 2}));
}

TEST(TextEditorCaret, RowsAndColumnsFollowTheWrapWidth) {
    TestEditor t("0123456789abcdefghij0123\nxy\n\x82\xa0\x82\xa0\x82\xa0\x82\xa0\x82\xa0z\n");
    t.editor.SetTabAndWrap(8, 10);
    EXPECT_EQ(t.editor.TotalRows(), 3 + 1 + 2);
    t.editor.MoveCaretTo(0, 23);
    EXPECT_EQ(t.editor.CaretRow(), 2);
    EXPECT_EQ(t.editor.CaretColumn(), 3);
    // Down keeps the desired column; a short line takes the caret to its
    // end, the next row gets the column back.
    t.editor.CaretDown();
    EXPECT_EQ(t.editor.Caret(), (TextPlace{1, 2}));
    t.editor.CaretDown();
    EXPECT_EQ(t.editor.CaretRow(), 4);
    EXPECT_EQ(t.editor.Caret(), (TextPlace{2, 2}));  // column 3 is inside a wide character
    t.editor.CaretUp();
    t.editor.CaretUp();
    EXPECT_EQ(t.editor.Caret(), (TextPlace{0, 23}));
    // A press on a display place.
    t.editor.MoveCaretToRow(5, 1);
    EXPECT_EQ(t.editor.Caret(), (TextPlace{2, 11}));
    t.editor.MoveCaretToRow(1, 40);  // beyond a full row: its last character
    EXPECT_EQ(t.editor.Caret(), (TextPlace{0, 19}));
    t.editor.RowHome();
    EXPECT_EQ(t.editor.Caret(), (TextPlace{0, 10}));
    t.editor.RowEnd();
    EXPECT_EQ(t.editor.Caret(), (TextPlace{0, 19}));

    // The row count is kept by deltas: typing that adds a row, and a
    // split, agree with a fresh count.
    t.editor.MoveCaretTo(1, 2);
    t.editor.TypeText("123456789");
    t.editor.SplitLine();
    EXPECT_EQ(t.editor.TotalRows(), 8);
    EXPECT_EQ(t.editor.CaretRow(), 5);
    ASSERT_GT(t.editor.UndoCount(), 0u);
    t.editor.SetTabAndWrap(8, 10);
    EXPECT_EQ(t.editor.TotalRows(), 8);
    EXPECT_EQ(t.editor.CaretRow(), 0);
    EXPECT_EQ(t.editor.UndoCount(), 0u);  // a new wrap width clears undo
}

// Jumps in a long body start from row marks kept by deltas: after any
// edit, the caret's display row is the one a full count gives.
TEST(TextEditorCaret, JumpsInALongBodyFindTheRightRow) {
    std::string body;
    for (int i = 0; i < 6000; ++i) {
        body += std::string(static_cast<std::size_t>(i % 23), 'a') + "\n";
    }
    TestEditor t(body);
    t.editor.SetTabAndWrap(8, 10);
    const RowMetrics m{&CodePage::Get(932), 8, 10};
    auto fullCount = [&](std::size_t lines) {
        long rows = 0;
        for (std::size_t i = 0; i < lines; ++i) {
            rows += CountRows(t.editor.LineText(i), m);
        }
        return rows;
    };
    EXPECT_EQ(t.editor.TotalRows(), fullCount(t.editor.LineCount()));
    std::mt19937 rng(7);
    for (int step = 0; step < 200; ++step) {
        switch (rng() % 6) {
            case 0:
                t.editor.MoveCaretTo(rng() % t.editor.LineCount(), 0);
                break;
            case 1:
                t.editor.MoveCaretToRow(static_cast<long>(rng() % 12000), 3);
                break;
            case 2:
                t.editor.TypeText("0123456789");
                break;
            case 3:
                t.editor.DeleteLine();
                break;
            case 4:
                t.editor.SplitLine();
                break;
            case 5:
                t.editor.PopLine();
                break;
        }
        const std::string line = t.editor.LineText(t.editor.CaretLine());
        ASSERT_EQ(t.editor.CaretRow(),
                  fullCount(t.editor.CaretLine()) + RowOf(line, t.editor.CaretOffset(), m).row)
            << "step " << step;
    }
    EXPECT_EQ(t.editor.TotalRows(), fullCount(t.editor.LineCount()));
}

TEST(TextEditorCaret, FreeCursorGoesBeyondTheLineEndAndTypingPadsTheLine) {
    EditorOptions options;
    options.freeCursor = true;
    TestEditor t("ab\n", 932, options);
    t.editor.MoveCaretTo(0, 2);
    t.editor.CaretRight();
    t.editor.CaretRight();
    EXPECT_EQ(t.editor.VirtualColumn(), 4);
    EXPECT_EQ(t.editor.CaretColumn(), 2);
    t.editor.CaretRight();
    t.editor.BackSpace();  // beyond the line end: only the caret moves
    EXPECT_EQ(t.editor.Text(), "ab\n");
    t.editor.TypeChar('x');
    EXPECT_EQ(t.editor.Text(), "ab  x\n");
    EXPECT_EQ(t.editor.CaretColumn(), 5);
}

TEST(TextEditorCaret, ALineOfTheLimitStaysOneLineAndTypingIntoItLosesNothing) {
    const std::string full(kMaxLineBytes - 1, 'a');
    TestEditor t(full + "\n");
    EXPECT_EQ(t.editor.LineCount(), 1u);
    t.editor.MoveCaretTo(0, 10);
    t.editor.TypeChar('x');
    // The text continues on a new line instead of being refused.
    const std::string text = t.editor.Text();
    EXPECT_EQ(text.size(), full.size() + 3);
    EXPECT_EQ(std::count(text.begin(), text.end(), 'x'), 1);
    EXPECT_EQ(t.editor.LineCount(), 2u);
    EXPECT_EQ(t.editor.LineText(0), std::string(10, 'a') + "x\n");
    EXPECT_EQ(t.host.beeps, 0);
    EXPECT_TRUE(t.editor.Undo());
    EXPECT_TRUE(t.editor.Text() == full + "\n");
}

TEST(TextEditorCaret, KeyboardCharactersArriveByteByByte) {
    TestEditor sjis("\n");
    sjis.editor.TypeChar(0x82);
    EXPECT_EQ(sjis.editor.Text(), "\n");  // the lead byte waits
    sjis.editor.TypeChar(0xa0);
    sjis.editor.TypeChar(0xb1);  // half-width kana: one byte
    sjis.editor.TypeChar(0x82);
    sjis.editor.TypeChar('\n');  // not a trail byte: the lead byte goes
    EXPECT_EQ(sjis.editor.Text(), "\x82\xa0\xb1\n\n");

    TestEditor utf8("\n", 65001);
    for (const unsigned char c : std::string("\xe6\x97\xa5\xc3\xa9")) {
        utf8.editor.TypeChar(c);
    }
    utf8.editor.TypeText("\xe6\x97");  // a broken character is not inserted
    EXPECT_EQ(utf8.editor.Text(), "\xe6\x97\xa5\xc3\xa9\n");
    EXPECT_EQ(utf8.editor.CaretColumn(), 3);
}

}  // namespace
}  // namespace corvina

namespace corvina {
namespace {

// The rows a view paints, found by one walk, agree with PlaceOfRow row by
// row from any first row, and carry the open line's change before it is
// written back.
TEST(TextEditorViewport, VisibleRowsAgreeWithPlaceOfRow) {
    TestEditor t("0123456789abcdefghij\nshort\n\nwrapped once more\nlast\n", CodePage::kUtf8);
    t.editor.SetTabAndWrap(8, 10);
    const long total = t.editor.TotalRows();
    std::vector<TextEditor::VisibleRow> rows;
    for (long first = 0; first < total; ++first) {
        t.editor.VisibleRows(first, 4, rows);
        ASSERT_EQ(static_cast<long>(rows.size()), std::min(4L, total - first));
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const TextPlace place = t.editor.PlaceOfRow(first + static_cast<long>(i), 0);
            EXPECT_EQ(rows[i].line, place.line) << first << "+" << i;
            EXPECT_EQ(rows[i].rowStart, place.offset) << first << "+" << i;
            EXPECT_EQ(rows[i].text, t.editor.LineText(place.line));
            EXPECT_EQ(rows[i].lastLine, place.line + 1 == t.editor.LineCount());
        }
    }
    t.editor.VisibleRows(total, 4, rows);
    EXPECT_TRUE(rows.empty());

    t.editor.MoveCaretTo(1, 5);
    t.editor.TypeText("!");
    t.editor.VisibleRows(0, static_cast<int>(total), rows);
    for (const TextEditor::VisibleRow& row : rows)
        EXPECT_EQ((row.lineFlags & kLineChanged) != 0, row.line == 1) << row.line;
}

}  // namespace
}  // namespace corvina
