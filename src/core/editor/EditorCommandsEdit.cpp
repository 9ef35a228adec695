// Line and word edits, case changes, the time stamp, control characters,
// modes and undo. Every edit is one undo step and does nothing in
// read-only mode (the model refuses it).

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>

#include "common/CodePage.h"
#include "editor/CharClasses.h"
#include "editor/EditorCommands.h"
#include "editor/EditorDialogs.h"
#include "editor/EditorHost.h"
#include "editor/EditorOptions.h"
#include "editor/TextEditor.h"

namespace corvina {

namespace {

// Switches the case of the letters of `text`: ASCII letters, and the
// full-width Latin letters (Shift_JIS 0x8260-0x8279 and 0x8281-0x829A, on
// UTF-8 U+FF21-U+FF3A and U+FF41-U+FF5A), whose two forms have the same
// length in bytes. Other characters stay.
std::string SwitchCase(std::string_view text, const CodePage& codePage) {
    std::string out(text);
    for (std::size_t pos = 0; pos < out.size();) {
        const auto length = static_cast<std::size_t>(std::max(1, codePage.CharLength(out, pos)));
        auto* bytes = reinterpret_cast<unsigned char*>(out.data() + pos);
        if (length == 1 &&
            ((bytes[0] >= 'A' && bytes[0] <= 'Z') || (bytes[0] >= 'a' && bytes[0] <= 'z'))) {
            bytes[0] ^= 0x20;
        } else if (length == 2 && codePage.IsDbcs() && bytes[0] == 0x82) {
            if (bytes[1] >= 0x60 && bytes[1] <= 0x79) {
                bytes[1] += 0x21;
            } else if (bytes[1] >= 0x81 && bytes[1] <= 0x9A) {
                bytes[1] -= 0x21;
            }
        } else if (length == 3 && codePage.IsUtf8() && bytes[0] == 0xEF) {
            if (bytes[1] == 0xBC && bytes[2] >= 0xA1 && bytes[2] <= 0xBA) {
                bytes[1] = 0xBD;
                bytes[2] -= 0x20;
            } else if (bytes[1] == 0xBD && bytes[2] >= 0x81 && bytes[2] <= 0x9A) {
                bytes[1] = 0xBC;
                bytes[2] += 0x20;
            }
        }
        pos += length;
    }
    return out;
}

// The time stamp names the day in English whatever the locale.
std::string FormatTimeStamp(std::time_t now) {
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    std::tm local{};
    if (localtime_r(&now, &local) == nullptr) {
        return {};
    }
    char text[64];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d(%s) %02d:%02d:%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, kDays[local.tm_wday % 7], local.tm_hour,
                  local.tm_min, local.tm_sec);
    return text;
}

}  // namespace

bool EditorCommands::Editable() const {
    return editor_.Document() != nullptr && !editor_.ReadOnly();
}

std::pair<std::size_t, std::size_t> EditorCommands::RunAt(std::size_t offset) const {
    return WordRunAt(editor_.LineView(editor_.CaretLine()), offset, editor_.TextCodePage(),
                     options_.kinsoku);
}

void EditorCommands::DeleteRange(TextPlace from, TextPlace to) {
    if (!Editable() || from == to) {
        return;
    }
    editor_.SelectRange(from, to);
    editor_.DeleteSelection();
}

void EditorCommands::BackSpace() {
    editor_.BackSpace();
}

void EditorCommands::DeleteChar() {
    editor_.DeleteChar();
}

void EditorCommands::InsertTab() {
    editor_.InsertTab();
}

// A stream selection, else the word at the caret; the caret stays where it
// was for a word.
void EditorCommands::ChangeCase() {
    if (!Editable()) {
        return;
    }
    const CodePage& codePage = editor_.TextCodePage();
    if (editor_.HasSelection() && editor_.Selection() == SelectionMode::kBox) {
        host_.Beep();  // a box has no case change of its own
        return;
    }
    if (editor_.HasSelection()) {
        const auto [from, to] = editor_.SelectedRange();
        const std::string text = editor_.SelectedText();
        editor_.ClearSelection();
        editor_.RewriteRange(from, to, SwitchCase(text, codePage));
        return;
    }
    const TextPlace caret = editor_.Caret();
    const auto [start, end] = RunAt(caret.offset);
    if (start == end) {
        return;
    }
    const std::string_view word = editor_.LineView(caret.line).substr(start, end - start);
    if (editor_.RewriteRange({caret.line, start}, {caret.line, end}, SwitchCase(word, codePage))) {
        editor_.MoveCaretTo(caret.line, caret.offset);
    }
}

std::string_view EditorCommands::CharAtCaret() const {
    const TextPlace caret = editor_.Caret();
    const std::string_view text = editor_.LineView(caret.line);
    if (caret.offset >= text.size()) {
        return {};
    }
    const int length = std::max(1, editor_.TextCodePage().CharLength(text, caret.offset));
    return text.substr(caret.offset, static_cast<std::size_t>(length));
}

void EditorCommands::ChgCaseOne() {
    if (!Editable()) {
        return;
    }
    const TextPlace caret = editor_.Caret();
    const std::string_view ch = CharAtCaret();
    if (ch.empty()) {
        editor_.CaretRight();
        return;
    }
    const TextPlace after{caret.line, caret.offset + ch.size()};
    editor_.RewriteRange(caret, after, SwitchCase(ch, editor_.TextCodePage()));
    editor_.MoveCaretTo(after.line, after.offset);
}

void EditorCommands::DeleteAfter() {
    const TextPlace caret = editor_.Caret();
    if (editor_.Document() != nullptr) {
        DeleteRange(caret, {caret.line, editor_.LineView(caret.line).size()});
    }
}

void EditorCommands::DeleteTop() {
    const TextPlace caret = editor_.Caret();
    DeleteRange({caret.line, 0}, caret);
}

// The class run left of the caret, up to the caret; at the line start the
// line joins the one above.
void EditorCommands::WordBS() {
    if (!Editable()) {
        return;
    }
    const TextPlace caret = editor_.Caret();
    const std::string_view text = editor_.LineView(caret.line);
    if (caret.offset == 0 || caret.offset > text.size()) {
        editor_.BackSpace();
        return;
    }
    const std::size_t before = editor_.TextCodePage().PrevCharStart(text, caret.offset);
    DeleteRange({caret.line, RunAt(before).first}, caret);
}

// From the caret to the end of its class run; on the line end the next
// line joins.
void EditorCommands::WordDel() {
    if (!Editable()) {
        return;
    }
    const TextPlace caret = editor_.Caret();
    if (caret.offset >= editor_.LineView(caret.line).size()) {
        editor_.DeleteChar();
        return;
    }
    DeleteRange(caret, {caret.line, RunAt(caret.offset).second});
}

void EditorCommands::RepeatOne() {
    if (!Editable()) {
        return;
    }
    const std::string ch(CharAtCaret());
    if (ch.empty()) {
        host_.Beep();
        return;
    }
    editor_.InsertText(ch);
}

void EditorCommands::TimeStamp() {
    if (Editable()) {
        editor_.InsertText(FormatTimeStamp(clock_()));
    }
}

void EditorCommands::SplitLine() {
    editor_.SplitLine();
}

void EditorCommands::DeleteLine() {
    editor_.DeleteLine();
}

void EditorCommands::InsertAft() {
    if (Editable()) {
        EndLine();
        editor_.SplitLine();
    }
}

// The new empty line goes before the caret's line and takes the caret.
void EditorCommands::InsertBef() {
    if (!Editable()) {
        return;
    }
    const std::size_t line = editor_.CaretLine();
    editor_.MoveCaretTo(line, 0);
    const std::size_t lines = editor_.LineCount();
    editor_.SplitLine();
    if (editor_.LineCount() > lines) {
        editor_.MoveCaretTo(line, editor_.LineView(line).size());
    }
}

void EditorCommands::DupLine() {
    editor_.InsertLineCopy(true);
}

void EditorCommands::PopLine() {
    editor_.PopLine();
}

void EditorCommands::ModeInsert() {
    editor_.SetInsertMode(!editor_.InsertMode());
}

void EditorCommands::ModeAutoSplit() {
    editor_.SetAutoSplit(!editor_.AutoSplit());
}

void EditorCommands::InputCtrl() {
    inputCtrlPending_ = Editable();
}

// After "InputCtrl" a key of the control row ("@" to "_", or a lower-case
// letter) gives its control character; NUL is refused, any other key is
// typed as it is.
void EditorCommands::TypeChar(unsigned char byte) {
    if (!inputCtrlPending_) {
        editor_.TypeChar(byte);
        return;
    }
    inputCtrlPending_ = false;
    if (byte < 0x40 || byte > 0x7E) {
        editor_.TypeChar(byte);
        return;
    }
    const auto control = static_cast<unsigned char>(byte & 0x1F);
    if (control == 0) {
        host_.Beep();
        return;
    }
    editor_.TypeChar(control);
}

void EditorCommands::TypeKeyText(std::string_view bytes) {
    if (Scrolling()) {
        if (bytes.size() == 1 && ScrollSpeedKey(bytes[0])) {
            return;
        }
        StopScrolling();
    }
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 || byte == 0x7F) && !inputCtrlPending_) {
            continue;
        }
        TypeChar(byte);
    }
}

void EditorCommands::Undo() {
    if (Editable() && !editor_.Undo()) {
        host_.Beep();
    }
}

void EditorCommands::Redo() {
    if (Editable() && !editor_.Redo()) {
        host_.Beep();
    }
}

void EditorCommands::Repeat() {
    editor_.Repeat();
}

void EditorCommands::StepDo() {
    if (Editable()) {
        dialogs_.ShowStepDialog(editor_);
    }
}

}  // namespace corvina
