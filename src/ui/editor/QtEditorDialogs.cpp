#include "ui/editor/QtEditorDialogs.h"

#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>

#include "editor/SearchState.h"
#include "ui/bridge/QtText.h"
#include "ui/editor/dialogs/AddStringDialog.h"
#include "ui/editor/dialogs/ConvertDialog.h"
#include "ui/editor/dialogs/EscapeWatch.h"
#include "ui/editor/dialogs/FindDialog.h"
#include "ui/editor/dialogs/JumpDialog.h"
#include "ui/editor/dialogs/PasteHistoryDialog.h"
#include "ui/editor/dialogs/ReplaceDialog.h"
#include "ui/editor/dialogs/ReplaceThisDialog.h"
#include "ui/editor/dialogs/SortDialog.h"
#include "ui/editor/dialogs/StepDialog.h"

namespace corvina {

namespace {

// The program's own questions and warnings carry this caption.
const QString kMessageCaption = QStringLiteral("Message from Marlo!");

// Shows a dialog of the simple kind (values in, Choice() out); false when
// cancelled.
template <typename Dialog, typename Values>
bool Ask(QWidget* parent, Values& values) {
    Dialog dialog(values, parent);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    values = dialog.Choice();
    return true;
}

// "Find" and "Replace": the values come back unless the dialog was
// cancelled.
template <typename Dialog, typename Values>
auto AskSearch(QWidget* parent, Values& values,
               std::function<void(const SearchOptions&)> saveOptions) {
    Dialog dialog(values, std::move(saveOptions), parent);
    if (dialog.exec() == QDialog::Accepted) {
        values = dialog.Values();
    }
    return dialog.Button();
}

struct FileDialogSetup {
    const char* caption;
    QFileDialog::AcceptMode mode;
    QFileDialog::FileMode fileMode;
    bool confirmOverwrite;
};

FileDialogSetup SetupFor(FileDialogKind kind) {
    switch (kind) {
        case FileDialogKind::kCopyToFile:
            return {"Copy to File", QFileDialog::AcceptSave, QFileDialog::AnyFile, true};
        case FileDialogKind::kAppendToFile:
            // Appending to a file that is there is the point: no overwrite
            // question.
            return {"Append to File", QFileDialog::AcceptSave, QFileDialog::AnyFile, false};
        case FileDialogKind::kPasteFromFile:
            return {"Paste from File", QFileDialog::AcceptOpen, QFileDialog::ExistingFile, false};
        case FileDialogKind::kSaveAs:
            break;
    }
    return {"Save As", QFileDialog::AcceptSave, QFileDialog::AnyFile, true};
}

}  // namespace

QtEditorDialogs::QtEditorDialogs(QWidget* parent, ConfigStore* clientSettings)
    : QtEditorDialogs(parent, clientSettings, SearchState::Shared()) {}

QtEditorDialogs::QtEditorDialogs(QWidget* parent, ConfigStore* clientSettings, SearchState& search)
    : parent_(parent),
      clientSettings_(clientSettings),
      search_(search),
      escape_(std::make_unique<EscapeWatch>()) {}

QtEditorDialogs::~QtEditorDialogs() = default;

FindDialogButton QtEditorDialogs::AskFind(FindDialogValues& values) {
    return AskSearch<FindDialog>(
        parent_, values, SaveOptions(&SearchState::SetFindOptions, &SearchState::SaveFindOptions));
}

ReplaceDialogButton QtEditorDialogs::AskReplace(ReplaceDialogValues& values) {
    return AskSearch<ReplaceDialog>(
        parent_, values,
        SaveOptions(&SearchState::SetReplaceOptions, &SearchState::SaveReplaceOptions));
}

std::function<void(const SearchOptions&)> QtEditorDialogs::SaveOptions(
    void (SearchState::*set)(const SearchOptions&), void (SearchState::*save)(ConfigStore&)) {
    return [this, set, save](const SearchOptions& options) {
        (search_.*set)(options);
        if (clientSettings_ != nullptr) {
            (search_.*save)(*clientSettings_);
        }
    };
}

ReplaceAnswer QtEditorDialogs::AskReplaceThis() {
    ReplaceThisDialog dialog(parent_);
    dialog.exec();
    return dialog.Answer();
}

bool QtEditorDialogs::AskJump(JumpDialogValues& values) {
    return Ask<JumpDialog>(parent_, values);
}

bool QtEditorDialogs::AskConvert(ConvertChoice& choice) {
    return Ask<ConvertDialog>(parent_, choice);
}

bool QtEditorDialogs::AskSort(SortChoice& choice) {
    return Ask<SortDialog>(parent_, choice);
}

bool QtEditorDialogs::AskAddString(AddStringChoice& choice) {
    return Ask<AddStringDialog>(parent_, choice);
}

bool QtEditorDialogs::AskFileName(FileDialogKind kind, std::filesystem::path& path) {
    const FileDialogSetup setup = SetupFor(kind);
    QFileDialog dialog(parent_, QString::fromLatin1(setup.caption));
    // Qt's own dialog everywhere: the same on every desktop and drivable
    // by tests.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !setup.confirmOverwrite);
    dialog.setAcceptMode(setup.mode);
    dialog.setFileMode(setup.fileMode);
    if (!path.empty()) {
        dialog.selectFile(QFile::decodeName(QByteArray::fromStdString(path.string())));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return false;
    }
    path = QFile::encodeName(dialog.selectedFiles().constFirst()).toStdString();
    return true;
}

PasteHistoryChoice QtEditorDialogs::AskPasteHistory(const std::vector<std::string>& entries) {
    PasteHistoryDialog dialog(entries, parent_);
    dialog.exec();
    return dialog.Choice();
}

void QtEditorDialogs::ShowStepDialog(TextEditor& editor) {
    StepDialog dialog(editor, parent_);
    dialog.exec();
}

void QtEditorDialogs::ShowInformation(std::string_view title, std::string_view text) {
    QMessageBox::information(parent_, ToQString(title), ToQString(text));
}

void QtEditorDialogs::ShowError(std::string_view text) {
    QMessageBox::warning(parent_, kMessageCaption, ToQString(text));
}

bool QtEditorDialogs::EscapePressed() {
    return escape_->Poll();
}

bool QtEditorDialogs::ShiftPressed() {
    return (QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier) != 0;
}

}  // namespace corvina
