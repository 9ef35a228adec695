#include "store/EmptyTrash.h"

#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "common/Bytes.h"
#include "store/FolderFileCheck.h"
#include "store/FolderLock.h"
#include "store/FolderNames.h"
#include "store/FolderStat.h"
#include "store/FolderTree.h"
#include "store/MailFolder.h"
#include "store/MailStore.h"
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

// The "Deleting Attachments" box: Yes, Yes to All, No or Cancel; Enter
// (and a front end without a user) keeps the file.
ConfirmAnswer AskDeleteAttachment(MailStore& store, const std::string& path,
                                  const MailMessage& message) {
    UserPrompt* prompt = store.Prompt();
    if (prompt == nullptr)
        return ConfirmAnswer::No;
    Question question;
    question.text = std::string(kQuestion) + "\n\n" +
                    AttachmentQuestionDetails(path, message.from, message.subject);
    question.buttons = ConfirmButtons::YesAllNoCancel;
    question.preset = ConfirmAnswer::No;
    question.caption = kDeletingAttachmentsCaption;
    return prompt->Ask(question);
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
    MailStore* store = tree.Store();
    // Held until the file is emptied: a message another writer appended
    // meanwhile would be dropped without its attachments being asked about.
    std::string error;
    const std::optional<FolderLock> lock = FolderLock::Acquire(trash.path, &error);
    if (!lock) {
        if (store)
            store->ReportError("The Trash could not be locked for writing (" + error +
                               "); it was not emptied.");
        return EmptyTrashResult::Failed;
    }
    // Messages moved in but not saved yet are only in the index: their
    // attachments are asked about too.
    if (!trash.modified || trash.messages.empty()) {
        LoadFolder(trash, context);
    } else if (!CatchUpFolder(trash, context, &error)) {
        if (store)
            store->ReportError(error);
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
                    store ? AskDeleteAttachment(*store, link.path.string(), *message)
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
    if (store)
        store->FolderReset(trash);
    WriteFolderCounts(trash, 0, 0);
    return EmptyTrashResult::Emptied;
}

}  // namespace corvina
