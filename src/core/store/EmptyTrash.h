#pragma once
// Emptying the Trash: the attachment files of its messages that lie in the
// attachment directory are deleted as the user answers, then the Trash
// mailbox is cut to nothing.

#include <string>
#include <string_view>

namespace corvina {

class FolderTree;

inline constexpr const char* kDeletingAttachmentsCaption = "Deleting Attachments";

enum class EmptyTrashResult {
    Emptied,
    Cancelled,  // Cancel in the attachment question: the Trash is unchanged
    Failed,     // no Trash, or its file could not be cut
};

// Asks about every linked file inside <mailbox dir>/Attach (the "Deleting
// Attachments" box through the store's prompt); files elsewhere are never
// offered or deleted. The Trash's watchers are told FolderReset.
EmptyTrashResult EmptyTrash(FolderTree& tree);

// The text the "Deleting Attachments" dialog shows under its question: the
// path, an empty line, "From: " and the sender, "Subject: " and the subject.
std::string AttachmentQuestionDetails(std::string_view path, std::string_view from,
                                      std::string_view subject);

}  // namespace corvina
