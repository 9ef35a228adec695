#include "ui/main/FolderPropertyDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "ui/bridge/QtText.h"

namespace corvina {

FolderPropertyDialog::FolderPropertyDialog(const QString& name, const FolderProperties& p,
                                           bool hasSubFolders, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(tr("Folder Property"));
    setObjectName("FolderPropertyDialog");
    auto* form = new QFormLayout;
    auto line = [this, form](const char* label, const QString& text, const char* object) {
        auto* edit = new QLineEdit(text, this);
        edit->setObjectName(object);
        form->addRow(tr(label), edit);
        return edit;
    };
    name_ = line("Folder &name:", name, "Name");
    newTemplate_ = line("Template for &new mail:", ToQString(p.newTemplate), "NewTemplate");
    repTemplate_ = line("Template for &reply:", ToQString(p.repTemplate), "RepTemplate");
    fwdTemplate_ = line("Template for &forward:", ToQString(p.fwdTemplate), "FwdTemplate");
    addrGroup_ = line("Address &group:", ToQString(p.defAddrGroup), "DefAddrGroup");
    removeHead_ = new QCheckBox(tr("Remove a [tag] from the subject when &replying"), this);
    removeHead_->setChecked(p.removeHead);
    applyToSub_ = new QCheckBox(tr("Apply To &Sub Folders"), this);
    applyToSub_->setEnabled(hasSubFolders);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(removeHead_);
    layout->addWidget(applyToSub_);
    layout->addWidget(buttons);
}

QString FolderPropertyDialog::Name() const {
    return name_->text();
}

FolderProperties FolderPropertyDialog::Properties() const {
    FolderProperties p;
    p.newTemplate = FromQString(newTemplate_->text());
    p.repTemplate = FromQString(repTemplate_->text());
    p.fwdTemplate = FromQString(fwdTemplate_->text());
    p.defAddrGroup = FromQString(addrGroup_->text());
    p.removeHead = removeHead_->isChecked();
    return p;
}

bool FolderPropertyDialog::ApplyToSubFolders() const {
    return applyToSub_->isChecked();
}

}  // namespace corvina
