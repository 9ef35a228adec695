#include "ui/dialogs/RemoteMailboxDialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "transfer/TransferState.h"
#include "ui/bridge/MailThread.h"
#include "ui/bridge/QtText.h"

namespace corvina {

namespace {

enum Column { kMarkColumn, kSubjectColumn, kSenderColumn, kDateColumn, kSizeColumn };

}  // namespace

RemoteMailboxDialog::RemoteMailboxDialog(MailThread& mail, TransferState& state,
                                         bool deliverOnReceive, QWidget* parent)
    : QDialog(parent),
      mail_(mail),
      state_(state),
      deliverOnReceive_(deliverOnReceive),
      view_(new QTreeWidget),
      status_(new QLabel),
      listing_(new QPushButton(tr("&Listing"))) {
    setObjectName("RemoteMailboxDialog");
    setWindowTitle(tr("Remote Mailbox"));
    view_->setObjectName("rows");
    view_->setRootIsDecorated(false);
    view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view_->setHeaderLabels({tr("Mark"), tr("Subject"), tr("Sender"), tr("Sent Date"), tr("Size")});
    view_->header()->resizeSection(kMarkColumn, 40);
    view_->header()->resizeSection(kSubjectColumn, 220);
    listing_->setObjectName("listing");
    status_->setObjectName("status");

    auto* marks = new QHBoxLayout;
    const std::pair<const char*, char> markButtons[] = {{"&View (V)", kMarkView},
                                                        {"L&oad (L)", kMarkLoad},
                                                        {"&Delete (D)", kMarkDelete},
                                                        {"&Clear", 0}};
    for (const auto& [text, mark] : markButtons) {
        auto* button = new QPushButton(tr(text));
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, mark = mark] { MarkSelected(mark); });
        marks->addWidget(button);
    }
    marks->addStretch();
    marks->addWidget(listing_);
    listing_->setAutoDefault(false);
    connect(listing_, &QPushButton::clicked, this, &RemoteMailboxDialog::List);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &RemoteMailboxDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &RemoteMailboxDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view_);
    layout->addLayout(marks);
    layout->addWidget(status_);
    layout->addWidget(buttons);
    resize(640, 400);

    SetWorking(true);
    QPointer<RemoteMailboxDialog> self(this);
    mail_.OpenRemoteMailbox([self](bool opened) {
        if (!self) {
            return;
        }
        self->opened_ = opened;
        if (!opened) {
            self->status_->setText(tr("Another transfer is running; close and try again."));
        }
        self->SetWorking(false);
    });
}

void RemoteMailboxDialog::SetWorking(bool working) {
    working_ = working;
    listing_->setEnabled(!working && opened_);
    ok_->setEnabled(!working && opened_);
}

void RemoteMailboxDialog::List() {
    if (working_ || !opened_ || finishing_) {
        return;
    }
    SetWorking(true);
    QPointer<RemoteMailboxDialog> self(this);
    mail_.ListRemoteMailbox(deliverOnReceive_, [self](std::vector<RemoteRow> rows, bool) {
        if (!self) {
            return;
        }
        self->rows_ = std::move(rows);
        self->ShowRows();
        self->status_->setText(
            QString::asprintf("%d messages are retrieved.", static_cast<int>(self->rows_.size())));
        QApplication::beep();
        if (!self->finishing_) {
            self->SetWorking(false);
        }
    });
}

void RemoteMailboxDialog::ShowRows() {
    view_->clear();
    for (const RemoteRow& row : rows_) {
        auto* item = new QTreeWidgetItem(view_);
        item->setText(kMarkColumn, row.mark ? QString(QChar(row.mark)) : QString());
        item->setText(kSubjectColumn, ToQString(row.subject));
        item->setText(kSenderColumn, ToQString(row.sender));
        item->setText(kDateColumn, ToQString(row.date));
        item->setText(kSizeColumn, ToQString(row.size));
        item->setTextAlignment(kSizeColumn, Qt::AlignRight | Qt::AlignVCenter);
        if (row.received) {
            // Already received: shown dimmed.
            for (int c = kSubjectColumn; c <= kSizeColumn; ++c) {
                item->setForeground(c, palette().brush(QPalette::Disabled, QPalette::Text));
            }
        }
    }
}

void RemoteMailboxDialog::MarkSelected(char mark) {
    for (QTreeWidgetItem* item : view_->selectedItems()) {
        const int index = view_->indexOfTopLevelItem(item);
        if (index < 0 || index >= static_cast<int>(rows_.size())) {
            continue;
        }
        rows_[static_cast<size_t>(index)].mark = mark;
        item->setText(kMarkColumn, mark ? QString(QChar(mark)) : QString());
    }
}

void RemoteMailboxDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_V:
            MarkSelected(kMarkView);
            return;
        case Qt::Key_L:
            MarkSelected(kMarkLoad);
            return;
        case Qt::Key_D:
            MarkSelected(kMarkDelete);
            return;
        case Qt::Key_Space:
        case Qt::Key_Backspace:
            MarkSelected(0);
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

void RemoteMailboxDialog::accept() {
    if (working_ || !opened_ || finishing_) {
        return;
    }
    std::vector<char> marks;
    marks.reserve(rows_.size());
    for (const RemoteRow& row : rows_) {
        marks.push_back(row.mark);
    }
    SetWorking(true);
    QPointer<RemoteMailboxDialog> self(this);
    mail_.ExecuteRemoteMailbox(std::move(marks), [self](int) {
        if (self) {
            self->Finish(QDialog::Accepted);
        }
    });
}

void RemoteMailboxDialog::reject() {
    if (finishing_) {
        return;
    }
    if (working_) {
        // The running listing or run ends at its next read or send.
        mail_.Abort();
    }
    Finish(QDialog::Rejected);
}

void RemoteMailboxDialog::Finish(int result) {
    finishing_ = true;
    SetWorking(true);
    QPointer<RemoteMailboxDialog> self(this);
    TransferState* state = &state_;
    mail_.CloseRemoteMailbox([self, state, result] {
        if (state->busy.load() == 0) {
            state->abort.Clear();
        }
        if (self) {
            self->QDialog::done(result);
        }
    });
}

}  // namespace corvina
