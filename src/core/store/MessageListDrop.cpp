// What the message list does around drag and drop: copies for another
// profile's InBox, and removing the source messages after a move.

#include <filesystem>
#include <memory>
#include <string>

#include "common/Bytes.h"
#include "platform/Paths.h"
#include "store/MailFolder.h"
#include "message/MailMessage.h"
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

}  // namespace

std::vector<MailMessage*> CopyToProfileInBox(const std::vector<MailMessage*>& messages,
                                             const fs::path& targetMailboxDir) {
    std::vector<MailMessage*> stored;
    const fs::path attach = targetMailboxDir / "Attach";
    std::error_code ec;
    CreateDirectoryPath(attach, 0700);
    const StoreContext target{targetMailboxDir, nullptr};
    for (MailMessage* m : messages) {
        LoadMessageBody(*m);
        if (!LoadOtherHeaders(*m)) {
            continue;
        }
        MailMessage copy(*m);
        copy.owner = nullptr;
        copy.offset = -1;
        std::vector<fs::path> copied;
        bool ok = true;
        for (AttachmentEntry& entry : copy.attachments) {
            const fs::path to = FreeAttachName(attach, entry.path);
            // copy_file without overwrite: a file that appeared meanwhile
            // is left alone and the copy fails.
            if (to.empty() || !fs::copy_file(entry.path, to, fs::copy_options::none, ec) || ec) {
                ok = false;
                break;
            }
            copied.push_back(to);
            entry.path = to;
        }
        if (ok && AppendToFolderFile(copy, "InBox", target)) {
            stored.push_back(m);
            continue;
        }
        for (const fs::path& file : copied) {
            fs::remove(file, ec);
        }
    }
    return stored;
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
