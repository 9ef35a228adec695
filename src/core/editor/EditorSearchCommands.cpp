// "GetWord", "TitleMark", "JumpLine" and "WordPaste".

#include <algorithm>

#include "common/CodePage.h"
#include "editor/CharClasses.h"
#include "editor/EditorEscapes.h"
#include "editor/EditorHost.h"
#include "editor/EditorOptions.h"
#include "editor/EditorSearch.h"
#include "editor/TextEditor.h"

namespace corvina {

// The selection from the caret over the run of its character class, taken
// as both search strings.
void EditorSearch::GetWord() {
    const EditorSearchText text(editor_);
    const TextPlace caret = editor_.Caret();
    const std::string_view line = text.Line(caret.line);
    if (caret.offset >= line.size()) {
        host_.Beep();
        return;
    }
    const CodePage& codePage = editor_.TextCodePage();
    const std::size_t end = WordRunAt(line, caret.offset, codePage, options_.kinsoku).second;
    editor_.SelectRange(caret, {caret.line, end});
    state_.TakeWord(EscapeText(line.substr(caret.offset, end - caret.offset), codePage));
}

// Marks every line whose first character after blanks and TABs is a title
// character (ANKTitle for single bytes, DBCSTitle for wide characters).
void EditorSearch::TitleMark() {
    const EditorSearchText text(editor_);
    const CodePage& codePage = editor_.TextCodePage();
    const KinsokuSets& sets = options_.kinsoku;
    for (std::size_t i = 0; i < text.LineCount(); ++i) {
        const std::string_view line = text.Line(i);
        const std::size_t at = line.find_first_not_of(" \t");
        if (at == std::string_view::npos) {
            continue;
        }
        const auto length = static_cast<std::size_t>(std::max(1, codePage.CharLength(line, at)));
        const std::string_view character = line.substr(at, length);
        const bool title = length == 1 ? sets.ankTitle.find(character[0]) != std::string::npos
                                       : InCharacterSet(sets.dbcsTitle, character, codePage);
        if (title) {
            editor_.SetLineMarked(i, true);
        }
    }
}

// Line n (counted from 1) as logical lines or as display rows; a number
// beyond the end goes to the last one.
void EditorSearch::JumpLine() {
    JumpDialogValues values;
    values.asShown = options_.nonLogicalLine;
    values.lineNumber =
        values.asShown ? editor_.CaretRow() + 1 : static_cast<long>(editor_.CaretLine()) + 1;
    if (!dialogs_.AskJump(values) || values.lineNumber < 1) {
        return;
    }
    editor_.NoteJumpOrigin();
    const long target = values.lineNumber - 1;
    if (values.asShown) {
        editor_.MoveCaretToRow(std::min(target, editor_.TotalRows() - 1), 0);
    } else {
        const auto last = static_cast<long>(editor_.LineCount()) - 1;
        editor_.MoveCaretTo(static_cast<std::size_t>(std::min(target, last)), 0);
    }
    if (options_.jumpCenter) {
        editor_.CenterCaretRow();
    }
    host_.EnsureCaretVisible();
}

void EditorSearch::WordPaste() {
    if (editor_.ReadOnly()) {
        return;
    }
    const std::string text = UnescapeText(state_.SearchString(), editor_.TextCodePage());
    if (!text.empty()) {
        editor_.InsertText(text);
    }
}

}  // namespace corvina
