#include <algorithm>

#include "editor/EditorHost.h"
#include "editor/TextEditor.h"

namespace corvina {

bool TextEditor::LineMarked(std::size_t line) const {
    return document_ != nullptr && line < LineCount() &&
           (document_->bodyLines[line].lineFlags & kLineMarked) != 0;
}

void TextEditor::SetLineMarked(std::size_t line, bool marked) {
    if (document_ == nullptr || line >= LineCount() || LineMarked(line) == marked) {
        return;
    }
    MessageLine& node = document_->bodyLines.Line(line);
    node.lineFlags = static_cast<std::uint8_t>(marked ? node.lineFlags | kLineMarked
                                                      : node.lineFlags & ~kLineMarked);
    const long first = RowBaseOf(line);
    host_.RedrawRows(first, first + RowsOf(line) - 1);
}

void TextEditor::SetWindowRows(int rows) {
    windowRows_ = std::max(1, rows);
    ScrollTo(topRow_);
}

void TextEditor::ScrollTo(long topRow) {
    const long last = document_ == nullptr ? 0 : std::max(0L, TotalRows() - 1);
    const long top = std::clamp(topRow, 0L, last);
    if (top != topRow_) {
        topRow_ = top;
        host_.RedrawAll();
    }
}

void TextEditor::CenterCaretRow() {
    ScrollTo(CaretRow() - (windowRows_ - 1) / 2);
}

void TextEditor::NoteJumpOrigin() {
    jumpOrigin_ = Caret();
    hasJumpOrigin_ = true;
}

bool TextEditor::SwapWithJumpOrigin() {
    if (!hasJumpOrigin_) {
        return false;
    }
    const TextPlace here = Caret();
    const TextPlace there = ClampPlace(jumpOrigin_);
    MoveCaretTo(there.line, there.offset);
    jumpOrigin_ = here;
    return true;
}

}  // namespace corvina
