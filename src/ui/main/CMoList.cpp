#include "ui/main/CMoList.h"

#include <QContextMenuEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <algorithm>

#include "store/FolderNames.h"
#include "store/FolderTree.h"
#include "store/ListWatcher.h"
#include "store/MailFolder.h"
#include "store/MessageList.h"
#include "ui/bridge/QtText.h"
#include "ui/main/MainContext.h"
#include "ui/main/MessageDrop.h"
#include "ui/main/MessageListModel.h"

namespace corvina {

namespace {

// Where a row's picture ends: a double click up to here cycles the priority.
constexpr int kPictureArea = 16;

}  // namespace

CMoList::CMoList(MainContext& context, QWidget* parent) : QTreeView(parent), context_(context) {
    setObjectName("MessageList");
    model_ = new MessageListModel(context_.list, this);
    setModel(model_);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
    header()->setSectionsClickable(true);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    connect(header(), &QHeaderView::sectionClicked, this,
            [this](int column) { context_.list.ClickColumn(column); });
    connect(header(), &QHeaderView::sectionResized, this, [this](int column, int, int width) {
        if (!applyingWidths_ && column >= 0 && column < 4) {
            // Once the user sets one, all four are kept for the run.
            auto& widths = context_.app.settings.colWidth;
            for (int i = 0; i < 4; ++i)
                widths[i] = columnWidth(i);
            widths[column] = width;
        }
    });
    connect(model_, &MessageListModel::Reset, this, &CMoList::AfterReset);
    // Rows come and go inside core operations (a drop from the tree, a
    // delivery) that pick the next selection themselves: the view follows
    // once the operation is over.
    connect(model_, &MessageListModel::RowsAltered, this, [this] {
        if (syncPending_)
            return;
        syncPending_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                syncPending_ = false;
                SyncSelectionFromList();
                ShowStatus();
            },
            Qt::QueuedConnection);
    });
    connect(model_, &MessageListModel::CountsChangedBy, this, &CMoList::CountsChangedBy);
    context_.store.AddWatcher(this);
    ApplyColumnWidths();
}

CMoList::~CMoList() {
    context_.store.RemoveWatcher(this);
}

void CMoList::ShowFolder(MailFolder* folder) {
    context_.list.FillMessageList(folder);
    if (context_.list.Threaded()) {
        scrollToBottom();
    } else {
        scrollToTop();
    }
}

void CMoList::AfterReset() {
    ApplyColumnWidths();
    SyncSelectionFromList();
    ShowStatus();
}

void CMoList::ShowStatus() {
    emit StatusMessage(ToQString(context_.list.StatusText()));
}

// The stored widths, or shares of the list's width while none are stored.
void CMoList::ApplyColumnWidths() {
    const auto& stored = context_.app.settings.colWidth;
    const int width = viewport()->width();
    applyingWidths_ = true;
    for (int i = 0; i < 4; ++i) {
        const ColumnShare share = kDefaultColumnShares[i];
        setColumnWidth(i, stored[0] != 0 ? stored[i] : width * share.numerator / share.denominator);
    }
    applyingWidths_ = false;
}

void CMoList::resizeEvent(QResizeEvent* event) {
    QTreeView::resizeEvent(event);
    if (context_.app.settings.colWidth[0] == 0) {
        ApplyColumnWidths();
    }
}

// The core's selection into the view's, in ranges of consecutive rows.
void CMoList::SyncSelectionFromList() {
    const std::vector<int> rows = context_.list.SelectedRows();
    QItemSelection selection;
    for (std::size_t i = 0; i < rows.size();) {
        std::size_t j = i;
        while (j + 1 < rows.size() && rows[j + 1] == rows[j] + 1)
            ++j;
        selection.select(model_->index(rows[i], 0), model_->index(rows[j], 3));
        i = j + 1;
    }
    syncing_ = true;
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (!rows.empty()) {
        const QModelIndex current = model_->index(rows.front(), 0);
        selectionModel()->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
        scrollTo(current);
    }
    syncing_ = false;
}

void CMoList::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
    QTreeView::selectionChanged(selected, deselected);
    if (syncing_ || model_->Updating()) {
        return;
    }
    std::vector<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows()) {
        rows.push_back(index.row());
    }
    std::sort(rows.begin(), rows.end());
    context_.list.SetSelection(rows, currentIndex().isValid() ? currentIndex().row() : -1);
    ShowStatus();
}

void CMoList::CountsChangedBy(int change) {
    MailFolder* folder = context_.list.Folder();
    if (folder == nullptr) {
        return;
    }
    if (change == kCountsBecameRead || change == kCountsBecameUnread) {
        ApplyCountsChanged(*folder, change);
    }
    context_.store.FolderChanged(*folder);
    ShowStatus();
}

bool CMoList::RunListCommand(int id) {
    bool applied = false;
    if (id == kCmdMarkRead) {
        applied = context_.list.MarkRead();
    } else if (id == kCmdMarkUnread) {
        applied = context_.list.MarkUnread();
    }
    return applied;
}

bool CMoList::DeleteSelected() {
    const bool deleted = context_.list.DeleteSelected();
    if (deleted) {
        SyncSelectionFromList();
        ShowStatus();
    }
    return deleted;
}

void CMoList::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Delete:
            DeleteSelected();
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (currentIndex().isValid()) {
                Activate(currentIndex().row(), false,
                         (event->modifiers() & Qt::ControlModifier) != 0);
            }
            return;
        default:
            QTreeView::keyPressEvent(event);
    }
}

bool CMoList::OnPicture(const QPoint& pos) const {
    const QModelIndex index = indexAt(pos);
    if (!index.isValid() || index.column() != 0) {
        return false;
    }
    const QRect cell = visualRect(index);
    return pos.x() - cell.left() <= std::max(kPictureArea, iconSize().width()) + 4;
}

void CMoList::mouseDoubleClickEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    const QModelIndex index = indexAt(pos);
    if (!index.isValid() || event->button() != Qt::LeftButton) {
        QTreeView::mouseDoubleClickEvent(event);
        return;
    }
    Activate(index.row(), OnPicture(pos), (event->modifiers() & Qt::ControlModifier) != 0);
}

QString CMoList::FolderNameOf(const MailFolder& folder) const {
    return ToQString(FolderNameOfPath(context_.tree.MailboxDir(), folder.path).value_or(""));
}

// A double click or Enter on a row: the core decides, the windows act.
void CMoList::Activate(int row, bool onPicture, bool ctrl) {
    const DoubleClickAction action =
        context_.list.DoubleClick(row, onPicture ? RowPart::Picture : RowPart::Text, ctrl);
    MailFolder* shown = context_.list.Folder();
    switch (action.kind) {
        case DoubleClickAction::SelectFolder:
            emit FolderSelectRequested(action.folder);
            break;
        case DoubleClickAction::ReEdit:
        case DoubleClickAction::OpenAsNew:
            emit ComposeRequested(FolderNameOf(*shown), action.message->key.Value(),
                                  action.kind == DoubleClickAction::OpenAsNew);
            break;
        case DoubleClickAction::OpenViewer:
            emit OpenViewerRequested(FolderNameOf(*shown), action.message->key.Value());
            break;
        case DoubleClickAction::PriorityCycled:
        case DoubleClickAction::None:
            break;
    }
}

void CMoList::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    const bool any = !context_.list.SelectedMessages().empty();
    const bool marks = any && !context_.list.CountAll();
    QAction* read = menu.addAction(tr("Mark as &Read"));
    read->setEnabled(marks);
    connect(read, &QAction::triggered, this, [this] { RunListCommand(kCmdMarkRead); });
    QAction* unread = menu.addAction(tr("Mark as &Unread"));
    unread->setEnabled(marks);
    connect(unread, &QAction::triggered, this, [this] { RunListCommand(kCmdMarkUnread); });
    menu.addSeparator();
    QAction* remove = menu.addAction(tr("&Delete"));
    remove->setEnabled(any);
    connect(remove, &QAction::triggered, this, [this] { DeleteSelected(); });
    menu.exec(event->globalPos());
}

// A child-folder row takes dropped messages like its folder in the tree.
FolderNode* CMoList::FolderNodeAt(const QPoint& pos) const {
    const QModelIndex index = indexAt(pos);
    if (!index.isValid() || index.row() >= context_.list.Count()) {
        return nullptr;
    }
    MailFolder* folder = context_.list.Items()[index.row()].folder;
    return folder != nullptr ? FolderTree::NodeOf(*folder) : nullptr;
}

void CMoList::dragMoveEvent(QDragMoveEvent* event) {
    AnswerMessageDrag(context_, *event, FolderNodeAt(event->position().toPoint()));
}

void CMoList::dropEvent(QDropEvent* event) {
    DropMessagesOn(context_, *event, FolderNodeAt(event->position().toPoint()));
}

// Store notices about the shown folder: a message delivered into it gets
// its row; a reread or emptied folder is shown again or let go of.
void CMoList::MessageAdded(MailFolder& folder, const MessageRef& ref) {
    if (&folder != context_.list.Folder()) {
        return;
    }
    for (auto it = folder.messages.rbegin(); it != folder.messages.rend(); ++it) {
        if ((*it)->key.Value() == ref.key) {
            if (context_.list.RowOf(it->get()) < 0) {
                context_.list.InsertMessageItem(folder, **it);
                ShowStatus();
            }
            return;
        }
    }
}

void CMoList::MessageChanged(MailFolder& folder, const MessageRef& ref) {
    if (&folder != context_.list.Folder()) {
        return;
    }
    const std::vector<MessageListItem>& items = context_.list.Items();
    for (std::size_t row = 0; row < items.size(); ++row) {
        if (items[row].message != nullptr && items[row].message->key.Value() == ref.key) {
            const int r = static_cast<int>(row);
            emit model_->dataChanged(model_->index(r, 0), model_->index(r, 3));
            return;
        }
    }
}

// The message left the folder's index behind the list's back (filtering):
// its row may point at it, so the rows are read again from the folder.
void CMoList::MessageRemoved(MailFolder& folder, const MessageRef&) {
    if (&folder != context_.list.Folder()) {
        return;
    }
    context_.list.FillMessageList(nullptr);
    context_.list.FillMessageList(&folder);
}

void CMoList::FolderReloaded(MailFolder& folder) {
    MessageRemoved(folder, {});
}

void CMoList::FolderReset(MailFolder& folder) {
    if (&folder == context_.list.Folder()) {
        context_.list.FillMessageList(nullptr);
    }
}

}  // namespace corvina
