#pragma once
// What an editor view needs from the window that shows it. The editor
// model calls these; the Qt view implements them, tests record them.

#include <string>
#include <string_view>

namespace corvina {

class MailMessage;

class EditorHost {
public:
    virtual ~EditorHost() = default;

    // The system clipboard holds Unicode: text crosses this seam as UTF-8
    // and the model converts from and to the working code page.
    virtual std::string ClipboardText() = 0;
    virtual void SetClipboardText(std::string_view utf8) = 0;

    virtual void Beep() = 0;
    // A short message for the frame's status bar (working code page).
    virtual void ShowStatus(std::string_view text) = 0;

    // Display rows [first, last] (absolute display-row numbers) must be
    // painted again; RedrawAll after changes that move every row.
    virtual void RedrawRows(long first, long last) = 0;
    virtual void RedrawAll() = 0;
    // Scroll so that the caret's display row is visible.
    virtual void EnsureCaretVisible() = 0;

    // Asks the user for a line of text (working code page); false when
    // the user cancels.
    virtual bool AskString(std::string_view prompt, std::string& value) = 0;

    // A command the frame window handles (its command id).
    virtual void PostFrameCommand(int commandId) = 0;

    // "All Messages in Folder": selects the next (or previous) message of
    // the folder list, after the last the first, and shows it in this
    // editor. False where there is no folder list (compose windows).
    virtual bool SelectAdjacentMessage(bool next) {
        static_cast<void>(next);
        return false;
    }
};

// Told when a document is first changed through an editor, so that the
// frame can mark its message or compose window as changed.
class DocumentWatcher {
public:
    virtual ~DocumentWatcher() = default;
    virtual void DocumentModified(const MailMessage& document) = 0;
};

}  // namespace corvina
