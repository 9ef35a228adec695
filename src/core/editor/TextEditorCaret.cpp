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

// Display row of the first row of `line`, walked from the nearest known
// place: the caret's line, the top, or the end when all rows are counted.
long TextEditor::RowBaseOf(std::size_t line) {
    const std::size_t fromCaret = line > caretLine_ ? line - caretLine_ : caretLine_ - line;
    const std::size_t fromEnd = LineCount() - line;
    if (line < fromCaret) {
        long base = 0;
        for (std::size_t i = 0; i < line; ++i) {
            base += RowsOf(i);
        }
        return base;
    }
    if (totalsKnown_ && fromEnd < fromCaret) {
        long base = totalRows_;
        for (std::size_t i = line; i < LineCount(); ++i) {
            base -= RowsOf(i);
        }
        return base;
    }
    long base = lineRowBase_;
    for (std::size_t i = caretLine_; i < line; ++i) {
        base += RowsOf(i);
    }
    for (std::size_t i = line; i < caretLine_; ++i) {
        base -= RowsOf(i);
    }
    return base;
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
    const RowPlace place = RowOf(TextOf(caretLine_), caretPos_, Metrics());
    caretRowStart_ = place.rowStart;
    caretRowInLine_ = place.row;
}

void TextEditor::SyncVirtualColumn() {
    virtualColumn_ = CaretColumn();
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
    SyncVirtualColumn();
    desiredColumn_ = -1;
    AfterMove();
    return place.line == line && place.offset == offset;
}

TextPlace TextEditor::PlaceOfRow(long row, int column, int* reached) {
    if (document_ == nullptr) {
        return {};
    }
    row = std::clamp(row, 0L, std::max(0L, TotalRows() - 1));
    // Walk from the caret's line to the line that holds the row.
    std::size_t line = caretLine_;
    long base = lineRowBase_;
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
    SyncVirtualColumn();
    desiredColumn_ = -1;
    AfterMove();
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
    SyncVirtualColumn();
    desiredColumn_ = -1;
    AfterMove();
}

void TextEditor::RowEnd() {
    if (document_ == nullptr) {
        return;
    }
    const std::string_view text = TextOf(caretLine_);
    const std::size_t next = NextRowStart(text, caretRowStart_, Metrics());
    PlaceCaret(caretLine_, next == std::string_view::npos ? text.size() - 1
                                                          : codePage_->PrevCharStart(text, next));
    SyncVirtualColumn();
    desiredColumn_ = -1;
    AfterMove();
}

}  // namespace corvina
