#include "store/EmptyTrash.h"

#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "common/Bytes.h"
#include "store/FolderFileCheck.h"
#include "store/FolderHost.h"
#include "store/FolderLock.h"
#include "store/FolderNames.h"
#include "store/FolderStat.h"
#include "store/FolderTree.h"
#include "store/MailFolder.h"
#include "store/Mailbox.h"

namespace corvina {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kQuestion =
    "Do you want to delete this attachment file in the Trash box?";

// Only files inside <mailbox dir>/Attach are offered for deletion; a link
// that climbs out with ".." or names any other place is left alone.
bool InAttachDirectory(const fs::path& file, const fs::path& mailboxDir) {
    const std::string attach = (mailboxDir / "Attach").lexically_normal().string() + "/";
    const std::string p = file.lexically_normal().string();
    return p.size() > attach.size() && StartsWithNoCase(p, attach);
}

}  // namespace

std::string AttachmentQuestionDetails(std::string_view path, std::string_view from,
                                      std::string_view subject) {
    std::string text(path);
    text.append("\n\nFrom: ").append(from).append("\nSubject: ").append(subject);
    return text;
}

EmptyTrashResult EmptyTrash(FolderTree& tree) {
    FolderNode* node = tree.Special(SpecialFolder::Trash);
    if (!node)
        return EmptyTrashResult::Failed;
    MailFolder& trash = *node->folder;
    const StoreContext context = tree.Context();
    FolderHost* host = tree.Host();
    // Held until the file is emptied: a message another writer appended
    // meanwhile would be dropped without its attachments being asked about.
    std::string error;
    const std::optional<FolderLock> lock = FolderLock::Acquire(trash.path, &error);
    if (!lock) {
        if (host)
            host->ReportError("The Trash could not be locked for writing (" + error +
                              "); it was not emptied.");
        return EmptyTrashResult::Failed;
    }
    // Messages moved in but not saved yet are only in the index: their
    // attachments are asked about too.
    if (!trash.modified || trash.messages.empty()) {
        LoadFolder(trash, context);
    } else if (!CatchUpFolder(trash, context, &error)) {
        if (host)
            host->ReportError(error);
        return EmptyTrashResult::Failed;
    }

    bool deleteAll = false;
    for (const auto& message : trash.messages) {
        for (const auto& link : message->attachments) {
            if (!InAttachDirectory(link.path, tree.MailboxDir()))
                continue;
            std::error_code ec;
            if (!fs::exists(fs::symlink_status(link.path, ec)))
                continue;
            bool remove = deleteAll;
            if (!remove) {
                // Without anyone to ask, attachment files are kept.
                const ConfirmAnswer answer =
                    host ? host->AskDeleteAttachment(kQuestion, link.path.string(), message->from,
                                                     message->subject)
                         : ConfirmAnswer::No;
                if (answer == ConfirmAnswer::Cancel)
                    return EmptyTrashResult::Cancelled;
                if (answer == ConfirmAnswer::YesToAll)
                    deleteAll = true;
                remove = answer == ConfirmAnswer::Yes || answer == ConfirmAnswer::YesToAll;
            }
            if (remove)
                fs::remove(link.path, ec);
        }
    }

    std::error_code ec;
    if (fs::exists(trash.path, ec) && ::truncate(trash.path.c_str(), 0) != 0)
        return EmptyTrashResult::Failed;
    trash.ClearMessages();
    RecordFolderFileOnDisk(trash, 0);
    trash.modified = false;
    trash.total = 0;
    trash.unread = 0;
    if (host && host->ShownFolder() == &trash)
        host->FolderReset(trash);
    WriteFolderCounts(trash, 0, 0);
    return EmptyTrashResult::Emptied;
}

}  // namespace corvina
