#pragma once
// What the message list model tells the widgets that show it: the list
// widget's Qt model turns row notices into row signals, the viewer follows
// the viewed message, the main window takes the count notices. Calls come
// on the thread that owns the folder files, after the rows changed.

namespace corvina {

class MailMessage;

// The count notice to the main window (WM_USER+1024): one message of the
// shown folder became read, became unread, or the counts changed otherwise.
inline constexpr int kMsgCountsChanged = 1024;
inline constexpr int kCountsBecameRead = 1;
inline constexpr int kCountsBecameUnread = 0;
inline constexpr int kCountsChanged = -1;

class ListWatcher {
public:
    virtual ~ListWatcher() = default;

    // Rows [first, first + count) are new; later rows moved down.
    virtual void RowsInserted(int first, int count) {}
    // Rows [first, first + count) went away; later rows moved up.
    virtual void RowsRemoved(int first, int count) {}
    // What rows [first, first + count) show changed (flags, picture, text).
    virtual void RowsChanged(int first, int count) {}
    // Every row may be new (another folder, a new order): read them again.
    virtual void ListReset() {}
    // The message the viewer shows, body loaded, with its attachments;
    // null: empty the viewer and the attachment list.
    virtual void ViewedChanged(const MailMessage* message) {}
    // The main window adjusts the shown folder's unread count (for
    // kCountsBecameRead / kCountsBecameUnread, see ApplyCountsChanged).
    virtual void CountsChanged(int change) {}
};

}  // namespace corvina
