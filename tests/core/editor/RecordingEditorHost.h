#pragma once
// An EditorHost that records what the editor model asks of its view, with
// a clipboard of its own, and a DocumentWatcher that counts notices.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/CodePage.h"
#include "editor/EditorHost.h"
#include "editor/EditorOptions.h"
#include "editor/TextEditor.h"
#include "message/MailMessage.h"

namespace corvina::test {

class RecordingEditorHost : public EditorHost {
public:
    std::string clipboard;  // UTF-8
    int beeps = 0;
    std::vector<std::string> statuses;
    int redraws = 0;
    std::vector<int> frameCommands;

    std::string ClipboardText() override { return clipboard; }
    void SetClipboardText(std::string_view utf8) override { clipboard.assign(utf8); }
    void Beep() override { ++beeps; }
    void ShowStatus(std::string_view text) override { statuses.emplace_back(text); }
    void RedrawRows(long, long) override { ++redraws; }
    void RedrawAll() override { ++redraws; }
    void EnsureCaretVisible() override {}
    bool AskString(std::string_view, std::string&) override { return false; }
    void PostFrameCommand(int commandId) override { frameCommands.push_back(commandId); }
};

class CountingWatcher : public DocumentWatcher {
public:
    int notices = 0;
    void DocumentModified(const MailMessage&) override { ++notices; }
};

// An editor on a message of its own: `body` holds lines ending in LF.
struct TestEditor {
    explicit TestEditor(std::string_view body, int codePage = CodePage::kShiftJis,
                        EditorOptions settings = {})
        : options(std::move(settings)), editor(host, options) {
        std::size_t start = 0;
        while (start < body.size()) {
            const std::size_t lf = body.find('\n', start);
            message.AddBodyLine(body.substr(start, lf - start));
            start = lf + 1;
        }
        editor.SetCodePage(CodePage::Get(codePage));
        editor.Attach(message);
        editor.SetWatcher(&watcher);
    }

    RecordingEditorHost host;
    CountingWatcher watcher;
    EditorOptions options;
    MailMessage message;
    TextEditor editor;
};

}  // namespace corvina::test
