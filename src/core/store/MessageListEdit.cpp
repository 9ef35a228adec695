// The message list's commands that change folders: mark read and unread,
// delete into and from Trash, and the double-click decisions.

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "common/Bytes.h"
#include "common/StringTable.h"
#include "common/UserPrompt.h"
#include "message/MailMessage.h"
#include "store/FolderNames.h"
#include "store/ListWatcher.h"
#include "store/MailFolder.h"
#include "store/MailStore.h"
#include "store/MessageList.h"

namespace corvina {

namespace fs = std::filesystem;

namespace {

struct Taken {
    std::unique_ptr<MailMessage> message;
    std::size_t index;    // in the folder's list before the removal
    std::int64_t offset;  // its place in the file, for putting it back
};

// Removes `messages` from the folder's list (file order kept). For each run
// of removed messages the one before the run (or after it, when the run
// starts the folder) is marked dirty with its body loaded, so that the next
// save rewrites the file from there; total and unread are lowered.
std::vector<Taken> TakeMessages(MailFolder& folder, const std::vector<MailMessage*>& messages,
                                bool loadBodies) {
    std::unordered_set<const MailMessage*> wanted(messages.begin(), messages.end());
    auto& list = folder.messages;
    std::vector<bool> remove(list.size(), false);
    for (std::size_t i = 0; i < list.size(); ++i) {
        remove[i] = wanted.count(list[i].get()) != 0;
    }
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (!remove[i] || (i > 0 && remove[i - 1])) {
            continue;
        }
        std::size_t neighbour = i;
        if (i > 0) {
            neighbour = i - 1;
        } else {
            while (neighbour < list.size() && remove[neighbour])
                ++neighbour;
        }
        if (neighbour < list.size()) {
            LoadMessageBody(*list[neighbour]);
            list[neighbour]->dirty = true;
        }
    }
    std::vector<Taken> taken;
    std::vector<std::unique_ptr<MailMessage>> kept;
    kept.reserve(list.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (!remove[i]) {
            kept.push_back(std::move(list[i]));
            continue;
        }
        MailMessage& m = *list[i];
        if (loadBodies) {
            LoadMessageBody(m);
        }
        if (folder.total > 0)
            --folder.total;
        if ((folder.countAll || !m.read) && folder.unread > 0)
            --folder.unread;
        taken.push_back({std::move(list[i]), i, m.offset});
    }
    list = std::move(kept);
    folder.modified = true;
    return taken;
}

// Puts messages taken by TakeMessages back where they were.
void PutBack(MailFolder& folder, std::vector<Taken>& taken) {
    for (Taken& t : taken) {
        MailMessage& m = *t.message;
        m.owner = &folder;
        m.offset = t.offset;
        m.dirty = true;
        if (folder.total >= 0)
            ++folder.total;
        if ((folder.countAll || !m.read) && folder.unread >= 0)
            ++folder.unread;
        const std::size_t at = std::min(t.index, folder.messages.size());
        folder.messages.insert(folder.messages.begin() + at, std::move(t.message));
    }
}

bool InAttachDirectory(const fs::path& file, const fs::path& mailboxDir) {
    const std::string attach = (mailboxDir / "Attach").lexically_normal().string() + "/";
    const std::string path = file.lexically_normal().string();
    return path.size() > attach.size() && path.compare(0, attach.size(), attach) == 0;
}

std::string_view HeaderValue(const std::vector<std::string>& lines, std::string_view name) {
    for (const std::string& line : lines) {
        if (line.size() > name.size() && line[name.size()] == ':' && StartsWithNoCase(line, name)) {
            return Trim(StripNewline(std::string_view(line).substr(name.size() + 1)));
        }
    }
    return {};
}

}  // namespace

bool MessageList::MarkRead() {
    if (folder_ == nullptr || folder_->countAll) {
        return false;
    }
    for (MailMessage* m : SelectedMessages()) {
        if (m->read)
            continue;
        m->read = true;
        m->dirty = true;
        if (folder_->unread > 0)
            --folder_->unread;
        if (m->status.find('R') == std::string::npos)
            m->status += 'R';
    }
    folder_->modified = true;
    TellSelectionChanged();
    return true;
}

bool MessageList::MarkUnread() {
    if (folder_ == nullptr || folder_->countAll) {
        return false;
    }
    for (MailMessage* m : SelectedMessages()) {
        if (!m->read)
            continue;
        m->read = false;
        m->replied = false;
        m->dirty = true;
        if (folder_->unread >= 0)
            ++folder_->unread;
        std::erase(m->status, 'R');
    }
    folder_->modified = true;
    TellSelectionChanged();
    return true;
}

void MessageList::TellSelectionChanged() {
    const std::vector<int> rows = SelectedRows();
    Tell([&rows](ListWatcher& w) {
        for (int row : rows)
            w.RowsChanged(row, 1);
        w.CountsChanged(kCountsChanged);
    });
}

void MessageList::RemoveRows(const std::vector<MailMessage*>& messages) {
    std::unordered_set<const MailMessage*> gone(messages.begin(), messages.end());
    // From the bottom up, so each notice's row numbers hold when it is told.
    for (int row = Count() - 1; row >= 0; --row) {
        const MailMessage* m = items_[row].message;
        if (m == nullptr || gone.count(m) == 0)
            continue;
        items_.erase(items_.begin() + row);
        Tell([row](ListWatcher& w) { w.RowsRemoved(row, 1); });
    }
    if (viewed_ != nullptr && gone.count(viewed_) != 0) {
        SetViewed(nullptr);
    }
}

void MessageList::SelectAfterDelete(int oldRow) {
    ClearSelection();
    if (items_.empty() || oldRow < 0)
        return;
    Select(std::min(oldRow, Count() - 1));
}

bool MessageList::DeleteSelected() {
    if (folder_ == nullptr || folder_->kind == 0)
        return false;
    const std::vector<MailMessage*> messages = SelectedMessages();
    if (messages.empty())
        return false;
    const std::vector<int> rows = SelectedRows();
    const int oldRow = rows.empty() ? -1 : rows.front();
    const bool deleted =
        folder_ == context_.trash ? DeleteFromTrash(messages) : DeleteIntoTrash(messages);
    if (deleted)
        SelectAfterDelete(oldRow);
    return deleted;
}

// Trash is saved at once. Should that fail, the messages go back to their
// folder (the source is saved later and would otherwise drop them from its
// file while Trash's file lacks them too).
bool MessageList::DeleteIntoTrash(const std::vector<MailMessage*>& messages) {
    MailFolder* trash = context_.trash;
    if (trash == nullptr)
        return false;
    const StoreContext store = Store();
    if (trash->messages.empty() && !trash->modified) {
        LoadFolder(*trash, store);
    }
    const std::size_t firstInTrash = trash->messages.size();
    const int trashTotal = trash->total, trashUnread = trash->unread;
    const bool trashModified = trash->modified;

    std::vector<Taken> taken = TakeMessages(*folder_, messages, true);
    for (Taken& t : taken) {
        MailMessage* added = AddMessage(*trash, std::move(t.message), store);
        t.message.reset();
        (void)added;
    }
    SaveResult result = SaveResult::Failed;
    SaveFolder(*trash, false, store, &result);
    if (result == SaveResult::Failed) {
        for (std::size_t i = 0; i < taken.size(); ++i) {
            taken[i].message = std::move(trash->messages[firstInTrash + i]);
        }
        trash->messages.resize(firstInTrash);
        trash->total = trashTotal;
        trash->unread = trashUnread;
        trash->modified = trashModified;
        PutBack(*folder_, taken);
        return false;
    }
    RemoveRows(messages);
    SetViewed(nullptr);
    TellFolderChanged(*folder_);
    TellFolderChanged(*trash);
    folder_->modified = true;
    return true;
}

bool MessageList::DeleteFromTrash(const std::vector<MailMessage*>& messages) {
    MailStore* store = context_.store;
    if (store == nullptr || store->Prompt() == nullptr ||
        store->Ask(LoadString(kConfirmDeleteStringId), ConfirmButtons::OkCancel,
                   ConfirmAnswer::Ok) != ConfirmAnswer::Ok) {
        return false;
    }
    for (MailMessage* m : messages) {
        std::vector<AttachmentEntry> kept;
        for (const AttachmentEntry& entry : m->attachments) {
            if (!InAttachDirectory(entry.path, context_.mailboxDir)) {
                kept.push_back(entry);
                continue;
            }
            std::string question = LoadString(kDeleteFileStringId);
            question += "\n(" + entry.path.string() + ")";
            if (store->Ask(question, ConfirmButtons::YesNo, ConfirmAnswer::Yes) ==
                ConfirmAnswer::Yes) {
                std::error_code ec;
                fs::remove(entry.path, ec);
            }
        }
        m->attachments = std::move(kept);
    }
    RemoveRows(messages);
    std::vector<Taken> taken = TakeMessages(*folder_, messages, false);
    TellFolderChanged(*folder_);
    return !taken.empty();
}

void MessageList::DiscardMessages(const std::vector<MailMessage*>& messages) {
    if (TakeMessages(*folder_, messages, false).empty())
        return;
    TellFolderChanged(*folder_);
    Tell([](ListWatcher& w) { w.CountsChanged(kCountsChanged); });
}

bool MessageList::FolderIsSpecial(int which) const {
    if (folder_ == nullptr)
        return false;
    const std::optional<std::string> name = FolderNameOfPath(context_.mailboxDir, folder_->path);
    return name && SpecialFolderOfName(*name) == static_cast<SpecialFolder>(which);
}

DoubleClickAction MessageList::DoubleClick(int row, RowPart part, bool ctrl) {
    DoubleClickAction action;
    if (row < 0 || row >= Count())
        return action;
    MessageListItem& item = items_[row];
    if (item.message == nullptr) {
        action.kind = DoubleClickAction::SelectFolder;
        action.folder = item.folder;
        return action;
    }
    MailMessage& m = *item.message;
    if (part == RowPart::Picture) {
        m.priority = m.priority - 1;
        if (m.priority < 1 || m.priority > 5)
            m.priority = 5;
        m.dirty = true;
        folder_->modified = true;
        action.kind = DoubleClickAction::PriorityCycled;
        action.message = &m;
        Tell([row](ListWatcher& w) { w.RowsChanged(row, 1); });
        return action;
    }
    const auto is = [this](SpecialFolder f) { return FolderIsSpecial(static_cast<int>(f)); };
    if (!ctrl && (is(SpecialFolder::OutBox) || is(SpecialFolder::Draft))) {
        LoadMessageBody(m);
        LoadOtherHeaders(m);
        action.kind = DoubleClickAction::ReEdit;
        action.message = &m;
        const std::string replyFolder(HeaderValue(m.otherHeaders, "X-Marlo-ReplyFolder"));
        if (!replyFolder.empty() && !m.parentReference.empty()) {
            MailFolder* answeredIn =
                FindFolder(context_.mailboxDir, ResolveFolderName(replyFolder));
            if (answeredIn != nullptr) {
                if (answeredIn->messages.empty() && !answeredIn->modified) {
                    LoadFolder(*answeredIn, Store());
                }
                for (const auto& candidate : answeredIn->messages) {
                    if (candidate->messageId == m.parentReference) {
                        action.answered = candidate.get();
                        break;
                    }
                }
            }
        }
        return action;
    }
    LoadMessageBody(m);
    action.message = &m;
    action.kind =
        (is(SpecialFolder::Sent) || is(SpecialFolder::Reminder) || (ctrl && folder_->countAll))
            ? DoubleClickAction::OpenAsNew
            : DoubleClickAction::OpenViewer;
    return action;
}

std::unique_ptr<MailMessage> MessageList::TakeForReEdit(MailMessage& message) {
    if (folder_ == nullptr || message.owner != folder_)
        return nullptr;
    LoadMessageBody(message);
    LoadOtherHeaders(message);
    RemoveRows({&message});
    std::vector<Taken> taken = TakeMessages(*folder_, {&message}, true);
    if (taken.empty())
        return nullptr;
    std::unique_ptr<MailMessage> removed = std::move(taken.front().message);
    removed->owner = nullptr;
    removed->offset = -1;
    TellFolderChanged(*folder_);
    Tell([](ListWatcher& w) { w.CountsChanged(kCountsChanged); });
    return removed;
}

}  // namespace corvina
