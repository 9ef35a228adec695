#include "ui/main/StatusPanes.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>

#include "app/ProgressPanel.h"
#include "transfer/TransferState.h"

namespace corvina {

StatusPanes::StatusPanes(QStatusBar& bar) : QObject(&bar) {
    message_ = new QLabel;
    message_->setObjectName("statusMessage");
    message_->setTextFormat(Qt::PlainText);
    message_->setMinimumWidth(1);
    bar.addWidget(message_, 1);

    progress_ = new QWidget;
    progress_->setObjectName("progressPanel");
    auto* layout = new QHBoxLayout(progress_);
    layout->setContentsMargins(0, 0, 0, 0);
    count_ = new QLabel;
    size_ = new QLabel;
    bar_ = new QProgressBar;
    bar_->setTextVisible(false);
    bar_->setMaximumWidth(120);
    bar_->setMaximumHeight(14);
    layout->addWidget(count_);
    layout->addWidget(size_);
    layout->addWidget(bar_);
    bar.addPermanentWidget(progress_);
    progress_->hide();

    code_ = new QLabel;
    code_->setObjectName("characterCode");
    position_ = new QLabel;
    position_->setObjectName("caretPosition");
    // The indicator is monospaced: its columns must not jitter.
    QFont fixed("Monospace");
    fixed.setStyleHint(QFont::TypeWriter);
    code_->setFont(fixed);
    position_->setFont(fixed);
    bar.addPermanentWidget(code_);
    bar.addPermanentWidget(position_);
}

StatusPanes::~StatusPanes() = default;

QString StatusPanes::Message() const {
    return message_->text();
}

void StatusPanes::ShowMessage(const QString& text) {
    message_->setText(text);
}

void StatusPanes::SetCharacterCode(const QString& text) {
    code_->setText(text);
}

void StatusPanes::SetPosition(const QString& text) {
    position_->setText(text);
}

void StatusPanes::UpdateProgress(const TransferState& transfer) {
    ProgressView view = ProgressFor(transfer.currentMessage.load(), transfer.messageCount.load(),
                                    transfer.currentSize.load(), transfer.receivedBytes.load());
    if (!view.shown) {
        HideProgress();
        return;
    }
    count_->setText(QString::fromStdString(view.count));
    size_->setText(QString::fromStdString(view.size));
    bar_->setRange(0, view.range);
    bar_->setValue(view.position);
    progress_->show();
}

void StatusPanes::HideProgress() {
    progress_->hide();
}

bool StatusPanes::ProgressShown() const {
    return !progress_->isHidden();
}

QString StatusPanes::ProgressCount() const {
    return count_->text();
}

QString StatusPanes::ProgressSize() const {
    return size_->text();
}

}  // namespace corvina
