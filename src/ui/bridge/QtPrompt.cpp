#include "ui/bridge/QtPrompt.h"

#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "ui/bridge/QtText.h"

namespace corvina {

namespace {

QMessageBox::StandardButton ButtonOf(ConfirmAnswer answer) {
    switch (answer) {
        case ConfirmAnswer::Ok:
            return QMessageBox::Ok;
        case ConfirmAnswer::Cancel:
            return QMessageBox::Cancel;
        case ConfirmAnswer::Yes:
            return QMessageBox::Yes;
        case ConfirmAnswer::No:
            return QMessageBox::No;
        case ConfirmAnswer::YesToAll:
            return QMessageBox::YesToAll;
    }
    return QMessageBox::Ok;
}

QMessageBox::StandardButtons ButtonsOf(ConfirmButtons buttons) {
    switch (buttons) {
        case ConfirmButtons::Ok:
            return QMessageBox::Ok;
        case ConfirmButtons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case ConfirmButtons::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case ConfirmButtons::YesNoCancel:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case ConfirmButtons::YesAllNoCancel:
            return QMessageBox::Yes | QMessageBox::YesToAll | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

}  // namespace

ConfirmAnswer QtPrompt::Ask(const Question& question) {
    QMessageBox box(QMessageBox::Question, ToQString(question.caption), ToQString(question.text),
                    ButtonsOf(question.buttons), parent_);
    box.setDefaultButton(ButtonOf(question.preset));
    switch (box.exec()) {
        case QMessageBox::Ok:
            return ConfirmAnswer::Ok;
        case QMessageBox::Yes:
            return ConfirmAnswer::Yes;
        case QMessageBox::No:
            return ConfirmAnswer::No;
        case QMessageBox::YesToAll:
            return ConfirmAnswer::YesToAll;
        default:
            break;
    }
    // Escape or the window's close box: the cautious answer of the box.
    return question.buttons == ConfirmButtons::YesNo ? ConfirmAnswer::No : ConfirmAnswer::Cancel;
}

void QtPrompt::Notify(std::string_view text, std::string_view caption) {
    QMessageBox::information(parent_, ToQString(caption), ToQString(text));
}

std::optional<std::filesystem::path> QtPrompt::ChooseFile(const FileChoice& choice) {
    const QString title = ToQString(choice.title);
    const QString start = QFile::decodeName(choice.startDirectory.c_str());
    QString filter = ToQString(choice.filterName);
    if (!choice.filterPattern.empty() && choice.filterPattern != "*.*") {
        filter += " (" + ToQString(choice.filterPattern) + ")";
    }
    QString picked;
    switch (choice.purpose) {
        case FileChoice::Purpose::Save: {
            QString suggested = start;
            if (!choice.suggestedName.empty()) {
                suggested = start + "/" + ToQString(choice.suggestedName);
            }
            picked = QFileDialog::getSaveFileName(parent_, title, suggested, filter);
            break;
        }
        case FileChoice::Purpose::Directory:
            picked = QFileDialog::getExistingDirectory(parent_, title, start);
            break;
        case FileChoice::Purpose::Open:
        case FileChoice::Purpose::Program:
            picked = QFileDialog::getOpenFileName(parent_, title, start, filter);
            break;
    }
    if (picked.isEmpty()) {
        return std::nullopt;
    }
    return std::filesystem::path(QFile::encodeName(picked).toStdString());
}

std::optional<std::string> QtPrompt::AskText(std::string_view title, std::string_view prompt,
                                             std::string_view prefilled) {
    bool ok = false;
    const QString text = QInputDialog::getText(parent_, ToQString(title), ToQString(prompt),
                                               QLineEdit::Normal, ToQString(prefilled), &ok);
    if (!ok) {
        return std::nullopt;
    }
    return FromQString(text);
}

std::optional<std::string> QtPrompt::AskPassword(std::string_view title, std::string_view prompt) {
    bool ok = false;
    const QString text = QInputDialog::getText(parent_, ToQString(title), ToQString(prompt),
                                               QLineEdit::Password, QString(), &ok);
    if (!ok) {
        return std::nullopt;
    }
    return FromQString(text);
}

}  // namespace corvina
