// Selection, the clipboard, box copy and paste, mouse presses and drag
// and drop, as model operations.

#include <algorithm>

#include "common/CodePage.h"
#include "editor/EditorHost.h"
#include "editor/PasteHistory.h"
#include "editor/TextEditor.h"
#include "message/MailMessage.h"

namespace corvina {

namespace {

// The free cursor on for one operation (a drop or a box paste pads short
// lines up to the column).
class ForcedFreeCursor {
public:
    explicit ForcedFreeCursor(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
    ~ForcedFreeCursor() { flag_ = old_; }
    ForcedFreeCursor(const ForcedFreeCursor&) = delete;
    ForcedFreeCursor& operator=(const ForcedFreeCursor&) = delete;

private:
    bool& flag_;
    bool old_;
};

// Clipboard and paste-history text: lines joined with CR LF.
std::string WithCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    for (const char c : text) {
        if (c == '\n') {
            out.push_back('\r');
        }
        out.push_back(c);
    }
    return out;
}

}  // namespace

std::string TextEditor::WithLf(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out.push_back('\n');
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

TextEditor::SelEnd TextEditor::EndAtCaret() const {
    return {Caret(), CaretRow(), virtualColumn_};
}

void TextEditor::FollowCaret() {
    if (selActive_ && selExtending_) {
        selEnd_ = EndAtCaret();
        host_.RedrawAll();
    }
}

void TextEditor::Anchor(SelectionMode mode) {
    selActive_ = true;
    selMode_ = mode;
    selExtending_ = true;
    selAnchor_ = selEnd_ = EndAtCaret();
}

void TextEditor::ExtendSelection() {
    if (document_ != nullptr && !selActive_) {
        Anchor(SelectionMode::kStream);
    }
}

void TextEditor::SelectBegin() {
    if (selActive_) {
        ClearSelection();
    } else if (document_ != nullptr) {
        Anchor(SelectionMode::kAnchored);
    }
}

void TextEditor::StartBoxSelection() {
    if (document_ != nullptr) {
        Anchor(SelectionMode::kBox);
    }
}

void TextEditor::SelectRange(TextPlace from, TextPlace to) {
    if (document_ == nullptr) {
        return;
    }
    ClearSelection();
    MoveCaretTo(from.line, from.offset);
    Anchor(SelectionMode::kStream);
    MoveCaretTo(to.line, to.offset);
    selExtending_ = false;
}

void TextEditor::ClearSelection() {
    if (selActive_) {
        selActive_ = false;
        selExtending_ = false;
        host_.RedrawAll();
    }
}

std::pair<TextPlace, TextPlace> TextEditor::StreamRange() const {
    return std::minmax(selAnchor_.place, selEnd_.place);
}

long TextEditor::SelectionStartRow() const {
    if (selMode_ == SelectionMode::kBox) {
        return std::min(selAnchor_.row, selEnd_.row);
    }
    return selAnchor_.place <= selEnd_.place ? selAnchor_.row : selEnd_.row;
}

int TextEditor::SelectionStartColumn() const {
    if (selMode_ == SelectionMode::kBox) {
        return std::min(selAnchor_.column, selEnd_.column);
    }
    return selAnchor_.place <= selEnd_.place ? selAnchor_.column : selEnd_.column;
}

long TextEditor::SelectionEndRow() const {
    if (selMode_ == SelectionMode::kBox) {
        return std::max(selAnchor_.row, selEnd_.row);
    }
    return selAnchor_.place <= selEnd_.place ? selEnd_.row : selAnchor_.row;
}

int TextEditor::SelectionEndColumn() const {
    if (selMode_ == SelectionMode::kBox) {
        return std::max(selAnchor_.column, selEnd_.column);
    }
    return selAnchor_.place <= selEnd_.place ? selEnd_.column : selAnchor_.column;
}

std::size_t TextEditor::SelectionFirstLine() const {
    return std::min(selAnchor_.place.line, selEnd_.place.line);
}

std::size_t TextEditor::SelectionLastLine() const {
    return std::max(selAnchor_.place.line, selEnd_.place.line);
}

std::string TextEditor::SelectedText() const {
    if (!selActive_ || document_ == nullptr) {
        return {};
    }
    if (selMode_ != SelectionMode::kBox) {
        const auto [from, to] = StreamRange();
        return TextBetween(from, to);
    }
    std::string text;
    for (const std::string& line : SelectedBoxLines()) {
        text.append(line).push_back('\n');
    }
    return text;
}

// The piece of each display row of a box selection between its columns:
// (line, start, end) with start and end at character starts.
std::vector<TextEditor::BoxSlice> TextEditor::BoxSlices() const {
    std::vector<BoxSlice> slices;
    const long firstRow = SelectionStartRow();
    const long lastRow = SelectionEndRow();
    const int left = SelectionStartColumn();
    const int right = SelectionEndColumn();
    const RowMetrics m = Metrics();
    // Walk back from the anchor's line to the first row.
    const SelEnd& top = selAnchor_.row <= selEnd_.row ? selAnchor_ : selEnd_;
    std::size_t line = top.place.line;
    std::string_view text = TextOf(line);
    std::size_t rowStart = RowOf(text, top.place.offset, m).rowStart;
    for (long row = firstRow; row <= lastRow; ++row) {
        const std::size_t from = PosAtColumn(text, rowStart, left, m);
        const std::size_t to = PosAtColumn(text, rowStart, right, m);
        slices.push_back({line, from, std::max(from, to)});
        const std::size_t next = NextRowStart(text, rowStart, m);
        if (next != std::string_view::npos) {
            rowStart = next;
        } else if (line + 1 < LineCount()) {
            text = TextOf(++line);
            rowStart = 0;
        } else {
            break;
        }
    }
    return slices;
}

std::vector<std::string> TextEditor::SelectedBoxLines() const {
    std::vector<std::string> lines;
    if (!selActive_ || selMode_ != SelectionMode::kBox || document_ == nullptr) {
        return lines;
    }
    for (const BoxSlice& slice : BoxSlices()) {
        lines.emplace_back(TextOf(slice.line).substr(slice.from, slice.to - slice.from));
    }
    return lines;
}

bool TextEditor::DeleteSelection() {
    if (!Editable() || !selActive_) {
        return false;
    }
    UndoStep step(history_);
    bool done;
    if (selMode_ == SelectionMode::kBox) {
        done = DeleteBoxSelection();
    } else {
        const auto [from, to] = StreamRange();
        done = EraseWithUndo(from, to, UndoKind::kDeleteSelection);
        if (done) {
            SyncVirtualColumn();
        }
    }
    if (done) {
        ClearSelection();
    }
    CheckRecordFailure();
    return done;
}

// A box is cut out line by line, as one change of the lines it covers.
bool TextEditor::DeleteBoxSelection() {
    const std::vector<BoxSlice> slices = BoxSlices();
    if (slices.empty()) {
        return true;
    }
    const std::size_t first = slices.front().line;
    const std::size_t last = slices.back().line;
    std::vector<std::string> lines;
    std::vector<std::uint8_t> flags;
    for (std::size_t i = first; i <= last; ++i) {
        std::string text(TextOf(i).substr(0, TextOf(i).size() - 1));
        // Later slices of a line first, so earlier offsets stay true.
        for (auto it = slices.rbegin(); it != slices.rend(); ++it) {
            if (it->line == i) {
                text.erase(it->from, it->to - it->from);
            }
        }
        lines.push_back(std::move(text));
        flags.push_back(document_->bodyLines[i].lineFlags);
    }
    const TextPlace caret{first, slices.front().from};
    return ChangeLines(first, last - first + 1, lines, flags, UndoKind::kBoxChange, caret);
}

bool TextEditor::ChangeCase(bool upper) {
    if (!Editable() || !selActive_ || selMode_ == SelectionMode::kBox) {
        return false;
    }
    const auto [from, to] = StreamRange();
    const std::string old = TextBetween(from, to);
    std::string changed = old;
    if (upper) {
        codePage_->ToUpperAscii(changed);
    } else {
        codePage_->ToLowerAscii(changed);
    }
    ClearSelection();
    return RewriteRange(from, to, changed);
}

void TextEditor::Copy() {
    if (!selActive_ || document_ == nullptr) {
        return;
    }
    if (selMode_ == SelectionMode::kBox) {
        BoxBuffer::Shared().lines = SelectedBoxLines();
        return;
    }
    const std::string text = WithCrLf(SelectedText());
    host_.SetClipboardText(codePage_->ToUtf8(text));
    PasteHistory::Shared().Add(text);
}

void TextEditor::Cut() {
    if (!Editable() || !selActive_) {
        return;
    }
    Copy();
    DeleteSelection();
}

bool TextEditor::InsertText(std::string_view text) {
    if (!Editable()) {
        return false;
    }
    const std::string lines = WholeCharacters(WithLf(text));
    if (lines.empty()) {
        return false;
    }
    UndoStep step(history_);
    bool done = DeleteSelectionFirst() && FillToVirtualColumn() &&
                InsertTextAt(Caret(), lines, UndoKind::kText);
    if (done) {
        SyncVirtualColumn();
        desiredColumn_ = -1;
    }
    CheckRecordFailure();
    return done;
}

void TextEditor::Paste() {
    if (Editable()) {
        InsertText(codePage_->FromUtf8(host_.ClipboardText()));
    }
}

void TextEditor::PasteWithPrefix(std::string_view prefix) {
    if (!Editable()) {
        return;
    }
    const std::string text = WithLf(codePage_->FromUtf8(host_.ClipboardText()));
    if (text.empty()) {
        return;
    }
    std::string cited;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t lf = std::min(text.find('\n', start), text.size());
        cited.append(prefix).append(text, start, lf - start);
        if (lf < text.size()) {
            cited.push_back('\n');
        }
        start = lf + 1;
    }
    InsertText(cited);
}

void TextEditor::BoxPaste() {
    const std::vector<std::string> lines = BoxBuffer::Shared().lines;
    if (!Editable() || lines.empty()) {
        return;
    }
    UndoStep step(history_);
    if (!DeleteSelectionFirst()) {
        return;
    }
    ForcedFreeCursor freeCursor(freeCursorForced_);
    const int column = virtualColumn_;
    std::size_t line = caretLine_;
    for (std::size_t k = 0; k < lines.size(); ++k) {
        if (k > 0) {
            if (line + 1 >= LineCount()) {
                if (!InsertWholeLine(LineCount(), "\n", 0)) {
                    break;
                }
                history_.Record(UndoKind::kLineAtEnd, Caret(), {LineCount() - 1, 0}, {});
            }
            ++line;
            MoveToRowColumn(RowBaseOf(line), column);
        }
        if (!FillToVirtualColumn() || !InsertTextAt(Caret(), lines[k], UndoKind::kText)) {
            break;
        }
    }
    SyncVirtualColumn();
    CheckRecordFailure();
}

void TextEditor::PressAt(long row, int column, bool shift) {
    if (document_ == nullptr || !CommitLine()) {
        return;
    }
    pressed_ = true;
    if (shift) {
        if (!selActive_) {
            Anchor(SelectionMode::kStream);
        }
        selExtending_ = true;
        MoveCaretToRow(row, column);
        return;
    }
    if (selActive_ && selMode_ != SelectionMode::kBox) {
        const TextPlace place = PlaceOfRow(row, column);
        const auto [from, to] = StreamRange();
        if (from <= place && place < to) {
            dragging_ = true;
            return;
        }
    }
    ClearSelection();
    MoveCaretToRow(row, column);
    Anchor(SelectionMode::kStream);
}

void TextEditor::DragTo(long row, int column) {
    if (pressed_ && !dragging_) {
        MoveCaretToRow(row, column);
    }
}

void TextEditor::Release() {
    pressed_ = false;
    if (dragging_) {
        // Pressed and released inside the selection without a drop.
        dragging_ = false;
        ClearSelection();
        return;
    }
    if (selActive_ && selMode_ == SelectionMode::kStream) {
        selExtending_ = false;
        if (selAnchor_.place == selEnd_.place) {
            ClearSelection();
        }
    }
}

bool TextEditor::DropAt(TextEditor& source, long row, int column, bool copy) {
    const bool sourceHasText = source.selActive_ && source.selMode_ != SelectionMode::kBox;
    source.dragging_ = false;
    source.pressed_ = false;
    if (!sourceHasText) {
        return false;
    }
    const auto [from, to] = source.StreamRange();
    const std::string text = source.TextBetween(from, to);
    const bool same = &source == this;
    if (!Editable() || !CommitLine() || !source.CommitLine()) {
        source.ClearSelection();
        return false;
    }
    const TextPlace drop = PlaceOfRow(row, column);
    if (same && from <= drop && drop <= to) {
        ClearSelection();
        return false;
    }
    UndoStep step(history_);
    ForcedFreeCursor freeCursor(freeCursorForced_);
    const bool move = !copy && !source.readOnly_;
    bool done;
    if (same && move && drop < from) {
        // The selection lies after the drop point: it goes first, and the
        // drop point stays where it was.
        done = EraseWithUndo(from, to, UndoKind::kDeleteSelection);
        selActive_ = false;
        MoveToRowColumn(row, column);
        done = done && FillToVirtualColumn() && InsertTextAt(Caret(), text, UndoKind::kText);
    } else {
        MoveToRowColumn(row, column);
        done = FillToVirtualColumn() && InsertTextAt(Caret(), text, UndoKind::kText);
        if (done && move && same) {
            // Before the drop point: the dropped text ends up shifted back
            // by what leaves.
            TextPlace end = Caret();
            selActive_ = false;
            if (EraseWithUndo(from, to, UndoKind::kDeleteSelection)) {
                end.line -= to.line - from.line;
                if (end.line == from.line) {
                    end.offset -= to.offset - from.offset;
                }
                PlaceCaret(end.line, end.offset);
            }
        } else if (done && move) {
            source.DeleteSelection();
        }
    }
    SyncVirtualColumn();
    source.ClearSelection();
    ClearSelection();
    CheckRecordFailure();
    return done;
}

bool TextEditor::DropTextAt(std::string_view text, long row, int column) {
    if (!Editable() || !CommitLine()) {
        return false;
    }
    // A drop inserts beside a selection, never over it.
    ClearSelection();
    ForcedFreeCursor freeCursor(freeCursorForced_);
    MoveToRowColumn(row, column);
    return InsertText(text);
}

}  // namespace corvina
