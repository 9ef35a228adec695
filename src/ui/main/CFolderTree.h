#pragma once
// The folder tree pane: the current profile's folders and the other
// profiles' roots, drawn from the core folder tree (store/FolderTree.h,
// store/FolderView.h decide pictures, menus and what opening does).

#include <QTreeView>
#include <string_view>

namespace corvina {

class MailFolder;
class MainContext;

class CFolderTree : public QTreeView {
    Q_OBJECT

public:
    explicit CFolderTree(MainContext& context, QWidget* parent = nullptr);
    ~CFolderTree() override;

    // The core tree was read anew (start, profile switch): show it.
    void Rebuild();
    // Selects the folder of that name ("Work\Old") and opens it. False when
    // the current profile has no such folder.
    bool SelectFolder(std::string_view folderName);

signals:
    // The message list is to show this folder (null: none).
    void FolderOpened(corvina::MailFolder* folder);
    // A command of the tree's context menu for the main window (receive,
    // switch profile 501 + index, ...).
    void FrameCommand(int id);
    void StatusMessage(const QString& text);

private:
    MainContext& context_;
};

}  // namespace corvina
