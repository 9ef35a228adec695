#pragma once
// "Replace": the string to find over the search history, the
// replacement, the option letters, and "OK", "R&eplace All", "Cancel" and
// "Save &Option".

#include <functional>

#include "editor/EditorDialogs.h"
#include "ui/editor/dialogs/SearchDialog.h"

namespace corvina {

class ReplaceDialog : public SearchDialog {
public:
    // `saveOptions` is called with the options shown when "Save &Option"
    // is pressed; the dialog stays open.
    ReplaceDialog(const ReplaceDialogValues& values,
                  std::function<void(const SearchOptions&)> saveOptions, QWidget* parent);

    ReplaceDialogValues Values() const;
    // kCancel unless OK or "R&eplace All" closed the dialog.
    ReplaceDialogButton Button() const;

private:
    ReplaceDialogValues values_;
    QComboBox* pattern_;
    QComboBox* replacement_;
};

}  // namespace corvina
