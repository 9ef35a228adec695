// What the message list does around drag and drop: copies for another
// profile's InBox or another folder, and removing the source messages after
// a move.

#include <filesystem>
#include <memory>
#include <string>

#include "common/Bytes.h"
#include "message/MailMessage.h"
#include "platform/Paths.h"
#include "store/FolderDrop.h"
#include "store/FolderTree.h"
#include "store/MailFolder.h"
#include "store/MailStore.h"
#include "store/Mailbox.h"
#include "store/MessageList.h"

namespace corvina {

namespace fs = std::filesystem;

namespace {

// A free name in `attach` for a copy of `source`, or empty when the name
// and all 256 counter forms are taken.
fs::path FreeAttachName(const fs::path& attach, const fs::path& source) {
    const std::string name = source.filename().string();
    std::error_code ec;
    if (!fs::exists(attach / name, ec)) {
        return attach / name;
    }
    for (int counter = 0; counter < 256; ++counter) {
        const fs::path candidate = attach / Format("%02x_%s", counter, name.c_str());
        if (!fs::exists(candidate, ec)) {
            return candidate;
        }
    }
    return {};
}

// Gives the copy of a message files of its own in `attach` and links them.
// On failure the files made so far are removed and false is returned.
bool CopyAttachmentFiles(MailMessage& copy, const fs::path& attach, std::vector<fs::path>& made) {
    std::error_code ec;
    const std::size_t first = made.size();
    for (AttachmentEntry& entry : copy.attachments) {
        const fs::path to = FreeAttachName(attach, entry.path);
        // copy_file without overwrite: a file that appeared meanwhile
        // is left alone and the copy fails.
        if (to.empty() || !fs::copy_file(entry.path, to, fs::copy_options::none, ec) || ec) {
            for (std::size_t i = first; i < made.size(); ++i) {
                fs::remove(made[i], ec);
            }
            made.resize(first);
            return false;
        }
        made.push_back(to);
        entry.path = to;
    }
    return true;
}

// A copy of a stored message for another folder: body and other headers
// loaded, not yet in any file. Null when its header lines cannot be read.
std::unique_ptr<MailMessage> DetachedCopy(MailMessage& m) {
    LoadMessageBody(m);
    if (!LoadOtherHeaders(m)) {
        return nullptr;
    }
    auto copy = std::make_unique<MailMessage>(m);
    copy->owner = nullptr;
    copy->offset = -1;
    return copy;
}

void RemoveFiles(const std::vector<fs::path>& files) {
    std::error_code ec;
    for (const fs::path& file : files) {
        fs::remove(file, ec);
    }
}

}  // namespace

std::vector<MailMessage*> CopyToProfileInBox(const std::vector<MailMessage*>& messages,
                                             const fs::path& targetMailboxDir) {
    std::vector<MailMessage*> stored;
    const fs::path attach = targetMailboxDir / "Attach";
    CreateDirectoryPath(attach, 0700);
    const StoreContext target{targetMailboxDir, nullptr};
    for (MailMessage* m : messages) {
        std::unique_ptr<MailMessage> copy = DetachedCopy(*m);
        std::vector<fs::path> copied;
        if (!copy || !CopyAttachmentFiles(*copy, attach, copied)) {
            continue;
        }
        if (AppendToFolderFile(*copy, "InBox", target)) {
            stored.push_back(m);
            continue;
        }
        RemoveFiles(copied);
    }
    return stored;
}

int DropListMessages(FolderTree& tree, MessageList& list, MailFolder& target,
                     const std::vector<MailMessage*>& messages, bool copy) {
    if (&target == list.Folder() || target.kind == 0 || messages.empty()) {
        return 0;
    }
    const StoreContext context = tree.Context();
    if (target.messages.empty() && !target.modified) {
        LoadFolder(target, context);
    }
    const std::size_t before = target.messages.size();
    const int total = target.total, unread = target.unread;
    const bool modified = target.modified;
    const fs::path attach = context.mailboxDir / "Attach";
    std::vector<MailMessage*> accepted;
    std::vector<fs::path> copied;
    for (MailMessage* m : messages) {
        std::unique_ptr<MailMessage> dropped = DetachedCopy(*m);
        std::vector<fs::path> files;
        if (!dropped || (copy && !CopyAttachmentFiles(*dropped, attach, files))) {
            continue;
        }
        if (DropMessageOnFolder(tree, target, std::move(dropped), list.Context().profileAddress) ==
            DropDecision::Add) {
            accepted.push_back(m);
            copied.insert(copied.end(), files.begin(), files.end());
        } else {
            RemoveFiles(files);
        }
    }
    if (accepted.empty()) {
        return 0;
    }
    SaveResult result = SaveResult::Failed;
    SaveFolder(target, false, context, &result);
    if (result == SaveResult::Failed) {
        target.messages.resize(before);
        target.total = total;
        target.unread = unread;
        target.modified = modified;
        RemoveFiles(copied);
        return 0;
    }
    if (!copy) {
        list.RemoveDroppedMessages(accepted);
    }
    if (MailStore* store = tree.Store()) {
        store->FolderChanged(target);
    }
    return static_cast<int>(accepted.size());
}

void MessageList::RemoveDroppedMessages(const std::vector<MailMessage*>& messages) {
    if (folder_ == nullptr || messages.empty()) {
        return;
    }
    std::vector<MailMessage*> present;
    for (MailMessage* m : messages) {
        if (m != nullptr && m->owner == folder_)
            present.push_back(m);
    }
    const std::vector<int> rows = SelectedRows();
    RemoveRows(present);
    DiscardMessages(present);
    SelectAfterDelete(rows.empty() ? -1 : rows.front());
}

}  // namespace corvina
