#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RecordingEditorHost.h"
#include "editor/PasteHistory.h"

namespace corvina {
namespace {

using test::TestEditor;

TEST(TextEditorSelection, StreamSelectionCopiesAsClipboardText) {
    PasteHistory::Shared().Clear();
    TestEditor t("ab\x82\xa0\ncd\nef\n");
    t.editor.MoveCaretTo(0, 1);
    t.editor.ExtendSelection();
    t.editor.CaretDown();
    t.editor.CaretDown();
    EXPECT_TRUE(t.editor.HasSelection());
    EXPECT_EQ(t.editor.SelectedText(), "b\x82\xa0\ncd\ne");
    EXPECT_EQ(t.editor.SelectionStartRow(), 0);
    EXPECT_EQ(t.editor.SelectionStartColumn(), 1);
    EXPECT_EQ(t.editor.SelectionEndRow(), 2);
    EXPECT_EQ(t.editor.SelectionFirstLine(), 0u);
    EXPECT_EQ(t.editor.SelectionLastLine(), 2u);
    t.editor.Copy();
    EXPECT_EQ(t.host.clipboard, "b\xe3\x81\x82\r\ncd\r\ne");
    EXPECT_EQ(PasteHistory::Shared().Entries(), std::vector<std::string>{"b\x82\xa0\r\ncd\r\ne"});
    t.editor.Cut();
    EXPECT_EQ(t.editor.Text(), "af\n");
    EXPECT_FALSE(t.editor.HasSelection());
    // "SelectBegin" anchors, a second one cancels.
    t.editor.SelectBegin();
    t.editor.CaretRight();
    EXPECT_EQ(t.editor.Selection(), SelectionMode::kAnchored);
    EXPECT_EQ(t.editor.SelectedText(), "f");
    t.editor.SelectBegin();
    EXPECT_FALSE(t.editor.HasSelection());
}

TEST(TextEditorSelection, PasteHistoryKeepsThe32NewestCopies) {
    PasteHistory::Shared().Clear();
    TestEditor t("0123456789abcdefghijklmnopqrstuvwxyzABCDEFG\n");
    for (std::size_t i = 0; i < 33; ++i) {
        t.editor.SelectRange({0, i}, {0, i + 1});
        t.editor.Copy();
    }
    std::vector<std::string> entries = PasteHistory::Shared().Entries();
    ASSERT_EQ(entries.size(), 32u);
    EXPECT_EQ(entries.front(), "w");  // the 33rd copy
    EXPECT_EQ(entries.back(), "1");   // the first was pushed out
    PasteHistory::Shared().FlushNewest();
    entries = PasteHistory::Shared().Entries();
    EXPECT_EQ(entries.size(), 31u);
    EXPECT_EQ(entries.front(), "v");
    PasteHistory::Shared().Clear();
    PasteHistory::Shared().FlushNewest();  // an empty slot: nothing changes
    EXPECT_TRUE(PasteHistory::Shared().Entries().empty());
}

TEST(TextEditorSelection, PasteSplitsAtEveryKindOfLineEnd) {
    TestEditor t("<>\n");
    t.editor.MoveCaretTo(0, 1);
    t.editor.SelectRange({0, 1}, {0, 2});
    t.host.clipboard = "a\r\nb\rc\nd";
    t.editor.Paste();  // the selection goes first
    EXPECT_EQ(t.editor.Text(), "<a\nb\nc\nd\n");
    EXPECT_EQ(t.editor.Caret(), (TextPlace{3, 1}));
    t.host.clipboard = "x\r\ny\r\n";
    t.editor.PasteWithPrefix("> ");
    EXPECT_EQ(t.editor.Text(), "<a\nb\nc\nd> x\n> y\n\n");
    t.editor.InsertText("\x88\x9f\r\n");  // history entries are in W already
    EXPECT_EQ(t.editor.LineText(5), "\x88\x9f\n");
    t.host.clipboard = "\xe3\x81\x82";
    t.editor.Paste();
    EXPECT_EQ(t.editor.LineText(6), "\x82\xa0\n");
}

TEST(TextEditorSelection, BoxCopyCutAndPaste) {
    BoxBuffer::Shared().lines.clear();
    TestEditor t("abcdef\nab\nabcdef\n");
    t.host.clipboard = "untouched";
    t.editor.MoveCaretTo(0, 1);
    t.editor.StartBoxSelection();
    t.editor.CaretDown();
    t.editor.CaretDown();
    t.editor.CaretRight();
    t.editor.CaretRight();
    t.editor.Copy();
    EXPECT_EQ(BoxBuffer::Shared().lines, (std::vector<std::string>{"bc", "b", "bc"}));
    EXPECT_EQ(t.host.clipboard, "untouched");
    t.editor.Cut();
    EXPECT_EQ(t.editor.Text(), "adef\na\nadef\n");
    // Pasted at one column: short lines are padded, and a line is added
    // at the end of the text.
    t.editor.MoveCaretTo(2, 3);
    BoxBuffer::Shared().lines = {"XY", "Z", "W"};
    t.editor.BoxPaste();
    EXPECT_EQ(t.editor.Text(), "adef\na\nadeXYf\n   Z\n   W\n");
    t.editor.Undo();
    EXPECT_EQ(t.editor.Text(), "adef\na\nadef\n");
    t.editor.Undo();
    EXPECT_EQ(t.editor.Text(), "abcdef\nab\nabcdef\n");
}

TEST(TextEditorSelection, MousePressDragAndRelease) {
    TestEditor t("abcdef\nghijkl\n");
    t.editor.PressAt(0, 2, false);
    t.editor.DragTo(1, 3);
    t.editor.Release();
    EXPECT_EQ(t.editor.SelectedText(), "cdef\nghi");
    t.editor.PressAt(0, 5, true);  // Shift: the end moves, the anchor stays
    t.editor.Release();
    EXPECT_EQ(t.editor.SelectedText(), "cde");
    t.editor.PressAt(0, 3, false);  // inside: a drag starts
    EXPECT_TRUE(t.editor.Dragging());
    EXPECT_EQ(t.editor.DraggedText(), "cde");
    t.editor.Release();  // no drop: a plain click
    EXPECT_FALSE(t.editor.HasSelection());
    t.editor.PressAt(1, 1, false);
    t.editor.Release();  // start equals end
    EXPECT_FALSE(t.editor.HasSelection());
    EXPECT_EQ(t.editor.Caret(), (TextPlace{1, 1}));
}

TEST(TextEditorSelection, DragAndDrop) {
    struct Case {
        const char* name;
        TextPlace from, to;
        long row;
        int column;
        bool copy;
        std::string expected;
    };
    const Case cases[] = {
        {"move back", {1, 1}, {1, 3}, 0, 1, false, "ahibcdef\ngjk\nklmn\n"},
        {"move forward", {0, 1}, {0, 3}, 1, 2, false, "adef\nghbcijk\nklmn\n"},
        {"move forward over lines", {0, 4}, {1, 1}, 2, 2, false, "abcdhijk\nklef\ngmn\n"},
        {"copy", {0, 0}, {0, 2}, 2, 4, true, "abcdef\nghijk\nklmnab\n"},
        {"beyond the line end", {0, 0}, {0, 1}, 2, 7, true, "abcdef\nghijk\nklmn   a\n"},
        {"inside the selection", {0, 1}, {0, 4}, 0, 2, false, "abcdef\nghijk\nklmn\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestEditor t("abcdef\nghijk\nklmn\n");
        t.editor.SelectRange(c.from, c.to);
        t.editor.DropAt(t.editor, c.row, c.column, c.copy);
        EXPECT_EQ(t.editor.Text(), c.expected);
        EXPECT_FALSE(t.editor.HasSelection());
        while (t.editor.Undo()) {
        }
        EXPECT_EQ(t.editor.Text(), "abcdef\nghijk\nklmn\n");
    }
    // Between views: the source loses the text; a read-only target takes
    // nothing.
    TestEditor source("one two\n"), target("x\n"), viewer("v\n");
    viewer.editor.SetReadOnly(true);
    source.editor.SelectRange({0, 0}, {0, 4});
    EXPECT_FALSE(viewer.editor.DropAt(source.editor, 0, 0, false));
    EXPECT_FALSE(source.editor.HasSelection());
    EXPECT_EQ(viewer.editor.Text(), "v\n");
    source.editor.SelectRange({0, 0}, {0, 4});
    EXPECT_TRUE(target.editor.DropAt(source.editor, 0, 1, false));
    EXPECT_EQ(target.editor.Text(), "xone \n");
    EXPECT_EQ(source.editor.Text(), "two\n");

    // Text from another program: inserted beside any selection, the line
    // padded up to the place, CR LF line ends taken as lines, one step.
    TestEditor plain("abc\nd\n");
    plain.editor.SelectRange({0, 0}, {0, 2});
    EXPECT_TRUE(plain.editor.DropTextAt("x\r\ny", 1, 3));
    EXPECT_EQ(plain.editor.Text(), "abc\nd  x\ny\n");
    EXPECT_FALSE(plain.editor.HasSelection());
    EXPECT_TRUE(plain.editor.Undo());
    EXPECT_EQ(plain.editor.Text(), "abc\nd\n");
    EXPECT_FALSE(viewer.editor.DropTextAt("x", 0, 0));
    EXPECT_EQ(viewer.editor.Text(), "v\n");
}

}  // namespace
}  // namespace corvina
