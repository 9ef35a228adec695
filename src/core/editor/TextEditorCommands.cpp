// Model primitives the editor's commands build on: whole lines replaced
// with their flags given, and text rewritten in place.

#include "editor/TextEditor.h"
#include "message/MailMessage.h"

namespace corvina {

bool TextEditor::ReplaceLinesWithFlags(std::size_t first, std::size_t count,
                                       const std::vector<std::string>& lines,
                                       const std::vector<std::uint8_t>& flags, TextPlace caret) {
    if (!Editable() || first + count > LineCount() || (lines.empty() && count >= LineCount())) {
        return false;
    }
    for (const std::string& line : lines) {
        if (line.size() >= kMaxLineBytes || line.find('\n') != std::string::npos) {
            return false;
        }
    }
    UndoStep step(history_);
    ClearSelection();
    const bool done = ChangeLines(first, count, lines, flags, UndoKind::kBoxChange, caret);
    CheckRecordFailure();
    return done;
}

bool TextEditor::RewriteRange(TextPlace from, TextPlace to, std::string_view changed) {
    if (!Editable() || !CommitLine()) {
        return false;
    }
    const std::string old = TextBetween(from, to);
    if (changed == old) {
        return false;
    }
    UndoStep step(history_);
    const TextPlace before = Caret();
    TextPlace end;
    if (!EraseRaw(from, to) || !InsertRaw(from, changed, &end)) {
        return false;
    }
    if (UndoRecord* record = history_.Record(UndoKind::kCaseChange, before, from, old, changed)) {
        record->end = record->after = end;
    }
    SyncVirtualColumn();
    RedrawAfterLinesChanged();
    CheckRecordFailure();
    return true;
}

}  // namespace corvina
