#include "store/MessageList.h"

#include <time.h>
#include <algorithm>
#include <string_view>
#include <unordered_map>

#include "common/Bytes.h"
#include "common/CaseFold.h"
#include "common/CodePage.h"
#include "common/StringTable.h"
#include "message/Address.h"
#include "message/MailDate.h"
#include "message/MailMessage.h"
#include "store/FolderStat.h"
#include "store/FolderTree.h"
#include "store/ListWatcher.h"
#include "store/MailFolder.h"
#include "store/MailStore.h"
#include "store/ThreadOrder.h"

namespace corvina {

namespace {

// Under the Japanese code page the thread marker is the box-drawing corner.
constexpr std::string_view kThreadMarker = "| ";
constexpr std::string_view kThreadMarkerSjis = "\x84\xa4";

bool IsOwnAddress(const MailMessage& message, std::string_view profileAddress) {
    if (profileAddress.empty()) {
        return false;
    }
    const std::string sender = AddressOf(message.from);
    return !sender.empty() && EqualNoCase(sender, profileAddress);
}

}  // namespace

void ApplyCountsChanged(MailFolder& folder, int change) {
    if (change == kCountsBecameRead && folder.unread > 0) {
        --folder.unread;
    } else if (change == kCountsBecameUnread && folder.unread >= 0) {
        ++folder.unread;
    }
    folder.modified = true;
}

std::string FormatListDate(std::string_view date, std::time_t parsed) {
    if (date.empty()) {
        return {};
    }
    // The parsed value is the UTC wall-clock time read as local standard
    // time; undo that to get the instant, then show it in local time.
    const std::time_t instant = parsed - LocalStandardOffsetWest();
    std::tm local{};
    if (localtime_r(&instant, &local) == nullptr) {
        return {};
    }
    char buffer[128];
    const std::size_t n = std::strftime(buffer, sizeof buffer, "%c", &local);
    return std::string(buffer, n);
}

MessageList::MessageList(MessageListContext context) : context_(std::move(context)) {}

StoreContext MessageList::Store() const {
    return {context_.mailboxDir, context_.store};
}

void MessageList::AddWatcher(ListWatcher* watcher) {
    if (watcher != nullptr &&
        std::find(watchers_.begin(), watchers_.end(), watcher) == watchers_.end()) {
        watchers_.push_back(watcher);
    }
}

void MessageList::RemoveWatcher(ListWatcher* watcher) {
    std::erase(watchers_, watcher);
}

void MessageList::Tell(const std::function<void(ListWatcher&)>& call) {
    // A watcher may remove itself (or another) while being told.
    const std::vector<ListWatcher*> watchers = watchers_;
    for (ListWatcher* w : watchers) {
        if (std::find(watchers_.begin(), watchers_.end(), w) != watchers_.end()) {
            call(*w);
        }
    }
}

// The viewer and the store follow the viewed message; its body stays
// loaded while it is shown.
void MessageList::SetViewed(MailMessage* message) {
    viewed_ = message;
    if (context_.store != nullptr) {
        context_.store->SetShown(folder_, viewed_);
    }
    Tell([message](ListWatcher& w) { w.ViewedChanged(message); });
}

void MessageList::TellReset() {
    Tell([](ListWatcher& w) { w.ListReset(); });
}

void MessageList::FolderChanged(MailFolder& folder) {
    if (context_.store != nullptr) {
        context_.store->FolderChanged(folder);
    }
}

bool MessageList::CountAll() const {
    return folder_ != nullptr && folder_->countAll;
}

void MessageList::FillMessageList(MailFolder* folder) {
    FillRows(folder);
    TellReset();
}

void MessageList::FillRows(MailFolder* folder) {
    const MailMessage* keep = nullptr;
    if (folder != nullptr && folder == folder_) {
        for (const MessageListItem& item : items_) {
            if (item.selected && item.message != nullptr) {
                keep = item.message;
                break;
            }
        }
    } else if (viewed_ != nullptr) {
        // That folder's messages may be released or freed: the viewer lets
        // go of its message first.
        SetViewed(nullptr);
    }
    folder_ = folder;
    if (context_.store != nullptr) {
        context_.store->SetShown(folder_, viewed_);
    }
    items_.clear();
    sortKey_ = kNaturalOrder;
    threaded_ = false;
    addressGroup_.clear();
    if (folder == nullptr) {
        return;
    }
    threaded_ = ReadFolderStat(*folder, "Settings", "Thread", 0) != 0;
    if (context_.msgThread != nullptr) {
        *context_.msgThread = threaded_ ? 1 : 0;
    }
    if (folder->kind == 0) {
        return;  // an account root has no file
    }
    addressGroup_ =
        !folder->defAddrGroup.empty() ? folder->defAddrGroup : context_.profileAddrGroup;

    bool loaded = true;
    if (folder->messages.empty() && !folder->modified) {
        loaded = LoadFolder(*folder, Store());
    }

    if (const FolderNode* node = FolderTree::NodeOf(*folder); node != nullptr) {
        for (const auto& child : node->children) {
            MessageListItem item;
            item.folder = child->folder.get();
            item.label = child->label;
            items_.push_back(std::move(item));
        }
    }
    if (!loaded) {
        return;
    }
    const std::vector<ThreadEntry> order =
        threaded_ ? ThreadedOrder(folder->messages)
                  : NewestFirstOrder(static_cast<int>(folder->messages.size()));
    items_.reserve(items_.size() + order.size());
    for (const ThreadEntry& entry : order) {
        MessageListItem item;
        item.message = folder->messages[entry.index].get();
        item.key = item.message->key.Value();
        item.depth = entry.depth;
        item.threadRow = static_cast<int>(items_.size());
        items_.push_back(std::move(item));
    }
    if (keep != nullptr) {
        if (const int row = RowOf(keep); row >= 0) {
            Select(row);
        }
    }
}

// The old rows point at records that may be freed: they are dropped
// unread, so nothing is kept or compared by a stale address.
void MessageList::DropRows() {
    items_.clear();
    if (viewed_ != nullptr) {
        SetViewed(nullptr);
    }
}

void MessageList::MessageRemoved(MailFolder& folder, const MessageRef& message) {
    if (&folder != folder_) {
        return;
    }
    for (int row = Count() - 1; row >= 0; --row) {
        if (items_[row].message == nullptr || items_[row].key != message.key) {
            continue;
        }
        if (items_[row].message == viewed_) {
            SetViewed(nullptr);
        }
        items_.erase(items_.begin() + row);
        Tell([row](ListWatcher& w) { w.RowsRemoved(row, 1); });
        return;
    }
}

void MessageList::FolderReloaded(MailFolder& folder) {
    if (&folder == folder_) {
        DropRows();
        FillMessageList(&folder);
    }
}

// The folder may be about to go away: it is not read again.
void MessageList::FolderReset(MailFolder& folder) {
    if (&folder == folder_) {
        DropRows();
        FillMessageList(nullptr);
    }
}

void MessageList::SwitchThreading(bool threaded) {
    if (folder_ == nullptr || folder_->kind == 0) {
        return;
    }
    WriteFolderStat(*folder_, "Settings", "Thread", threaded ? 1 : 0);
    FillMessageList(folder_);
}

int MessageList::RowOf(const MailMessage* message) const {
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (items_[i].message == message) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::vector<std::string> MessageList::ColumnCaptions() const {
    std::vector<std::string> captions;
    if (folder_ == nullptr || folder_->kind == 0) {
        return captions;
    }
    for (std::string_view part :
         Split(LoadString(CountAll() ? kCountAllColumnsStringId : kColumnsStringId), ',')) {
        captions.emplace_back(part);
    }
    const int column = sortKey_ >= kDescending ? sortKey_ - kDescending : sortKey_;
    if (column >= 0 && column < static_cast<int>(captions.size())) {
        captions[column] += sortKey_ >= kDescending ? " >" : " <";
    }
    return captions;
}

std::time_t MessageList::DateOf(MessageListItem& item) {
    if (!item.dateParsed) {
        item.dateValue = ParseMailDate(item.message->date);
        item.dateParsed = true;
    }
    return item.dateValue;
}

std::string MessageList::ColumnText(int row, int column) {
    if (row < 0 || row >= Count()) {
        return {};
    }
    MessageListItem& item = items_[row];
    if (item.message == nullptr) {
        return column == 0 ? item.label : std::string();
    }
    const MailMessage& m = *item.message;
    switch (column) {
        case 0: {
            std::string text;
            if (threaded_ && item.depth > 0) {
                text.assign(2 * static_cast<std::size_t>(item.depth), ' ');
                text += CodePage::Working().IsDbcs() ? kThreadMarkerSjis : kThreadMarker;
            }
            text += m.subject.empty() ? std::string_view("(non-title)") : m.subject;
            return text;
        }
        case 1:
            if (CountAll()) {
                return m.to;
            }
            if (IsOwnAddress(m, context_.profileAddress)) {
                return "--> " + m.to;
            }
            return m.from;
        case 2:
            return FormatListDate(m.date, DateOf(item));
        case 3:
            return std::to_string(m.bodyLineCount);
        default:
            return {};
    }
}

ItemPicture MessageList::Picture(int row) const {
    if (row < 0 || row >= Count() || items_[row].message == nullptr) {
        return ItemPicture::Folder;
    }
    const MailMessage& m = *items_[row].message;
    if (&m == viewed_) {
        return ItemPicture::Viewed;
    }
    if (CountAll()) {
        return m.status.find('E') != std::string::npos ? ItemPicture::Error
                                                       : ItemPicture::OwnMessage;
    }
    if (m.read && IsOwnAddress(m, context_.profileAddress)) {
        return ItemPicture::OwnMessage;
    }
    if (m.replied) {
        return ItemPicture::Replied;
    }
    return m.read ? ItemPicture::Read : ItemPicture::Unread;
}

void MessageList::ClickColumn(int column) {
    if (folder_ == nullptr || column < 0 || column > 3) {
        return;
    }
    if (sortKey_ == column) {
        sortKey_ = kDescending + column;
    } else if (sortKey_ == kDescending + column) {
        FillMessageList(folder_);
        return;
    } else {
        sortKey_ = column;
    }
    SortRows();
    TellReset();
}

// Child folders stay on top (they compare equal to everything, so any
// order among messages is consistent with them); messages are sorted stably
// from the current order. Threaded, the replies are taken out first and put
// back below the message they belong to. They are taken out in the order of
// the thread display, not of the rows a former sort left (which put them
// back the other way up): so the children of a message stand the same way
// after every sort, ascending or descending, the last of them in the thread
// display first.
void MessageList::SortRows() {
    const bool descending = sortKey_ >= kDescending;
    const int column = descending ? sortKey_ - kDescending : sortKey_;
    const bool countAll = CountAll();

    std::vector<MessageListItem> folders, top, taken;
    for (MessageListItem& item : items_) {
        if (item.message == nullptr) {
            folders.push_back(std::move(item));
        } else if (threaded_ && item.depth > 0) {
            taken.push_back(std::move(item));
        } else {
            if (column == 2) {
                DateOf(item);
            }
            top.push_back(std::move(item));
        }
    }
    // The texts of columns 0 and 1 compare as people read them: folded for
    // case in every script of the working code page, each folded once.
    std::vector<std::string> keys;
    if (column == 0 || column == 1) {
        const CaseFold fold;
        keys.reserve(top.size());
        for (const MessageListItem& item : top) {
            const MailMessage& m = *item.message;
            keys.push_back(fold.Key(column == 0 ? m.subject : (countAll ? m.to : m.from)));
        }
    }
    std::vector<int> sorted(top.size());
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        sorted[i] = static_cast<int>(i);
    }
    auto less = [&](int a, int b) {
        const MessageListItem& x = top[a];
        const MessageListItem& y = top[b];
        int c = 0;
        switch (column) {
            case 0:
            case 1:
                c = keys[a].compare(keys[b]);
                break;
            case 2:
                c = (x.dateValue > y.dateValue) - (x.dateValue < y.dateValue);
                break;
            default:
                c = (x.message->bodyLineCount > y.message->bodyLineCount) -
                    (x.message->bodyLineCount < y.message->bodyLineCount);
        }
        return descending ? c > 0 : c < 0;
    };
    std::stable_sort(sorted.begin(), sorted.end(), less);
    {
        std::vector<MessageListItem> rows;
        rows.reserve(top.size());
        for (int i : sorted) {
            rows.push_back(std::move(top[i]));
        }
        top = std::move(rows);
    }
    std::stable_sort(taken.begin(), taken.end(),
                     [](const auto& a, const auto& b) { return a.threadRow < b.threadRow; });

    items_ = std::move(folders);
    items_.reserve(items_.size() + top.size() + taken.size());
    if (taken.empty()) {
        for (MessageListItem& item : top)
            items_.push_back(std::move(item));
        return;
    }

    // Taken-out replies by what they belong to, each list in taken order.
    std::unordered_map<std::string_view, std::vector<int>> byReference, bySubject;
    for (int i = 0; i < static_cast<int>(taken.size()); ++i) {
        const MailMessage& m = *taken[i].message;
        if (!m.parentReference.empty()) {
            byReference[m.parentReference].push_back(i);
        } else {
            bySubject[BaseSubject(m.subject)].push_back(i);
        }
    }
    std::vector<bool> placed(taken.size(), false);
    std::vector<MessageListItem*> stack;
    std::vector<int> claimed;
    auto claim = [&](std::unordered_map<std::string_view, std::vector<int>>& index,
                     std::string_view key) {
        auto found = index.find(key);
        if (found == index.end())
            return;
        for (int i : found->second)
            claimed.push_back(i);
        index.erase(found);
    };
    for (MessageListItem& root : top) {
        stack.push_back(&root);
        while (!stack.empty()) {
            MessageListItem* item = stack.back();
            stack.pop_back();
            const MailMessage& m = *item->message;
            items_.push_back(std::move(*item));
            claimed.clear();
            if (!m.messageId.empty())
                claim(byReference, m.messageId);
            claim(bySubject, BaseSubject(m.subject));
            // Each child went directly below m, so the last one taken out
            // comes first; the next row visited is that child.
            std::sort(claimed.begin(), claimed.end());
            for (int i : claimed) {
                placed[i] = true;
                stack.push_back(&taken[i]);
            }
        }
    }
    for (std::size_t i = 0; i < taken.size(); ++i) {
        if (!placed[i])
            items_.push_back(std::move(taken[i]));
    }
}

int MessageList::InsertMessageItem(MailFolder& folder, MailMessage& message, int row) {
    if (&folder != folder_) {
        return -1;
    }
    int firstMessageRow = 0;
    while (firstMessageRow < Count() && items_[firstMessageRow].message == nullptr) {
        ++firstMessageRow;
    }
    if (row < firstMessageRow || row > Count()) {
        row = firstMessageRow;
    }
    MessageListItem item;
    item.message = &message;
    item.key = message.key.Value();
    items_.insert(items_.begin() + row, std::move(item));
    message.dirty = true;
    folder.modified = true;
    Tell([row](ListWatcher& w) { w.RowsInserted(row, 1); });
    return row;
}

void MessageList::Select(int row) {
    ClearSelection();
    AddToSelection(row);
}

void MessageList::AddToSelection(int row) {
    if (row < 0 || row >= Count() || items_[row].selected) {
        return;
    }
    items_[row].selected = true;
    OnSelected(items_[row]);
}

void MessageList::ClearSelection() {
    for (MessageListItem& item : items_) {
        item.selected = false;
    }
}

std::vector<int> MessageList::SelectedRows() const {
    std::vector<int> rows;
    for (int i = 0; i < Count(); ++i) {
        if (items_[i].selected)
            rows.push_back(i);
    }
    return rows;
}

std::vector<MailMessage*> MessageList::SelectedMessages() const {
    std::vector<MailMessage*> messages;
    for (const MessageListItem& item : items_) {
        if (item.selected && item.message != nullptr)
            messages.push_back(item.message);
    }
    return messages;
}

void MessageList::OnSelected(MessageListItem& item) {
    if (item.message == nullptr) {
        SetViewed(nullptr);
        return;
    }
    MailMessage& m = *item.message;
    if (!m.read) {
        folder_->modified = true;
        if (context_.alwaysRead) {
            m.read = true;
            m.dirty = true;
            const int row = RowOf(&m);
            Tell([row](ListWatcher& w) {
                w.RowsChanged(row, 1);
                w.CountsChanged(kCountsBecameRead);
            });
        }
    }
    if (viewed_ != &m) {
        LoadMessageBody(m);
        SetViewed(&m);
    }
}

std::string MessageList::StatusText() const {
    int unread = 0, total = 0;
    if (folder_ != nullptr) {
        unread = folder_->countAll || folder_->unread < 0 ? 0 : folder_->unread;
        total = folder_->total < 0 ? 0 : folder_->total;
    }
    return Format(LoadString(kListStatusStringId), unread, total);
}

}  // namespace corvina
