#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RecordingEditorHost.h"
#include "editor/DeletedLineRing.h"

namespace corvina {
namespace {

using test::TestEditor;

TEST(TextEditorEdit, OverwriteKeepsTheColumnsAfterTheCaret) {
    struct Case {
        int codePage;
        std::string line;
        std::size_t caret;
        std::string typed;
        std::string expected;
    };
    const std::string wa = "\x82\xa0", wi = "\x82\xa2";             // Shift_JIS
    const std::string sun = "\xe6\x97\xa5", moon = "\xe6\x9c\x88";  // UTF-8 wide
    const std::string e = "\xc3\xa9";                               // UTF-8, one column
    const Case cases[] = {
        {932, "ab\n", 2, "c", "abc\n"},                      // on the LF: appended
        {932, wa + "b\n", 0, "a", "a b\n"},                  // single over double
        {932, wa + "b\n", 0, wi, wi + "b\n"},                // double over double
        {932, "abc\n", 0, wa, wa + "c\n"},                   // double over two singles
        {932, "a" + wa + "c\n", 0, wi, wi + " c\n"},         // ...the second a lead byte
        {932, "a\n", 0, wa, wa + "\n"},                      // ...the second the LF
        {932, "abc\n", 1, "x", "axc\n"},                     // single over single
        {932, "a\xb1z\n", 1, "x", "axz\n"},                  // half-width kana is single
        {65001, sun + "b\n", 0, "a", "a b\n"},               //
        {65001, sun + "b\n", 0, e, e + " b\n"},              //
        {65001, sun + "b\n", 0, moon, moon + "b\n"},         //
        {65001, "a" + sun + "c\n", 0, moon, moon + " c\n"},  //
        {65001, "abc\n", 1, e, "a" + e + "c\n"},             //
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line + " <- " + c.typed);
        EditorOptions options;
        options.insertMode = false;
        TestEditor t(c.line, c.codePage, options);
        t.editor.MoveCaretTo(0, c.caret);
        t.editor.TypeText(c.typed);
        EXPECT_EQ(t.editor.Text(), c.expected);
        EXPECT_EQ(t.editor.CaretOffset(), c.caret + c.typed.size());
        EXPECT_TRUE(t.editor.Undo());
        EXPECT_EQ(t.editor.Text(), c.line);
        EXPECT_TRUE(t.editor.Redo());
        EXPECT_EQ(t.editor.Text(), c.expected);
    }
}

TEST(TextEditorEdit, SplitAndJoin) {
    EditorOptions options;
    options.autoInd = true;
    TestEditor t("\t  abc\nnext\n", 932, options);
    t.editor.MoveCaretTo(0, 4);
    t.editor.SplitLine();
    EXPECT_EQ(t.editor.Text(), "\t  a\n\t  bc\nnext\n");
    EXPECT_EQ(t.editor.Caret(), (TextPlace{1, 3}));
    t.editor.MoveCaretTo(1, 0);
    t.editor.BackSpace();  // joins with the line above
    EXPECT_EQ(t.editor.Text(), "\t  a\t  bc\nnext\n");
    EXPECT_EQ(t.editor.Caret(), (TextPlace{0, 4}));
    t.editor.RowEnd();
    t.editor.DeleteChar();  // on the LF: joins the next line
    EXPECT_EQ(t.editor.Text(), "\t  a\t  bcnext\n");
    EXPECT_EQ(t.host.beeps, 0);
    EXPECT_EQ(t.watcher.notices, 1);  // the first change only
}

TEST(TextEditorEdit, AJoinBeyondTheLineLimitIsRefusedAloud) {
    const std::string long1(40000, 'a'), long2(30000, 'b');
    TestEditor t(long1 + "\n" + long2 + "\n");
    t.editor.MoveCaretTo(0, long1.size());
    t.editor.DeleteChar();
    t.editor.MoveCaretTo(1, 0);
    t.editor.BackSpace();
    EXPECT_EQ(t.editor.LineCount(), 2u);
    EXPECT_TRUE(t.editor.Text() == long1 + "\n" + long2 + "\n");
    EXPECT_EQ(t.host.beeps, 2);
    ASSERT_FALSE(t.host.statuses.empty());
    EXPECT_NE(t.host.statuses.back().find("not joined"), std::string::npos);
    EXPECT_EQ(t.editor.UndoCount(), 0u);
}

TEST(TextEditorEdit, DeletedLinesRingKeepsTheNewest128) {
    DeletedLineRing::Shared().Clear();
    std::string body;
    for (int i = 0; i < 130; ++i) {
        body += "line " + std::to_string(i) + "\n";
    }
    TestEditor t(body);
    t.editor.TypeText("changed ");
    t.message.bodyLines.Line(1).lineFlags |= kLineContinued | kLineMarked;
    for (int i = 0; i < 129; ++i) {
        t.editor.DeleteLine();
    }
    EXPECT_EQ(t.editor.Text(), "line 129\n");
    EXPECT_EQ(DeletedLineRing::Shared().Count(), 128u);
    t.editor.DeleteLine();  // the last line stays
    EXPECT_EQ(t.editor.Text(), "line 129\n");
    for (int i = 128; i >= 1; --i) {
        t.editor.PopLine();
        EXPECT_EQ(t.editor.LineText(0), "line " + std::to_string(i) + "\n");
    }
    // A deleted line lost its changed and continued marks, not others.
    EXPECT_EQ(t.message.bodyLines[0].lineFlags, kLineMarked | kLineChanged);
    t.editor.PopLine();  // the oldest deletion was pushed out
    EXPECT_EQ(t.editor.LineCount(), 129u);
    EXPECT_EQ(t.message.bodyLineCount, 129);
}

TEST(TextEditorEdit, LineCopiesAndReplacedParagraphs) {
    TestEditor t("one\ntwo\nthree\n");
    t.editor.MoveCaretTo(1, 1);
    t.editor.InsertLineCopy(true);
    t.editor.InsertLineCopy(false);
    EXPECT_EQ(t.editor.Text(), "one\ntwo\ntwo\ntwo\nthree\n");
    EXPECT_EQ(t.editor.Caret(), (TextPlace{1, 1}));

    TestEditor p("a b\nc\nd\n");
    p.message.bodyLines.Line(0).lineFlags = kLineContinued | kLineMarked;
    ASSERT_TRUE(p.editor.ReplaceLines(0, 2, {"a", "b c"}, {1, 3}));
    EXPECT_EQ(p.editor.Text(), "a\nb c\nd\n");
    EXPECT_EQ(p.editor.Caret(), (TextPlace{1, 3}));
    EXPECT_EQ(p.message.bodyLines[0].lineFlags & (kLineContinued | kLineMarked),
              kLineContinued | kLineMarked);
    EXPECT_EQ(p.message.bodyLines[1].lineFlags & kLineContinued, 0);
    EXPECT_FALSE(p.editor.ReplaceLines(0, 1, {"with\nLF"}, {0, 0}));
    EXPECT_TRUE(p.editor.Undo());  // one step
    EXPECT_EQ(p.editor.Text(), "a b\nc\nd\n");
    EXPECT_EQ(p.message.bodyLines[0].lineFlags & (kLineContinued | kLineMarked),
              kLineContinued | kLineMarked);
    EXPECT_FALSE(p.editor.Undo());
}

TEST(TextEditorEdit, AnExhaustedLinePoolLeavesTheTextAsItWas) {
    TestEditor t("abc\ndef\n");
    t.editor.MoveCaretTo(0, 1);
    t.editor.TypeText("x");  // an open line to commit
    TextEditor::SetLineAllocationBudget(0);
    t.editor.SplitLine();
    t.editor.InsertText("1\n2\n3");
    t.editor.MoveCaretTo(1, 0);  // the commit fails: the caret stays
    TextEditor::SetLineAllocationBudget(1);
    t.editor.InsertText("p\nq\nr");  // needs three
    TextEditor::SetLineAllocationBudget(-1);
    EXPECT_EQ(t.editor.Text(), "axbc\ndef\n");
    EXPECT_EQ(t.editor.Caret(), (TextPlace{0, 2}));
    EXPECT_GE(t.host.beeps, 3);
    EXPECT_EQ(t.host.statuses.size(), 1u);  // told once
    EXPECT_EQ(t.editor.LineCount(), 2u);
    t.editor.FocusOut();
    EXPECT_EQ(t.message.bodyLines.Joined(), "axbc\ndef\n");
}

TEST(TextEditorEdit, TwoEditorsShareTheEditBuffer) {
    TestEditor compose("abc\n"), other("xyz\n");
    compose.editor.MoveCaretTo(0, 3);
    compose.editor.TypeText("1");
    other.editor.TypeText("2");  // takes the buffer: the first line is committed
    compose.editor.TypeText("3");
    EXPECT_EQ(compose.message.bodyLines.Joined(), "abc1\n");
    compose.editor.FocusOut();
    other.editor.FocusOut();
    EXPECT_EQ(compose.message.bodyLines.Joined(), "abc13\n");
    EXPECT_EQ(other.message.bodyLines.Joined(), "2xyz\n");
    EXPECT_EQ(compose.message.bodyLines[0].lineFlags & kLineChanged, kLineChanged);
}

TEST(TextEditorEdit, ReadOnlyRefusesEveryChangeButMovesAndCopies) {
    DeletedLineRing::Shared().Clear();
    TestEditor t("abc\ndef\n");
    t.editor.SetReadOnly(true);
    t.host.clipboard = "pasted";
    t.editor.TypeChar('x');
    t.editor.TypeText("y");
    t.editor.DeleteChar();
    t.editor.BackSpace();
    t.editor.SplitLine();
    t.editor.DeleteLine();
    t.editor.InsertLineCopy(true);
    t.editor.Paste();
    EXPECT_FALSE(t.editor.ReplaceLines(0, 1, {"z"}, {0, 0}));
    t.editor.CaretRight();
    t.editor.ExtendSelection();
    t.editor.CaretDown();
    t.editor.Cut();
    EXPECT_EQ(t.editor.Text(), "abc\ndef\n");
    t.editor.Copy();
    EXPECT_EQ(t.host.clipboard, "bc\r\nd");
    EXPECT_EQ(t.watcher.notices, 0);
    EXPECT_FALSE(t.editor.Undo());
}

}  // namespace
}  // namespace corvina
