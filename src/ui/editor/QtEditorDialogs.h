#pragma once
// The editor's questions as Qt dialogs, modal to the window that holds the
// view. Each dialog is its own class (ui/editor/dialogs/) taking the values
// it shows and returning what the user chose; this class shows them.

#include <QPointer>
#include <functional>
#include <memory>

#include "editor/EditorDialogs.h"

class QWidget;

namespace corvina {

class ConfigStore;
class EscapeWatch;
class SearchState;

class QtEditorDialogs : public EditorDialogs {
public:
    // "Save Option" writes the search options into `clientSettings` (the
    // client's settings store) through `search`; without a store they are
    // kept for this run only.
    explicit QtEditorDialogs(QWidget* parent, ConfigStore* clientSettings = nullptr);
    QtEditorDialogs(QWidget* parent, ConfigStore* clientSettings, SearchState& search);
    ~QtEditorDialogs() override;

    FindDialogButton AskFind(FindDialogValues& values) override;
    ReplaceDialogButton AskReplace(ReplaceDialogValues& values) override;
    ReplaceAnswer AskReplaceThis() override;
    bool AskJump(JumpDialogValues& values) override;

    bool AskConvert(ConvertChoice& choice) override;
    bool AskSort(SortChoice& choice) override;
    bool AskAddString(AddStringChoice& choice) override;
    bool AskFileName(FileDialogKind kind, std::filesystem::path& path) override;
    PasteHistoryChoice AskPasteHistory(const std::vector<std::string>& entries) override;
    void ShowStepDialog(TextEditor& editor) override;

    void ShowInformation(std::string_view title, std::string_view text) override;
    void ShowError(std::string_view text) override;
    // Lets pending events run (key and mouse input swallowed) and says
    // whether Escape was pressed since the event loop last waited.
    bool EscapePressed() override;
    bool ShiftPressed() override;

private:
    // What "Save Option" does: `set` the options in the search state and
    // `save` them into the client's settings.
    std::function<void(const SearchOptions&)> SaveOptions(
        void (SearchState::*set)(const SearchOptions&), void (SearchState::*save)(ConfigStore&));

    QPointer<QWidget> parent_;
    ConfigStore* clientSettings_;
    SearchState& search_;
    std::unique_ptr<EscapeWatch> escape_;
};

}  // namespace corvina
