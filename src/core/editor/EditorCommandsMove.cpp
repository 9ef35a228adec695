// Caret movement, word movement, jumps, line marks and the matching
// bracket.

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "common/CodePage.h"
#include "editor/CharClasses.h"
#include "editor/EditorCommands.h"
#include "editor/EditorHost.h"
#include "editor/EditorOptions.h"
#include "editor/TextEditor.h"

namespace corvina {

namespace {

std::size_t CharBytes(std::string_view text, std::size_t pos, const CodePage& codePage) {
    return static_cast<std::size_t>(std::max(1, codePage.CharLength(text, pos)));
}

// A full-width symbol does not end a word after kana: the long-vowel mark,
// the iteration marks, full-width punctuation.
bool IsWideSymbol(std::string_view text, std::size_t pos, const CodePage& codePage) {
    const std::size_t length = CharBytes(text, pos, codePage);
    if (codePage.IsDbcs()) {
        return length == 2 && static_cast<unsigned char>(text[pos]) == 0x81;
    }
    const char32_t c = codePage.Decode(text.data() + pos, text.data() + pos + length);
    return (c >= 0x3000 && c <= 0x303F) || c == 0x30FB || c == 0x30FC ||
           (c >= 0xFF01 && c <= 0xFF0F) || (c >= 0xFF1A && c <= 0xFF20) ||
           (c >= 0xFF3B && c <= 0xFF40) || (c >= 0xFF5B && c <= 0xFF65);
}

struct BracketPair {
    std::string open, close;
};

// The bracket pairs in the working code page's bytes; a pair the code
// page cannot write is left out.
std::vector<BracketPair> BracketPairs(const CodePage& codePage) {
    static const char* const kPairs[][2] = {
        {"(", ")"},
        {"[", "]"},
        {"{", "}"},
        {"<", ">"},
        {"\xe3\x80\x8c", "\xe3\x80\x8d"},  // corner brackets
        {"\xe3\x80\x8e", "\xe3\x80\x8f"},  // white corner brackets
        {"\xe3\x80\x90", "\xe3\x80\x91"},  // black lenticular brackets
        {"\xef\xbc\x88", "\xef\xbc\x89"},  // full-width parentheses
    };
    std::vector<BracketPair> pairs;
    for (const auto& pair : kPairs) {
        BracketPair local{codePage.FromUtf8(pair[0]), codePage.FromUtf8(pair[1])};
        if (!local.open.empty() && codePage.ToUtf8(local.open) == pair[0] &&
            codePage.ToUtf8(local.close) == pair[1]) {
            pairs.push_back(std::move(local));
        }
    }
    return pairs;
}

// Brackets of one pair in text[from, to): offset and +1 for an opening,
// -1 for a closing one, walked character by character so that a trail
// byte never counts.
std::vector<std::pair<std::size_t, int>> BracketsIn(std::string_view text, std::size_t from,
                                                    std::size_t to, const BracketPair& pair,
                                                    const CodePage& codePage) {
    std::vector<std::pair<std::size_t, int>> found;
    for (std::size_t pos = from; pos < to;) {
        const std::size_t length = CharBytes(text, pos, codePage);
        const std::string_view ch = text.substr(pos, length);
        if (ch == pair.open) {
            found.emplace_back(pos, 1);
        } else if (ch == pair.close) {
            found.emplace_back(pos, -1);
        }
        pos += length;
    }
    return found;
}

// Where "WordRight" from `pos` stops: past the word (in a kanji-and-kana
// word, after kana at the next character that is neither kana nor a
// symbol, so a verb with its ending stops before the next kanji), then past
// the delimiters after it.
std::size_t NextWordStart(std::string_view text, std::size_t pos, const CodePage& codePage,
                          const KinsokuSets& sets) {
    bool kanaPassed = false;
    while (pos < text.size()) {
        const int wordClass = WordClassAt(text, pos, codePage, sets);
        if (IsDelimiterClass(wordClass) ||
            (kanaPassed && wordClass != kWordHiragana && !IsWideSymbol(text, pos, codePage))) {
            break;
        }
        kanaPassed = kanaPassed || wordClass == kWordHiragana;
        pos += CharBytes(text, pos, codePage);
    }
    while (pos < text.size() && IsDelimiterClass(WordClassAt(text, pos, codePage, sets))) {
        pos += CharBytes(text, pos, codePage);
    }
    return pos;
}

}  // namespace

void EditorCommands::CsrUp() {
    editor_.CaretUp();
}

void EditorCommands::CsrLeft() {
    editor_.CaretLeft();
}

void EditorCommands::CsrRight() {
    editor_.CaretRight();
}

void EditorCommands::CsrDown() {
    editor_.CaretDown();
}

void EditorCommands::WordRight() {
    if (editor_.Document() == nullptr) {
        return;
    }
    const std::size_t line = editor_.CaretLine();
    const std::string_view text = editor_.LineView(line);
    const std::size_t pos = editor_.CaretOffset();
    if (pos >= text.size()) {
        editor_.CaretRight();
        return;
    }
    editor_.MoveCaretTo(line, NextWordStart(text, pos, editor_.TextCodePage(), options_.kinsoku));
}

// The last word start before the caret by the same rule as "WordRight",
// so that both commands stop at the same places.
void EditorCommands::WordLeft() {
    if (editor_.Document() == nullptr) {
        return;
    }
    const std::size_t line = editor_.CaretLine();
    const std::string_view text = editor_.LineView(line);
    const std::size_t pos = std::min(editor_.CaretOffset(), text.size());
    if (pos == 0) {
        editor_.CaretLeft();
        return;
    }
    std::size_t start = 0;
    for (std::size_t at = 0;;) {
        const std::size_t next = NextWordStart(text, at, editor_.TextCodePage(), options_.kinsoku);
        if (next >= pos || next == at) {
            break;
        }
        start = at = next;
    }
    editor_.MoveCaretTo(line, start);
}

void EditorCommands::BegLine() {
    if (editor_.Document() == nullptr) {
        return;
    }
    const std::size_t line = editor_.CaretLine();
    const std::string_view text = editor_.LineView(line);
    std::size_t target = 0;
    if (editor_.CaretOffset() == 0) {
        target = std::min(text.find_first_not_of(" \t"), text.size());
    }
    editor_.MoveCaretTo(line, target);
}

void EditorCommands::EndLine() {
    if (editor_.Document() != nullptr) {
        editor_.MoveCaretTo(editor_.CaretLine(), editor_.LineView(editor_.CaretLine()).size());
    }
}

void EditorCommands::LeftSide() {
    editor_.RowHome();
}

void EditorCommands::RightSide() {
    editor_.RowEnd();
}

void EditorCommands::ShowJumpTarget() {
    const long row = editor_.CaretRow();
    const long top = editor_.TopRow();
    const int rows = editor_.WindowRows();
    if (row >= top && row < top + rows) {
        return;
    }
    if (options_.jumpCenter) {
        editor_.CenterCaretRow();
    } else {
        editor_.ScrollTo(row < top ? row : row - rows + 1);
    }
}

void EditorCommands::TextTop() {
    if (editor_.Document() == nullptr) {
        return;
    }
    editor_.NoteJumpOrigin();
    editor_.MoveCaretTo(0, 0);
    editor_.ScrollTo(0);
}

void EditorCommands::TextBot() {
    if (editor_.Document() == nullptr) {
        return;
    }
    editor_.NoteJumpOrigin();
    const std::size_t last = editor_.LineCount() - 1;
    editor_.MoveCaretTo(last, editor_.LineView(last).size());
    editor_.ScrollTo(editor_.CaretRow() - editor_.WindowRows() + 1);
}

void EditorCommands::ScreenTop() {
    if (editor_.Document() == nullptr) {
        return;
    }
    const int column =
        editor_.DesiredColumn() >= 0 ? editor_.DesiredColumn() : editor_.VirtualColumn();
    editor_.MoveCaretToRow(editor_.TopRow(), column);
}

void EditorCommands::ScreenBot() {
    if (editor_.Document() == nullptr) {
        return;
    }
    const int column =
        editor_.DesiredColumn() >= 0 ? editor_.DesiredColumn() : editor_.VirtualColumn();
    const long bottom = std::min(editor_.TopRow() + editor_.WindowRows() - 1,
                                 std::max(0L, editor_.TotalRows() - 1));
    editor_.MoveCaretToRow(bottom, column);
}

// The marks are searched from the caret's line to the end of the text (or
// its start); they do not wrap, so the last mark is plainly the last.
void EditorCommands::JumpMark(bool forward) {
    if (editor_.Document() == nullptr) {
        return;
    }
    const std::size_t count = editor_.LineCount();
    std::size_t line = editor_.CaretLine();
    while (forward ? line + 1 < count : line > 0) {
        line = forward ? line + 1 : line - 1;
        if (editor_.LineMarked(line)) {
            editor_.NoteJumpOrigin();
            editor_.MoveCaretTo(line, 0);
            ShowJumpTarget();
            return;
        }
    }
    host_.Beep();
}

void EditorCommands::NextMark() {
    JumpMark(true);
}

void EditorCommands::PrevMark() {
    JumpMark(false);
}

void EditorCommands::MarkLine() {
    if (editor_.Document() != nullptr) {
        const std::size_t line = editor_.CaretLine();
        editor_.SetLineMarked(line, !editor_.LineMarked(line));
    }
}

void EditorCommands::MarkOff() {
    if (editor_.Document() == nullptr) {
        return;
    }
    std::size_t first = 0;
    std::size_t last = editor_.LineCount() - 1;
    if (editor_.HasSelection()) {
        first = editor_.SelectionFirstLine();
        last = editor_.SelectionLastLine();
    }
    for (std::size_t line = first; line <= last; ++line) {
        editor_.SetLineMarked(line, false);
    }
}

void EditorCommands::NoEffect() {}

void EditorCommands::PrevPos() {
    if (editor_.Document() == nullptr || !editor_.SwapWithJumpOrigin()) {
        host_.Beep();
        return;
    }
    ShowJumpTarget();
}

// The bracket at the caret and its partner, counting nested pairs of the
// same kind, across lines.
void EditorCommands::OtherParen() {
    if (editor_.Document() == nullptr) {
        return;
    }
    const CodePage& codePage = editor_.TextCodePage();
    const std::size_t caretLine = editor_.CaretLine();
    const std::size_t caretPos = editor_.CaretOffset();
    const std::string_view here = editor_.LineView(caretLine);
    if (caretPos >= here.size()) {
        host_.Beep();
        return;
    }
    const std::string_view ch = here.substr(caretPos, CharBytes(here, caretPos, codePage));
    const std::vector<BracketPair> pairs = BracketPairs(codePage);
    const auto pair = std::find_if(pairs.begin(), pairs.end(), [ch](const BracketPair& p) {
        return ch == p.open || ch == p.close;
    });
    if (pair == pairs.end()) {
        host_.Beep();
        return;
    }
    const int direction = ch == pair->open ? 1 : -1;
    int depth = 0;
    std::size_t line = caretLine;
    for (;;) {
        const std::string_view text = editor_.LineView(line);
        std::vector<std::pair<std::size_t, int>> found =
            line != caretLine ? BracketsIn(text, 0, text.size(), *pair, codePage)
            : direction > 0   ? BracketsIn(text, caretPos, text.size(), *pair, codePage)
                              : BracketsIn(text, 0, caretPos + ch.size(), *pair, codePage);
        if (direction < 0) {
            std::reverse(found.begin(), found.end());
        }
        for (const auto& [offset, kind] : found) {
            depth += kind * direction;
            if (depth == 0) {
                editor_.NoteJumpOrigin();
                editor_.MoveCaretTo(line, offset);
                ShowJumpTarget();
                return;
            }
        }
        if (direction > 0 ? line + 1 >= editor_.LineCount() : line == 0) {
            break;
        }
        line = direction > 0 ? line + 1 : line - 1;
    }
    host_.Beep();
}

}  // namespace corvina
