// Random edit sequences (4,000), each undone to the original text byte for byte
// and redone to the edited text, in both multi-byte code pages.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "RecordingEditorHost.h"
#include "editor/DeletedLineRing.h"
#include "editor/PasteHistory.h"

namespace corvina {
namespace {

using test::TestEditor;

struct Alphabet {
    int codePage;
    std::vector<std::string> characters;
};

const Alphabet kAlphabets[] = {
    {932, {"a", "b", " ", "\t", "\x82\xa0", "\x88\x9f", "\xb1", "x"}},
    {65001, {"a", "b", " ", "\t", "\xc3\xa9", "\xe6\x97\xa5", "\xf0\x9f\x98\x80", "x"}},
};

std::string RandomText(std::mt19937& rng, const Alphabet& alphabet, int maxChars, bool lines) {
    std::string text;
    const int n = std::uniform_int_distribution<int>(1, maxChars)(rng);
    for (int i = 0; i < n; ++i) {
        if (lines && rng() % 6 == 0) {
            text += rng() % 2 ? "\r\n" : "\n";
        } else {
            text += alphabet.characters[rng() % alphabet.characters.size()];
        }
    }
    return text;
}

// The caret stands where walking the line by characters stops.
bool CaretAtCharacterStart(const TextEditor& editor, const CodePage& page) {
    const std::string line = editor.LineText(editor.CaretLine());
    std::size_t pos = 0;
    while (pos < editor.CaretOffset()) {
        pos += static_cast<std::size_t>(std::max(1, page.CharLength(line, pos)));
    }
    return pos == editor.CaretOffset() && pos < line.size();
}

// The caret's display row, counted afresh from the top.
long CaretRowFromTheTop(const TextEditor& editor, const RowMetrics& m) {
    long row = 0;
    for (std::size_t i = 0; i < editor.CaretLine(); ++i) {
        row += CountRows(editor.LineText(i), m);
    }
    return row + RowOf(editor.LineText(editor.CaretLine()), editor.CaretOffset(), m).row;
}

TEST(RandomEdit, EverySequenceUndoesToTheOriginalAndRedoesToTheEdit) {
    std::mt19937 rng(20261208);
    EditorOptions options;
    int changed = 0;
    for (int sequence = 0; sequence < 4000; ++sequence) {
        const Alphabet& alphabet = kAlphabets[sequence % 2];
        const CodePage& page = CodePage::Get(alphabet.codePage);
        std::string body;
        const int lines = 1 + static_cast<int>(rng() % 5);
        for (int i = 0; i < lines; ++i) {
            body += RandomText(rng, alphabet, 40, false) + "\n";
        }
        options.insertMode = rng() % 4 != 0;
        options.freeCursor = rng() % 4 == 0;
        TestEditor t(body, alphabet.codePage, options);
        const int wrap = 8 + static_cast<int>(rng() % 8);
        t.editor.SetTabAndWrap(4, wrap);
        t.editor.TotalRows();
        const std::string original = t.editor.Text();
        std::vector<std::string> trace;
        const int steps = 1 + static_cast<int>(rng() % 16);
        for (int s = 0; s < steps; ++s) {
            const int op = static_cast<int>(rng() % 17);
            trace.push_back(std::to_string(op));
            switch (op) {
                case 0:
                    t.editor.TypeText(alphabet.characters[rng() % alphabet.characters.size()]);
                    break;
                case 1:
                    t.editor.DeleteChar();
                    break;
                case 2:
                    t.editor.BackSpace();
                    break;
                case 3:
                    t.editor.SplitLine();
                    break;
                case 4:
                    t.editor.InsertText(RandomText(rng, alphabet, 20, true));
                    break;
                case 5:
                    t.editor.DeleteLine();
                    break;
                case 6:
                    t.editor.PopLine();
                    break;
                case 7:
                    t.editor.MoveCaretToRow(static_cast<long>(rng() % 12),
                                            static_cast<int>(rng() % 16));
                    break;
                case 8:
                    t.editor.CaretRight();
                    break;
                case 9:
                    t.editor.CaretDown();
                    break;
                case 10:
                    t.editor.ExtendSelection();
                    t.editor.CaretDown();
                    t.editor.CaretLeft();
                    t.editor.DeleteSelection();
                    break;
                case 11:
                    t.editor.InsertLineCopy(rng() % 2 == 0);
                    break;
                case 12:
                    t.editor.CaretLeft();
                    break;
                case 13:
                    t.editor.ExtendSelection();
                    t.editor.CaretDown();
                    t.editor.ChangeCase(rng() % 2 == 0);
                    break;
                case 14: {
                    t.editor.ExtendSelection();
                    t.editor.CaretRight();
                    t.editor.CaretRight();
                    t.editor.DropAt(t.editor, static_cast<long>(rng() % 10),
                                    static_cast<int>(rng() % 14), rng() % 2 == 0);
                    break;
                }
                case 15:
                    BoxBuffer::Shared().lines = {RandomText(rng, alphabet, 3, false),
                                                 RandomText(rng, alphabet, 3, false)};
                    t.editor.BoxPaste();
                    break;
                case 16:
                    t.editor.Repeat();
                    break;
            }
            ASSERT_TRUE(CaretAtCharacterStart(t.editor, page))
                << "sequence " << sequence << " ops " << testing::PrintToString(trace);
            ASSERT_EQ(t.editor.CaretRow(), CaretRowFromTheTop(t.editor, {&page, 4, wrap}))
                << "sequence " << sequence << " ops " << testing::PrintToString(trace);
        }
        t.editor.FocusOut();
        const std::string edited = t.editor.Text();
        while (t.editor.Undo()) {
            ASSERT_TRUE(CaretAtCharacterStart(t.editor, page)) << "sequence " << sequence;
        }
        ASSERT_EQ(t.editor.Text(), original)
            << "sequence " << sequence << " ops " << testing::PrintToString(trace);
        while (t.editor.Redo()) {
            ASSERT_TRUE(CaretAtCharacterStart(t.editor, page)) << "sequence " << sequence;
        }
        ASSERT_EQ(t.editor.Text(), edited)
            << "sequence " << sequence << " ops " << testing::PrintToString(trace);
        changed += edited != original ? 1 : 0;
        // The row count kept by deltas agrees with a fresh count.
        const long rows = t.editor.TotalRows();
        t.editor.SetTabAndWrap(4, wrap);
        ASSERT_EQ(t.editor.TotalRows(), rows) << "sequence " << sequence;
    }
    EXPECT_GT(changed, 3000);
    DeletedLineRing::Shared().Clear();
}

}  // namespace
}  // namespace corvina
