#pragma once
// "Find": the search string over its history, the option letters, the
// direction, and "OK", "Mark A&ll", "Cancel" and "&Save Option".

#include <functional>

#include "editor/EditorDialogs.h"
#include "ui/editor/dialogs/SearchDialog.h"

class QRadioButton;

namespace corvina {

class FindDialog : public SearchDialog {
public:
    // `saveOptions` is called with the options shown when "&Save Option"
    // is pressed; the dialog stays open.
    FindDialog(const FindDialogValues& values,
               std::function<void(const SearchOptions&)> saveOptions, QWidget* parent);

    // The values as the user left them, and the button that closed the
    // dialog (kCancel unless OK or "Mark A&ll" did).
    FindDialogValues Values() const;
    FindDialogButton Button() const;

private:
    FindDialogValues values_;
    QComboBox* pattern_;
    QRadioButton* backward_;
};

}  // namespace corvina
