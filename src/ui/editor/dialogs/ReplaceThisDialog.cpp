#include "ui/editor/dialogs/ReplaceThisDialog.h"

#include <QInputEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/editor/dialogs/DialogParts.h"

namespace corvina {

ReplaceThisDialog::ReplaceThisDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Replace?"));
    auto* buttons = new ButtonColumn(this, Qt::Horizontal);
    yes_ = buttons->Add("&Yes", [this] {
        Close(yesModifiers_ & Qt::ShiftModifier ? ReplaceAnswer::kAll : ReplaceAnswer::kYes);
    });
    buttons->Add("&No", [this] { Close(ReplaceAnswer::kNo); });
    buttons->Add("Replace &All", [this] { Close(ReplaceAnswer::kAll); });
    buttons->Add("Cancel", [this] { reject(); });
    yes_->setDefault(true);
    yes_->installEventFilter(this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    yes_->setFocus();
}

bool ReplaceThisDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == yes_) {
        switch (event->type()) {
            case QEvent::MouseButtonRelease:
            case QEvent::KeyRelease:
            case QEvent::KeyPress:
                yesModifiers_ = static_cast<QInputEvent*>(event)->modifiers();
                break;
            default:
                break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void ReplaceThisDialog::Close(ReplaceAnswer answer) {
    answer_ = answer;
    accept();
}

}  // namespace corvina
