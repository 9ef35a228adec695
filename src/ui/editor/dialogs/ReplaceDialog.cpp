#include "ui/editor/dialogs/ReplaceDialog.h"

namespace corvina {

ReplaceDialog::ReplaceDialog(const ReplaceDialogValues& values,
                             std::function<void(const SearchOptions&)> saveOptions, QWidget* parent)
    : SearchDialog("Replace", parent), values_(values) {
    pattern_ = AddStringRow("&Find String:", values.pattern, values.history);
    replacement_ = AddStringRow("Replace &String:", values.replacement, {});
    AddOptionBoxes(values.options, {"&Mark Replaced Line", "Ignore M&BCS", "Match &Top of String"});
    AddButtons("R&eplace All", "Save &Option", std::move(saveOptions));
}

ReplaceDialogValues ReplaceDialog::Values() const {
    ReplaceDialogValues values = values_;
    values.pattern = StringOf(pattern_);
    values.replacement = StringOf(replacement_);
    values.options = Options();
    return values;
}

ReplaceDialogButton ReplaceDialog::Button() const {
    if (result() != Accepted) {
        return ReplaceDialogButton::kCancel;
    }
    return OtherPressed() ? ReplaceDialogButton::kReplaceAll : ReplaceDialogButton::kOk;
}

}  // namespace corvina
