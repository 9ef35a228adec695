#pragma once
// "Clipboard History": the texts copied lately, the chosen one shown in
// full, and "&Paste", "&Copy" and "Cancel".

#include <QDialog>
#include <string>
#include <vector>

#include "editor/EditorDialogs.h"

class QListWidget;
class QPlainTextEdit;

namespace corvina {

class PasteHistoryDialog : public QDialog {
public:
    // `entries` newest first; the newest is chosen at the start.
    PasteHistoryDialog(const std::vector<std::string>& entries, QWidget* parent);

    // The chosen entry byte for byte and what to do with it; kCancel until
    // "&Paste" or "&Copy" is pressed.
    PasteHistoryChoice Choice() const;

private:
    void Close(PasteHistoryChoice::Action action);
    void ShowChosen();

    std::vector<std::string> entries_;
    PasteHistoryChoice::Action action_ = PasteHistoryChoice::Action::kCancel;
    QListWidget* list_;
    QPlainTextEdit* shown_;
};

}  // namespace corvina
