// Storing finished messages into folders and making them durable.
#include <mutex>
#include <set>
#include <string>

#include "common/AtomicFile.h"
#include "store/FolderNames.h"
#include "store/MailFolder.h"
#include "store/MailMessage.h"
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
    if (folder->messages.empty() && !folder->modified) {
        LoadFolder(*folder, context);
    }
    const int oldTotal = folder->total;
    const int oldUnread = folder->unread;
    const bool oldModified = folder->modified;
    MailMessage* stored = AddMessage(*folder, std::move(message), context);
    if (!AppendToFolderFile(*stored, name, context)) {
        // Not in the file, so not in the index either.
        folder->messages.pop_back();
        folder->total = oldTotal;
        folder->unread = oldUnread;
        folder->modified = oldModified;
        return nullptr;
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
