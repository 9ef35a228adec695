#include "ui/editor/dialogs/JumpDialog.h"

#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "ui/editor/dialogs/DialogParts.h"

namespace corvina {

JumpDialog::JumpDialog(const JumpDialogValues& values, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Jump To"));
    auto* label = new QLabel(QStringLiteral("Line No:"), this);
    number_ = new QLineEdit(QString::number(values.lineNumber), this);
    number_->setValidator(new QIntValidator(1, 999999999, number_));
    number_->selectAll();
    auto* logical = new QRadioButton(QStringLiteral("&Logical"), this);
    asShown_ = new QRadioButton(QStringLiteral("As &Shown"), this);
    (values.asShown ? asShown_ : logical)->setChecked(true);

    LayOutFieldDialog(*this, label, number_, {logical, asShown_});
}

JumpDialogValues JumpDialog::Choice() const {
    JumpDialogValues values;
    values.lineNumber = number_->text().toLong();
    values.asShown = asShown_->isChecked();
    return values;
}

}  // namespace corvina
