// Typing and the line operations of the keyboard: they work in the line
// edit buffer while they stay within the caret's line.

#include <algorithm>

#include "common/CodePage.h"
#include "editor/DeletedLineRing.h"
#include "editor/EditorHost.h"
#include "editor/EditorOptions.h"
#include "editor/TextEditor.h"
#include "message/MailMessage.h"

namespace corvina {

bool TextEditor::Editable() const {
    return document_ != nullptr && !readOnly_;
}

bool TextEditor::OpenCaretLine() {
    LineEditBuffer& buffer = LineEditBuffer::Shared();
    if (lineOpen_ && buffer.IsOpenFor(*this)) {
        buffer.MoveCaret(caretPos_);
        return true;
    }
    // A copy: opening may make another editor commit its own line.
    std::string text(TextOf(caretLine_));
    if (!buffer.Open(*this, text, caretPos_)) {
        return false;
    }
    openText_ = std::move(text);
    lineOpen_ = true;
    return true;
}

void TextEditor::AfterBufferChange() {
    const int oldRows = RowsOf(caretLine_);
    openText_ = LineEditBuffer::Shared().Line();
    lineChanged_ = true;
    if (!rowRestartValid_ || rowRestart_ > caretPos_) {
        rowRestart_ = 0;
        rowRestartIndex_ = 0;
    }
    rowRestartValid_ = true;
    const int rows = CountRowsFromRestart();
    SetRows(caretLine_, rows);
    SyncVirtualColumn();
    if (rows != oldRows) {
        host_.RedrawAll();
    } else {
        host_.RedrawRows(lineRowBase_, lineRowBase_ + rows - 1);
    }
    host_.EnsureCaretVisible();
}

// Bytes of one line (no LF) at the caret through the edit buffer; a line
// that would pass the line limit continues on a new line instead.
bool TextEditor::InsertInLine(std::string_view bytes, UndoKind kind) {
    if (TextOf(caretLine_).size() + bytes.size() > kMaxLineBytes) {
        return InsertTextAt(Caret(), bytes, kind);
    }
    if (!OpenCaretLine()) {
        return false;
    }
    const TextPlace before = Caret();
    UndoRecord* record = history_.Record(kind, before, before, bytes);
    LineEditBuffer::Shared().Insert(bytes);
    caretPos_ += bytes.size();
    AfterBufferChange();
    if (record != nullptr) {
        record->end = record->after = Caret();
    }
    return true;
}

// With the free cursor beyond the LF, the line is first padded with
// spaces up to the caret's column on screen.
bool TextEditor::FillToVirtualColumn() {
    if (!FreeCursorOn() || caretPos_ + 1 != TextOf(caretLine_).size()) {
        return true;
    }
    const int column = CaretColumn();
    if (virtualColumn_ <= column) {
        return true;
    }
    const int wanted = virtualColumn_;
    if (!InsertInLine(std::string(static_cast<std::size_t>(wanted - column), ' '),
                      UndoKind::kTyped)) {
        return false;
    }
    virtualColumn_ = std::max(virtualColumn_, CaretColumn());
    return true;
}

bool TextEditor::InsertAtCaret(std::string_view bytes, UndoKind kind) {
    return FillToVirtualColumn() && InsertInLine(bytes, kind);
}

namespace {

bool IsWide(const CharStep& step) {
    return step.bytes > 1 && step.columns == 2;
}

}  // namespace

// Overwrite mode: the typed character replaces what stands under the
// caret so that the columns after it stay where they were.
bool TextEditor::OverwriteAtCaret(std::string_view character) {
    const std::string_view text = TextOf(caretLine_);
    if (caretPos_ + 1 >= text.size()) {
        return InsertAtCaret(character, UndoKind::kTyped);
    }
    const RowMetrics m = Metrics();
    const int column = CaretColumn();
    const bool newWide = character.size() > 1 && codePage_->TextColumns(character) == 2;
    const CharStep under = StepAt(text, caretPos_, column, m);
    std::size_t replaced = under.bytes;
    std::string put(character);
    if (!newWide && IsWide(under)) {
        put.push_back(' ');
    } else if (newWide && !IsWide(under)) {
        const std::size_t next = caretPos_ + under.bytes;
        if (text[next] != '\n') {
            const CharStep after = StepAt(text, next, column + under.columns, m);
            replaced += after.bytes;
            if (IsWide(after)) {
                put.push_back(' ');
            }
        }
    }
    if (text.size() - replaced + put.size() > kMaxLineBytes) {
        return InsertTextAt(Caret(), character, UndoKind::kTyped);
    }
    const std::string old(text.substr(caretPos_, replaced));
    if (!OpenCaretLine()) {
        return false;
    }
    const TextPlace before = Caret();
    UndoRecord* record = history_.Record(UndoKind::kOverwrite, before, before, old, put);
    LineEditBuffer& buffer = LineEditBuffer::Shared();
    buffer.EraseAfter(replaced);
    buffer.Insert(put);
    caretPos_ += character.size();
    AfterBufferChange();
    if (record != nullptr) {
        record->end = {before.line, before.offset + put.size()};
        record->after = Caret();
    }
    return true;
}

// Whole characters only: a lead byte without its trail (or a broken UTF-8
// sequence) would pair with the text after the caret.
std::string TextEditor::WholeCharacters(std::string_view text) const {
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        const int length = std::max(1, codePage_->CharLength(text, pos));
        const auto c = static_cast<unsigned char>(text[pos]);
        const bool broken = length == 1 && c >= 0x80 &&
                            (codePage_->IsLeadByte(c) || (codePage_->IsUtf8() && c < 0xC2));
        if (!broken) {
            out.append(text.substr(pos, static_cast<std::size_t>(length)));
        }
        pos += static_cast<std::size_t>(length);
    }
    return out;
}

void TextEditor::TypeChar(unsigned char byte) {
    if (!Editable()) {
        return;
    }
    if (!pending_.empty()) {
        pending_.push_back(static_cast<char>(byte));
        const int length = codePage_->CharLength(pending_, 0);
        const std::size_t wanted = codePage_->IsDbcs() ? 2 : ExpectedUtf8Length(pending_[0]);
        if (static_cast<std::size_t>(length) == pending_.size() && pending_.size() == wanted) {
            const std::string character = std::move(pending_);
            pending_.clear();
            TypeText(character);
            return;
        }
        if (pending_.size() < wanted && codePage_->IsTrailByte(byte)) {
            return;
        }
        // Not a character after all: the held bytes go, this one counts.
        pending_.clear();
    }
    if (!codePage_->IsSingleByte() && codePage_->IsLeadByte(byte)) {
        pending_.assign(1, static_cast<char>(byte));
        return;
    }
    if (byte == '\n' || byte == '\r') {
        SplitLine();
    } else if (byte == '\t') {
        InsertTab();
    } else {
        TypeText(std::string_view(reinterpret_cast<const char*>(&byte), 1));
    }
}

std::size_t TextEditor::ExpectedUtf8Length(char lead) {
    const auto c = static_cast<unsigned char>(lead);
    return c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
}

void TextEditor::TypeText(std::string_view characters) {
    if (!Editable()) {
        return;
    }
    const std::string text = WholeCharacters(characters);
    if (text.empty()) {
        return;
    }
    UndoStep step(history_);
    if (!DeleteSelectionFirst()) {
        return;
    }
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = std::min(text.find_first_of("\r\n", pos), text.size());
        // Character by character: each may reach the automatic line split.
        for (std::size_t c = pos; c < end;) {
            const auto length =
                static_cast<std::size_t>(std::max(1, codePage_->CharLength(text, c)));
            const std::string_view character = std::string_view(text).substr(c, length);
            const int columnBefore = autoSplit_ ? LineColumnOfCaret() : 0;
            if (!(insertMode_ ? InsertAtCaret(character, UndoKind::kTyped)
                              : OverwriteAtCaret(character))) {
                break;
            }
            AutoSplitAfterTyping(character, columnBefore);
            c += length;
        }
        if (end == text.size()) {
            break;
        }
        if (!SplitAtCaret()) {
            break;
        }
        pos = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    CheckRecordFailure();
}

void TextEditor::InsertTab() {
    if (!Editable()) {
        return;
    }
    if (!options_.softTab) {
        TypeText("\t");
        return;
    }
    UndoStep step(history_);
    if (!DeleteSelectionFirst() || !FillToVirtualColumn()) {
        return;
    }
    const int column = CaretColumn();
    InsertAtCaret(
        std::string(static_cast<std::size_t>(Metrics().NextTabStop(column) - column), ' '),
        UndoKind::kTyped);
    CheckRecordFailure();
}

bool TextEditor::DeleteSelectionFirst() {
    if (!selActive_) {
        return true;
    }
    if (selMode_ == SelectionMode::kBox) {
        ClearSelection();
        return true;
    }
    return DeleteSelection();
}

// The deletion keys take an active stream selection away and stop there.
bool TextEditor::PrepareDelete() {
    if (!Editable()) {
        return false;
    }
    if (selActive_ && selMode_ != SelectionMode::kBox) {
        DeleteSelection();
        return false;
    }
    ClearSelection();
    return true;
}

void TextEditor::DeleteChar() {
    if (!PrepareDelete()) {
        return;
    }
    UndoStep step(history_);
    const std::string_view text = TextOf(caretLine_);
    if (caretPos_ + 1 >= text.size()) {
        if (caretLine_ + 1 < LineCount()) {
            JoinNext(UndoKind::kDeleteAtCaret, Caret());
        }
    } else {
        const std::size_t length = StepAt(text, caretPos_, CaretColumn(), Metrics()).bytes;
        const std::string removed(text.substr(caretPos_, length));
        if (OpenCaretLine()) {
            const TextPlace at = Caret();
            UndoRecord* record = history_.Record(UndoKind::kDeleteAtCaret, at, at, removed);
            LineEditBuffer::Shared().EraseAfter(length);
            AfterBufferChange();
            if (record != nullptr) {
                record->after = at;
            }
            AutoSplitAfterRemoval();
        }
    }
    CheckRecordFailure();
}

void TextEditor::BackSpace() {
    if (!PrepareDelete()) {
        return;
    }
    if (FreeCursorOn() && caretPos_ + 1 == TextOf(caretLine_).size() &&
        virtualColumn_ > CaretColumn()) {
        // Beyond the line end there is nothing to delete: the caret steps
        // back on screen.
        --virtualColumn_;
        return;
    }
    UndoStep step(history_);
    const TextPlace before = Caret();
    if (caretPos_ == 0) {
        if (caretLine_ > 0 && PlaceCaret(caretLine_ - 1, TextOf(caretLine_ - 1).size() - 1)) {
            if (!JoinNext(UndoKind::kDeleteBeforeCaret, before)) {
                PlaceCaret(before.line, before.offset);
                SyncVirtualColumn();
            }
        }
    } else {
        const std::size_t start = codePage_->PrevCharStart(TextOf(caretLine_), caretPos_);
        const std::string removed(TextOf(caretLine_).substr(start, caretPos_ - start));
        if (OpenCaretLine()) {
            UndoRecord* record =
                history_.Record(UndoKind::kDeleteBeforeCaret, before, {caretLine_, start}, removed);
            LineEditBuffer::Shared().EraseBefore(removed.size());
            caretPos_ = start;
            AfterBufferChange();
            if (record != nullptr) {
                record->after = Caret();
            }
            AutoSplitAfterRemoval();
        }
    }
    CheckRecordFailure();
}

// The caret stands on the LF: the next line's bytes move into the edit
// buffer in front of the LF and its node goes.
bool TextEditor::JoinNext(UndoKind kind, TextPlace before) {
    const std::string next(TextOf(caretLine_ + 1));
    if (TextOf(caretLine_).size() - 1 + next.size() > kMaxLineBytes) {
        RefuseTooLong();
        return false;
    }
    if (!OpenCaretLine()) {
        return false;
    }
    UndoRecord* record = history_.Record(kind, before, Caret(), "\n");
    LineEditBuffer::Shared().AppendBeforeLineEnd(std::string_view(next).substr(0, next.size() - 1));
    const std::uint8_t continued = document_->bodyLines[caretLine_ + 1].lineFlags & kLineContinued;
    RemoveNodes(caretLine_ + 1, 1);
    MessageLine& line = document_->bodyLines.Line(caretLine_);
    line.lineFlags = static_cast<std::uint8_t>((line.lineFlags & ~kLineContinued) | continued);
    AfterBufferChange();
    host_.RedrawAll();
    if (record != nullptr) {
        record->after = Caret();
    }
    return true;
}

bool TextEditor::SplitAtCaret() {
    std::string text = "\n";
    if (options_.autoInd) {
        // The new line starts with the indentation of this one.
        const std::string_view line = TextOf(caretLine_);
        const int limit = std::max(0, options_.autoSplitCol - 5);
        int column = 0;
        for (std::size_t i = 0; i < caretPos_ && (line[i] == ' ' || line[i] == '\t'); ++i) {
            const int next = line[i] == '\t' ? Metrics().NextTabStop(column) : column + 1;
            if (next > limit) {
                break;
            }
            column = next;
            text.push_back(line[i]);
        }
    }
    return InsertTextAt(Caret(), text, UndoKind::kTyped);
}

void TextEditor::SplitLine() {
    if (!Editable()) {
        return;
    }
    UndoStep step(history_);
    if (DeleteSelectionFirst()) {
        SplitAtCaret();
        SyncVirtualColumn();
    }
    CheckRecordFailure();
}

void TextEditor::DeleteLine() {
    if (!Editable() || caretLine_ + 1 >= LineCount() || !CommitLine()) {
        return;
    }
    ClearSelection();
    UndoStep step(history_);
    const TextPlace before = Caret();
    UndoRecord* record =
        history_.Record(UndoKind::kDeleteLine, before, {caretLine_, 0}, TextOf(caretLine_));
    if (record != nullptr) {
        record->lineFlags = document_->bodyLines[caretLine_].lineFlags;
    }
    MessageLine line = DetachNode(caretLine_);
    line.lineFlags &= static_cast<std::uint8_t>(~(kLineChanged | kLineContinued));
    DeletedLineRing::Shared().Push(line);
    NoteModified();
    caretPos_ = 0;
    UpdateCaretRow();
    SyncVirtualColumn();
    desiredColumn_ = -1;
    if (record != nullptr) {
        record->after = Caret();
    }
    RedrawAfterLinesChanged();
    CheckRecordFailure();
}

void TextEditor::PopLine() {
    if (!Editable() || !CommitLine()) {
        return;
    }
    std::optional<MessageLine> line = DeletedLineRing::Shared().Pop();
    if (!line) {
        return;
    }
    ClearSelection();
    UndoStep step(history_);
    const TextPlace before = Caret();
    if (!AttachNode(caretLine_, *line)) {
        DeletedLineRing::Shared().Push(*line);
        TellNoMemory();
        return;
    }
    MarkChanged(caretLine_);
    caretPos_ = 0;
    UpdateCaretRow();
    SyncVirtualColumn();
    if (UndoRecord* record =
            history_.Record(UndoKind::kLine, before, {caretLine_, 0}, TextOf(caretLine_))) {
        record->lineFlags = document_->bodyLines[caretLine_].lineFlags;
        record->after = Caret();
    }
    RedrawAfterLinesChanged();
    CheckRecordFailure();
}

void TextEditor::InsertLineCopy(bool after) {
    if (!Editable() || !CommitLine()) {
        return;
    }
    ClearSelection();
    UndoStep step(history_);
    const TextPlace before = Caret();
    const std::string text(TextOf(caretLine_));
    const std::size_t index = after ? caretLine_ + 1 : caretLine_;
    if (!InsertWholeLine(index, text, 0)) {
        return;
    }
    if (UndoRecord* record = history_.Record(UndoKind::kLine, before, {index, 0}, text)) {
        record->lineFlags = document_->bodyLines[index].lineFlags;
        record->after = Caret();
    }
    RedrawAfterLinesChanged();
    CheckRecordFailure();
}

}  // namespace corvina
