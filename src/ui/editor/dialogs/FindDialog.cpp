#include "ui/editor/dialogs/FindDialog.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QRadioButton>

namespace corvina {

FindDialog::FindDialog(const FindDialogValues& values,
                       std::function<void(const SearchOptions&)> saveOptions, QWidget* parent)
    : SearchDialog("Find", parent), values_(values) {
    pattern_ = AddStringRow("Find &String:", values.pattern, values.history);
    AddOptionBoxes(values.options, {"&Mark Found Line", "Ignore MB&CS", "Match &Top of Line"});

    auto* direction = new QGroupBox(QStringLiteral("Direction"), this);
    backward_ = new QRadioButton(QStringLiteral("&Backward"), direction);
    auto* forward = new QRadioButton(QStringLiteral("&Forward"), direction);
    (values.backward ? backward_ : forward)->setChecked(true);
    auto* directionLayout = new QHBoxLayout(direction);
    directionLayout->addWidget(backward_);
    directionLayout->addWidget(forward);
    AddRow(direction);

    AddButtons("Mark A&ll", "&Save Option", std::move(saveOptions));
}

FindDialogValues FindDialog::Values() const {
    FindDialogValues values = values_;
    values.pattern = StringOf(pattern_);
    values.options = Options();
    values.backward = backward_->isChecked();
    return values;
}

FindDialogButton FindDialog::Button() const {
    if (result() != Accepted) {
        return FindDialogButton::kCancel;
    }
    return OtherPressed() ? FindDialogButton::kMarkAll : FindDialogButton::kOk;
}

}  // namespace corvina
