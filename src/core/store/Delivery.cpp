// Storing finished messages into folders and making them durable.
#include <sys/stat.h>

#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "common/MappedFile.h"
#include "message/MailMessage.h"
#include "message/mime/MessageParser.h"
#include "store/FolderFileCheck.h"
#include "store/FolderLock.h"
#include "store/FolderNames.h"
#include "store/FolderTree.h"
#include "store/MailFolder.h"
#include "store/MailStore.h"
#include "store/Mailbox.h"
#include "store/MailboxParser.h"

namespace corvina {

namespace {

// Mail stored into a nested folder opens its parent's tree item, so the
// folder shows where the mail went.
void OpenParentItem(MailFolder& folder, MailStore& store) {
    FolderNode* node = FolderTree::NodeOf(folder);
    if (node == nullptr || node->parent == nullptr || node->parent->expanded) {
        return;
    }
    node->parent->expanded = true;
    store.FolderChanged(*node->parent->folder);
}

}  // namespace

MailMessage* DeliverMessage(const StoreContext& context, std::string_view folderName,
                            std::unique_ptr<MailMessage> message) {
    if (message == nullptr) {
        return nullptr;
    }
    // Its text must be in memory before it leaves its current file.
    if (message->owner != nullptr && message->offset >= 0) {
        LoadMessageBody(*message);
    }
    std::string name = ResolveFolderName(folderName);
    MailFolder* folder = FindFolder(context.mailboxDir, name);
    if (folder == nullptr) {
        name = "InBox";
        folder = FindFolder(context.mailboxDir, name);
        if (folder == nullptr) {
            if (context.store != nullptr) {
                context.store->ReportError("No folder to store the message in: " +
                                           std::string(folderName));
            }
            return nullptr;
        }
    }
    // The folder's lock is held from the look at the file to the end of the
    // append, so the index and the file cannot drift apart in between.
    std::string error;
    const std::optional<FolderLock> lock = FolderLock::Acquire(folder->path, &error);
    if (!lock) {
        if (context.store != nullptr) {
            context.store->ReportError(
                LockFailureText(error, "the message was not stored", folder->path));
        }
        return nullptr;
    }
    if (!CatchUpFolder(*folder, context, &error)) {
        // Another program replaced the file: what the index says is gone.
        const bool hadChanges = folder->modified;
        folder->modified = false;
        LoadFolder(*folder, context);
        if (context.store != nullptr) {
            context.store->FolderReloaded(*folder);
            if (hadChanges) {
                context.store->ReportError(FolderChangedError(
                    *folder, context, "its unsaved changes were dropped and it was read again."));
            }
        }
    }
    const int oldTotal = folder->total;
    const int oldUnread = folder->unread;
    const bool oldModified = folder->modified;
    MailMessage* stored = AddMessage(*folder, std::move(message), context);
    std::int64_t sizeBefore = 0;
    if (!AppendToFolderPath(*stored, folder->path, context, &sizeBefore)) {
        // Not in the file, so not in the index either.
        folder->messages.pop_back();
        folder->total = oldTotal;
        folder->unread = oldUnread;
        folder->modified = oldModified;
        return nullptr;
    }
    const FolderFileIdentity& identity = folder->fileIdentity;
    if (identity.known && sizeBefore == (identity.existed ? identity.knownEnd : 0)) {
        RecordFolderFileOnDisk(*folder, std::numeric_limits<std::int64_t>::max());
        // The file holds what the index holds: nothing is left to save
        // unless something else was.
        folder->modified = oldModified;
    } else if (identity.known) {
        // Bytes no index covered lay before it (an unfinished tail, closed by
        // the append): index them and the message as the file now holds them.
        const std::int64_t offset = stored->offset;
        folder->messages.pop_back();
        folder->total = oldTotal;
        folder->unread = oldUnread;
        folder->modified = oldModified;
        stored = nullptr;
        std::vector<MailMessage*> added;
        struct stat st {};
        MappedFile map;
        if (::stat(folder->path.c_str(), &st) == 0 && map.Open(folder->path)) {
            IndexAppendedMessages(*folder, map.View(), st, context, &added);
        }
        for (MailMessage* m : added) {
            if (m->offset == offset) {
                stored = m;
            } else if (context.store != nullptr) {
                context.store->MessageAdded(*folder,
                                            StoredMessageRef(context.mailboxDir, *folder, *m));
            }
        }
        if (stored == nullptr) {
            // Stored in the file; the next load indexes it.
            return added.empty() ? nullptr : added.back();
        }
    }
    // It is in the file now: its body is read back on demand.
    if (context.store == nullptr || !context.store->KeepsBodyLoaded(*folder)) {
        ReleaseMessageBody(*stored);
    }
    if (context.store != nullptr) {
        if (!folder->countAll && name.find('\\') != std::string::npos) {
            OpenParentItem(*folder, *context.store);
        }
        context.store->MessageAdded(*folder,
                                    StoredMessageRef(context.mailboxDir, *folder, *stored));
    }
    return stored;
}

bool DeliverToShownFolder(const StoreContext& context, std::string_view text,
                          const ParseOptions& options) {
    MailFolder* shown = context.store != nullptr ? context.store->ShownFolder() : nullptr;
    if (shown == nullptr) {
        return false;
    }
    const std::optional<std::string> name = FolderNameOfPath(context.mailboxDir, shown->path);
    if (!name) {
        return false;
    }
    auto message = std::make_unique<MailMessage>();
    ParseMessage(*message, text, options);
    return DeliverMessage(context, *name, std::move(message)) != nullptr;
}

}  // namespace corvina
