#pragma once
// The prompt a transfer on the mail thread asks through: every question
// and notice crosses to the UI thread and is answered there by the
// window's prompt while the mail thread waits. Once the window closes,
// questions take their preset answer and nothing is shown.

#include <QObject>
#include <atomic>

#include "common/UserPrompt.h"

namespace corvina {

class CrossThreadPrompt : public UserPrompt {
public:
    // `anchor` lives on the UI thread; `target` is used only there.
    CrossThreadPrompt(QObject& anchor, UserPrompt& target) : anchor_(anchor), target_(target) {}

    // From the UI thread, before it stops answering.
    void Close() { closed_ = true; }
    bool Closed() const { return closed_; }

    ConfirmAnswer Ask(const Question& question) override;
    void Notify(std::string_view text, std::string_view caption) override;
    std::optional<std::filesystem::path> ChooseFile(const FileChoice& choice) override;
    std::optional<std::string> AskText(std::string_view title, std::string_view prompt,
                                       std::string_view prefilled) override;
    std::optional<std::string> AskPassword(std::string_view title,
                                           std::string_view prompt) override;

private:
    QObject& anchor_;
    UserPrompt& target_;
    std::atomic<bool> closed_{false};
};

}  // namespace corvina
