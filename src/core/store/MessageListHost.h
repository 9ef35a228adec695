#pragma once
// What the message list model needs from the window that draws it (or the
// terminal front end, or a test): the viewer, the count notices to the main
// window and the tree items to refresh. Questions go through StoreHost.

#include "store/StoreHost.h"

namespace corvina {

class MailFolder;
class MailMessage;

// The notice to the main window (WM_USER+1024): one message of the shown
// folder became read, became unread, or the counts changed otherwise.
inline constexpr int kMsgCountsChanged = 1024;
inline constexpr int kCountsBecameRead = 1;
inline constexpr int kCountsBecameUnread = 0;
inline constexpr int kCountsChanged = -1;

class MessageListHost : public StoreHost {
public:
    // Show the message in the viewer with its attachments in the
    // attachment list (its body is loaded).
    virtual void ShowMessage(MailMessage& message) = 0;
    // Empty the viewer and the attachment list.
    virtual void ClearViewer() = 0;
    // The main window adjusts the shown folder's unread count (for
    // kCountsBecameRead / kCountsBecameUnread), marks it modified and
    // refreshes its tree item and every ancestor's.
    virtual void PostCountsChanged(int change) = 0;
    // Refresh the folder's tree item (bold state and counts).
    virtual void RefreshFolderItem(MailFolder& folder) {}
};

}  // namespace corvina
