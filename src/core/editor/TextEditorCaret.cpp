// Caret movement and the bookkeeping of display rows around the caret.

#include <algorithm>

#include "common/CodePage.h"
#include "editor/EditorHost.h"
#include "editor/EditorOptions.h"
#include "editor/TextEditor.h"
#include "message/MailMessage.h"

namespace corvina {

void TextEditor::ResetCaret() {
    caretLine_ = 0;
    caretPos_ = 0;
    caretRowStart_ = 0;
    caretRowInLine_ = 0;
    lineRowBase_ = 0;
    virtualColumn_ = 0;
    desiredColumn_ = -1;
    leftColumn_ = 0;
    topRow_ = 0;
}

bool TextEditor::FreeCursorOn() const {
    return options_.freeCursor || freeCursorForced_ ||
           (selActive_ && selMode_ == SelectionMode::kBox);
}

int TextEditor::CaretColumn() const {
    if (document_ == nullptr) {
        return 0;
    }
    return ColumnOf(TextOf(caretLine_), caretRowStart_, caretPos_, Metrics());
}

// Rows of lines [first, last): the inner loop of every jump of the caret.
long TextEditor::SumRows(std::size_t first, std::size_t last) {
    const BodyLines& body = document_->bodyLines;
    long sum = 0;
    for (std::size_t i = first; i < last; ++i) {
        const int rows = body[i].rowCount;
        sum += rows != 0 ? rows : RowsOf(i);
    }
    return sum;
}

void TextEditor::BuildRowMarks() {
    rowMarks_.clear();
    long base = 0;
    for (std::size_t line = 0; line < LineCount(); line += kMarkSpacing) {
        rowMarks_.push_back({line, base});
        base += SumRows(line, std::min(line + kMarkSpacing, LineCount()));
    }
}

// Lines were inserted (lines > 0) or removed (< 0) before `line`, or rows
// changed before it: marks from `line` on move with them.
void TextEditor::ShiftRowMarks(std::size_t line, long lines, long rows) {
    for (auto it = rowMarks_.rbegin(); it != rowMarks_.rend() && it->line >= line; ++it) {
        it->line = static_cast<std::size_t>(static_cast<long>(it->line) + lines);
        it->base += rows;
    }
}

const TextEditor::RowMark* TextEditor::MarkAtOrBefore(std::size_t line) const {
    auto it = std::upper_bound(rowMarks_.begin(), rowMarks_.end(), line,
                               [](std::size_t l, const RowMark& m) { return l < m.line; });
    return it == rowMarks_.begin() ? nullptr : &*(it - 1);
}

const TextEditor::RowMark* TextEditor::MarkAtOrBeforeRow(long row) const {
    auto it = std::upper_bound(rowMarks_.begin(), rowMarks_.end(), row,
                               [](long r, const RowMark& m) { return r < m.base; });
    return it == rowMarks_.begin() ? nullptr : &*(it - 1);
}

// Display row of the first row of `line`, walked from the nearest known
// place: the caret's line, the top, or a row mark.
long TextEditor::RowBaseOf(std::size_t line) {
    const std::size_t fromCaret = line > caretLine_ ? line - caretLine_ : caretLine_ - line;
    const RowMark* mark = MarkAtOrBefore(line);
    if (mark != nullptr && line - mark->line < std::min(fromCaret, line)) {
        return mark->base + SumRows(mark->line, line);
    }
    if (line < fromCaret) {
        return SumRows(0, line);
    }
    return line >= caretLine_ ? lineRowBase_ + SumRows(caretLine_, line)
                              : lineRowBase_ - SumRows(line, caretLine_);
}

bool TextEditor::PlaceCaret(std::size_t line, std::size_t offset) {
    if (line != caretLine_ && !CommitLine()) {
        return false;
    }
    lineRowBase_ = RowBaseOf(line);
    caretLine_ = line;
    caretPos_ = offset;
    UpdateCaretRow();
    return true;
}

void TextEditor::UpdateCaretRow() {
    rowRestart_ = 0;
    rowRestartIndex_ = 0;
    rowRestartValid_ = true;
    CountRowsFromRestart();
}

// Walks the caret's line from the restart row to its end: finds the
// caret's row, moves the restart to two rows before it, and returns the
// line's row count.
int TextEditor::CountRowsFromRestart() {
    const std::string_view text = TextOf(caretLine_);
    const RowMetrics m = Metrics();
    std::size_t start = rowRestart_;
    int row = rowRestartIndex_;
    std::size_t back[2] = {start, start};
    int backRow[2] = {row, row};
    bool caretFound = false;
    for (;;) {
        if (!caretFound) {
            caretRowStart_ = start;
            caretRowInLine_ = row;
        }
        const std::size_t next = NextRowStart(text, start, m);
        if (next == std::string_view::npos) {
            break;
        }
        if (!caretFound && next > caretPos_) {
            caretFound = true;
        }
        if (!caretFound) {
            back[1] = back[0];
            backRow[1] = backRow[0];
            back[0] = start;
            backRow[0] = row;
        }
        start = next;
        if (row < 65534) {
            ++row;
        }
    }
    if (caretRowInLine_ - backRow[1] >= 2) {
        rowRestart_ = back[1];
        rowRestartIndex_ = backRow[1];
    } else if (caretRowInLine_ - rowRestartIndex_ < 2) {
        rowRestart_ = 0;  // too close to the caret for the next edit
        rowRestartIndex_ = 0;
    }
    return row + 1;
}

void TextEditor::SyncVirtualColumn() {
    virtualColumn_ = CaretColumn();
}

void TextEditor::AfterSideMove() {
    SyncVirtualColumn();
    desiredColumn_ = -1;
    AfterMove();
}

void TextEditor::AfterMove() {
    FollowCaret();
    host_.EnsureCaretVisible();
}

TextPlace TextEditor::ClampPlace(TextPlace place) const {
    if (document_ == nullptr) {
        return {};
    }
    place.line = std::min(place.line, LineCount() - 1);
    const std::string_view text = TextOf(place.line);
    place.offset = std::min(place.offset, text.size() - 1);
    // Back to the start of the character that holds the offset.
    std::size_t pos = 0;
    int column = 0;
    while (pos < place.offset) {
        const CharStep step = StepAt(text, pos, column, Metrics());
        if (pos + step.bytes > place.offset) {
            break;
        }
        pos += step.bytes;
        column += step.columns;
    }
    place.offset = pos;
    return place;
}

bool TextEditor::MoveCaretTo(std::size_t line, std::size_t offset) {
    if (document_ == nullptr) {
        return false;
    }
    const TextPlace place = ClampPlace({line, offset});
    if (!PlaceCaret(place.line, place.offset)) {
        return false;
    }
    AfterSideMove();
    return place.line == line && place.offset == offset;
}

TextPlace TextEditor::PlaceOfRow(long row, int column, int* reached) {
    if (document_ == nullptr) {
        return {};
    }
    row = std::clamp(row, 0L, std::max(0L, TotalRows() - 1));
    // Walk to the line that holds the row from the caret's line, or from
    // a nearer row mark.
    std::size_t line = caretLine_;
    long base = lineRowBase_;
    const RowMark* mark = MarkAtOrBeforeRow(row);
    if (mark != nullptr && mark->line < LineCount() &&
        (row < base || row - mark->base < row - base)) {
        line = mark->line;
        base = mark->base;
    }
    while (row < base && line > 0) {
        --line;
        base -= RowsOf(line);
    }
    while (row >= base + RowsOf(line) && line + 1 < LineCount()) {
        base += RowsOf(line);
        ++line;
    }
    const std::string_view text = TextOf(line);
    const RowMetrics m = Metrics();
    std::size_t rowStart = 0;
    for (long r = base; r < row; ++r) {
        const std::size_t next = NextRowStart(text, rowStart, m);
        if (next == std::string_view::npos) {
            break;
        }
        rowStart = next;
    }
    int at = 0;
    std::size_t pos = PosAtColumn(text, rowStart, column, m, &at);
    // A column beyond a full row stays on that row's last character.
    const std::size_t next = NextRowStart(text, rowStart, m);
    if (next != std::string_view::npos && pos >= next) {
        pos = codePage_->PrevCharStart(text, next);
        at = ColumnOf(text, rowStart, pos, m);
    }
    if (reached != nullptr) {
        *reached = at;
    }
    return {line, pos};
}

void TextEditor::MoveToRowColumn(long row, int column) {
    int reached = 0;
    const TextPlace place = PlaceOfRow(row, column, &reached);
    if (!PlaceCaret(place.line, place.offset)) {
        return;
    }
    const bool onLineEnd = caretPos_ + 1 == TextOf(caretLine_).size();
    if (FreeCursorOn() && onLineEnd && column > reached) {
        virtualColumn_ = std::min(column, wrapWidth_ - 1);
    } else {
        SyncVirtualColumn();
    }
}

void TextEditor::MoveCaretToRow(long row, int column) {
    if (document_ == nullptr) {
        return;
    }
    MoveToRowColumn(row, std::max(0, column));
    desiredColumn_ = -1;
    AfterMove();
}

void TextEditor::CaretLeft() {
    if (document_ == nullptr) {
        return;
    }
    if (caretPos_ > 0) {
        PlaceCaret(caretLine_, codePage_->PrevCharStart(TextOf(caretLine_), caretPos_));
    } else if (caretLine_ > 0) {
        PlaceCaret(caretLine_ - 1, TextOf(caretLine_ - 1).size() - 1);
    }
    AfterSideMove();
}

void TextEditor::CaretRight() {
    if (document_ == nullptr) {
        return;
    }
    const std::string_view text = TextOf(caretLine_);
    if (caretPos_ + 1 < text.size()) {
        const CharStep step = StepAt(text, caretPos_, CaretColumn(), Metrics());
        PlaceCaret(caretLine_, caretPos_ + step.bytes);
        SyncVirtualColumn();
    } else if (FreeCursorOn()) {
        virtualColumn_ = std::min(virtualColumn_ + 1, std::max(CaretColumn(), wrapWidth_ - 1));
    } else if (caretLine_ + 1 < LineCount()) {
        PlaceCaret(caretLine_ + 1, 0);
        SyncVirtualColumn();
    }
    desiredColumn_ = -1;
    AfterMove();
}

void TextEditor::CaretUp() {
    if (document_ == nullptr || CaretRow() == 0) {
        return;
    }
    const int desired = desiredColumn_ >= 0 ? desiredColumn_ : virtualColumn_;
    MoveToRowColumn(CaretRow() - 1, desired);
    KeepDesiredColumn(desired);
}

void TextEditor::CaretDown() {
    if (document_ == nullptr) {
        return;
    }
    const bool lastRow = caretLine_ + 1 >= LineCount() && caretRowInLine_ + 1 >= RowsOf(caretLine_);
    if (lastRow) {
        return;
    }
    const int desired = desiredColumn_ >= 0 ? desiredColumn_ : virtualColumn_;
    MoveToRowColumn(CaretRow() + 1, desired);
    KeepDesiredColumn(desired);
}

void TextEditor::KeepDesiredColumn(int desired) {
    desiredColumn_ = desired;
    const bool onLineEnd = caretPos_ + 1 == TextOf(caretLine_).size();
    if ((options_.eolOverCsr || FreeCursorOn()) && onLineEnd) {
        virtualColumn_ = std::max(CaretColumn(), std::min(desired, wrapWidth_ - 1));
    } else {
        SyncVirtualColumn();
    }
    AfterMove();
}

void TextEditor::RowHome() {
    if (document_ == nullptr) {
        return;
    }
    PlaceCaret(caretLine_, caretRowStart_);
    AfterSideMove();
}

void TextEditor::RowEnd() {
    if (document_ == nullptr) {
        return;
    }
    const std::string_view text = TextOf(caretLine_);
    const std::size_t next = NextRowStart(text, caretRowStart_, Metrics());
    PlaceCaret(caretLine_, next == std::string_view::npos ? text.size() - 1
                                                          : codePage_->PrevCharStart(text, next));
    AfterSideMove();
}

}  // namespace corvina
