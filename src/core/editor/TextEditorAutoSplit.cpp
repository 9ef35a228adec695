// The automatic line split: typing at the split column, or removing text
// from a paragraph the split made, breaks the paragraph anew by the line
// breaking rules, as part of the same undo step as the change itself.

#include <string>
#include <vector>

#include "common/CodePage.h"
#include "editor/EditorOptions.h"
#include "editor/LineBreaker.h"
#include "editor/TextEditor.h"

namespace corvina {

// Column of the caret from the start of its line (not of its display row):
// the split column counts from there.
int TextEditor::LineColumnOfCaret() {
    return ColumnOf(TextOf(caretLine_), 0, caretPos_, Metrics());
}

void TextEditor::AutoSplitAfterTyping(std::string_view character, int columnBefore) {
    if (!autoSplit_) {
        return;
    }
    const LineBreakRules rules{codePage_, options_.autoSplitCol, tabWidth_, &options_.kinsoku};
    if (SplitTriggeredBy(character, columnBefore, rules)) {
        AutoSplitParagraph();
    }
}

// Only a paragraph the split made is joined up again after a removal: a
// long line the user wrote or quoted stays as it is.
void TextEditor::AutoSplitAfterRemoval() {
    if (autoSplit_ && (document_->bodyLines[caretLine_].lineFlags & kLineContinued)) {
        AutoSplitParagraph();
    }
}

// The paragraph is the caret line and the lines after it as long as the
// line before carries the continued bit.
void TextEditor::AutoSplitParagraph() {
    if (!CommitLine()) {
        return;
    }
    const BodyLines& lines = document_->bodyLines;
    const std::size_t first = caretLine_;
    std::size_t last = first;
    while (last + 1 < lines.size() && (lines[last].lineFlags & kLineContinued)) {
        ++last;
    }
    std::string paragraph;
    for (std::size_t i = first; i <= last; ++i) {
        paragraph.append(lines[i].Text());
    }
    const LineBreakRules rules{codePage_, options_.autoSplitCol, tabWidth_, &options_.kinsoku};
    const BrokenParagraph broken = BreakParagraph(paragraph, caretPos_, rules);
    bool same = broken.lines.size() == last - first + 1;
    for (std::size_t k = 0; same && k < broken.lines.size(); ++k) {
        same = broken.lines[k] == lines[first + k].Content();
    }
    if (same) {
        return;
    }
    ReplaceLines(first, last - first + 1, broken.lines,
                 {first + broken.caretLine, broken.caretOffset});
}

}  // namespace corvina
