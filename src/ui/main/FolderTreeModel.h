#pragma once
// The folder tree as a Qt item model over the core's FolderTree: one item
// per FolderNode (the node is the index's internal pointer), its label with
// the unread count, its picture (ChooseFolderIcon) and bold text while it
// holds unread mail. A FolderWatcher on the store turns folder notices into
// dataChanged for the folder and its ancestors; structural changes (new,
// renamed, deleted folders) go through Restructure so that the view keeps
// its selection and expanded items.

#include <QAbstractItemModel>
#include <QHash>
#include <QIcon>
#include <functional>

#include "store/FolderWatcher.h"

namespace corvina {

class FolderTree;
class MailStore;
struct FolderNode;

class FolderTreeModel : public QAbstractItemModel, private FolderWatcher {
    Q_OBJECT

public:
    FolderTreeModel(FolderTree& tree, MailStore& store, QObject* parent = nullptr);
    ~FolderTreeModel() override;

    FolderNode* NodeAt(const QModelIndex& index) const;
    QModelIndex IndexOf(const FolderNode* node) const;

    // The core tree was read anew: every item may be new.
    void Reset();
    // Runs `change` (which may add, remove or re-sort nodes) and tells the
    // views, keeping their indexes of the nodes that remain.
    void Restructure(const std::function<void()>& change);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Label editing: the new label goes to the view (CFolderTree), which
    // renames through the core and tells the user what was refused.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QStringList mimeTypes() const override;
    Qt::DropActions supportedDropActions() const override;

signals:
    void RenameRequested(corvina::FolderNode* node, const QString& label);

private:
    struct Shown {
        QIcon icon;
        int unread = 0;
    };
    const Shown& ShownOf(FolderNode& node) const;
    void Changed(MailFolder& folder);

    void FolderChanged(MailFolder& folder) override { Changed(folder); }
    void MessageAdded(MailFolder& folder, const MessageRef&) override { Changed(folder); }
    void MessageRemoved(MailFolder& folder, const MessageRef&) override { Changed(folder); }
    void FolderReloaded(MailFolder& folder) override { Changed(folder); }
    void FolderReset(MailFolder& folder) override { Changed(folder); }

    FolderTree& tree_;
    MailStore& store_;
    bool restructuring_ = false;
    mutable QHash<const FolderNode*, Shown> shown_;
};

}  // namespace corvina
