#pragma once
// An editor with its command runner: the body given as UTF-8 is converted
// to the code page, the dialogs answer from a script.

#include <string>
#include <string_view>

#include "RecordingEditorHost.h"
#include "ScriptedDialogs.h"
#include "common/CodePage.h"
#include "editor/EditorCommands.h"

namespace corvina::test {

struct CommandsEditor {
    explicit CommandsEditor(std::string_view utf8Body, int codePage = CodePage::kShiftJis,
                            EditorOptions options = {})
        : t(CodePage::Get(codePage).FromUtf8(utf8Body), codePage, std::move(options)),
          commands(t.editor, t.host, dialogs, t.options) {}

    bool Run(EditorCommand command) { return commands.Run(command); }
    // The text back in UTF-8.
    std::string Text() const { return t.editor.TextCodePage().ToUtf8(t.editor.Text()); }
    // A UTF-8 string's length in bytes of the code page.
    std::size_t Bytes(std::string_view utf8) const {
        return t.editor.TextCodePage().FromUtf8(utf8).size();
    }

    TestEditor t;
    ScriptedDialogs dialogs;
    EditorCommands commands;
};

}  // namespace corvina::test
