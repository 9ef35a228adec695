#pragma once
// The message list pane: the rows of the core message list
// (store/MessageList.h) in four columns. Sorting, threading, pictures and
// what selecting, deleting and double-clicking do are the core's; this
// widget draws the rows and forwards clicks and keys.

#include <QTreeView>

#include "store/FolderWatcher.h"

namespace corvina {

class MailFolder;
class MailMessage;
class MainContext;
class MessageListModel;
struct FolderNode;

class CMoList : public QTreeView, private FolderWatcher {
    Q_OBJECT

public:
    explicit CMoList(MainContext& context, QWidget* parent = nullptr);
    ~CMoList() override;

    // Fills the list from `folder` (null: empty).
    void ShowFolder(MailFolder* folder);

    MessageListModel& Model() { return *model_; }

    // Commands on the selection: mark read (111), mark unread (110). False
    // when the command did not apply.
    bool RunListCommand(int id);
    // The Delete key: into Trash, or from Trash for good after asking.
    bool DeleteSelected();
    // Which part of a row a double click at `pos` (viewport coordinates) hit:
    // the picture or the text.
    bool OnPicture(const QPoint& pos) const;

signals:
    // "Unread:%5d / Total:%5d" and other lines for the status bar.
    void StatusMessage(const QString& text);
    // A double-click on a child-folder row: select it in the tree.
    void FolderSelectRequested(corvina::MailFolder* folder);
    // A double-click that edits a waiting or draft message, or opens one
    // as new; the compose window takes it (folder name, message key). The
    // message stays in its folder until the compose window takes it
    // (MessageList::TakeForReEdit).
    void ComposeRequested(const QString& folderName, qulonglong messageKey, bool asNew);
    // A double-click that opens a message in a viewer window of its own.
    void OpenViewerRequested(const QString& folderName, qulonglong messageKey);

protected:
    void selectionChanged(const QItemSelection& selected,
                          const QItemSelection& deselected) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void AfterReset();
    void SyncSelectionFromList();
    void ApplyColumnWidths();
    void ShowStatus();
    void CountsChangedBy(int change);
    void Activate(int row, bool onPicture, bool ctrl);
    QString FolderNameOf(const MailFolder& folder) const;
    FolderNode* FolderNodeAt(const QPoint& pos) const;

    void MessageAdded(MailFolder& folder, const MessageRef& message) override;
    void MessageChanged(MailFolder& folder, const MessageRef& message) override;
    void MessageRemoved(MailFolder& folder, const MessageRef& message) override;
    void FolderReloaded(MailFolder& folder) override;
    void FolderReset(MailFolder& folder) override;

    MainContext& context_;
    MessageListModel* model_;
    bool syncing_ = false;
    bool syncPending_ = false;
    bool applyingWidths_ = false;
};

}  // namespace corvina
