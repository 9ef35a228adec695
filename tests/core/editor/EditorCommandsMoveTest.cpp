#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "EditorCommandsFixture.h"

namespace corvina {
namespace {

using test::CommandsEditor;
using C = EditorCommand;

// Caret offsets are given as the UTF-8 text before the caret, so one table
// serves both code pages.
TEST(EditorCommandsMove, WordRightAndLeftStopAtTheSamePlaces) {
    struct Case {
        std::string line;
        std::vector<std::string> stops;  // text before each stop of WordRight
    };
    const Case cases[] = {
        {"foo  bar,baz", {"foo  ", "foo  bar,baz"}},
        {"  x", {"  ", "  x"}},
        // A verb with its ending stops before the next kanji; a symbol
        // after kana belongs to the word.
        {"漢字を書きます。次へ", {"漢字を", "漢字を書きます。", "漢字を書きます。次へ"}},
        {"カタカナ　ひらがな", {"カタカナ　", "カタカナ　ひらがな"}},
        {"読みー書き", {"読みー", "読みー書き"}},
    };
    for (const int codePage : {CodePage::kShiftJis, CodePage::kUtf8}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.line + " on " + std::to_string(codePage));
            CommandsEditor e(c.line + "\nnext\n", codePage);
            std::vector<std::size_t> stops{0};
            for (const std::string& before : c.stops) {
                EXPECT_TRUE(e.Run(C::kWordRight));
                EXPECT_EQ(e.t.editor.Caret(), (TextPlace{0, e.Bytes(before)}));
                stops.push_back(e.Bytes(before));
            }
            e.Run(C::kWordRight);  // from the line end to the next line
            EXPECT_EQ(e.t.editor.Caret(), (TextPlace{1, 0}));
            e.Run(C::kWordLeft);  // and back to the end of this one
            EXPECT_EQ(e.t.editor.Caret(), (TextPlace{0, stops.back()}));
            for (auto it = stops.rbegin() + 1; it != stops.rend(); ++it) {
                e.Run(C::kWordLeft);
                EXPECT_EQ(e.t.editor.CaretOffset(), *it);
            }
        }
    }
}

TEST(EditorCommandsMove, LineStartsAndEnds) {
    CommandsEditor e("\t  abc def\n");
    EXPECT_EQ(e.t.editor.LineView(0), "\t  abc def");  // without its LF
    e.t.editor.MoveCaretTo(0, 7);
    e.Run(C::kBegLine);
    EXPECT_EQ(e.t.editor.CaretOffset(), 0u);
    e.Run(C::kBegLine);  // already there: past the blanks
    EXPECT_EQ(e.t.editor.CaretOffset(), 3u);
    e.Run(C::kBegLine);
    EXPECT_EQ(e.t.editor.CaretOffset(), 0u);
    e.Run(C::kEndLine);
    EXPECT_EQ(e.t.editor.CaretOffset(), 10u);
}

TEST(EditorCommandsMove, OtherParenCountsNestingAcrossLines) {
    struct Case {
        std::string text;
        std::string beforeCaret;  // the caret's line up to the caret
        TextPlace expected;       // in bytes of Shift_JIS
        bool found;
    };
    // "ゼ" is 0x83 0x5B and "ゾ" 0x83 0x5D in Shift_JIS: trail bytes equal
    // to "[" and "]" must not count as brackets.
    const Case cases[] = {
        {"(a (b) c)\n", "", {0, 8}, true},
        {"(a (b) c)\n", "(a (b) c", {0, 0}, true},
        {"f(x,\n  g(y)\n)\n", "f", {2, 0}, true},
        {"f(x,\n  g(y)\n)\n", "", {0, 0}, false},  // not on a bracket
        {"「ゼ「[]」」\n", "", {0, 10}, true},
        {"【ソ】x\n", "【ソ", {0, 0}, true},
        {"[ゼ]\n", "", {0, 3}, true},
        {"[ゾ]\n", "[ゾ", {0, 0}, true},
        {"{ <a> \n", "", {0, 0}, false},  // no partner: caret stays
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        CommandsEditor e(c.text);
        const TextPlace start{0, e.Bytes(c.beforeCaret)};
        e.t.editor.MoveCaretTo(start.line, start.offset);
        EXPECT_TRUE(e.Run(C::kOtherParen));
        EXPECT_EQ(e.t.editor.Caret(), c.found ? c.expected : start);
        EXPECT_EQ(e.t.host.beeps, c.found ? 0 : 1);
        if (c.found) {  // and back
            e.Run(C::kOtherParen);
            EXPECT_EQ(e.t.editor.Caret(), start);
        }
    }
}

TEST(EditorCommandsMove, MarksAndJumpsBack) {
    CommandsEditor e("a\nb\nc\nd\ne\n");
    e.t.editor.MoveCaretTo(1, 0);
    e.Run(C::kMarkLine);
    e.t.editor.MoveCaretTo(3, 0);
    e.Run(C::kMarkLine);
    e.t.editor.MoveCaretTo(0, 0);
    e.Run(C::kNextMark);
    EXPECT_EQ(e.t.editor.CaretLine(), 1u);
    e.Run(C::kNextMark);
    EXPECT_EQ(e.t.editor.CaretLine(), 3u);
    e.Run(C::kNextMark);  // no wrap: the last mark is the last
    EXPECT_EQ(e.t.editor.CaretLine(), 3u);
    EXPECT_EQ(e.t.host.beeps, 1);
    e.Run(C::kPrevPos);  // back to where the last jump started, and again
    EXPECT_EQ(e.t.editor.CaretLine(), 1u);
    e.Run(C::kPrevPos);
    EXPECT_EQ(e.t.editor.CaretLine(), 3u);
    e.Run(C::kPrevMark);
    EXPECT_EQ(e.t.editor.CaretLine(), 1u);
    e.Run(C::kMarkLine);  // a toggle
    EXPECT_FALSE(e.t.editor.LineMarked(1));

    e.t.editor.MoveCaretTo(1, 0);
    e.Run(C::kMarkLine);
    e.t.editor.SelectRange({2, 0}, {3, 1});  // MarkOff on a selection: only its lines
    e.Run(C::kMarkOff);
    EXPECT_TRUE(e.t.editor.LineMarked(1));
    EXPECT_FALSE(e.t.editor.LineMarked(3));
    e.t.editor.ClearSelection();
    e.Run(C::kMarkOff);
    EXPECT_FALSE(e.t.editor.LineMarked(1));

    e.Run(C::kTextBot);
    EXPECT_EQ(e.t.editor.Caret(), (TextPlace{4, 1}));
    e.Run(C::kPrevPos);
    EXPECT_EQ(e.t.editor.Caret(), (TextPlace{3, 1}));
    for (const C command : {C::kMarkList, C::kTagJump, C::kBackToTag}) {
        EXPECT_TRUE(e.Run(command));
    }
    EXPECT_TRUE(e.Run(C::kTitleMark));  // search commands go to the search
    EXPECT_FALSE(e.Run(C::kNextPane));  // frame commands are not the view's
}

}  // namespace
}  // namespace corvina
