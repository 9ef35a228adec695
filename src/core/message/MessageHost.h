#pragma once
// What the message layer asks of the user: implemented by the windows, the
// terminal front end and tests.

#include <filesystem>
#include <optional>
#include <string_view>

namespace corvina {

class MessageHost {
public:
    virtual ~MessageHost() = default;

    // A save dialog ("All Files", "*.*") starting in `startDirectory` with
    // `suggestedName` filled in; nullopt when the user cancels.
    virtual std::optional<std::filesystem::path> AskSaveFile(
        std::string_view suggestedName, const std::filesystem::path& startDirectory) = 0;

    // A Yes/No question with No as the default; true for Yes.
    virtual bool AskYesNo(std::string_view text) = 0;

    // A text for the status bar.
    virtual void ShowStatus(std::string_view text) = 0;
};

}  // namespace corvina
