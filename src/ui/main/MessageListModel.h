#pragma once
// The message list as a Qt table model over the core's MessageList: row r
// is the list's item r, the four columns ask ColumnText and Picture when a
// row is drawn (nothing is kept per row here, so 100,000 rows cost only
// what is on screen). A ListWatcher turns the list's notices into row
// signals; the captions carry the core's sort marks.

#include <QAbstractTableModel>
#include <QStringList>
#include <vector>

#include "store/ListWatcher.h"

namespace corvina {

class MessageList;

// The drag data of the list's messages: their keys.
inline constexpr const char* kMessagesMimeType = "application/x-corvina-messages";

class MessageListModel : public QAbstractTableModel, public ListWatcher {
    Q_OBJECT

public:
    explicit MessageListModel(MessageList& list, QObject* parent = nullptr);
    ~MessageListModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;
    Qt::DropActions supportedDropActions() const override;

    // True while rows are being inserted, removed or reset: selection
    // changes the view makes then are its own bookkeeping, not the user's.
    bool Updating() const { return updating_; }

signals:
    // The core list's own notices, after the rows followed them.
    void Reset();
    void RowsAltered();
    void ViewedMessageChanged(const corvina::MailMessage* message);
    void CountsChangedBy(int change);

private:
    void RowsInserted(int first, int count) override;
    void RowsRemoved(int first, int count) override;
    void RowsChanged(int first, int count) override;
    void ListReset() override;
    void ViewedChanged(const MailMessage* message) override;
    void CountsChanged(int change) override;

    MessageList& list_;
    QStringList captions_;
    const MailMessage* viewed_ = nullptr;
    bool updating_ = false;
};

// The keys of the dragged messages, in row order; empty when the data
// holds none.
std::vector<unsigned long long> DraggedMessageKeys(const QMimeData& data);

}  // namespace corvina
