#include "ui/main/FolderTreeModel.h"

#include <QSet>

#include "store/FolderNames.h"
#include "store/FolderTree.h"
#include "store/FolderView.h"
#include "store/MailFolder.h"
#include "store/MailStore.h"
#include "ui/bridge/QtText.h"
#include "ui/main/ItemIcons.h"
#include "ui/main/MessageListModel.h"

namespace corvina {

namespace {

int RowOfNode(const FolderTree& tree, const FolderNode& node) {
    if (node.parent != nullptr) {
        return node.IndexInParent();
    }
    const auto& roots = tree.Roots();
    for (std::size_t i = 0; i < roots.size(); ++i) {
        if (roots[i].get() == &node) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void CollectNodes(const std::vector<std::unique_ptr<FolderNode>>& nodes,
                  QSet<const FolderNode*>& into) {
    for (const auto& node : nodes) {
        into.insert(node.get());
        CollectNodes(node->children, into);
    }
}

}  // namespace

FolderTreeModel::FolderTreeModel(FolderTree& tree, MailStore& store, QObject* parent)
    : QAbstractItemModel(parent), tree_(tree), store_(store) {
    store_.AddWatcher(this);
}

FolderTreeModel::~FolderTreeModel() {
    store_.RemoveWatcher(this);
}

FolderNode* FolderTreeModel::NodeAt(const QModelIndex& index) const {
    return index.isValid() ? static_cast<FolderNode*>(index.internalPointer()) : nullptr;
}

QModelIndex FolderTreeModel::IndexOf(const FolderNode* node) const {
    if (node == nullptr) {
        return {};
    }
    const int row = RowOfNode(tree_, *node);
    return row < 0 ? QModelIndex() : createIndex(row, 0, const_cast<FolderNode*>(node));
}

void FolderTreeModel::Reset() {
    beginResetModel();
    shown_.clear();
    endResetModel();
}

void FolderTreeModel::Restructure(const std::function<void()>& change) {
    emit layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    QList<const FolderNode*> nodes;
    nodes.reserve(before.size());
    for (const QModelIndex& index : before) {
        nodes.push_back(NodeAt(index));
    }
    restructuring_ = true;
    change();
    restructuring_ = false;
    shown_.clear();
    QSet<const FolderNode*> alive;
    CollectNodes(tree_.Roots(), alive);
    QModelIndexList after;
    after.reserve(before.size());
    for (int i = 0; i < before.size(); ++i) {
        const FolderNode* node = nodes[i];
        after.push_back(alive.contains(node) ? IndexOf(node) : QModelIndex());
    }
    changePersistentIndexList(before, after);
    emit layoutChanged();
}

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0) {
        return {};
    }
    const FolderNode* node = NodeAt(parent);
    const auto& children = node != nullptr ? node->children : tree_.Roots();
    if (row >= static_cast<int>(children.size())) {
        return {};
    }
    return createIndex(row, 0, children[row].get());
}

QModelIndex FolderTreeModel::parent(const QModelIndex& child) const {
    const FolderNode* node = NodeAt(child);
    return node != nullptr ? IndexOf(node->parent) : QModelIndex();
}

int FolderTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0) {
        return 0;
    }
    const FolderNode* node = NodeAt(parent);
    return static_cast<int>(node != nullptr ? node->children.size() : tree_.Roots().size());
}

int FolderTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

const FolderTreeModel::Shown& FolderTreeModel::ShownOf(FolderNode& node) const {
    auto found = shown_.find(&node);
    if (found == shown_.end()) {
        Shown shown;
        const SpecialFolder special =
            node.IsRoot() ? SpecialFolder::None : SpecialFolderOfName(tree_.FolderNameOf(node));
        shown.icon = FolderIconFor(ChooseFolderIcon(tree_, node), special);
        shown.unread = UnreadCountShown(tree_, node);
        found = shown_.insert(&node, shown);
    }
    return *found;
}

QVariant FolderTreeModel::data(const QModelIndex& index, int role) const {
    FolderNode* node = NodeAt(index);
    if (node == nullptr) {
        return {};
    }
    switch (role) {
        case Qt::DisplayRole: {
            QString label = ToQString(node->label);
            if (const int unread = ShownOf(*node).unread; unread > 0) {
                label += QStringLiteral(" (%1)").arg(unread);
            }
            return label;
        }
        case Qt::EditRole:
            return ToQString(node->label);
        case Qt::DecorationRole:
            return ShownOf(*node).icon;
        case Qt::FontRole:
            return BoldWhen(ShownOf(*node).unread > 0);
        default:
            return {};
    }
}

Qt::ItemFlags FolderTreeModel::flags(const QModelIndex& index) const {
    const FolderNode* node = NodeAt(index);
    if (node == nullptr) {
        return Qt::NoItemFlags;
    }
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDropEnabled;
    if (!node->folder->fixed && !node->IsRoot()) {
        flags |= Qt::ItemIsEditable;
    }
    return flags;
}

bool FolderTreeModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    FolderNode* node = NodeAt(index);
    if (node == nullptr || role != Qt::EditRole) {
        return false;
    }
    emit RenameRequested(node, value.toString());
    return true;
}

QStringList FolderTreeModel::mimeTypes() const {
    return {QString::fromLatin1(kMessagesMimeType)};
}

Qt::DropActions FolderTreeModel::supportedDropActions() const {
    return Qt::MoveAction | Qt::CopyAction;
}

void FolderTreeModel::Changed(MailFolder& folder) {
    if (restructuring_) {
        return;
    }
    for (FolderNode* node = FolderTree::NodeOf(folder); node != nullptr; node = node->parent) {
        shown_.remove(node);
        const QModelIndex index = IndexOf(node);
        if (index.isValid()) {
            emit dataChanged(index, index);
        }
    }
}

}  // namespace corvina
