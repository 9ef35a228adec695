// Storing finished messages into folders and making them durable.
#include <sys/stat.h>

#include <limits>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/AtomicFile.h"
#include "common/MappedFile.h"
#include "store/FolderFileCheck.h"
#include "store/FolderLock.h"
#include "store/FolderNames.h"
#include "store/MailFolder.h"
#include "message/MailMessage.h"
#include "store/Mailbox.h"
#include "store/MailboxParser.h"
#include "store/StoreHost.h"

namespace corvina {

namespace {

// What SyncDeliveries still has to fsync.
struct PendingSyncs {
    std::mutex mutex;
    std::set<std::filesystem::path> files;
    std::set<std::filesystem::path> directories;
};

PendingSyncs& Pending() {
    static PendingSyncs* pending = new PendingSyncs;
    return *pending;
}

}  // namespace

void NoteFileToSync(const std::filesystem::path& file) {
    PendingSyncs& p = Pending();
    std::lock_guard lock(p.mutex);
    p.files.insert(file);
}

void NoteDirectoryToSync(const std::filesystem::path& directory) {
    PendingSyncs& p = Pending();
    std::lock_guard lock(p.mutex);
    p.directories.insert(directory);
}

bool SyncDeliveries() {
    PendingSyncs& p = Pending();
    std::set<std::filesystem::path> files;
    std::set<std::filesystem::path> directories;
    {
        std::lock_guard lock(p.mutex);
        files.swap(p.files);
        directories.swap(p.directories);
    }
    std::set<std::filesystem::path> failedFiles;
    std::set<std::filesystem::path> failedDirectories;
    std::error_code ec;
    for (const auto& file : files) {
        // A file rewritten since (renamed over) is already synced; a file
        // removed since has nothing left to keep.
        if (!FsyncFile(file) && std::filesystem::exists(file, ec)) {
            failedFiles.insert(file);
        }
    }
    for (const auto& dir : directories) {
        if (!FsyncDirectory(dir) && std::filesystem::exists(dir, ec)) {
            failedDirectories.insert(dir);
        }
    }
    if (failedFiles.empty() && failedDirectories.empty()) {
        return true;
    }
    std::lock_guard lock(p.mutex);
    p.files.insert(failedFiles.begin(), failedFiles.end());
    p.directories.insert(failedDirectories.begin(), failedDirectories.end());
    return false;
}

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
            if (context.host != nullptr) {
                context.host->ReportError("No folder to store the message in: " +
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
        if (context.host != nullptr) {
            context.host->ReportError("The folder could not be locked for writing (" + error +
                                      "); the message was not stored: " + folder->path.string());
        }
        return nullptr;
    }
    if (!CatchUpFolder(*folder, context, &error)) {
        // Another program replaced the file: what the index says is gone.
        const bool hadChanges = folder->modified;
        folder->modified = false;
        LoadFolder(*folder, context);
        if (context.host != nullptr) {
            context.host->FolderReloaded(*folder);
            if (hadChanges) {
                context.host->ReportError(FolderChangedError(
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
            } else if (context.host != nullptr) {
                context.host->MessageDelivered(*folder, *m);
            }
        }
        if (stored == nullptr) {
            // Stored in the file; the next load indexes it.
            return added.empty() ? nullptr : added.back();
        }
    }
    // It is in the file now: its body is read back on demand.
    const bool shown = context.host != nullptr && context.host->ShownFolder() == folder;
    if (!shown) {
        ReleaseMessageBody(*stored);
    }
    if (context.host != nullptr) {
        if (!folder->countAll && name.find('\\') != std::string::npos) {
            context.host->ExpandParentOf(*folder);
        }
        context.host->MessageDelivered(*folder, *stored);
    }
    return stored;
}

bool StoreReceivedMessage(const StoreContext& context, std::string_view folderName,
                          std::unique_ptr<MailMessage> message) {
    return DeliverMessage(context, folderName, std::move(message)) != nullptr;
}

bool DeliverToShownFolder(const StoreContext& context, std::unique_ptr<MailMessage> message) {
    MailFolder* shown = context.host != nullptr ? context.host->ShownFolder() : nullptr;
    if (shown == nullptr) {
        return false;
    }
    const std::optional<std::string> name = FolderNameOfPath(context.mailboxDir, shown->path);
    if (!name) {
        return false;
    }
    return DeliverMessage(context, *name, std::move(message)) != nullptr;
}

}  // namespace corvina
