#pragma once
// The one way the core asks the user something or tells them something.
// The windows answer with dialogs, the batch front end on the terminal,
// tests with a recording fake. The core never asks the view what it shows:
// changes are told through watchers, questions come through here.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace corvina {

// The caption of every message box unless a caller names another.
inline constexpr const char* kMessageCaption = "Message from Marlo!";

enum class ConfirmButtons { Ok, OkCancel, YesNo, YesNoCancel, YesAllNoCancel };
enum class ConfirmAnswer { Ok, Cancel, Yes, No, YesToAll };

// A question in a box.
struct Question {
    std::string text;
    ConfirmButtons buttons = ConfirmButtons::Ok;
    // The answer Enter gives (and a host without a user gives).
    ConfirmAnswer preset = ConfirmAnswer::Ok;
    std::string caption = kMessageCaption;
};

// A file dialog.
struct FileChoice {
    enum class Purpose { Open, Save, Program, Directory };
    Purpose purpose = Purpose::Open;
    std::string title;
    std::string filterName = "All Files";  // shown beside the pattern
    std::string filterPattern = "*.*";
    std::filesystem::path startDirectory;
    std::string suggestedName;  // Save: the name filled in
};

class UserPrompt {
public:
    virtual ~UserPrompt() = default;

    virtual ConfirmAnswer Ask(const Question& question) = 0;

    // A notice with OK: something the user must know.
    virtual void Notify(std::string_view text, std::string_view caption) = 0;

    // nullopt = Cancel.
    virtual std::optional<std::filesystem::path> ChooseFile(const FileChoice& choice) = 0;

    // A one-line text, pre-filled. nullopt = Cancel.
    virtual std::optional<std::string> AskText(std::string_view title, std::string_view prompt,
                                               std::string_view prefilled) = 0;

    // A password, never echoed. nullopt = Cancel.
    virtual std::optional<std::string> AskPassword(std::string_view title,
                                                   std::string_view prompt) = 0;
};

// The status bar's message pane: a line that needs no answer and stays
// until the next one replaces it.
class StatusSink {
public:
    virtual ~StatusSink() = default;
    virtual void ShowStatus(std::string_view text) = 0;
};

// The same calls with a text of the string table (common/StringTable.h).
ConfirmAnswer AskById(UserPrompt& prompt, int stringId, ConfirmButtons buttons,
                      ConfirmAnswer preset);
void NotifyById(UserPrompt& prompt, int stringId);

}  // namespace corvina
