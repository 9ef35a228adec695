#pragma once
// The message list pane: the rows of the core message list
// (store/MessageList.h) in four columns. Sorting, threading, pictures and
// what selecting, deleting and double-clicking do are the core's; this
// widget draws the rows and forwards clicks and keys.

#include <QTreeView>

namespace corvina {

class MailFolder;
class MailMessage;
class MainContext;

class CMoList : public QTreeView {
    Q_OBJECT

public:
    explicit CMoList(MainContext& context, QWidget* parent = nullptr);
    ~CMoList() override;

    // Fills the list from `folder` (null: empty).
    void ShowFolder(MailFolder* folder);

signals:
    // "Unread:%5d / Total:%5d" and other lines for the status bar.
    void StatusMessage(const QString& text);
    // A double-click on a child-folder row: select it in the tree.
    void FolderSelectRequested(corvina::MailFolder* folder);
    // A double-click that edits a waiting or draft message, or opens one
    // as new; the compose window takes it (folder name, message key).
    void ComposeRequested(const QString& folderName, qulonglong messageKey, bool asNew);
    // A double-click that opens a message in a viewer window of its own.
    void OpenViewerRequested(const QString& folderName, qulonglong messageKey);

private:
    MainContext& context_;
};

}  // namespace corvina
