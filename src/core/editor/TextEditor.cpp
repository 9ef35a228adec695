#include "editor/TextEditor.h"

#include "common/CodePage.h"
#include "editor/EditorHost.h"
#include "editor/EditorOptions.h"
#include "message/MailMessage.h"

namespace corvina {

TextEditor::TextEditor(EditorHost& host, const EditorOptions& options)
    : host_(host),
      options_(options),
      codePage_(&CodePage::Working()),
      insertMode_(options.insertMode),
      autoSplit_(options.autoSplit),
      tabWidth_(options.defaultTab > 0 ? options.defaultTab : 8),
      wrapWidth_(options.defaultColumn > 0 ? options.defaultColumn : 80) {}

TextEditor::~TextEditor() {
    CommitLine();
    LineEditBuffer::Shared().Close(*this);
}

void TextEditor::Attach(MailMessage& document) {
    CommitLine();
    LineEditBuffer::Shared().Close(*this);
    lineOpen_ = lineChanged_ = false;
    document_ = &document;
    notified_ = nullptr;
    undoLossTold_ = false;
    hasJumpOrigin_ = false;
    BodyLines& body = document.bodyLines;
    if (body.empty() && body.InsertLine(0, "\n")) {
        document.bodyLineCount = 1;
    }
    if (body.empty()) {
        document_ = nullptr;
        TellNoMemory();
        return;
    }
    history_.Clear();
    selActive_ = false;
    pressed_ = dragging_ = false;
    pending_.clear();
    ResetRows();
    ResetCaret();
}

void TextEditor::SetReadOnly(bool readOnly) {
    readOnly_ = readOnly;
}

void TextEditor::SetCodePage(const CodePage& codePage) {
    if (!CommitLine()) {
        return;
    }
    codePage_ = &codePage;
    ResetRows();
    ResetCaret();
}

void TextEditor::SetTabAndWrap(int tab, int wrap) {
    if (!CommitLine()) {
        return;
    }
    tabWidth_ = tab > 0 ? tab : 8;
    wrapWidth_ = wrap > 0 ? wrap : 80;
    history_.Clear();
    selActive_ = false;
    ResetRows();
    ResetCaret();
    host_.RedrawAll();
}

void TextEditor::FocusOut() {
    pending_.clear();
    CommitLine();
}

// Another editor takes the edit buffer. Should the commit fail, the line
// stays open in openText_ and goes back into the buffer at the next change.
void TextEditor::CommitOpenLine() {
    CommitLine();
}

namespace {

// The test seam of SetLineAllocationBudget: -1 = every allocation may go
// to the line pool.
long lineAllocationBudget = -1;

}  // namespace

void TextEditor::SetLineAllocationBudget(long count) {
    lineAllocationBudget = count;
}

bool TextEditor::TakeLineAllocation() {
    if (lineAllocationBudget == 0) {
        return false;
    }
    if (lineAllocationBudget > 0) {
        --lineAllocationBudget;
    }
    return true;
}

bool TextEditor::CommitLine() {
    if (!lineOpen_ || document_ == nullptr) {
        return true;
    }
    if (lineChanged_) {
        if (!StoreLine(caretLine_, openText_)) {
            TellNoMemory();
            return false;
        }
        lineChanged_ = false;
        MarkChanged(caretLine_);
    }
    // The node holds the line again; the buffer is opened again at the
    // next change.
    LineEditBuffer::Shared().Close(*this);
    lineOpen_ = false;
    return true;
}

bool TextEditor::StoreLine(std::size_t line, std::string_view text) {
    rowRestartValid_ = false;
    BodyLines& body = document_->bodyLines;
    const int rows = body[line].rowCount;
    if (!TakeLineAllocation() || !body.SetText(line, text)) {
        return false;
    }
    body.Line(line).rowCount = static_cast<std::uint16_t>(rows);
    SetRows(line, CountRows(text, Metrics()));
    return true;
}

bool TextEditor::InsertNode(std::size_t index, std::string_view text) {
    rowRestartValid_ = false;
    BodyLines& body = document_->bodyLines;
    if (!TakeLineAllocation() || !body.InsertLine(index, text)) {
        return false;
    }
    ++document_->bodyLineCount;
    if (totalsKnown_) {
        const int rows = CountRows(text, Metrics());
        body.Line(index).rowCount = static_cast<std::uint16_t>(rows);
        totalRows_ += rows;
        ShiftRowMarks(index, 1, rows);
    }
    return true;
}

MessageLine TextEditor::DetachNode(std::size_t index) {
    rowRestartValid_ = false;
    if (totalsKnown_) {
        const int rows = RowsOf(index);
        totalRows_ -= rows;
        ShiftRowMarks(index + 1, -1, -rows);
    }
    --document_->bodyLineCount;
    return document_->bodyLines.DetachLine(index);
}

bool TextEditor::AttachNode(std::size_t index, MessageLine line) {
    rowRestartValid_ = false;
    line.rowCount = 0;
    if (!document_->bodyLines.AttachLine(index, line)) {
        return false;
    }
    ++document_->bodyLineCount;
    if (totalsKnown_) {
        const int rows = RowsOf(index);
        totalRows_ += rows;
        ShiftRowMarks(index, 1, rows);
    }
    return true;
}

void TextEditor::MarkChanged(std::size_t line) {
    if (!replaying_) {
        document_->bodyLines.Line(line).lineFlags |= kLineChanged;
    }
    NoteModified();
}

void TextEditor::NoteModified() {
    if (notified_ != document_) {
        notified_ = document_;
        if (watcher_ != nullptr) {
            watcher_->DocumentModified(*document_);
        }
    }
}

std::string_view TextEditor::TextOf(std::size_t line) const {
    if (lineOpen_ && line == caretLine_) {
        return openText_;
    }
    return document_->bodyLines[line].Text();
}

std::string TextEditor::Text() const {
    std::string text;
    if (document_ == nullptr) {
        return text;
    }
    for (std::size_t i = 0; i < LineCount(); ++i) {
        text.append(TextOf(i));
    }
    return text;
}

std::size_t TextEditor::LineCount() const {
    return document_ != nullptr ? document_->bodyLines.size() : 0;
}

std::string TextEditor::LineText(std::size_t line) const {
    return line < LineCount() ? std::string(TextOf(line)) : std::string();
}

int TextEditor::RowsOf(std::size_t line) {
    MessageLine& node = document_->bodyLines.Line(line);
    if (node.rowCount == 0) {
        node.rowCount = static_cast<std::uint16_t>(CountRows(TextOf(line), Metrics()));
    }
    return node.rowCount;
}

void TextEditor::SetRows(std::size_t line, int rows) {
    MessageLine& node = document_->bodyLines.Line(line);
    if (totalsKnown_) {
        const int delta = rows - (node.rowCount != 0 ? node.rowCount : RowsOfUncounted(line));
        totalRows_ += delta;
        if (delta != 0) {
            ShiftRowMarks(line + 1, 0, delta);
        }
    }
    node.rowCount = static_cast<std::uint16_t>(rows);
}

int TextEditor::RowsOfUncounted(std::size_t line) {
    return CountRows(document_->bodyLines[line].Text(), Metrics());
}

void TextEditor::ResetRows() {
    if (document_ == nullptr) {
        return;
    }
    for (std::size_t i = 0; i < LineCount(); ++i) {
        document_->bodyLines.Line(i).rowCount = 0;
    }
    totalsKnown_ = false;
    totalRows_ = 0;
    rowMarks_.clear();
}

long TextEditor::TotalRows() {
    if (document_ == nullptr) {
        return 0;
    }
    if (!totalsKnown_) {
        long total = 0;
        for (std::size_t i = 0; i < LineCount(); ++i) {
            total += RowsOf(i);
        }
        totalRows_ = total;
        totalsKnown_ = true;
        BuildRowMarks();
    }
    return totalRows_;
}

void TextEditor::TellNoMemory() {
    host_.Beep();
    if (!noMemoryTold_) {
        noMemoryTold_ = true;
        host_.ShowStatus(
            "Not enough memory for this change; the text is unchanged. Save your work and close "
            "some windows.");
    }
}

void TextEditor::CheckRecordFailure() {
    if (history_.TakeRecordFailure() && !undoLossTold_) {
        undoLossTold_ = true;
        host_.Beep();
        host_.ShowStatus(
            "Not enough memory to keep undo information: earlier changes can no longer be "
            "undone. Editing goes on.");
    }
}

}  // namespace corvina
