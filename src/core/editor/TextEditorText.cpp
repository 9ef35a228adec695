// The line-level primitives every multi-line change goes through: each
// either changes the lines as asked or (when the line pool has no room)
// leaves them exactly as they were.

#include <algorithm>

#include "common/CodePage.h"
#include "editor/EditorHost.h"
#include "editor/TextEditor.h"
#include "message/MailMessage.h"

namespace corvina {

namespace {

// `text` (ending in LF) as body lines: cut at its LFs, and where a line
// would exceed the line limit it continues on a new line, cut at a
// character start, at `mark` when possible. *markPlace receives the place
// of byte `mark`.
std::vector<std::string> CutLines(std::string_view text, std::size_t mark, TextPlace* markPlace,
                                  const CodePage& codePage) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t lf = text.find('\n', start);
        std::size_t end = lf - start + 1 > kMaxLineBytes ? start : lf;
        if (end == start && mark > start && mark < lf && mark - start <= kMaxLineBytes - 1) {
            // Too long: break where the inserted text ends, so that taking
            // the insertion out again takes the break with it.
            end = mark;
        } else if (end == start) {
            // Longer than a line holds: cut before the character that
            // would pass the limit.
            std::size_t pos = start;
            while (pos < lf) {
                const int length = std::max(1, codePage.CharLength(text, pos));
                if (pos + length - start > kMaxLineBytes - 1) {
                    break;
                }
                pos += length;
            }
            end = pos;
        }
        if (mark >= start && (mark < end || (mark == end && end == lf))) {
            *markPlace = {lines.size(), mark - start};
        }
        std::string line(text.substr(start, end - start));
        line.push_back('\n');
        lines.push_back(std::move(line));
        start = end == lf ? lf + 1 : end;
    }
    return lines;
}

}  // namespace

std::string TextEditor::TextBetween(TextPlace from, TextPlace to) const {
    if (from.line == to.line) {
        return std::string(TextOf(from.line).substr(from.offset, to.offset - from.offset));
    }
    std::string text(TextOf(from.line).substr(from.offset));
    for (std::size_t i = from.line + 1; i < to.line; ++i) {
        text.append(TextOf(i));
    }
    text.append(TextOf(to.line).substr(0, to.offset));
    return text;
}

TextPlace TextEditor::PlaceAfter(TextPlace at, std::string_view text) const {
    const std::size_t lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    if (lines == 0) {
        return {at.line, at.offset + text.size()};
    }
    return {at.line + lines, text.size() - text.rfind('\n') - 1};
}

void TextEditor::RemoveNodes(std::size_t index, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        MessageLine line = DetachNode(index);
        BodyLines::ReleaseLine(line);
    }
}

bool TextEditor::ReplaceLineRange(std::size_t first, std::size_t count,
                                  const std::vector<std::string>& lines) {
    // The first old line is rewritten in place (keeping its marks); the
    // other new lines go in after the old range before anything is
    // removed, so that a failure can take them out again.
    const std::size_t keep = (count > 0 && !lines.empty()) ? 1 : 0;
    std::size_t inserted = 0;
    for (std::size_t k = keep; k < lines.size(); ++k) {
        if (!InsertNode(first + count + inserted, lines[k])) {
            RemoveNodes(first + count, inserted);
            return false;
        }
        ++inserted;
    }
    if (keep == 1 && !StoreLine(first, lines[0])) {
        RemoveNodes(first + count, inserted);
        return false;
    }
    RemoveNodes(first + keep, count - keep);
    for (std::size_t k = 0; k < lines.size(); ++k) {
        MarkChanged(first + k);
    }
    return true;
}

bool TextEditor::InsertRaw(TextPlace at, std::string_view text, TextPlace* end) {
    if (!PlaceCaret(at.line, at.offset) || !CommitLine()) {
        return false;
    }
    const std::string_view line = TextOf(at.line);
    std::string combined;
    combined.reserve(line.size() + text.size());
    combined.append(line.substr(0, at.offset));
    combined.append(text);
    combined.append(line.substr(at.offset));
    TextPlace mark{};
    std::vector<std::string> lines = CutLines(combined, at.offset + text.size(), &mark, *codePage_);
    const std::uint8_t continued = document_->bodyLines[at.line].lineFlags & kLineContinued;
    if (!ReplaceLineRange(at.line, 1, lines)) {
        TellNoMemory();
        return false;
    }
    for (std::size_t k = 1; k < lines.size(); ++k) {
        document_->bodyLines.Line(at.line + k).lineFlags |= continued;
    }
    *end = {at.line + mark.line, mark.offset};
    PlaceCaret(end->line, end->offset);
    return true;
}

bool TextEditor::EraseRaw(TextPlace from, TextPlace to) {
    if (!PlaceCaret(from.line, from.offset) || !CommitLine()) {
        return false;
    }
    const std::string_view first = TextOf(from.line);
    const std::string_view last = TextOf(to.line);
    if (from.offset + last.size() - to.offset > kMaxLineBytes) {
        return false;
    }
    std::string joined;
    joined.reserve(from.offset + last.size() - to.offset);
    joined.append(first.substr(0, from.offset));
    joined.append(last.substr(to.offset));
    // The joined line ends where the last one did, paragraph mark included.
    const std::uint8_t continued = document_->bodyLines[to.line].lineFlags & kLineContinued;
    if (!ReplaceLineRange(from.line, to.line - from.line + 1, {joined})) {
        TellNoMemory();
        return false;
    }
    MessageLine& line = document_->bodyLines.Line(from.line);
    line.lineFlags = static_cast<std::uint8_t>((line.lineFlags & ~kLineContinued) | continued);
    PlaceCaret(from.line, from.offset);
    return true;
}

bool TextEditor::InsertTextAt(TextPlace at, std::string_view text, UndoKind kind) {
    if (text.empty()) {
        return true;
    }
    const TextPlace before = Caret();
    TextPlace end;
    if (!InsertRaw(at, text, &end)) {
        return false;
    }
    if (UndoRecord* record = history_.Record(kind, before, at, text)) {
        record->end = record->after = end;
    }
    RedrawAfterLinesChanged();
    return true;
}

bool TextEditor::EraseWithUndo(TextPlace from, TextPlace to, UndoKind kind) {
    const TextPlace before = Caret();
    const std::string removed = TextBetween(from, to);
    if (removed.empty()) {
        return true;
    }
    if (!EraseRaw(from, to)) {
        RefuseTooLong();
        return false;
    }
    if (UndoRecord* record = history_.Record(kind, before, from, removed)) {
        record->after = from;
    }
    RedrawAfterLinesChanged();
    return true;
}

bool TextEditor::InsertWholeLine(std::size_t index, std::string_view text, std::uint8_t flags) {
    if (!CommitLine()) {
        return false;
    }
    // The caret stays on the same line index: lines before it keep their
    // rows.
    if (index < caretLine_ && !PlaceCaret(index, 0)) {
        return false;
    }
    if (!InsertNode(index, text)) {
        TellNoMemory();
        return false;
    }
    document_->bodyLines.Line(index).lineFlags = flags;
    MarkChanged(index);
    // The caret's line index may now name the new line.
    caretPos_ = ClampPlace(Caret()).offset;
    UpdateCaretRow();
    return true;
}

void TextEditor::RemoveWholeLine(std::size_t index) {
    if (!CommitLine() || LineCount() <= 1) {
        return;
    }
    PlaceCaret(index > 0 ? index - 1 : 0, 0);
    RemoveNodes(index, 1);
    NoteModified();
    if (caretLine_ >= LineCount()) {
        caretLine_ = LineCount() - 1;
    }
    UpdateCaretRow();
}

bool TextEditor::ChangeLines(std::size_t first, std::size_t count,
                             const std::vector<std::string>& lines,
                             const std::vector<std::uint8_t>& flags, UndoKind kind,
                             TextPlace caretAfter) {
    const TextPlace before = Caret();
    if (!CommitLine() || !PlaceCaret(first, 0)) {
        return false;
    }
    std::string oldText;
    std::vector<std::uint8_t> oldFlags;
    for (std::size_t i = first; i < first + count; ++i) {
        oldText.append(TextOf(i));
        oldFlags.push_back(document_->bodyLines[i].lineFlags);
    }
    std::vector<std::string> withEnds;
    std::string newText;
    for (const std::string& line : lines) {
        withEnds.push_back(line + '\n');
        newText.append(withEnds.back());
    }
    if (!ReplaceLineRange(first, count, withEnds)) {
        TellNoMemory();
        return false;
    }
    for (std::size_t k = 0; k < flags.size() && k < lines.size(); ++k) {
        MessageLine& line = document_->bodyLines.Line(first + k);
        line.lineFlags = static_cast<std::uint8_t>(flags[k] | (line.lineFlags & kLineChanged));
    }
    const TextPlace after = ClampPlace(caretAfter);
    if (UndoRecord* record = history_.Record(kind, before, {first, 0}, oldText, newText)) {
        record->oldFlags = std::move(oldFlags);
        for (std::size_t k = 0; k < lines.size(); ++k) {
            record->newFlags.push_back(document_->bodyLines[first + k].lineFlags);
        }
        record->end = {first + lines.size(), 0};
        record->after = after;
    }
    PlaceCaret(after.line, after.offset);
    SyncVirtualColumn();
    RedrawAfterLinesChanged();
    return true;
}

bool TextEditor::ReplaceLines(std::size_t first, std::size_t count,
                              const std::vector<std::string>& lines, TextPlace caret) {
    if (document_ == nullptr || first + count > LineCount()) {
        return false;
    }
    std::vector<std::uint8_t> flags;
    const std::uint8_t marks =
        count > 0 ? document_->bodyLines[first].lineFlags & (kLineMarked | kLineMessage) : 0;
    for (std::size_t k = 0; k < lines.size(); ++k) {
        flags.push_back(static_cast<std::uint8_t>((k == 0 ? marks : 0) |
                                                  (k + 1 < lines.size() ? kLineContinued : 0)));
    }
    return ReplaceLinesWithFlags(first, count, lines, flags, caret);
}

void TextEditor::RefuseTooLong() {
    host_.Beep();
    host_.ShowStatus(
        "The joined line would be longer than 65,535 bytes, so the lines were not joined. Split "
        "one of them first.");
}

void TextEditor::RedrawAfterLinesChanged() {
    host_.RedrawAll();
    host_.EnsureCaretVisible();
}

}  // namespace corvina
