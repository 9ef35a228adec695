#pragma once
// The windows' answer to the core's questions: message boxes, file dialogs
// and one-line input dialogs, parented to a window of the caller's choice.

#include <QPointer>
#include <QWidget>

#include "common/UserPrompt.h"

namespace corvina {

class QtPrompt : public UserPrompt, public StatusSink {
public:
    explicit QtPrompt(QWidget* parent = nullptr) : parent_(parent) {}
    void SetParent(QWidget* parent) { parent_ = parent; }

    ConfirmAnswer Ask(const Question& question) override;
    void Notify(std::string_view text, std::string_view caption) override;
    std::optional<std::filesystem::path> ChooseFile(const FileChoice& choice) override;
    std::optional<std::string> AskText(std::string_view title, std::string_view prompt,
                                       std::string_view prefilled) override;
    std::optional<std::string> AskPassword(std::string_view title,
                                           std::string_view prompt) override;
    // Without a frame's status bar a status line is dropped.
    void ShowStatus(std::string_view) override {}

private:
    QPointer<QWidget> parent_;
};

}  // namespace corvina
