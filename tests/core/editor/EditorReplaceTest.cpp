// Replace: confirmations, undo, what a run may not do to its own output,
// the restriction to a selection, and runs over the messages of a folder.

#include <gtest/gtest.h>

#include <vector>

#include "SearchFixture.h"

namespace corvina {
namespace {

using test::FolderEditor;
using test::SearchEditor;

TEST(EditorReplaceTest, ConfirmationsDecideEachMatch) {
    using enum ReplaceAnswer;
    struct Case {
        std::vector<ReplaceAnswer> answers;
        bool shift;
        const char* line;
        int asked;
        const char* information;  // empty: a beep
    } const cases[] = {
        {{kYes, kNo, kAll}, false, "b a b b\n", 3, "Message from Marlo!: 3 words are replaced"},
        {{kYes, kCancel}, false, "b a a a\n", 2, "Message from Marlo!: 1 words are replaced"},
        {{kNo, kNo, kNo, kNo}, false, "a a a a\n", 4, ""},
        {{kYes}, true, "b b b b\n", 1, "Message from Marlo!: 4 words are replaced"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        SearchEditor s("a a a a\n");
        s.dialogs.confirmations.assign(c.answers.begin(), c.answers.end());
        s.dialogs.shift = c.shift;
        s.ReplaceWith("a", "b", "GM");
        EXPECT_EQ(s.Line(0), c.line);
        EXPECT_EQ(s.dialogs.confirmationsAsked, c.asked);
        const std::string information(c.information);
        EXPECT_EQ(s.dialogs.information, information.empty()
                                             ? std::vector<std::string>{}
                                             : std::vector<std::string>{information});
        EXPECT_EQ(s.t.host.beeps, information.empty() ? 1 : 0);
        EXPECT_EQ(s.t.editor.LineMarked(0), !information.empty());
    }
}

TEST(EditorReplaceTest, EachReplacementIsOneUndoStep) {
    SearchEditor s("a a a\n");
    s.ReplaceWith("a", "xy", "G", ReplaceDialogButton::kReplaceAll);
    EXPECT_EQ(s.Line(0), "xy xy xy\n");
    EXPECT_TRUE(s.t.editor.Undo());
    EXPECT_EQ(s.Line(0), "xy xy a\n");
    EXPECT_TRUE(s.t.editor.Undo());
    EXPECT_EQ(s.Line(0), "xy a a\n");
}

// The run goes on after the inserted text, and one character on after an
// empty match.
TEST(EditorReplaceTest, RunsEndOverTheirOwnOutput) {
    struct Case {
        const char* body;
        const char* pattern;
        const char* replacement;
        const char* letters;
        const char* text;
        const char* information;
    } const cases[] = {
        {"a a\n", "a", "aa", "G", "aa aa\n", "2 words are replaced"},
        {"aa\n", "a", "aaa", "G", "aaaaaa\n", "2 words are replaced"},
        {"ab\n", "x*", "-", "GR", "-a-b-\n", "3 words are replaced"},
        {"a b\n", " ", "\\n", "G", "a\nb\n", "1 words are replaced"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pattern);
        SearchEditor s(c.body);
        s.ReplaceWith(c.pattern, c.replacement, c.letters, ReplaceDialogButton::kReplaceAll);
        EXPECT_EQ(s.t.editor.Text(), c.text);
        ASSERT_EQ(s.dialogs.information.size(), 1u);
        EXPECT_EQ(s.dialogs.information[0], std::string("Message from Marlo!: ") + c.information);
    }
}

TEST(EditorReplaceTest, ASelectionRestrictsTheRunAndComesBack) {
    SearchEditor stream("a a a a\n");
    stream.t.editor.SelectRange({0, 2}, {0, 5});
    stream.ReplaceWith("a", "bb", "G", ReplaceDialogButton::kReplaceAll);
    EXPECT_EQ(stream.Line(0), "a bb bb a\n");
    EXPECT_EQ(stream.t.editor.SelectedText(), "bb bb");

    // Rows 0 and 1, columns 2 to 3.
    SearchEditor middle("a a a\na a a\na a a\n");
    middle.t.editor.MoveCaretTo(0, 2);
    middle.t.editor.StartBoxSelection();
    middle.t.editor.MoveCaretToRow(1, 3);
    middle.ReplaceWith("a", "b", "G", ReplaceDialogButton::kReplaceAll);
    EXPECT_EQ(middle.t.editor.Text(), "a b a\na b a\na a a\n");
    EXPECT_EQ(middle.t.editor.Selection(), SelectionMode::kBox);
    EXPECT_EQ(middle.t.editor.SelectedBoxLines(), (std::vector<std::string>{"b", "b"}));

    // Text that slides into the box's columns as the run shortens the row
    // was outside the box and stays.
    SearchEditor sliding("aa aa aa\n");
    sliding.t.editor.StartBoxSelection();
    sliding.t.editor.MoveCaretTo(0, 5);
    sliding.ReplaceWith("aa", "", "G", ReplaceDialogButton::kReplaceAll);
    EXPECT_EQ(sliding.Line(0), "  aa\n");

    // A one-row box stays on its row when the run splits the line.
    SearchEditor split("a b c\n");
    split.t.editor.StartBoxSelection();
    split.t.editor.MoveCaretTo(0, 3);
    split.ReplaceWith(" ", "\\n", "G", ReplaceDialogButton::kReplaceAll);
    EXPECT_EQ(split.t.editor.Text(), "a\nb c\n");
    EXPECT_EQ(split.t.editor.SelectionStartRow(), 0);
    EXPECT_EQ(split.t.editor.SelectionEndRow(), 0);
}

TEST(EditorReplaceTest, StartsAtTheCaretUnlessFromTheBeginning) {
    SearchEditor s("a a\n");
    s.t.editor.MoveCaretTo(0, 1);
    s.ReplaceWith("a", "b", "", ReplaceDialogButton::kReplaceAll);
    EXPECT_EQ(s.Line(0), "a b\n");
    EXPECT_EQ(s.state.Replacement(), "b");

    s.search.Run(EditorCommand::kReplAgain);
    EXPECT_EQ(s.Line(0), "a b\n");
    EXPECT_EQ(s.t.host.beeps, 1);
    s.state.SetReplaceOptions(SearchOptions::FromLetters("G"));
    s.dialogs.confirmations = {ReplaceAnswer::kAll};
    s.search.Run(EditorCommand::kReplAgain);
    EXPECT_EQ(s.Line(0), "b b\n");

    // A new dialog starts with an empty replacement; cancelled, it leaves
    // the last run's strings to "ReplAgain".
    s.t.editor.MoveCaretTo(0, 0);
    s.ReplaceWith("b", "c", "G", ReplaceDialogButton::kCancel);
    EXPECT_EQ(s.dialogs.replacesShown.back().pattern, "b");
    EXPECT_EQ(s.dialogs.replacesShown.back().replacement, "");
    EXPECT_EQ(s.state.ReplaceSearchString(), "a");
    EXPECT_EQ(s.state.Replacement(), "b");

    s.t.editor.SetReadOnly(true);
    s.search.Run(EditorCommand::kReplace);
    s.search.Run(EditorCommand::kReplAgain);
    EXPECT_EQ(s.dialogs.replacesShown.size(), 2u);
    EXPECT_EQ(s.Line(0), "b b\n");
}

TEST(EditorReplaceTest, AllMessagesReplacesThroughTheFolderOnce) {
    FolderEditor f({"a\n", "b a\n", "a a\n"});
    f.dialogs.replaces.push_back(
        {ReplaceDialogButton::kReplaceAll, test::ReplaceValues("a", "c", "GA")});
    f.search.Run(EditorCommand::kReplace);
    f.RunPosted();
    EXPECT_EQ(f.messages[1]->bodyLines[0].Text(), "b c\n");
    EXPECT_EQ(f.messages[2]->bodyLines[0].Text(), "c c\n");
    EXPECT_EQ(f.editor.Document(), f.messages[0].get());
    EXPECT_EQ(f.editor.LineText(0), "c\n");
    EXPECT_EQ(f.host.selections, 3);
    EXPECT_EQ(f.dialogs.information,
              std::vector<std::string>{"Message from Marlo!: 4 words are replaced"});
}

}  // namespace
}  // namespace corvina
