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

void TextEditor::VisibleRows(long first, int count, std::vector<VisibleRow>& out) {
    out.clear();
    if (document_ == nullptr || count <= 0 || first < 0 || first >= TotalRows()) {
        return;
    }
    const RowMetrics m = Metrics();
    // PlaceOfRow walks to the first row once; the rows after it follow by
    // their row starts.
    TextPlace place = PlaceOfRow(first, 0);
    std::size_t rowStart = place.offset;
    for (std::size_t line = place.line; line < LineCount(); ++line, rowStart = 0) {
        const std::string_view text = TextOf(line);
        std::uint8_t flags = document_->bodyLines[line].lineFlags;
        if (lineOpen_ && lineChanged_ && line == caretLine_) {
            flags |= kLineChanged;
        }
        while (true) {
            out.push_back({line, rowStart, text, line + 1 == LineCount(), flags});
            if (static_cast<int>(out.size()) == count) {
                return;
            }
            const std::size_t next = NextRowStart(text, rowStart, m);
            if (next == std::string_view::npos) {
                break;
            }
            rowStart = next;
        }
    }
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
