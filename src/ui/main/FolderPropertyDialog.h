#pragma once
// "Folder Property": the folder's name, its three templates, its address
// group, whether a reply drops a bracketed subject tag, and whether the
// properties go to the folders below it too.

#include <QDialog>

#include "store/FolderOps.h"

class QCheckBox;
class QLineEdit;

namespace corvina {

class FolderPropertyDialog : public QDialog {
    Q_OBJECT

public:
    FolderPropertyDialog(const QString& name, const FolderProperties& properties,
                         bool hasSubFolders, QWidget* parent = nullptr);

    QString Name() const;
    FolderProperties Properties() const;
    bool ApplyToSubFolders() const;

private:
    QLineEdit* name_;
    QLineEdit* newTemplate_;
    QLineEdit* repTemplate_;
    QLineEdit* fwdTemplate_;
    QLineEdit* addrGroup_;
    QCheckBox* removeHead_;
    QCheckBox* applyToSub_;
};

}  // namespace corvina
