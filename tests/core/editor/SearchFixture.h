#pragma once
// Editors with the search commands: one on a single body with scripted
// dialogs and a search state of its own, and one that shows the messages
// of a folder list in turn, as "All Messages in Folder" walks them.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "RecordingEditorHost.h"
#include "ScriptedDialogs.h"
#include "editor/EditorSearch.h"
#include "editor/SearchState.h"

namespace corvina::test {

inline void FillBody(MailMessage& message, std::string_view body) {
    for (std::size_t start = 0; start < body.size();) {
        const std::size_t lf = body.find('\n', start);
        message.AddBodyLine(body.substr(start, lf - start));
        start = lf + 1;
    }
}

inline FindDialogValues FindValues(std::string pattern, std::string_view letters,
                                   bool backward = false) {
    FindDialogValues values;
    values.pattern = std::move(pattern);
    values.options = SearchOptions::FromLetters(letters);
    values.backward = backward;
    return values;
}

inline ReplaceDialogValues ReplaceValues(std::string pattern, std::string replacement,
                                         std::string_view letters) {
    ReplaceDialogValues values;
    values.pattern = std::move(pattern);
    values.replacement = std::move(replacement);
    values.options = SearchOptions::FromLetters(letters);
    return values;
}

struct SearchEditor {
    explicit SearchEditor(std::string_view body, EditorOptions settings = {},
                          int codePage = CodePage::kShiftJis)
        : t(body, codePage, std::move(settings)),
          search(t.editor, t.host, dialogs, t.options, state) {}

    // The "Find" dialog answered with OK (or `button`) on these values.
    void FindWith(std::string pattern, std::string_view letters, bool backward = false,
                  FindDialogButton button = FindDialogButton::kOk) {
        dialogs.finds.push_back({button, FindValues(std::move(pattern), letters, backward)});
        search.Run(backward ? EditorCommand::kSearchBwd : EditorCommand::kSearchFwd);
    }
    void ReplaceWith(std::string pattern, std::string replacement, std::string_view letters,
                     ReplaceDialogButton button = ReplaceDialogButton::kOk) {
        dialogs.replaces.push_back(
            {button, ReplaceValues(std::move(pattern), std::move(replacement), letters)});
        search.Run(EditorCommand::kReplace);
    }
    std::string Line(std::size_t line) const { return t.editor.LineText(line); }

    TestEditor t;
    ScriptedDialogs dialogs;
    SearchState state;
    EditorSearch search;
};

// Shows the next (or previous) message of the list in the editor, after
// the last the first.
class FolderHost : public RecordingEditorHost {
public:
    std::vector<std::unique_ptr<MailMessage>>* folder = nullptr;
    TextEditor* editor = nullptr;
    std::size_t shown = 0;
    int selections = 0;

    bool SelectAdjacentMessage(bool next) override {
        const std::size_t count = folder->size();
        shown = next ? (shown + 1) % count : (shown + count - 1) % count;
        editor->Attach(*(*folder)[shown]);
        ++selections;
        return true;
    }
};

struct FolderEditor {
    explicit FolderEditor(const std::vector<std::string>& bodies)
        : editor(host, options), search(editor, host, dialogs, options, state) {
        for (const std::string& body : bodies) {
            messages.push_back(std::make_unique<MailMessage>());
            FillBody(*messages.back(), body);
        }
        host.folder = &messages;
        host.editor = &editor;
        editor.SetCodePage(CodePage::Get(CodePage::kShiftJis));
        editor.Attach(*messages.front());
    }

    // Runs the commands posted to the frame, as the frame would, until
    // none is left.
    void RunPosted() {
        for (std::size_t i = 0; i < host.frameCommands.size(); ++i) {
            search.Run(static_cast<EditorCommand>(host.frameCommands[i]));
        }
    }

    std::vector<std::unique_ptr<MailMessage>> messages;
    FolderHost host;
    EditorOptions options;
    TextEditor editor;
    ScriptedDialogs dialogs;
    SearchState state;
    EditorSearch search;
};

}  // namespace corvina::test
