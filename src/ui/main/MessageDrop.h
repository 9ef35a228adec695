#pragma once
// Messages of the list dragged onto a folder, in the tree or on a
// child-folder row of the list itself: the drag data names them by key in
// the shown folder; the core copies or moves them.

class QDragMoveEvent;
class QDropEvent;
class QMimeData;

namespace corvina {

class MainContext;
struct FolderNode;

// Whether `data` carries messages of the list that `target` may take (not
// the shown folder, not the current profile's root).
bool CanDropMessages(MainContext& context, const QMimeData& data, const FolderNode& target);

// Copies (`copy`) or moves the dragged messages to `target`; another
// profile's root takes them into that profile's InBox. Returns how many
// the target took.
int DropMessages(MainContext& context, const QMimeData& data, FolderNode& target, bool copy);

// A drag over `target` (null: nothing there) is accepted as a move, or a
// copy with Ctrl, where the target may take the messages.
void AnswerMessageDrag(MainContext& context, QDragMoveEvent& event, const FolderNode* target);
// The drop itself. The move is done here, so the drag's source is told
// "copied" and removes nothing itself.
void DropMessagesOn(MainContext& context, QDropEvent& event, FolderNode* target);

}  // namespace corvina
