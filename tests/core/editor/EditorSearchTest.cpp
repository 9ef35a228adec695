// Find, find next and previous, marks, the word commands, the jump and the
// options the search keeps.

#include <gtest/gtest.h>

#include <optional>

#include "SearchFixture.h"
#include "platform/ConfigStore.h"

namespace corvina {
namespace {

using test::FolderEditor;
using test::SearchEditor;

// Where a search from `caret` lands; nothing when it beeps.
TEST(EditorSearchTest, FindLandsOnTheFirstAcceptedMatch) {
    struct Case {
        const char* what;
        const char* body;
        const char* pattern;
        const char* letters;
        bool backward;
        TextPlace caret;
        std::optional<TextPlace> found;
    } const cases[] = {
        {"a line end in the pattern", "xa\nbz\n", "a\\nb", "", false, {0, 0}, TextPlace{0, 1}},
        {"whole word between digits", "1cat2\n", "cat", "W", false, {0, 0}, TextPlace{0, 1}},
        {"whole word inside a word", "concatenate\n", "cat", "W", false, {0, 0}, std::nullopt},
        {"^ only at line starts", "xab\nab\n", "^ab", "R", false, {0, 0}, TextPlace{1, 0}},
        {"$ only at line ends", "abx\nab\n", "ab$", "R", false, {0, 0}, TextPlace{1, 0}},
        {"backward at the first character", "abc\n", "a", "", true, {0, 0}, std::nullopt},
        {"the match at the caret is skipped", "ab ab\n", "ab", "", false, {0, 0}, TextPlace{0, 3}},
        {"backward steps over line starts", "ab\ncd\n", "b", "", true, {1, 0}, TextPlace{0, 1}},
        {"G starts at the very top", "ab ab\n", "ab", "G", false, {0, 4}, TextPlace{0, 0}},
        {"G backward starts at the end", "ab ab\nx\n", "ab", "G", true, {0, 0}, TextPlace{0, 3}},
        {"an empty string finds nothing", "abc\n", "", "", false, {0, 0}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SearchEditor s(c.body);
        s.t.editor.MoveCaretTo(c.caret.line, c.caret.offset);
        s.FindWith(c.pattern, c.letters, c.backward);
        EXPECT_EQ(s.t.host.beeps, c.found ? 0 : 1);
        EXPECT_EQ(s.t.editor.Caret(), c.found.value_or(c.caret));
    }
}

TEST(EditorSearchTest, FindNextAndPreviousStepFromTheSelectedMatch) {
    SearchEditor s("aa a\n");
    s.FindWith("a", "");
    EXPECT_EQ(s.t.editor.Caret(), (TextPlace{0, 1}));
    EXPECT_EQ(s.t.editor.SelectedText(), "a");
    EXPECT_EQ(s.t.host.statuses, (std::vector<std::string>{"Finding ... (ESC key to break)", ""}));
    s.search.Run(EditorCommand::kSearchNext);
    EXPECT_EQ(s.t.editor.Caret(), (TextPlace{0, 3}));
    s.search.Run(EditorCommand::kSearchNext);
    EXPECT_EQ(s.t.host.beeps, 1);
    EXPECT_EQ(s.t.editor.Caret(), (TextPlace{0, 3}));
    s.search.Run(EditorCommand::kSearchPrev);
    EXPECT_EQ(s.t.editor.Caret(), (TextPlace{0, 1}));
    s.search.Run(EditorCommand::kSearchPrev);
    EXPECT_EQ(s.t.editor.Caret(), (TextPlace{0, 0}));
    // "PrevPos" goes back to where the last search jumped from.
    EXPECT_TRUE(s.t.editor.SwapWithJumpOrigin());
    EXPECT_EQ(s.t.editor.Caret(), (TextPlace{0, 1}));
    EXPECT_EQ(s.state.History().Entries().front().text, "a");
}

TEST(EditorSearchTest, MarksFoundLinesAndMarkAllMarksEachLineOnce) {
    SearchEditor found("x\nab\nab ab\n");
    found.FindWith("ab", "M");
    EXPECT_TRUE(found.t.editor.LineMarked(1));
    EXPECT_FALSE(found.t.editor.LineMarked(2));

    for (const bool backward : {false, true}) {
        SearchEditor s("ab ab\nx\nab\nyab ab\n");
        const TextPlace caret = backward ? TextPlace{3, 6} : TextPlace{0, 0};
        s.t.editor.MoveCaretTo(caret.line, caret.offset);
        s.FindWith("ab", "", backward, FindDialogButton::kMarkAll);
        EXPECT_EQ(s.t.editor.Caret(), caret);
        for (const std::size_t line : {0, 2, 3}) {
            EXPECT_TRUE(s.t.editor.LineMarked(line)) << line;
        }
        EXPECT_FALSE(s.t.editor.LineMarked(1));
        EXPECT_EQ(s.t.host.beeps, 0);
    }
    SearchEditor none("abc\n");
    none.FindWith("z", "", false, FindDialogButton::kMarkAll);
    EXPECT_EQ(none.t.host.beeps, 1);
}

TEST(EditorSearchTest, PresetsAndGetWordOnJapaneseText) {
    // Kanji, kanji, hiragana, hiragana; then a Latin word.
    SearchEditor s("\x8a\xbf\x8e\x9a\x82\xa9\x82\xc8 word\n");
    s.t.editor.MoveCaretTo(0, 11);
    s.FindWith("x", "");
    EXPECT_EQ(s.dialogs.findsShown.back().pattern, "word");
    EXPECT_EQ(s.dialogs.findsShown.back().options, SearchOptions::FromLetters("I"));

    s.t.editor.MoveCaretTo(0, 2);
    s.search.Run(EditorCommand::kGetWord);
    EXPECT_EQ(s.t.editor.SelectedText(), "\x8e\x9a");
    EXPECT_EQ(s.state.SearchString(), "\x8e\x9a");
    EXPECT_EQ(s.state.ReplaceSearchString(), "\x8e\x9a");
    // The next dialog keeps what GetWord took, once.
    s.t.editor.MoveCaretTo(0, 0);
    s.FindWith("\x8e\x9a", "");
    EXPECT_EQ(s.dialogs.findsShown.back().pattern, "\x8e\x9a");
    EXPECT_EQ(s.t.editor.Caret(), (TextPlace{0, 2}));

    s.t.editor.ClearSelection();
    s.t.editor.MoveCaretTo(0, 0);
    s.dialogs.finds.push_back({FindDialogButton::kCancel, {}});
    s.search.Run(EditorCommand::kFind);
    EXPECT_EQ(s.dialogs.findsShown.back().pattern, "\x8a\xbf\x8e\x9a");
}

TEST(EditorSearchTest, AllMessagesCyclesThroughTheFolderOnce) {
    FolderEditor none({"one\n", "two\n", "three\n"});
    none.editor.MoveCaretTo(0, 2);
    none.dialogs.finds.push_back({FindDialogButton::kOk, test::FindValues("zz", "A")});
    none.search.Run(EditorCommand::kSearchFwd);
    none.RunPosted();
    EXPECT_EQ(none.host.selections, 3);
    EXPECT_EQ(none.editor.Document(), none.messages[0].get());
    EXPECT_EQ(none.editor.Caret(), (TextPlace{0, 2}));
    EXPECT_EQ(none.host.beeps, 1);

    // The search goes on from the very top of the next message; a search
    // of the user's own then steps on from the caret again.
    FolderEditor found({"one\n", "two\n", "ab\nab\n"});
    found.dialogs.finds.push_back({FindDialogButton::kOk, test::FindValues("ab", "A")});
    found.search.Run(EditorCommand::kSearchFwd);
    found.RunPosted();
    EXPECT_EQ(found.editor.Document(), found.messages[2].get());
    EXPECT_EQ(found.editor.Caret(), (TextPlace{0, 0}));
    found.search.Run(EditorCommand::kSearchNext);
    EXPECT_EQ(found.editor.Caret(), (TextPlace{1, 0}));
    EXPECT_EQ(found.host.beeps, 0);

    FolderEditor backward({"x\n", "ab\nab\n", "one\n"});
    backward.dialogs.finds.push_back({FindDialogButton::kOk, test::FindValues("ab", "A", true)});
    backward.search.Run(EditorCommand::kSearchBwd);
    backward.RunPosted();
    EXPECT_EQ(backward.editor.Document(), backward.messages[1].get());
    EXPECT_EQ(backward.editor.Caret(), (TextPlace{1, 0}));
}

TEST(EditorSearchTest, EscapeAndBadPatternsEndTheSearch) {
    std::string body(1500, '\n');
    body += "needle\n";
    FolderEditor escaped({body, "needle\n"});
    escaped.dialogs.escape = true;
    escaped.dialogs.finds.push_back({FindDialogButton::kOk, test::FindValues("needle", "A")});
    escaped.search.Run(EditorCommand::kSearchFwd);
    EXPECT_EQ(escaped.host.selections, 0);
    EXPECT_EQ(escaped.editor.Caret(), (TextPlace{0, 0}));
    EXPECT_EQ(escaped.host.beeps, 1);

    SearchEditor bad("(ab\n");
    bad.FindWith("(ab", "R");
    ASSERT_EQ(bad.dialogs.errors.size(), 1u);
    EXPECT_EQ(bad.t.host.beeps, 0);
}

TEST(EditorSearchTest, JumpLineLogicalAndAsShown) {
    // Line 0 takes three display rows at the default wrap of 80 columns.
    std::string body = std::string(200, 'x') + "\n";
    for (int i = 1; i < 60; ++i) {
        body += "line " + std::to_string(i) + "\n";
    }
    struct Case {
        long number;
        bool asShown;
        TextPlace caret;
    } const cases[] = {
        {3, false, {2, 0}},
        {3, true, {0, 160}},
        {5, true, {2, 0}},
        {999, false, {59, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        SearchEditor s(body);
        s.t.editor.SetWindowRows(10);
        s.dialogs.jumps.push_back({c.number, c.asShown});
        s.search.Run(EditorCommand::kJumpLine);
        EXPECT_EQ(s.t.editor.Caret(), c.caret);
        EXPECT_EQ(s.t.editor.TopRow(), std::max(0L, s.t.editor.CaretRow() - 4));
        EXPECT_TRUE(s.t.editor.SwapWithJumpOrigin());
        EXPECT_EQ(s.t.editor.Caret(), (TextPlace{0, 0}));
    }
}

// The Jump dialog opens on the caret's number, counted as the line
// numbers are shown.
TEST(EditorSearchTest, JumpDialogCountsAsTheLineNumbersDo) {
    struct Presets : test::ScriptedDialogs {
        std::vector<JumpDialogValues> shown;
        bool AskJump(JumpDialogValues& values) override {
            shown.push_back(values);
            return false;
        }
    };
    for (const bool nonLogicalLine : {true, false}) {
        EditorOptions options;
        options.nonLogicalLine = nonLogicalLine;
        test::TestEditor t(std::string(100, 'x') + "\nb\n", CodePage::kShiftJis, options);
        t.editor.MoveCaretTo(1, 0);
        Presets dialogs;
        SearchState state;
        EditorSearch search(t.editor, t.host, dialogs, t.options, state);
        search.Run(EditorCommand::kJumpLine);
        ASSERT_EQ(dialogs.shown.size(), 1u);
        EXPECT_EQ(dialogs.shown[0].asShown, nonLogicalLine);
        EXPECT_EQ(dialogs.shown[0].lineNumber, nonLogicalLine ? 3 : 2);
    }
}

TEST(EditorSearchTest, TitleMarkAndWordPaste) {
    EditorOptions options;
    options.kinsoku.ankTitle = "#";
    options.kinsoku.dbcsTitle = "\x81\xa1\x81\x9c";  // two squares
    SearchEditor s("  # one\n\t\x81\x9c two\nx #\n\n\x81\x40\n", options);
    s.search.Run(EditorCommand::kTitleMark);
    const bool marked[] = {true, true, false, false, false};
    for (std::size_t line = 0; line < 5; ++line) {
        EXPECT_EQ(s.t.editor.LineMarked(line), marked[line]) << line;
    }

    s.state.SetSearchString("a\\tb\\\\");
    s.t.editor.MoveCaretTo(2, 0);
    s.search.Run(EditorCommand::kWordPaste);
    EXPECT_EQ(s.Line(2), "a\tb\\x #\n");
    s.t.editor.SetReadOnly(true);
    s.search.Run(EditorCommand::kWordPaste);
    EXPECT_EQ(s.Line(2), "a\tb\\x #\n");
    EXPECT_FALSE(s.search.Run(EditorCommand::kUndo));
}

TEST(EditorSearchTest, SaveOptionWritesOnlyItsOwnOption) {
    ConfigStore store;
    SearchState state;
    state.LoadOptions(store);
    EXPECT_EQ(state.FindOptions().Letters(), "I");
    EXPECT_EQ(state.ReplaceOptions().Letters(), "G");

    state.SetReplaceOptions(SearchOptions::FromLetters("WG"));
    state.SaveReplaceOptions(store);
    EXPECT_EQ(store.GetString("Settings", "ReplOption"), "GW");
    EXPECT_FALSE(store.HasValue("Settings", "FindOption"));

    state.SetFindOptions(SearchOptions::FromLetters("RM"));
    state.SaveFindOptions(store);
    SearchState loaded;
    loaded.LoadOptions(store);
    EXPECT_EQ(loaded.FindOptions().Letters(), "MR");
    EXPECT_EQ(loaded.ReplaceOptions().Letters(), "GW");
}

}  // namespace
}  // namespace corvina
