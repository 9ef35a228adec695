#include "ui/editor/dialogs/DialogParts.h"

#include <QBoxLayout>
#include <QButtonGroup>
#include <QDialog>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace corvina {

ButtonColumn::ButtonColumn(QWidget* parent, Qt::Orientation orientation)
    : QWidget(parent),
      layout_(new QBoxLayout(
          orientation == Qt::Vertical ? QBoxLayout::TopToBottom : QBoxLayout::LeftToRight, this)) {
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->addStretch();
}

QPushButton* ButtonColumn::Add(const char* text, std::function<void()> pressed) {
    auto* button = new QPushButton(QString::fromLatin1(text), this);
    layout_->insertWidget(layout_->count() - 1, button);
    connect(button, &QPushButton::clicked, this, std::move(pressed));
    return button;
}

ButtonColumn* MakeOkCancel(QDialog& dialog) {
    auto* buttons = new ButtonColumn(&dialog);
    buttons->Add("OK", [&dialog] { dialog.accept(); })->setDefault(true);
    buttons->Add("Cancel", [&dialog] { dialog.reject(); });
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
    auto* layout = new QBoxLayout(QBoxLayout::TopToBottom, this);
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
