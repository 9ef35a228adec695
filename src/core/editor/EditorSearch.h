#pragma once
// The search commands of an editor view: find forward and backward with
// the "Find" dialog, find next and previous, "Mark All", replace with its
// confirmation and its runs over the messages of a folder, "GetWord",
// "TitleMark", "JumpLine" and "WordPaste". The strings and options are the
// process-wide SearchState; the dialogs go through EditorDialogs.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "editor/EditorCommandIds.h"
#include "editor/EditorDialogs.h"
#include "editor/SearchPattern.h"
#include "editor/SearchState.h"

namespace corvina {

class EditorHost;
class TextEditor;
struct EditorOptions;

// The lines of an editor's text as a search walks them, the open line
// included.
class EditorSearchText : public SearchText {
public:
    explicit EditorSearchText(const TextEditor& editor) : editor_(editor) {}
    std::size_t LineCount() const override;
    std::string_view Line(std::size_t line) const override;

private:
    const TextEditor& editor_;
};

class EditorSearch {
public:
    EditorSearch(TextEditor& editor, EditorHost& host, EditorDialogs& dialogs,
                 const EditorOptions& options, SearchState& state = SearchState::Shared());

    // Runs a search command: kSearchFwd, kSearchBwd, kFind, kSearchNext,
    // kSearchPrev, kReplace, kReplAgain, kReplaceRun, kGetWord, kTitleMark,
    // kJumpLine, kWordPaste. False when `command` is none of them.
    bool Run(EditorCommand command);

private:
    // Where one replace run may replace: ranges of the text, in order.
    struct Restriction {
        std::vector<std::pair<TextPlace, TextPlace>> ranges;
        bool Contains(const SearchMatch& match) const;
        bool Passed(const SearchMatch& match) const;
    };
    // The selection a replace run puts back when it ends.
    struct SavedSelection {
        bool active = false;
        bool box = false;
        TextPlace anchor, caret;           // a stream selection's ends
        long anchorRow = 0, caretRow = 0;  // a box's corners
        int anchorColumn = 0, caretColumn = 0;
        long totalRows = 0;  // of the text when the box was taken
    };

    // Find (EditorSearch.cpp).
    void FindWithDialog(EditorCommand command);
    void FindAgain(bool backward);
    void Find(bool backward, std::optional<TextPlace> from);
    void MarkAll(bool backward);
    void NotFound(bool backward, TextPlace back, bool cancelled);
    void ShowMatch(const SearchMatch& match, const SearchOptions& options);
    std::string DialogPreset(const std::string& current);
    std::optional<SearchPattern> Prepare(std::string_view escaped, const SearchOptions& options);
    std::optional<SearchMatch> Search(const SearchPattern& pattern, TextPlace from, bool backward,
                                      bool& cancelled);
    std::optional<TextPlace> StepFrom(TextPlace place, bool backward) const;
    TextPlace TextEnd() const;

    // Replace (EditorReplace.cpp).
    void ReplaceWithDialog();
    void StartReplaceRun(bool replaceAll);
    void ContinueReplaceRun();
    void ReplaceInMessage(bool firstMessage);
    bool ReplaceMatch(const SearchMatch& match, std::string_view replacement,
                      Restriction& restriction, SavedSelection& saved);
    // Shows the match and asks; "Replace &All" turns replace-all on and
    // answers kYes.
    ReplaceAnswer Confirm(const SearchMatch& match);
    void EndReplaceRun();
    Restriction RestrictionOfSelection(SavedSelection& saved);
    void RestoreSelection(const SavedSelection& saved);

    // Words, marks and jumps (EditorSearchCommands.cpp).
    void GetWord();
    void TitleMark();
    void JumpLine();
    void WordPaste();

    TextEditor& editor_;
    EditorHost& host_;
    EditorDialogs& dialogs_;
    const EditorOptions& options_;
    SearchState& state_;
};

}  // namespace corvina
