#include "ui/editor/dialogs/PasteHistoryDialog.h"

#include <QGridLayout>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

#include "ui/bridge/QtText.h"
#include "ui/editor/dialogs/DialogParts.h"

namespace corvina {

namespace {

constexpr int kListChars = 60;

// One list row: the text on one line, line ends shown as a symbol,
// shortened.
QString RowText(const std::string& entry) {
    QString text = ToQString(entry);
    text.replace(QLatin1Char('\n'), QChar(0x21B5));
    if (text.size() > kListChars) {
        text = text.left(kListChars) + QChar(0x2026);
    }
    return text;
}

}  // namespace

PasteHistoryDialog::PasteHistoryDialog(const std::vector<std::string>& entries, QWidget* parent)
    : QDialog(parent), entries_(entries) {
    setWindowTitle(QStringLiteral("Clipboard History"));
    list_ = new QListWidget(this);
    for (const std::string& entry : entries_) {
        list_->addItem(RowText(entry));
    }
    // The entry is shown as it will be pasted; the bytes pasted are the
    // entry's own, never a round trip through the edit field.
    shown_ = new QPlainTextEdit(this);
    shown_->setReadOnly(true);
    shown_->setLineWrapMode(QPlainTextEdit::NoWrap);

    auto* buttons = new ButtonColumn(this);
    buttons->Add("&Paste", [this] { Close(PasteHistoryChoice::Action::kPaste); })->setDefault(true);
    buttons->Add("&Copy", [this] { Close(PasteHistoryChoice::Action::kCopy); });
    buttons->Add("Cancel", [this] { reject(); });
    connect(list_, &QListWidget::currentRowChanged, this, [this] { ShowChosen(); });
    connect(list_, &QListWidget::itemDoubleClicked, this,
            [this] { Close(PasteHistoryChoice::Action::kPaste); });

    auto* layout = new QGridLayout(this);
    layout->addWidget(list_, 0, 0);
    layout->addWidget(shown_, 1, 0);
    layout->addWidget(buttons, 0, 1, 2, 1);
    list_->setCurrentRow(0);
    list_->setFocus();
    resize(520, 360);
}

PasteHistoryChoice PasteHistoryDialog::Choice() const {
    const int row = list_->currentRow();
    if (action_ == PasteHistoryChoice::Action::kCancel || row < 0 ||
        row >= static_cast<int>(entries_.size())) {
        return {};
    }
    return {action_, entries_[static_cast<std::size_t>(row)]};
}

void PasteHistoryDialog::Close(PasteHistoryChoice::Action action) {
    action_ = action;
    accept();
}

void PasteHistoryDialog::ShowChosen() {
    const int row = list_->currentRow();
    shown_->setPlainText(row >= 0 ? ToQString(entries_[static_cast<std::size_t>(row)]) : QString());
}

}  // namespace corvina
