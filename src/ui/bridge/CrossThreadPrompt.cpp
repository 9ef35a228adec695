#include "ui/bridge/CrossThreadPrompt.h"

#include <string>

#include "ui/bridge/UiCall.h"

namespace corvina {

ConfirmAnswer CrossThreadPrompt::Ask(const Question& question) {
    return CallOnUi(&anchor_,
                    [this, question] { return closed_ ? question.preset : target_.Ask(question); });
}

void CrossThreadPrompt::Notify(std::string_view text, std::string_view caption) {
    CallOnUi(&anchor_, [this, text = std::string(text), caption = std::string(caption)] {
        if (!closed_) {
            target_.Notify(text, caption);
        }
    });
}

std::optional<std::filesystem::path> CrossThreadPrompt::ChooseFile(const FileChoice& choice) {
    return CallOnUi(&anchor_, [this, choice]() -> std::optional<std::filesystem::path> {
        return closed_ ? std::nullopt : target_.ChooseFile(choice);
    });
}

std::optional<std::string> CrossThreadPrompt::AskText(std::string_view title,
                                                      std::string_view prompt,
                                                      std::string_view prefilled) {
    return CallOnUi(&anchor_,
                    [this, t = std::string(title), p = std::string(prompt),
                     f = std::string(prefilled)]() -> std::optional<std::string> {
                        return closed_ ? std::nullopt : target_.AskText(t, p, f);
                    });
}

std::optional<std::string> CrossThreadPrompt::AskPassword(std::string_view title,
                                                          std::string_view prompt) {
    return CallOnUi(
        &anchor_,
        [this, t = std::string(title), p = std::string(prompt)]() -> std::optional<std::string> {
            return closed_ ? std::nullopt : target_.AskPassword(t, p);
        });
}

}  // namespace corvina
