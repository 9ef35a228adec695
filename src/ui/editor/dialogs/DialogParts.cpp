#include "ui/editor/dialogs/DialogParts.h"

#include <QButtonGroup>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace corvina {

QDialogButtonBox* MakeOkCancel(QDialog& dialog) {
    auto* buttons = new QDialogButtonBox(Qt::Vertical, &dialog);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    ok->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    return buttons;
}

void LayOutFieldDialog(QDialog& dialog, QLabel* label, QWidget* field,
                       std::initializer_list<QWidget*> below) {
    label->setBuddy(field);
    auto* layout = new QGridLayout(&dialog);
    layout->addWidget(label, 0, 0);
    layout->addWidget(field, 0, 1);
    int row = 1;
    for (QWidget* widget : below) {
        layout->addWidget(widget, row++, 1);
    }
    layout->addWidget(MakeOkCancel(dialog), 0, 2, row, 1);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    field->setFocus();
}

RadioGroup::RadioGroup(const char* title, std::initializer_list<const char*> choices, int checked,
                       QWidget* parent)
    : QGroupBox(QString::fromLatin1(title), parent), group_(new QButtonGroup(this)) {
    auto* layout = new QVBoxLayout(this);
    int id = 0;
    for (const char* choice : choices) {
        auto* button = new QRadioButton(QString::fromLatin1(choice), this);
        button->setChecked(id == checked);
        group_->addButton(button, id++);
        layout->addWidget(button);
    }
}

int RadioGroup::Checked() const {
    return group_->checkedId();
}

}  // namespace corvina
