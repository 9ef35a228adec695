#include "ui/editor/dialogs/ReplaceThisDialog.h"

#include <QDialogButtonBox>
#include <QInputEvent>
#include <QPushButton>
#include <QVBoxLayout>

namespace corvina {

ReplaceThisDialog::ReplaceThisDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Replace?"));
    auto* buttons = new QDialogButtonBox(this);
    yes_ = buttons->addButton(QStringLiteral("&Yes"), QDialogButtonBox::YesRole);
    QPushButton* no = buttons->addButton(QStringLiteral("&No"), QDialogButtonBox::NoRole);
    QPushButton* all =
        buttons->addButton(QStringLiteral("Replace &All"), QDialogButtonBox::AcceptRole);
    QPushButton* cancel =
        buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    yes_->setDefault(true);
    yes_->installEventFilter(this);
    connect(yes_, &QPushButton::clicked, this, [this] {
        Close(yesModifiers_ & Qt::ShiftModifier ? ReplaceAnswer::kAll : ReplaceAnswer::kYes);
    });
    connect(no, &QPushButton::clicked, this, [this] { Close(ReplaceAnswer::kNo); });
    connect(all, &QPushButton::clicked, this, [this] { Close(ReplaceAnswer::kAll); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
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
