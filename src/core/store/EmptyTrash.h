#pragma once
// Emptying the Trash: the attachment files of its messages that lie in the
// attachment directory are deleted as the user answers, then the Trash
// mailbox is cut to nothing.

namespace corvina {

class FolderTree;

enum class EmptyTrashResult {
    Emptied,
    Cancelled,  // Cancel in the attachment question: the Trash is unchanged
    Failed,     // no Trash, or its file could not be cut
};

EmptyTrashResult EmptyTrash(FolderTree& tree);

}  // namespace corvina
