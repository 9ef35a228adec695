#include "ui/editor/dialogs/SearchDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "common/CodePage.h"
#include "ui/bridge/QtText.h"
#include "ui/editor/dialogs/DialogParts.h"

namespace corvina {

namespace {

constexpr int kMaxStringLength = 255;

}  // namespace

SearchDialog::SearchDialog(const char* title, QWidget* parent)
    : QDialog(parent), layout_(new QGridLayout(this)) {
    setWindowTitle(QString::fromLatin1(title));
    layout_->setSizeConstraint(QLayout::SetFixedSize);
}

QComboBox* SearchDialog::AddStringRow(const char* label, const std::string& text,
                                      const std::vector<std::string>& history) {
    auto* caption = new QLabel(QString::fromLatin1(label), this);
    auto* combo = new QComboBox(this);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setMinimumContentsLength(28);
    combo->lineEdit()->setMaxLength(kMaxStringLength);
    for (const std::string& entry : history) {
        combo->addItem(ToQString(entry));
    }
    combo->setEditText(ToQString(text));
    combo->lineEdit()->selectAll();
    caption->setBuddy(combo);
    layout_->addWidget(caption, rows_, 0);
    layout_->addWidget(combo, rows_++, 1);
    if (rows_ == 1) {
        combo->setFocus();
    }
    return combo;
}

void SearchDialog::AddOptionBoxes(const SearchOptions& options, const SearchOptionLabels& labels) {
    initial_ = options;
    const struct {
        bool SearchOptions::*flag;
        const char* label;
    } rows[] = {
        {&SearchOptions::fromBeginning, "From Be&ginning of Text"},
        {&SearchOptions::allMessages, "&All Messages in Folder"},
        {&SearchOptions::markFound, labels.markFound},
        {&SearchOptions::ignoreCase, "&Ignore Case"},
        {&SearchOptions::ignoreMbcs, labels.ignoreMbcs},
        {&SearchOptions::wholeWord, "Match &Whole Word"},
        {&SearchOptions::topOfLine, labels.topOfLine},
        {&SearchOptions::regex, "&Regular Expression"},
    };
    const bool japanese = CodePage::Working().Id() == CodePage::kShiftJis;
    for (const auto& row : rows) {
        auto* box = new QCheckBox(QString::fromLatin1(row.label), this);
        box->setChecked(options.*row.flag);
        if (row.flag == &SearchOptions::ignoreMbcs && !japanese) {
            box->hide();
        } else {
            layout_->addWidget(box, rows_++, 0, 1, 2);
        }
        boxes_.push_back({row.flag, box});
    }
}

void SearchDialog::AddRow(QWidget* widget) {
    layout_->addWidget(widget, rows_++, 0, 1, 2);
}

void SearchDialog::AddButtons(const char* otherText, const char* saveText,
                              std::function<void(const SearchOptions&)> save) {
    auto* buttons = new ButtonColumn(this);
    buttons->Add("OK", [this] { accept(); })->setDefault(true);
    buttons->Add(otherText, [this] {
        otherPressed_ = true;
        accept();
    });
    buttons->Add("Cancel", [this] { reject(); });
    buttons->Add(saveText, [this, save = std::move(save)] {
        if (save) {
            save(Options());
        }
    });
    layout_->addWidget(buttons, 0, 2, rows_, 1, Qt::AlignTop);
}

SearchOptions SearchDialog::Options() const {
    SearchOptions options = initial_;
    for (const Box& b : boxes_) {
        options.*b.flag = b.box->isChecked();
    }
    return options;
}

std::string SearchDialog::StringOf(const QComboBox* combo) {
    return FromQString(combo->currentText());
}

}  // namespace corvina
