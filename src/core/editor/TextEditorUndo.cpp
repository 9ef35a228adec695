// Undo, redo and repeat: records are replayed through the same line
// primitives as the edits themselves, with recording suspended.

#include "common/CodePage.h"
#include "editor/EditorHost.h"
#include "editor/TextEditor.h"
#include "message/MailMessage.h"

namespace corvina {

namespace {

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t lf = text.find('\n', start);
        lines.emplace_back(text.substr(start, lf - start + 1));
        start = lf + 1;
    }
    return lines;
}

}  // namespace

void TextEditor::ReplaceRecordedLines(std::size_t first, std::size_t count, std::string_view text,
                                      const std::vector<std::uint8_t>& flags) {
    if (!PlaceCaret(first, 0)) {
        return;
    }
    const std::vector<std::string> lines = SplitLines(text);
    if (!ReplaceLineRange(first, count, lines)) {
        TellNoMemory();
        return;
    }
    for (std::size_t k = 0; k < flags.size() && k < lines.size(); ++k) {
        document_->bodyLines.Line(first + k).lineFlags = flags[k];
    }
}

void TextEditor::ApplyUndo(const UndoRecord& r) {
    TextPlace end;
    switch (r.kind) {
        case UndoKind::kTyped:
        case UndoKind::kText:
            EraseRaw(r.at, r.end);
            break;
        case UndoKind::kOverwrite:
        case UndoKind::kCaseChange:
            if (EraseRaw(r.at, PlaceAfter(r.at, r.replacement))) {
                InsertRaw(r.at, r.bytes, &end);
            }
            break;
        case UndoKind::kLineAtEnd:
            RemoveWholeLine(LineCount() - 1);
            break;
        case UndoKind::kLine:
            RemoveWholeLine(r.at.line);
            break;
        case UndoKind::kBoxChange:
            ReplaceRecordedLines(r.at.line, r.newFlags.size(), r.bytes, r.oldFlags);
            break;
        case UndoKind::kDeleteAtCaret:
        case UndoKind::kDeleteSelection:
        case UndoKind::kDeleteBeforeCaret:
            InsertRaw(r.at, r.bytes, &end);
            break;
        case UndoKind::kDeleteLine:
            InsertWholeLine(r.at.line, r.bytes, r.lineFlags);
            break;
    }
}

void TextEditor::ApplyRedo(const UndoRecord& r) {
    TextPlace end;
    switch (r.kind) {
        case UndoKind::kTyped:
        case UndoKind::kText:
            InsertRaw(r.at, r.bytes, &end);
            break;
        case UndoKind::kOverwrite:
        case UndoKind::kCaseChange:
            if (EraseRaw(r.at, PlaceAfter(r.at, r.bytes))) {
                InsertRaw(r.at, r.replacement, &end);
            }
            break;
        case UndoKind::kLineAtEnd:
            InsertWholeLine(LineCount(), "\n", 0);
            break;
        case UndoKind::kLine:
            InsertWholeLine(r.at.line, r.bytes, r.lineFlags);
            break;
        case UndoKind::kBoxChange:
            ReplaceRecordedLines(r.at.line, r.oldFlags.size(), r.replacement, r.newFlags);
            break;
        case UndoKind::kDeleteAtCaret:
        case UndoKind::kDeleteSelection:
        case UndoKind::kDeleteBeforeCaret:
            EraseRaw(r.at, PlaceAfter(r.at, r.bytes));
            break;
        case UndoKind::kDeleteLine:
            RemoveWholeLine(r.at.line);
            break;
    }
}

bool TextEditor::Replay(bool undo) {
    if (!Editable() || !CommitLine()) {
        return false;
    }
    const std::vector<UndoRecord> step = undo ? history_.TakeUndoStep() : history_.TakeRedoStep();
    if (step.empty()) {
        return false;
    }
    ClearSelection();
    {
        UndoHistory::Suspension suspension(history_);
        replaying_ = true;
        for (const UndoRecord& record : step) {
            if (undo) {
                ApplyUndo(record);
            } else {
                ApplyRedo(record);
            }
        }
        replaying_ = false;
    }
    const TextPlace caret = ClampPlace(undo ? step.back().before : step.back().after);
    PlaceCaret(caret.line, caret.offset);
    SyncVirtualColumn();
    desiredColumn_ = -1;
    RedrawAfterLinesChanged();
    return true;
}

bool TextEditor::Undo() {
    return Replay(true);
}

bool TextEditor::Redo() {
    return Replay(false);
}

// The last change once more, at the caret.
bool TextEditor::Repeat() {
    const UndoRecord* last = history_.LastDone();
    if (!Editable() || last == nullptr) {
        return false;
    }
    const UndoRecord record = *last;
    std::size_t characters = 0;
    for (std::size_t pos = 0; pos < record.bytes.size(); ++characters) {
        pos += static_cast<std::size_t>(std::max(1, codePage_->CharLength(record.bytes, pos)));
    }
    switch (record.kind) {
        case UndoKind::kTyped:
        case UndoKind::kText:
            InsertText(record.bytes);
            return true;
        case UndoKind::kDeleteAtCaret: {
            UndoStep step(history_);
            for (std::size_t i = 0; i < characters; ++i) {
                DeleteChar();
            }
            return true;
        }
        case UndoKind::kDeleteBeforeCaret: {
            UndoStep step(history_);
            for (std::size_t i = 0; i < characters; ++i) {
                BackSpace();
            }
            return true;
        }
        case UndoKind::kDeleteLine:
            DeleteLine();
            return true;
        case UndoKind::kLine: {
            UndoStep step(history_);
            const TextPlace before = Caret();
            if (InsertWholeLine(caretLine_, record.bytes, 0)) {
                PlaceCaret(caretLine_, 0);
                AfterSideMove();
                history_.Record(UndoKind::kLine, before, {caretLine_, 0}, record.bytes);
            }
            return true;
        }
        default:
            host_.Beep();
            return false;
    }
}

}  // namespace corvina
