#pragma once
// The folder tree pane: the current profile's folders and the other
// profiles' roots, drawn from the core folder tree (store/FolderTree.h,
// store/FolderView.h decide pictures, menus and what opening does).

#include <QPersistentModelIndex>
#include <QTimer>
#include <QTreeView>
#include <string_view>

namespace corvina {

class FolderTreeModel;
class MailFolder;
class MainContext;
struct FolderNode;

class CFolderTree : public QTreeView {
    Q_OBJECT

public:
    explicit CFolderTree(MainContext& context, QWidget* parent = nullptr);
    ~CFolderTree() override;

    // The core tree was read anew (start, profile switch): show it, and
    // select and open the current profile's first folder.
    void Rebuild();
    // Selects the folder of that name ("Work\Old") and opens it. False when
    // the current profile has no such folder.
    bool SelectFolder(std::string_view folderName);
    // The same for a folder of the tree (a child-folder row of the list).
    bool SelectFolderOf(corvina::MailFolder* folder);

    FolderTreeModel& Model() { return *model_; }
    // The selected folder's node, or null.
    FolderNode* SelectedNode() const;

    // The tree's own commands: New Folder, Delete Folder, Folder Property,
    // Empty Trash and Save Current Status (store/FolderOps.h ids).
    static bool Handles(int id);
    bool CommandEnabled(int id) const;
    // Runs one of them; false when it is not enabled or did nothing.
    bool RunFolderCommand(int id);

signals:
    // The message list is to show this folder (null: none).
    void FolderOpened(corvina::MailFolder* folder);
    // A command of the tree's context menu for the main window (receive,
    // switch profile 501 + index, ...).
    void FrameCommand(int id);
    void StatusMessage(const QString& text);
    // A rename rewrote Filter.DEF: the filter rules are to be read again.
    void FiltersRewritten();

protected:
    void selectionChanged(const QItemSelection& selected,
                          const QItemSelection& deselected) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void OpenSelected();
    void Open(FolderNode* node);
    void Rename(FolderNode* node, const QString& label);
    void ApplyExpanded(const QModelIndex& parent);
    void SelectNode(FolderNode* node, bool open);
    bool NewFolder();
    bool DeleteSelectedFolder();
    bool EditProperties();
    bool EmptyTrashBox();

    MainContext& context_;
    FolderTreeModel* model_;
    QTimer openTimer_;
    QPersistentModelIndex opened_;
    bool keyboardMove_ = false;
    bool restructuring_ = false;
};

}  // namespace corvina
