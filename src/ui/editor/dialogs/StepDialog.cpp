#include "ui/editor/dialogs/StepDialog.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "editor/TextEditor.h"
#include "ui/editor/dialogs/DialogParts.h"

namespace corvina {

StepDialog::StepDialog(TextEditor& editor, QWidget* parent) : QDialog(parent), editor_(editor) {
    setWindowTitle(QStringLiteral("Step Undo/Redo"));
    auto* label = new QLabel(QStringLiteral("&Steps:"), this);
    steps_ = new QLineEdit(this);
    steps_->setReadOnly(true);
    steps_->setMinimumWidth(160);
    label->setBuddy(steps_);

    auto* buttons = new ButtonColumn(this);
    undo_ = buttons->Add("&Undo", [this] { Step(true); });
    redo_ = buttons->Add("&Redo", [this] { Step(false); });
    buttons->Add("&Close", [this] { reject(); });
    // Enter undoes once more, as the dialog is there to step.
    undo_->setDefault(true);

    auto* layout = new QGridLayout(this);
    layout->addWidget(label, 0, 0);
    layout->addWidget(steps_, 0, 1);
    layout->addWidget(buttons, 0, 2);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    ShowCounts();
}

void StepDialog::Step(bool undo) {
    if (!(undo ? editor_.Undo() : editor_.Redo())) {
        QApplication::beep();
    }
    ShowCounts();
}

void StepDialog::ShowCounts() {
    const auto undoCount = static_cast<qulonglong>(editor_.UndoCount());
    const auto redoCount = static_cast<qulonglong>(editor_.RedoCount());
    steps_->setText(QStringLiteral("%1 to undo, %2 to redo").arg(undoCount).arg(redoCount));
    undo_->setEnabled(undoCount > 0);
    redo_->setEnabled(redoCount > 0);
    // A disabled default button would leave Enter doing nothing.
    (undoCount > 0 ? undo_ : redo_)->setFocus();
}

}  // namespace corvina
