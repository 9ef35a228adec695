#include "ui/editor/dialogs/SortDialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QRadioButton>

#include "ui/editor/dialogs/DialogParts.h"

namespace corvina {

SortDialog::SortDialog(const SortChoice& choice, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Sort"));
    auto* ascending = new QRadioButton(QStringLiteral("&Ascend"), this);
    descending_ = new QRadioButton(QStringLiteral("&Decend"), this);
    (choice.descending ? descending_ : ascending)->setChecked(true);
    ignoreCase_ = new QCheckBox(QStringLiteral("Case &Insensitive"), this);
    ignoreCase_->setChecked(choice.ignoreCase);
    sortLines_ = new QCheckBox(QStringLiteral("Sort &Lines"), this);
    sortLines_->setChecked(choice.sortLines);

    auto* layout = new QGridLayout(this);
    layout->addWidget(ascending, 0, 0);
    layout->addWidget(descending_, 1, 0);
    layout->addWidget(ignoreCase_, 2, 0);
    layout->addWidget(sortLines_, 3, 0);
    layout->addWidget(MakeOkCancel(*this), 0, 1, 4, 1);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

SortChoice SortDialog::Choice() const {
    SortChoice choice;
    choice.descending = descending_->isChecked();
    choice.ignoreCase = ignoreCase_->isChecked();
    choice.sortLines = sortLines_->isChecked();
    return choice;
}

}  // namespace corvina
