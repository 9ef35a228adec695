#pragma once
// What start-up needs from the user. The windows implement it with dialogs,
// the terminal front end with prompts, tests with a recording fake.

#include <optional>
#include <string>

#include "common/UserPrompt.h"

namespace corvina {

// Texts of the start-up questions, exactly as the user sees them.
inline constexpr const char* kPasswordDialogTitle = "Password Input";
inline constexpr const char* kHomeDialogTitle = "Home Folder";
inline constexpr const char* kHomeDialogPrompt = "Specify the folder name as the root mailbox.";

class AppHost {
public:
    virtual ~AppHost() = default;

    // The "Password Input" question. nullopt = Cancel.
    virtual std::optional<std::string> AskPassword() = 0;

    // The "Home Folder" question ("Specify the folder name as the root
    // mailbox."), pre-filled with `suggestion`. nullopt = Cancel.
    virtual std::optional<std::string> AskHomeDirectory(const std::string& suggestion) = 0;

    // A message box with the string of `stringId` (common/StringTable.h) and
    // the caption "Message from Marlo!".
    virtual void ShowMessage(int stringId) = 0;

    // A Yes/No question with the string of `stringId`; true = Yes.
    virtual bool AskYesNo(int stringId) = 0;
};

}  // namespace corvina
