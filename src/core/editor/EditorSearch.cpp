// Find, find next and previous, and "Mark All".

#include "editor/EditorSearch.h"

#include "common/CodePage.h"
#include "editor/CharClasses.h"
#include "editor/EditorDialogs.h"
#include "editor/EditorEscapes.h"
#include "editor/EditorHost.h"
#include "editor/EditorOptions.h"
#include "editor/TextEditor.h"

namespace corvina {

namespace {

constexpr std::string_view kFindingStatus = "Finding ... (ESC key to break)";

}  // namespace

std::size_t EditorSearchText::LineCount() const {
    return editor_.Document() == nullptr ? 0 : editor_.LineCount();
}

std::string_view EditorSearchText::Line(std::size_t line) const {
    return editor_.LineView(line);
}

EditorSearch::EditorSearch(TextEditor& editor, EditorHost& host, EditorDialogs& dialogs,
                           const EditorOptions& options, SearchState& state)
    : editor_(editor), host_(host), dialogs_(dialogs), options_(options), state_(state) {}

bool EditorSearch::Run(EditorCommand command) {
    using enum EditorCommand;
    switch (command) {
        case kSearchFwd:
        case kSearchBwd:
        case kFind:
        case kSearchNext:
        case kSearchPrev:
        case kReplace:
        case kReplAgain:
        case kReplaceRun:
        case kGetWord:
        case kTitleMark:
        case kJumpLine:
        case kWordPaste:
            break;
        default:
            return false;
    }
    if (editor_.Document() == nullptr) {
        return true;
    }
    switch (command) {
        case kSearchNext:
        case kSearchPrev:
            FindAgain(command == kSearchPrev);
            break;
        case kReplace:
            ReplaceWithDialog();
            break;
        case kReplAgain:
            StartReplaceRun(false);
            break;
        case kReplaceRun:
            ContinueReplaceRun();
            break;
        case kGetWord:
            GetWord();
            break;
        case kTitleMark:
            TitleMark();
            break;
        case kJumpLine:
            JumpLine();
            break;
        case kWordPaste:
            WordPaste();
            break;
        default:
            FindWithDialog(command);
            break;
    }
    return true;
}

// What a dialog opens with: the string "GetWord" has just taken, else the
// selection or the word at the caret (escaped), else `current` (for a
// box, or the caret on a line end or a blank).
std::string EditorSearch::DialogPreset(const std::string& current) {
    if (state_.TakeWordFlag()) {
        return current;
    }
    const CodePage& codePage = editor_.TextCodePage();
    if (editor_.HasSelection()) {
        const std::string selected =
            editor_.Selection() == SelectionMode::kBox ? std::string() : editor_.SelectedText();
        return selected.empty() ? current : EscapeText(selected, codePage);
    }
    const std::string_view line = editor_.LineView(editor_.CaretLine());
    const std::size_t at = editor_.CaretOffset();
    if (at >= line.size() || static_cast<unsigned char>(line[at]) <= ' ') {
        return current;
    }
    const auto [start, end] = WordRunAt(line, at, codePage, options_.kinsoku);
    return EscapeText(line.substr(start, end - start), codePage);
}

void EditorSearch::FindWithDialog(EditorCommand command) {
    // A cancelled dialog changes nothing.
    FindDialogValues values;
    values.pattern = DialogPreset(state_.SearchString());
    values.options = state_.FindOptions();
    values.backward = command == EditorCommand::kFind ? state_.LastBackward()
                                                      : command == EditorCommand::kSearchBwd;
    values.history = state_.OfferedHistory();
    const FindDialogButton button = dialogs_.AskFind(values);
    if (button == FindDialogButton::kCancel) {
        return;
    }
    const bool backward =
        command == EditorCommand::kFind ? values.backward : command == EditorCommand::kSearchBwd;
    state_.SetSearchString(values.pattern);
    state_.SetFindOptions(values.options);
    state_.SetLastBackward(backward);
    state_.AddToHistory(values.pattern, values.options);
    if (button == FindDialogButton::kMarkAll) {
        MarkAll(backward);
        return;
    }
    state_.Find() = {};
    std::optional<TextPlace> from;
    if (values.options.fromBeginning) {
        from = backward ? TextEnd() : TextPlace{};
    }
    Find(backward, from);
}

// "SearchNext" and "SearchPrev": from the caret, or from the top (the end)
// of the message a search with "All Messages in Folder" went on to.
void EditorSearch::FindAgain(bool backward) {
    SearchState::FindRun& run = state_.Find();
    const bool continuing =
        run.continueIn != nullptr && run.editor == &editor_ && run.continueIn == editor_.Document();
    run.continueIn = nullptr;
    if (continuing) {
        Find(backward, backward ? TextEnd() : TextPlace{});
        return;
    }
    run = {};
    Find(backward, std::nullopt);
}

// Searches from `from`, or, without it, from the character after (before)
// the caret so that the match at the caret is not found again.
void EditorSearch::Find(bool backward, std::optional<TextPlace> from) {
    const std::optional<SearchPattern> pattern =
        Prepare(state_.SearchString(), state_.FindOptions());
    if (!pattern) {
        state_.Find() = {};
        return;
    }
    SearchState::FindRun& run = state_.Find();
    const TextPlace caret = editor_.Caret();
    if (run.origin == nullptr || run.editor != &editor_) {
        run = {&editor_, editor_.Document(), caret, nullptr};
    }
    const std::optional<TextPlace> start = from ? from : StepFrom(caret, backward);
    bool cancelled = false;
    std::optional<SearchMatch> match;
    if (start) {
        match = Search(*pattern, *start, backward, cancelled);
    }
    if (!match) {
        NotFound(backward, caret, cancelled);
        return;
    }
    run = {};
    editor_.NoteJumpOrigin();
    ShowMatch(*match, state_.FindOptions());
}

void EditorSearch::NotFound(bool backward, TextPlace back, bool cancelled) {
    SearchState::FindRun& run = state_.Find();
    if (state_.FindOptions().allMessages && !cancelled && !dialogs_.EscapePressed() &&
        host_.SelectAdjacentMessage(!backward)) {
        if (editor_.Document() != run.origin) {
            if (backward) {
                const TextPlace end = TextEnd();
                editor_.MoveCaretTo(end.line, end.offset);
            }
            run.continueIn = editor_.Document();
            host_.PostFrameCommand(
                CommandNumber(backward ? EditorCommand::kSearchPrev : EditorCommand::kSearchNext));
            return;
        }
        // Round the folder once: back where the search began.
        back = run.originPlace;
    }
    run = {};
    editor_.MoveCaretTo(back.line, back.offset);
    host_.EnsureCaretVisible();
    host_.Beep();
}

void EditorSearch::ShowMatch(const SearchMatch& match, const SearchOptions& options) {
    const TextPlace end = std::min(match.end, TextEnd());
    editor_.MoveCaretTo(match.start.line, match.start.offset);
    if (options.markFound) {
        editor_.SetLineMarked(match.start.line, true);
    }
    if (options_.selectFind && match.start < end) {
        // Anchored at the end, so the caret stays on the match's start and
        // the next search steps on from there.
        editor_.SelectRange(end, match.start);
    }
    if (options_.jumpCenter) {
        editor_.CenterCaretRow();
    }
    host_.EnsureCaretVisible();
}

// Every line with a match from the caret on (backward: back from it),
// each line once; the caret stays.
void EditorSearch::MarkAll(bool backward) {
    const std::optional<SearchPattern> pattern =
        Prepare(state_.SearchString(), state_.FindOptions());
    if (!pattern) {
        return;
    }
    TextPlace from = editor_.Caret();
    if (state_.FindOptions().fromBeginning) {
        from = backward ? TextEnd() : TextPlace{};
    }
    const EditorSearchText text(editor_);
    bool cancelled = false;
    bool marked = false;
    while (std::optional<SearchMatch> match = Search(*pattern, from, backward, cancelled)) {
        const std::size_t line = match->start.line;
        editor_.SetLineMarked(line, true);
        marked = true;
        if (backward ? line == 0 : line + 1 >= text.LineCount()) {
            break;
        }
        from = backward ? TextPlace{line - 1, text.Line(line - 1).size()} : TextPlace{line + 1, 0};
    }
    if (!marked) {
        host_.Beep();
    }
}

std::optional<SearchPattern> EditorSearch::Prepare(std::string_view escaped,
                                                   const SearchOptions& options) {
    if (escaped.empty()) {
        host_.Beep();
        return std::nullopt;
    }
    std::string error;
    std::optional<SearchPattern> pattern =
        SearchPattern::Compile(escaped, options, editor_.TextCodePage(), &error);
    if (!pattern) {
        if (error.empty()) {
            host_.Beep();
        } else {
            dialogs_.ShowError(error);
        }
    }
    return pattern;
}

std::optional<SearchMatch> EditorSearch::Search(const SearchPattern& pattern, TextPlace from,
                                                bool backward, bool& cancelled) {
    host_.ShowStatus(kFindingStatus);
    const EditorSearchText text(editor_);
    const SearchCancel cancel = [&] {
        cancelled = cancelled || dialogs_.EscapePressed();
        return cancelled;
    };
    std::optional<SearchMatch> match = backward ? pattern.FindBackward(text, from, cancel)
                                                : pattern.FindForward(text, from, cancel);
    host_.ShowStatus({});
    return match;
}

// One character on (back), over line ends; nothing past the text's ends.
std::optional<TextPlace> EditorSearch::StepFrom(TextPlace place, bool backward) const {
    const EditorSearchText text(editor_);
    const std::string_view line = text.Line(place.line);
    if (backward) {
        if (place.offset > 0) {
            const std::size_t offset = std::min(place.offset, line.size());
            return TextPlace{place.line, editor_.TextCodePage().PrevCharStart(line, offset)};
        }
        if (place.line == 0) {
            return std::nullopt;
        }
        return TextPlace{place.line - 1, text.Line(place.line - 1).size()};
    }
    if (place.offset < line.size()) {
        const int length = editor_.TextCodePage().CharLength(line, place.offset);
        return TextPlace{place.line, place.offset + static_cast<std::size_t>(std::max(1, length))};
    }
    if (place.line + 1 >= text.LineCount()) {
        return std::nullopt;
    }
    return TextPlace{place.line + 1, 0};
}

TextPlace EditorSearch::TextEnd() const {
    const EditorSearchText text(editor_);
    const std::size_t last = text.LineCount() == 0 ? 0 : text.LineCount() - 1;
    return {last, text.LineCount() == 0 ? 0 : text.Line(last).size()};
}

}  // namespace corvina
