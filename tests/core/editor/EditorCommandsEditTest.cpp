#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <string>

#include "EditorCommandsFixture.h"
#include "editor/DeletedLineRing.h"

namespace corvina {
namespace {

using test::CommandsEditor;
using C = EditorCommand;

// Each edit: the text after it, then undone in one step.
TEST(EditorCommandsEdit, EditsAtTheCaretAreOneUndoStep) {
    struct Case {
        C command;
        std::string text;
        std::string beforeCaret;
        std::string expected;
        std::string expectedBeforeCaret;
    };
    const Case cases[] = {
        {C::kWordBS, "foo bar baz\n", "foo ba", "foo r baz\n", "foo "},
        {C::kWordBS, "foo bar\n", "foo ", "foobar\n", "foo"},  // a blank is a word
        {C::kWordBS, "ab\ncd\n", "ab\n", "abcd\n", "ab"},      // line start: joins
        {C::kWordDel, "foo bar baz\n", "foo b", "foo b baz\n", "foo b"},
        {C::kWordDel, "漢字かな\n", "", "かな\n", ""},
        {C::kWordDel, "ab\ncd\n", "ab", "abcd\n", "ab"},
        {C::kDeleteAfter, "abc def\nx\n", "abc", "abc\nx\n", "abc"},
        {C::kDeleteTop, "abc def\n", "abc", " def\n", ""},
        {C::kChangeCase, "say Hello, World\n", "say He", "say hELLO, World\n", "say He"},
        {C::kChangeCase, "ＡｂＣ x\n", "", "ａＢｃ x\n", ""},  // full-width letters too
        {C::kChgCaseOne, "aBc\n", "a", "abc\n", "aB"},
        {C::kRepeatOne, "x漢y\n", "x", "x漢漢y\n", "x漢"},
        {C::kInsertAft, "one\ntwo\n", "o", "one\n\ntwo\n", "one\n"},
        {C::kInsertBef, "one\ntwo\n", "one\ntw", "one\n\ntwo\n", "one\n"},
        {C::kDupLine, "one\ntwo\n", "o", "one\none\ntwo\n", "o"},
        {C::kSplitLine, "onetwo\n", "one", "one\ntwo\n", "one\n"},
    };
    for (const int codePage : {CodePage::kShiftJis, CodePage::kUtf8}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.text + " " + std::to_string(CommandNumber(c.command)));
            EditorOptions options;
            options.autoSplit = false;
            CommandsEditor e(c.text, codePage, options);
            const auto placeAfter = [&](const std::string& before) {
                const std::size_t lf = before.rfind('\n');
                const std::size_t line = std::count(before.begin(), before.end(), '\n');
                return TextPlace{line,
                                 e.Bytes(before.substr(lf == std::string::npos ? 0 : lf + 1))};
            };
            const TextPlace start = placeAfter(c.beforeCaret);
            e.t.editor.MoveCaretTo(start.line, start.offset);
            EXPECT_TRUE(e.Run(c.command));
            EXPECT_EQ(e.Text(), c.expected);
            EXPECT_EQ(e.t.editor.Caret(), placeAfter(c.expectedBeforeCaret));
            EXPECT_TRUE(e.t.editor.Undo());
            EXPECT_EQ(e.Text(), c.text);
        }
    }
}

TEST(EditorCommandsEdit, ChangeCaseOfASelection) {
    CommandsEditor e("abc Def\nGHI jkl\n");
    e.t.editor.SelectRange({0, 2}, {1, 2});
    e.Run(C::kChangeCase);
    EXPECT_EQ(e.Text(), "abC dEF\nghI jkl\n");
    EXPECT_FALSE(e.t.editor.HasSelection());
    e.t.editor.Undo();
    EXPECT_EQ(e.Text(), "abc Def\nGHI jkl\n");
}

TEST(EditorCommandsEdit, TimeStampIsEnglishLocalTime) {
    const char* oldTz = std::getenv("TZ");
    const std::string saved = oldTz != nullptr ? oldTz : "";
    setenv("TZ", "UTC", 1);
    tzset();
    CommandsEditor e("[]\n");
    e.commands.SetClock([] { return std::time_t{1700000000}; });  // a Tuesday
    e.t.editor.MoveCaretTo(0, 1);
    e.Run(C::kTimeStamp);
    EXPECT_EQ(e.Text(), "[2023/11/14(Tue) 22:13:20]\n");
    if (oldTz != nullptr) {
        setenv("TZ", saved.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
}

TEST(EditorCommandsEdit, InputCtrlTypesTheControlCharacter) {
    CommandsEditor e("\n");
    e.Run(C::kInputCtrl);
    EXPECT_TRUE(e.commands.InputCtrlPending());
    e.commands.TypeChar('a');
    EXPECT_FALSE(e.commands.InputCtrlPending());
    e.Run(C::kInputCtrl);
    e.commands.TypeChar('[');
    e.Run(C::kInputCtrl);
    e.commands.TypeChar('@');  // NUL is refused
    e.Run(C::kInputCtrl);
    e.commands.TypeChar('5');  // no control form: typed as it is
    e.commands.TypeChar('b');
    EXPECT_EQ(e.t.editor.Text(),
              "\x01\x1b"
              "5b\n");
    EXPECT_EQ(e.t.host.beeps, 1);
}

TEST(EditorCommandsEdit, KeyTextTypesControlCharactersOnlyForInputCtrl) {
    CommandsEditor e("\n");
    e.commands.TypeKeyText("\x11");  // Ctrl+Q with no command bound
    e.commands.TypeKeyText("a\x7f");
    e.Run(C::kInputCtrl);
    e.commands.TypeKeyText("\x02");  // Ctrl+B after InputCtrl
    e.commands.TypeKeyText("\x82\xa0");
    EXPECT_EQ(e.t.editor.Text(), "a\x02\x82\xa0\n");
}

TEST(EditorCommandsEdit, ModesToggle) {
    CommandsEditor e("ab\n");
    e.Run(C::kModeInsert);
    e.commands.TypeChar('x');
    EXPECT_EQ(e.t.editor.Text(), "xb\n");
    const bool split = e.t.editor.AutoSplit();
    e.Run(C::kModeAutoSplit);
    EXPECT_NE(e.t.editor.AutoSplit(), split);
}

TEST(EditorCommandsEdit, ReadOnlyRefusesEveryEdit) {
    const C edits[] = {
        C::kBackSpace,   C::kDeleteChar,  C::kInsertTab,  C::kChangeCase,    C::kChgCaseOne,
        C::kDeleteAfter, C::kDeleteTop,   C::kWordBS,     C::kWordDel,       C::kRepeatOne,
        C::kTimeStamp,   C::kSplitLine,   C::kDeleteLine, C::kInsertAft,     C::kInsertBef,
        C::kDupLine,     C::kPopLine,     C::kInputCtrl,  C::kUndo,          C::kRedo,
        C::kRepeat,      C::kStepDo,      C::kEditPaste,  C::kEditCut,       C::kBoxPaste,
        C::kIndent,      C::kBackInd,     C::kEditLeft,   C::kEditRight,     C::kEditCenter,
        C::kEditSort,    C::kEditConvert, C::kAddString,  C::kPasteFromFile, C::kSelectClipBd,
    };
    CommandsEditor e("Abc def\nsecond\nthird\nlast\n");
    e.t.editor.MoveCaretTo(2, 0);
    e.t.editor.DeleteLine();  // for PopLine
    e.t.editor.MoveCaretTo(0, 2);
    e.t.editor.TypeChar('x');
    e.t.editor.SetReadOnly(true);
    e.t.host.clipboard = "pasted";
    for (const C command : edits) {
        SCOPED_TRACE(CommandNumber(command));
        e.t.editor.SelectRange({0, 1}, {1, 2});
        EXPECT_TRUE(e.Run(command));
        e.commands.TypeChar('z');
        EXPECT_EQ(e.Text(), "Abxc def\nsecond\nlast\n");
    }
    EXPECT_EQ(e.dialogs.stepDialogs, 0);
    DeletedLineRing::Shared().Clear();
}

}  // namespace
}  // namespace corvina
