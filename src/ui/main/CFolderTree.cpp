#include "ui/main/CFolderTree.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>

#include "store/EmptyTrash.h"
#include "store/FolderOps.h"
#include "store/FolderTree.h"
#include "store/FolderView.h"
#include "ui/bridge/QtText.h"
#include "ui/main/FolderPropertyDialog.h"
#include "ui/main/FolderTreeModel.h"
#include "ui/main/MainContext.h"
#include "ui/main/MessageDrop.h"
#include "ui/main/MessageListModel.h"

namespace corvina {

CFolderTree::CFolderTree(MainContext& context, QWidget* parent)
    : QTreeView(parent), context_(context) {
    setObjectName("FolderTree");
    model_ = new FolderTreeModel(context_.tree, context_.store, this);
    setModel(model_);
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DropOnly);

    openTimer_.setSingleShot(true);
    openTimer_.setInterval(kKeyboardOpenDelayMs);
    connect(&openTimer_, &QTimer::timeout, this, &CFolderTree::OpenSelected);
    connect(this, &QTreeView::expanded, this, [this](const QModelIndex& index) {
        if (FolderNode* node = model_->NodeAt(index))
            node->expanded = true;
    });
    connect(this, &QTreeView::collapsed, this, [this](const QModelIndex& index) {
        if (FolderNode* node = model_->NodeAt(index))
            node->expanded = false;
    });
    // Later: a refusal shows a box, which must not open while the editor is
    // still committing.
    connect(model_, &FolderTreeModel::RenameRequested, this,
            [this](FolderNode* node, const QString& label) {
                QMetaObject::invokeMethod(
                    this, [this, node, label] { Rename(node, label); }, Qt::QueuedConnection);
            });
    qRegisterMetaType<corvina::MailFolder*>("corvina::MailFolder*");
}

CFolderTree::~CFolderTree() = default;

FolderNode* CFolderTree::SelectedNode() const {
    return model_->NodeAt(currentIndex());
}

void CFolderTree::Rebuild() {
    openTimer_.stop();
    restructuring_ = true;
    model_->Reset();
    restructuring_ = false;
    opened_ = QPersistentModelIndex();
    ApplyExpanded(QModelIndex());
    FolderNode* root = context_.tree.CurrentRoot();
    if (root == nullptr) {
        emit FolderOpened(nullptr);
        return;
    }
    expand(model_->IndexOf(root));
    SelectNode(root->children.empty() ? root : root->children.front().get(), true);
}

// The expanded state the core read from the control files.
void CFolderTree::ApplyExpanded(const QModelIndex& parent) {
    for (int row = 0; row < model_->rowCount(parent); ++row) {
        const QModelIndex index = model_->index(row, 0, parent);
        const FolderNode* node = model_->NodeAt(index);
        if (node != nullptr && node->expanded) {
            expand(index);
        }
        ApplyExpanded(index);
    }
}

bool CFolderTree::SelectFolder(std::string_view folderName) {
    FolderNode* node = context_.tree.FindNode(folderName);
    if (!node) {
        return false;
    }
    SelectNode(node, true);
    return true;
}

bool CFolderTree::SelectFolderOf(MailFolder* folder) {
    FolderNode* node = folder != nullptr ? FolderTree::NodeOf(*folder) : nullptr;
    if (node == nullptr || !model_->IndexOf(node).isValid()) {
        return false;
    }
    SelectNode(node, true);
    return true;
}

void CFolderTree::SelectNode(FolderNode* node, bool open) {
    const QModelIndex index = model_->IndexOf(node);
    if (!index.isValid()) {
        return;
    }
    for (QModelIndex up = index.parent(); up.isValid(); up = up.parent()) {
        expand(up);
    }
    scrollTo(index);
    if (currentIndex() == index && selectionModel()->isSelected(index)) {
        if (open && opened_ != index) {
            Open(node);
        }
        return;
    }
    const bool keyboard = keyboardMove_;
    keyboardMove_ = !open;  // a selection without opening waits like the keyboard's
    setCurrentIndex(index);
    keyboardMove_ = keyboard;
}

void CFolderTree::selectionChanged(const QItemSelection& selected,
                                   const QItemSelection& deselected) {
    QTreeView::selectionChanged(selected, deselected);
    if (restructuring_) {
        return;
    }
    for (const QModelIndex& index : deselected.indexes()) {
        if (FolderNode* left = model_->NodeAt(index)) {
            LeaveFolderNode(context_.tree, *left);
        }
    }
    if (selected.indexes().isEmpty()) {
        return;
    }
    if (keyboardMove_) {
        openTimer_.start();
    } else {
        openTimer_.stop();
        OpenSelected();
    }
}

void CFolderTree::OpenSelected() {
    if (FolderNode* node = SelectedNode()) {
        Open(node);
    }
}

void CFolderTree::Open(FolderNode* node) {
    const FolderOpenAction action =
        OpenFolderNode(context_.tree, *node, context_.transfer.busy.load() > 0);
    switch (action.kind) {
        case FolderOpenAction::SwitchProfile:
            emit FrameCommand(action.command);
            break;
        case FolderOpenAction::ShowFolder:
            opened_ = model_->IndexOf(node);
            emit FolderOpened(node->folder.get());
            // Opening read the folder: its item shows the counts now known.
            context_.store.FolderChanged(*node->folder);
            if (context_.list.Folder() == node->folder.get()) {
                emit StatusMessage(ToQString(context_.list.StatusText()));
            }
            break;
        case FolderOpenAction::None:
            break;
    }
}

void CFolderTree::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete && state() != QAbstractItemView::EditingState) {
        RunFolderCommand(kCmdDeleteFolder);
        return;
    }
    keyboardMove_ = true;
    QTreeView::keyPressEvent(event);
    keyboardMove_ = false;
}

void CFolderTree::mousePressEvent(QMouseEvent* event) {
    keyboardMove_ = false;
    QTreeView::mousePressEvent(event);
}

void CFolderTree::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    for (const FolderMenuItem& item : FolderContextMenu(context_.app.profiles)) {
        if (item.id == 0) {
            menu.addSeparator();
            continue;
        }
        QAction* action = menu.addAction(ToQString(item.text));
        const int id = item.id;
        action->setEnabled(CommandEnabled(id));
        connect(action, &QAction::triggered, this, [this, id] {
            if (Handles(id)) {
                RunFolderCommand(id);
            } else {
                emit FrameCommand(id);
            }
        });
    }
    menu.exec(event->globalPos());
}

bool CFolderTree::Handles(int id) {
    return id == kCmdNewFolder || id == kCmdDeleteFolder || id == kCmdFolderProperty ||
           id == kCmdEmptyTrash || id == kCmdSaveCurrentStatus;
}

bool CFolderTree::CommandEnabled(int id) const {
    return Handles(id) && FolderCommandEnabled(id, SelectedNode(), hasFocus());
}

bool CFolderTree::RunFolderCommand(int id) {
    if (!CommandEnabled(id)) {
        return false;
    }
    switch (id) {
        case kCmdNewFolder:
            return NewFolder();
        case kCmdDeleteFolder:
            return DeleteSelectedFolder();
        case kCmdFolderProperty:
            return EditProperties();
        case kCmdEmptyTrash:
            return EmptyTrashBox();
        case kCmdSaveCurrentStatus:
            return SaveCurrentStatus(context_.tree);
        default:
            return false;
    }
}

bool CFolderTree::NewFolder() {
    FolderNode* created = nullptr;
    FolderNode* selected = SelectedNode();
    restructuring_ = true;
    model_->Restructure([&] { created = corvina::NewFolder(context_.tree, selected); });
    restructuring_ = false;
    if (created == nullptr) {
        context_.prompt.Notify(
            "A new folder could not be created here. Check that the mailbox directory can be "
            "written to, or choose another folder.",
            kMessageCaption);
        return false;
    }
    SelectNode(created, true);
    edit(model_->IndexOf(created));
    return true;
}

bool CFolderTree::DeleteSelectedFolder() {
    FolderNode* node = SelectedNode();
    FolderNode* next = nullptr;
    bool deleted = false;
    restructuring_ = true;
    model_->Restructure([&] { next = DeleteFolder(context_.tree, *node, &deleted); });
    restructuring_ = false;
    if (!deleted) {
        return false;
    }
    opened_ = QPersistentModelIndex();
    if (next == nullptr) {
        next = context_.tree.CurrentRoot();
    }
    if (next != nullptr) {
        clearSelection();
        SelectNode(next, true);
    }
    return true;
}

void CFolderTree::Rename(FolderNode* node, const QString& label) {
    const QModelIndex index = model_->IndexOf(node);
    if (!index.isValid()) {
        return;  // the folder went away meanwhile
    }
    RenameResult result = RenameResult::Unchanged;
    bool filters = false;
    const std::string name = FromQString(label);
    restructuring_ = true;
    model_->Restructure([&] { result = RenameFolder(context_.tree, *node, name, &filters); });
    restructuring_ = false;
    if (const std::string problem = RenameProblemText(context_.tree, result, name);
        !problem.empty()) {
        context_.prompt.Notify(problem, kMessageCaption);
        return;
    }
    if (filters) {
        emit FiltersRewritten();
    }
    // A list showing the parent shows the child's label too.
    if (result == RenameResult::Renamed && node->parent != nullptr &&
        context_.list.Folder() == node->parent->folder.get()) {
        emit FolderOpened(node->parent->folder.get());
    }
}

bool CFolderTree::EditProperties() {
    FolderNode* node = SelectedNode();
    FolderPropertyDialog dialog(ToQString(node->label), PropertiesOf(*node),
                                node->folder->kind == 1, this);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    RenameResult result = RenameResult::Unchanged;
    const std::string name = FromQString(dialog.Name());
    restructuring_ = true;
    model_->Restructure([&] {
        result = ApplyFolderProperty(context_.tree, *node, dialog.Properties(), name,
                                     dialog.ApplyToSubFolders());
    });
    restructuring_ = false;
    if (const std::string problem = RenameProblemText(context_.tree, result, name);
        !problem.empty()) {
        context_.prompt.Notify(problem, kMessageCaption);
    }
    return true;
}

bool CFolderTree::EmptyTrashBox() {
    const EmptyTrashResult result = EmptyTrash(context_.tree);
    // The list let go of Trash when it was emptied: show it again, empty.
    const FolderNode* trash = context_.tree.Special(SpecialFolder::Trash);
    if (trash != nullptr && opened_.isValid() && model_->NodeAt(opened_) == trash) {
        emit FolderOpened(trash->folder.get());
    }
    return result == EmptyTrashResult::Emptied;
}

void CFolderTree::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasFormat(QString::fromLatin1(kMessagesMimeType))) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void CFolderTree::dragMoveEvent(QDragMoveEvent* event) {
    AnswerMessageDrag(context_, *event, model_->NodeAt(indexAt(event->position().toPoint())));
}

void CFolderTree::dropEvent(QDropEvent* event) {
    DropMessagesOn(context_, *event, model_->NodeAt(indexAt(event->position().toPoint())));
}

}  // namespace corvina
