#include "ui/editor/dialogs/AddStringDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "ui/bridge/QtText.h"
#include "ui/editor/dialogs/DialogParts.h"

namespace corvina {

AddStringDialog::AddStringDialog(const AddStringChoice& choice, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Add String"));
    auto* label = new QLabel(QStringLiteral("&String:"), this);
    text_ = new QLineEdit(ToQString(choice.text), this);
    text_->setMinimumWidth(240);
    auto* atTop = new QRadioButton(QStringLiteral("&Top of Line"), this);
    atEnd_ = new QRadioButton(QStringLiteral("&End of Line"), this);
    (choice.atEnd ? atEnd_ : atTop)->setChecked(true);

    LayOutFieldDialog(*this, label, text_, {atTop, atEnd_});
}

AddStringChoice AddStringDialog::Choice() const {
    return {FromQString(text_->text()), atEnd_->isChecked()};
}

}  // namespace corvina
