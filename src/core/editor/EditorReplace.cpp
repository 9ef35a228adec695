// Replace: the dialog, the replace run with its confirmations, the
// restriction to a selection, and the run's way through the messages of a
// folder.

#include <algorithm>
#include <string>

#include "common/CodePage.h"
#include "common/UserPrompt.h"
#include "editor/EditorEscapes.h"
#include "editor/EditorHost.h"
#include "editor/EditorOptions.h"
#include "editor/EditorSearch.h"
#include "editor/TextEditor.h"

namespace corvina {

namespace {

// Where `place` is after [start, end) became text that ends at `newEnd`.
TextPlace MapPlace(TextPlace place, TextPlace start, TextPlace end, TextPlace newEnd) {
    if (place <= start) {
        return place;
    }
    if (place < end) {
        return newEnd;
    }
    if (place.line == end.line) {
        return {newEnd.line, newEnd.offset + (place.offset - end.offset)};
    }
    return {place.line - end.line + newEnd.line, place.offset};
}

}  // namespace

bool EditorSearch::Restriction::Contains(const SearchMatch& match) const {
    if (ranges.empty()) {
        return true;
    }
    return std::any_of(ranges.begin(), ranges.end(), [&](const auto& range) {
        return range.first <= match.start && match.end <= range.second;
    });
}

bool EditorSearch::Restriction::Passed(const SearchMatch& match) const {
    return !ranges.empty() && match.start > ranges.back().second;
}

void EditorSearch::ReplaceWithDialog() {
    if (editor_.ReadOnly()) {
        return;
    }
    // The dialog opens with an empty replacement; the strings of the last
    // run stay for "ReplAgain" until the dialog is confirmed.
    ReplaceDialogValues values;
    values.pattern = DialogPreset(state_.ReplaceSearchString());
    values.options = state_.ReplaceOptions();
    values.history = state_.OfferedHistory();
    const ReplaceDialogButton button = dialogs_.AskReplace(values);
    if (button == ReplaceDialogButton::kCancel) {
        return;
    }
    state_.SetReplaceSearchString(values.pattern);
    state_.SetReplacement(values.replacement);
    state_.SetReplaceOptions(values.options);
    state_.AddToHistory(values.pattern, values.options);
    StartReplaceRun(button == ReplaceDialogButton::kReplaceAll);
}

void EditorSearch::StartReplaceRun(bool replaceAll) {
    if (editor_.ReadOnly()) {
        return;
    }
    SearchState::ReplaceRun& run = state_.Replace();
    run = {};
    run.editor = &editor_;
    run.origin = editor_.Document();
    run.replaceAll = replaceAll;
    ReplaceInMessage(true);
}

// Command 58449: posted by a run to go on in the message it moved to; run
// by itself it starts a run as "ReplAgain" does.
void EditorSearch::ContinueReplaceRun() {
    SearchState::ReplaceRun& run = state_.Replace();
    const bool continuing =
        run.continueIn != nullptr && run.editor == &editor_ && run.continueIn == editor_.Document();
    run.continueIn = nullptr;
    if (!continuing) {
        StartReplaceRun(false);
        return;
    }
    if (editor_.ReadOnly()) {
        EndReplaceRun();
        return;
    }
    ReplaceInMessage(false);
}

// The selection as the ranges a run may replace in: one range for a
// stream selection, the piece of each row between the box's columns for a
// box. The selection is cleared; `saved` keeps what puts it back.
EditorSearch::Restriction EditorSearch::RestrictionOfSelection(SavedSelection& saved) {
    Restriction restriction;
    const long firstRow = editor_.SelectionStartRow();
    const long lastRow = editor_.SelectionEndRow();
    const int left = editor_.SelectionStartColumn();
    const int right = editor_.SelectionEndColumn();
    saved.active = true;
    if (editor_.Selection() == SelectionMode::kBox) {
        saved.box = true;
        saved.caretRow = editor_.CaretRow();
        saved.caretColumn = editor_.VirtualColumn();
        saved.anchorRow = saved.caretRow == firstRow ? lastRow : firstRow;
        saved.anchorColumn = saved.caretColumn == left ? right : left;
        saved.totalRows = editor_.TotalRows();
        for (long row = firstRow; row <= lastRow; ++row) {
            const TextPlace from = editor_.PlaceOfRow(row, left);
            const TextPlace to = editor_.PlaceOfRow(row, right);
            restriction.ranges.emplace_back(from, std::max(from, to));
        }
    } else {
        const TextPlace from = editor_.PlaceOfRow(firstRow, left);
        const TextPlace to = editor_.PlaceOfRow(lastRow, right);
        const bool caretAtStart = editor_.Caret() == from;
        saved.anchor = caretAtStart ? to : from;
        saved.caret = caretAtStart ? from : to;
        restriction.ranges.emplace_back(from, to);
    }
    editor_.ClearSelection();
    return restriction;
}

void EditorSearch::RestoreSelection(const SavedSelection& saved) {
    if (!saved.active) {
        return;
    }
    if (!saved.box) {
        editor_.SelectRange(saved.anchor, saved.caret);
        return;
    }
    // Replacements inside the box move only the rows below its top row:
    // the bottom corner follows the rows they added or took away.
    const long grown = editor_.TotalRows() - saved.totalRows;
    const long top = std::min(saved.anchorRow, saved.caretRow);
    const long bottom = std::max(saved.anchorRow, saved.caretRow);
    const auto shifted = [&](long row) {
        return row == bottom && bottom != top ? std::max(top, row + grown) : row;
    };
    editor_.ClearSelection();
    editor_.MoveCaretToRow(shifted(saved.anchorRow), saved.anchorColumn);
    editor_.StartBoxSelection();
    editor_.MoveCaretToRow(shifted(saved.caretRow), saved.caretColumn);
}

ReplaceAnswer EditorSearch::Confirm(const SearchMatch& match) {
    SearchState::ReplaceRun& run = state_.Replace();
    if (run.replaceAll) {
        return ReplaceAnswer::kYes;
    }
    const TextPlace end = std::min(match.end, TextEnd());
    editor_.MoveCaretTo(match.start.line, match.start.offset);
    if (match.start < end) {
        editor_.SelectRange(end, match.start);
    }
    if (options_.jumpCenter) {
        editor_.CenterCaretRow();
    }
    host_.EnsureCaretVisible();
    ReplaceAnswer answer = dialogs_.AskReplaceThis();
    if (answer == ReplaceAnswer::kYes && dialogs_.ShiftPressed()) {
        answer = ReplaceAnswer::kAll;
    }
    if (answer == ReplaceAnswer::kAll) {
        run.replaceAll = true;
        answer = ReplaceAnswer::kYes;
    }
    return answer;
}

// The replace loop in the shown message. The search goes on after the
// inserted text, so a replacement that holds the pattern is not replaced
// again, and one character on after an empty match, so a pattern that
// matches nothing ends.
void EditorSearch::ReplaceInMessage(bool firstMessage) {
    const SearchOptions options = state_.ReplaceOptions();
    const std::optional<SearchPattern> pattern = Prepare(state_.ReplaceSearchString(), options);
    if (!pattern) {
        state_.Replace() = {};
        return;
    }
    const std::string replacement = UnescapeText(state_.Replacement(), editor_.TextCodePage());
    SavedSelection saved;
    Restriction restriction;
    TextPlace from;
    if (firstMessage && editor_.HasSelection()) {
        restriction = RestrictionOfSelection(saved);
        from = restriction.ranges.front().first;
    } else if (firstMessage && !options.fromBeginning) {
        from = editor_.Caret();
    }
    bool cancelled = false;
    bool stopped = false;
    while (std::optional<SearchMatch> match = Search(*pattern, from, false, cancelled)) {
        if (restriction.Passed(*match)) {
            break;
        }
        std::optional<TextPlace> next;
        if (!restriction.Contains(*match)) {
            next = StepFrom(match->start, false);
        } else {
            const ReplaceAnswer answer = Confirm(*match);
            if (answer == ReplaceAnswer::kCancel) {
                stopped = true;
                break;
            }
            if (answer == ReplaceAnswer::kNo) {
                next = StepFrom(match->start, false);
            } else if (!ReplaceMatch(*match, replacement, restriction, saved)) {
                stopped = true;
                break;
            } else {
                next =
                    match->start < match->end ? editor_.Caret() : StepFrom(editor_.Caret(), false);
            }
        }
        if (!next) {
            break;
        }
        from = *next;
    }
    editor_.ClearSelection();
    RestoreSelection(saved);
    // A run kept to a selection stays in its message.
    const bool restricted = !restriction.ranges.empty();
    if (!stopped && !cancelled && !restricted && options.allMessages && !dialogs_.EscapePressed() &&
        host_.SelectAdjacentMessage(true) && editor_.Document() != state_.Replace().origin) {
        state_.Replace().continueIn = editor_.Document();
        host_.PostFrameCommand(CommandNumber(EditorCommand::kReplaceRun));
        return;
    }
    EndReplaceRun();
}

// Deletes the match and inserts the replacement as one undo step; the
// ranges still to be searched and the selection to put back follow the
// text.
bool EditorSearch::ReplaceMatch(const SearchMatch& match, std::string_view replacement,
                                Restriction& restriction, SavedSelection& saved) {
    const TextPlace end = std::min(match.end, TextEnd());
    bool inserted = true;
    {
        UndoStep step(editor_.History());
        if (match.start < end) {
            editor_.SelectRange(end, match.start);
            if (!editor_.DeleteSelection()) {
                return false;
            }
        } else {
            editor_.ClearSelection();
            editor_.MoveCaretTo(match.start.line, match.start.offset);
        }
        inserted = replacement.empty() || editor_.InsertText(replacement);
    }
    if (!inserted) {
        // Out of memory: the match comes back rather than vanish.
        editor_.Undo();
        return false;
    }
    if (!editor_.CommitLine()) {
        return false;
    }
    const TextPlace newEnd = editor_.Caret();
    for (auto& [first, last] : restriction.ranges) {
        first = MapPlace(first, match.start, end, newEnd);
        last = MapPlace(last, match.start, end, newEnd);
    }
    saved.anchor = MapPlace(saved.anchor, match.start, end, newEnd);
    saved.caret = MapPlace(saved.caret, match.start, end, newEnd);
    if (state_.ReplaceOptions().markFound) {
        editor_.SetLineMarked(match.start.line, true);
    }
    SearchState::ReplaceRun& run = state_.Replace();
    if (++run.count % 10 == 0) {
        host_.RedrawAll();
    }
    return true;
}

void EditorSearch::EndReplaceRun() {
    SearchState::ReplaceRun& run = state_.Replace();
    const int count = run.count;
    run = {};
    if (count == 0) {
        host_.Beep();
        return;
    }
    host_.RedrawAll();
    dialogs_.ShowInformation(kMessageCaption, std::to_string(count) + " words are replaced");
}

}  // namespace corvina
