#pragma once
// What the store tells the views about its folders: the tree, the message
// list and the viewer each add a watcher to the store and adjust what they
// show. Calls come on the thread that owns the folder files, while the
// change is being made; a watcher keeps MessageRefs, never the pointers.

#include "message/MailMessage.h"

namespace corvina {

class MailFolder;

class FolderWatcher {
public:
    virtual ~FolderWatcher() = default;

    // Counts, flags or the unread state of the folder changed: redraw its
    // tree item and its ancestors'.
    virtual void FolderChanged(MailFolder& folder) {}
    // A message was stored into the folder (a nested folder's parent item
    // may open to show it).
    virtual void MessageAdded(MailFolder& folder, const MessageRef& message) {}
    // Flags, priority or header values of a stored message changed.
    virtual void MessageChanged(MailFolder& folder, const MessageRef& message) {}
    // A message left the folder (moved, deleted or filtered away).
    virtual void MessageRemoved(MailFolder& folder, const MessageRef& message) {}
    // The folder's index was read or rebuilt from its file: every message
    // record of it is new, a list showing it refills.
    virtual void FolderReloaded(MailFolder& folder) {}
    // The folder's messages were dropped wholesale (Trash emptied) or the
    // folder is about to be deleted: a list showing it lets go of it.
    virtual void FolderReset(MailFolder& folder) {}
};

}  // namespace corvina
