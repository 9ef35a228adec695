#include "ui/main/MessageListModel.h"

#include <QDataStream>
#include <QIODevice>
#include <QMimeData>

#include "message/MailMessage.h"
#include "store/MessageList.h"
#include "ui/bridge/QtText.h"
#include "ui/main/ItemIcons.h"

namespace corvina {

MessageListModel::MessageListModel(MessageList& list, QObject* parent)
    : QAbstractTableModel(parent), list_(list) {
    list_.AddWatcher(this);
    ListReset();
}

MessageListModel::~MessageListModel() {
    list_.RemoveWatcher(this);
}

int MessageListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : list_.Count();
}

int MessageListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 4;
}

QVariant MessageListModel::data(const QModelIndex& index, int role) const {
    const int row = index.row();
    if (!index.isValid() || row >= list_.Count()) {
        return {};
    }
    switch (role) {
        case Qt::DisplayRole:
            return ToQString(list_.ColumnText(row, index.column()));
        case Qt::DecorationRole:
            if (index.column() == 0) {
                return MessageIconFor(list_.Picture(row));
            }
            return {};
        case Qt::FontRole: {
            const MailMessage* m = list_.Items()[row].message;
            return BoldWhen(m != nullptr && !m->read && !list_.CountAll());
        }
        default:
            return {};
    }
}

QVariant MessageListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= captions_.size()) {
        return {};
    }
    return captions_[section];
}

Qt::ItemFlags MessageListModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.row() < list_.Count()) {
        flags |= list_.Items()[index.row()].message != nullptr ? Qt::ItemIsDragEnabled
                                                               : Qt::ItemIsDropEnabled;
    }
    return flags;
}

QStringList MessageListModel::mimeTypes() const {
    return {QString::fromLatin1(kMessagesMimeType)};
}

// The drag carries the keys of the selected messages; the drop finds them
// again in the shown folder, so nothing points into the store meanwhile.
QMimeData* MessageListModel::mimeData(const QModelIndexList&) const {
    QByteArray keys;
    QDataStream out(&keys, QIODevice::WriteOnly);
    for (const MailMessage* m : list_.SelectedMessages()) {
        out << static_cast<quint64>(m->key.Value());
    }
    if (keys.isEmpty()) {
        return nullptr;
    }
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(kMessagesMimeType), keys);
    return data;
}

Qt::DropActions MessageListModel::supportedDragActions() const {
    return Qt::MoveAction | Qt::CopyAction;
}

Qt::DropActions MessageListModel::supportedDropActions() const {
    return Qt::MoveAction | Qt::CopyAction;
}

std::vector<unsigned long long> DraggedMessageKeys(const QMimeData& data) {
    std::vector<unsigned long long> keys;
    const QByteArray bytes = data.data(QString::fromLatin1(kMessagesMimeType));
    QDataStream in(bytes);
    while (!in.atEnd()) {
        quint64 key = 0;
        in >> key;
        if (in.status() != QDataStream::Ok) {
            break;
        }
        keys.push_back(key);
    }
    return keys;
}

// The list tells after its rows changed; the begin and end calls come
// together, which views accept as long as nothing asks in between.
void MessageListModel::RowsInserted(int first, int count) {
    updating_ = true;
    beginInsertRows({}, first, first + count - 1);
    endInsertRows();
    updating_ = false;
    emit RowsAltered();
}

void MessageListModel::RowsRemoved(int first, int count) {
    updating_ = true;
    beginRemoveRows({}, first, first + count - 1);
    endRemoveRows();
    updating_ = false;
    emit RowsAltered();
}

void MessageListModel::RowsChanged(int first, int count) {
    emit dataChanged(index(first, 0), index(first + count - 1, 3));
}

void MessageListModel::ListReset() {
    updating_ = true;
    beginResetModel();
    captions_.clear();
    viewed_ = list_.ViewedMessage();
    for (const std::string& caption : list_.ColumnCaptions()) {
        captions_.push_back(ToQString(caption));
    }
    endResetModel();
    updating_ = false;
    emit headerDataChanged(Qt::Horizontal, 0, 3);
    emit Reset();
}

// The viewed message has a picture of its own: the row it leaves and the
// row it goes to are drawn again.
void MessageListModel::ViewedChanged(const MailMessage* message) {
    for (const MailMessage* m : {viewed_, message}) {
        if (const int row = m != nullptr ? list_.RowOf(m) : -1; row >= 0) {
            emit dataChanged(index(row, 0), index(row, 0));
        }
    }
    viewed_ = message;
    emit ViewedMessageChanged(message);
}

void MessageListModel::CountsChanged(int change) {
    emit CountsChangedBy(change);
}

}  // namespace corvina
