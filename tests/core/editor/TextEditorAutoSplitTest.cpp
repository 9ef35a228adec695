#include <gtest/gtest.h>

#include <string>

#include "RecordingEditorHost.h"
#include "editor/EditorSettingsFile.h"

namespace corvina {
namespace {

using test::TestEditor;

EditorOptions SplitAt(int column, int codePage) {
    EditorOptions options;
    options.autoSplit = true;
    options.autoSplitCol = column;
    options.kinsoku = BuiltInKinsokuSets(codePage);
    return options;
}

void TypeEach(TextEditor& editor, std::string_view text, const CodePage& cp) {
    for (std::size_t pos = 0; pos < text.size();) {
        const auto length = static_cast<std::size_t>(cp.CharLength(text, pos));
        editor.TypeText(text.substr(pos, length));
        pos += length;
    }
}

// Typing past the split column breaks the paragraph as it goes; every
// line but the last carries the continued mark, the caret stays at the
// end of what was typed, and undo takes the typing back character by
// character with the breaks.
TEST(TextEditorAutoSplit, TypingBreaksTheParagraphAndUndoTakesItBack) {
    struct Case {
        int codePage;
        std::string typed;
        std::string expected;
    };
    const std::string hiragana = "\x82\xa0\x82\xa2\x82\xa4\x82\xa6\x82\xa8";  // あいうえお
    const std::string maru = "\x81\x42";                                      // 。
    const Case cases[] = {
        {932, "the quick brown fox jumps over the lazy dog",
         "the quick brown fox\njumps over the lazy\ndog\n"},
        {65001, "the quick brown fox jumps over the lazy dog",
         "the quick brown fox\njumps over the lazy\ndog\n"},
        // The full stop hangs past the column instead of starting a line.
        {932, hiragana + hiragana + maru + hiragana,
         hiragana + hiragana + maru + "\n" + hiragana + "\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        TestEditor t("\n", c.codePage, SplitAt(20, c.codePage));
        TypeEach(t.editor, c.typed, CodePage::Get(c.codePage));
        EXPECT_EQ(t.editor.Text(), c.expected);
        t.editor.FocusOut();
        const BodyLines& lines = t.message.bodyLines;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            EXPECT_EQ((lines[i].lineFlags & kLineContinued) != 0, i + 1 < lines.size()) << i;
        }
        EXPECT_EQ(t.editor.CaretLine(), lines.size() - 1);
        EXPECT_EQ(t.editor.CaretOffset(), lines[lines.size() - 1].Content().size());
        while (t.editor.Undo()) {
        }
        EXPECT_EQ(t.editor.Text(), "\n");
        while (t.editor.Redo()) {
        }
        EXPECT_EQ(t.editor.Text(), c.expected);
    }
}

// Removing text from a split paragraph pulls the next line's words up; a
// long line nobody split (a quotation) stays whole when a character of it
// goes.
TEST(TextEditorAutoSplit, RemovalRejoinsOnlyWhatTheSplitMade) {
    TestEditor t("\n", 932, SplitAt(20, 932));
    TypeEach(t.editor, "the quick brown fox jumps over the lazy dog", CodePage::Get(932));
    t.editor.MoveCaretTo(0, 0);
    for (int i = 0; i < 4; ++i) {
        t.editor.DeleteChar();
    }
    EXPECT_EQ(t.editor.Text(), "quick brown fox\njumps over the lazy\ndog\n");
    for (int i = 0; i < 6; ++i) {
        t.editor.DeleteChar();
    }
    EXPECT_EQ(t.editor.Text(), "brown fox jumps\nover the lazy dog\n");

    const std::string quoted = "> " + std::string(60, 'q') + " " + std::string(30, 'r') + "\n";
    TestEditor q(quoted, 932, SplitAt(20, 932));
    q.editor.MoveCaretTo(0, 2);
    q.editor.DeleteChar();
    EXPECT_EQ(q.editor.Text(), quoted.substr(0, 2) + quoted.substr(3));
}

}  // namespace
}  // namespace corvina
