#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "EditorCommandsFixture.h"
#include "TestSupport.h"
#include "editor/PasteHistory.h"

namespace corvina {
namespace {

using test::CommandsEditor;
using test::ReadFileBytes;
using test::ScratchDir;
using test::WriteFileBytes;
using C = EditorCommand;

TEST(EditorCommandsBlock, FilesWrittenAppendedReadAndSaved) {
    ScratchDir dir;
    CommandsEditor e("one\ntwo\nthree\n");
    e.t.editor.SelectRange({0, 0}, {1, 3});
    e.dialogs.fileNames = {dir / "copy.txt", dir / "copy.txt", dir / "whole.txt"};
    e.Run(C::kCopyToFile);
    EXPECT_EQ(ReadFileBytes(dir / "copy.txt"), "one\ntwo");
    e.Run(C::kAppendFile);
    EXPECT_EQ(ReadFileBytes(dir / "copy.txt"), "one\ntwoone\ntwo");
    e.Run(C::kSaveFile);
    EXPECT_EQ(ReadFileBytes(dir / "whole.txt"), "one\ntwo\nthree\n");

    // Every line end a file may hold splits lines.
    WriteFileBytes(dir / "ends.txt", "a\r\nb\rc\nd");
    e.t.editor.ClearSelection();
    e.t.editor.MoveCaretTo(2, 0);
    e.dialogs.fileNames = {dir / "ends.txt"};
    e.Run(C::kPasteFromFile);
    EXPECT_EQ(e.t.editor.Text(), "one\ntwo\na\nb\nc\ndthree\n");
    EXPECT_TRUE(e.t.editor.Undo());
    EXPECT_EQ(e.t.editor.Text(), "one\ntwo\nthree\n");
    EXPECT_TRUE(e.dialogs.errors.empty());
}

TEST(EditorCommandsBlock, FileErrorsNameTheFileAndLoseNothing) {
    ScratchDir dir;
    WriteFileBytes(dir / "kept.txt", "kept");
    CommandsEditor e("one\ntwo\n");
    e.t.editor.SelectRange({0, 0}, {0, 3});
    const struct {
        C command;
        std::filesystem::path path;
        int error;
    } cases[] = {
        {C::kCopyToFile, dir / "missing" / "a.txt", ENOENT},
        {C::kAppendFile, dir / "missing" / "a.txt", ENOENT},
        {C::kAppendFile, dir.Path(), EISDIR},
        {C::kSaveFile, dir / "missing" / "a.txt", ENOENT},
        {C::kPasteFromFile, dir / "none.txt", ENOENT},
        {C::kPasteFromFile, dir.Path(), EISDIR},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(CommandNumber(c.command));
        e.dialogs.errors.clear();
        e.dialogs.fileNames = {c.path};
        e.Run(c.command);
        ASSERT_EQ(e.dialogs.errors.size(), 1u);
        EXPECT_NE(e.dialogs.errors[0].find(c.path.string()), std::string::npos);
        EXPECT_NE(e.dialogs.errors[0].find(std::strerror(c.error)), std::string::npos);
    }
    EXPECT_EQ(e.t.editor.Text(), "one\ntwo\n");
    EXPECT_EQ(ReadFileBytes(dir / "kept.txt"), "kept");
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
}

TEST(EditorCommandsBlock, PasteHistoryPastesOrCopiesAnEntry) {
    PasteHistory::Shared().Clear();
    CommandsEditor e("abc\nxyz\n");
    e.Run(C::kSelectClipBd);  // nothing copied yet
    EXPECT_EQ(e.t.host.beeps, 1);
    e.t.editor.SelectRange({0, 0}, {1, 1});
    e.Run(C::kEditCopy);
    e.t.editor.ClearSelection();
    e.t.editor.MoveCaretTo(1, 3);
    using Action = PasteHistoryChoice::Action;
    e.dialogs.pasteChoices = {{Action::kPaste, "abc\r\nx"}, {Action::kCopy, "abc\r\nx"}};
    e.Run(C::kSelectClipBd);
    EXPECT_EQ(e.t.editor.Text(), "abc\nxyzabc\nx\n");
    e.t.host.clipboard.clear();
    e.Run(C::kSelectClipBd);
    EXPECT_EQ(e.t.host.clipboard, "abc\r\nx");
    e.Run(C::kFlushBuf);
    EXPECT_TRUE(PasteHistory::Shared().Entries().empty());
}

TEST(EditorCommandsBlock, SelectionCommands) {
    CommandsEditor e("ab\ncd\n");
    e.Run(C::kSelectAll);
    EXPECT_EQ(e.t.editor.SelectedText(), "ab\ncd");
    e.Run(C::kBoxBegin);  // a new box at the caret
    EXPECT_EQ(e.t.editor.Selection(), SelectionMode::kBox);
    e.Run(C::kBoxBegin);  // while it is being made: cancelled
    EXPECT_FALSE(e.t.editor.HasSelection());
    e.Run(C::kSelectBegin);
    e.Run(C::kCsrLeft);
    EXPECT_EQ(e.t.editor.SelectedText(), "d");
    e.Run(C::kSelectBegin);
    EXPECT_FALSE(e.t.editor.HasSelection());
}

// Lines 1 and 2 selected to the start of line 3; each command is one undo
// step and leaves the lines selected.
TEST(EditorCommandsBlock, ParagraphCommandsOnTheSelectedLines) {
    struct Case {
        C command;
        std::string middle;    // lines 1 and 2
        std::string expected;  // the same after the command
    };
    const Case cases[] = {
        {C::kIndent, "b\n\n", "\tb\n\n"},
        {C::kBackInd, "\tb\n    a\n", "b\na\n"},
        {C::kEditLeft, "  b\n a\n", "b\na\n"},
        {C::kEditRight, "ab\nc\n", "        ab\n         c\n"},
        {C::kEditCenter, "ab\n", "    ab\n"},
        {C::kEditSort, "b\na\n", "a\nb\n"},
        {C::kEditConvert, "ab\nc\n", "AB\nC\n"},
        {C::kAddString, "b\na\n", "> b\n> a\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(CommandNumber(c.command));
        const std::string text = "first\n" + c.middle + "last\n";
        CommandsEditor e(text);
        e.t.editor.SetTabAndWrap(8, 10);
        ConvertChoice upper;
        upper.letterCase = CaseConversion::kUpperAll;
        e.dialogs.converts = {upper};
        e.dialogs.sorts = {SortChoice{}};
        e.dialogs.addStrings = {AddStringChoice{"> ", false}};
        const std::size_t lines = std::count(c.middle.begin(), c.middle.end(), '\n');
        e.t.editor.SelectRange({1, 0}, {1 + lines, 0});
        EXPECT_TRUE(e.Run(c.command));
        EXPECT_EQ(e.t.editor.Text(), "first\n" + c.expected + "last\n");
        EXPECT_EQ(e.t.editor.SelectionFirstLine(), 1u);
        EXPECT_EQ(e.t.editor.SelectionLastLine(), 1 + lines);
        for (std::size_t line = 0; line < e.t.editor.LineCount(); ++line) {
            EXPECT_EQ(e.t.message.bodyLines[line].lineFlags & kLineContinued, 0);
        }
        EXPECT_TRUE(e.t.editor.Undo());
        EXPECT_EQ(e.t.editor.Text(), text);
    }
}

TEST(EditorCommandsBlock, SortedLinesTakeTheirMarksAlong) {
    CommandsEditor e("c\nb\na\n");
    e.t.editor.SetLineMarked(0, true);
    e.dialogs.sorts = {SortChoice{}};
    e.Run(C::kSelectAll);
    e.Run(C::kEditSort);
    EXPECT_EQ(e.t.editor.Text(), "a\nb\nc\n");
    EXPECT_FALSE(e.t.editor.LineMarked(0));
    EXPECT_TRUE(e.t.editor.LineMarked(2));
}

}  // namespace
}  // namespace corvina
