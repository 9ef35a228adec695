#pragma once
// The message list as a model: the rows the list widget draws for the
// folder selected in the tree (its child folders, then its messages in
// display order), the four column texts and the item pictures, sorting by
// column, the selection and what selecting, marking, deleting and double
// clicking do. The widget only draws rows and forwards clicks.

#include <array>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "store/FolderWatcher.h"
#include "store/Mailbox.h"

namespace corvina {

class MailFolder;
class MailMessage;
class ListWatcher;
class MailStore;

// String ids of the list.
inline constexpr int kColumnsStringId = 105;          // "Subject,Sender,Date,Lines"
inline constexpr int kCountAllColumnsStringId = 106;  // "Subject,Recipient,Date,Lines"
inline constexpr int kListStatusStringId = 129;       // "Unread:%5d / Total:%5d"
inline constexpr int kDeleteFileStringId = 61452;     // "Do you want to delete the file?"
inline constexpr int kConfirmDeleteStringId = 61458;  // "Are you sure you want to delete?"

// Commands on the selection.
inline constexpr int kCmdMarkUnread = 110;
inline constexpr int kCmdMarkRead = 111;

// Sort keys: natural order, ascending by column c (0..3), descending (100 + c).
inline constexpr int kNaturalOrder = -1;
inline constexpr int kDescending = 100;

// Where a double click hit a row: its item picture (the widget knows where
// that is drawn) or anywhere else.
enum class RowPart { Picture, Text };

enum class ItemPicture { Folder, Viewed, OwnMessage, Replied, Unread, Read, Error };

// What the list needs beyond the folder it shows.
struct MessageListContext {
    std::filesystem::path mailboxDir;  // the current profile's mailbox directory
    MailStore* store = nullptr;        // may be null: no questions (nothing is deleted), no notices
    std::string profileAddress;        // the current profile's own address
    std::string profileAddrGroup;      // the profile's default address group
    bool alwaysRead = false;           // AlwaysRead: selecting marks read at once
    MailFolder* trash = nullptr;       // where Delete moves messages
    int* msgThread = nullptr;          // the working MsgThread value, when kept elsewhere
};

// One row: a child folder or a message.
struct MessageListItem {
    MailMessage* message = nullptr;
    // The message's key: a record removed (and freed) by someone else is
    // found by it without being touched.
    std::uint64_t key = 0;
    MailFolder* folder = nullptr;  // child-folder rows
    std::string label;             // child-folder rows: the tree label
    int depth = 0;                 // thread depth of a message row
    int threadRow = 0;             // its place in the thread display the list was filled with
    bool selected = false;
    // The Date value parsed once.
    bool dateParsed = false;
    std::time_t dateValue = 0;
};

// What a double click asks the windows to do.
struct DoubleClickAction {
    enum Kind {
        None,
        SelectFolder,    // select `folder` in the tree
        PriorityCycled,  // the message's priority changed; repaint the row
        ReEdit,          // open `removed` in a compose window, linked to `answered` (may be null)
        OpenAsNew,       // open a copy of `message` in a compose window as a new message
        OpenViewer,      // show `message` read-only in a separate viewer window
    };
    Kind kind = None;
    MailFolder* folder = nullptr;
    MailMessage* message = nullptr;  // body loaded
    std::unique_ptr<MailMessage> removed;
    MailMessage* answered = nullptr;
};

// The part of the list's width each of the four columns takes while no
// widths are stored (column 0's stored width is 0): a third, a third, two
// ninths, a ninth. Stored widths belong to the widget (the list's settings)
// and pass through the core untouched.
struct ColumnShare {
    int numerator;
    int denominator;
};
inline constexpr std::array<ColumnShare, 4> kDefaultColumnShares{{{1, 3}, {1, 3}, {2, 9}, {1, 9}}};

// The main window's side of the count notice: adjusts the folder's unread
// count for a message that became read or unread and marks it modified.
void ApplyCountsChanged(MailFolder& folder, int change);

// The message's Date value as the list shows it: local time in the
// locale's "%c" form; empty for an empty Date.
std::string FormatListDate(std::string_view date, std::time_t parsed);

// A drop on another profile's account root: appends a copy of each message
// to that profile's InBox.mbx and copies each linked attachment file into
// its Attach directory (the same name when free, else "%02x_<name>" with a
// counter below 256; an existing file is never overwritten). Returns the
// messages that were stored; the others stay where they are.
std::vector<MailMessage*> CopyToProfileInBox(const std::vector<MailMessage*>& messages,
                                             const std::filesystem::path& targetMailboxDir);

// The list is also one of the store's folder watchers (the front end adds
// it): when the shown folder's records are replaced or dropped, it lets go
// of every pointer into them before anything else can use one.
class MessageList : public FolderWatcher {
public:
    explicit MessageList(MessageListContext context);

    MessageListContext& Context() { return context_; }

    // Watchers are told every change of the rows, the viewed message and
    // the counts; the store is told what the list and the viewer show.
    // A watcher must be removed before it is destroyed.
    void AddWatcher(ListWatcher* watcher);
    void RemoveWatcher(ListWatcher* watcher);

    // Shows `folder` (null: nothing): reads its Thread key, loads it when
    // needed, lists its child folders and then its messages in display
    // order. A folder whose file cannot be loaded shows its child folders
    // only. The selected message stays selected when the same folder is
    // shown again.
    void FillMessageList(MailFolder* folder);
    // Writes the folder's Thread key and shows it again.
    void SwitchThreading(bool threaded);

    MailFolder* Folder() const { return folder_; }
    bool Threaded() const { return threaded_; }
    bool CountAll() const;
    // The address group composing uses while this folder is shown.
    const std::string& AddressGroup() const { return addressGroup_; }

    const std::vector<MessageListItem>& Items() const { return items_; }
    int Count() const { return static_cast<int>(items_.size()); }
    // The row of a message, or -1.
    int RowOf(const MailMessage* message) const;

    // Captions with the sort mark (" <" ascending, " >" descending); empty
    // for an account root or no folder.
    std::vector<std::string> ColumnCaptions() const;
    std::string ColumnText(int row, int column);
    ItemPicture Picture(int row) const;

    int SortKey() const { return sortKey_; }
    // A click on a column header: ascending, then descending, then back to
    // the natural order.
    void ClickColumn(int column);

    // Adds a message stored into the shown folder at `row` (-1: above the
    // other messages); marks it dirty and the folder modified. Returns its
    // row, or -1 when `folder` is not the one shown.
    int InsertMessageItem(MailFolder& folder, MailMessage& message, int row = -1);

    // Selection: Select makes `row` the only selected row; AddToSelection
    // adds one. Both do what selecting an item does.
    void Select(int row);
    void AddToSelection(int row);
    void ClearSelection();
    std::vector<int> SelectedRows() const;
    const MailMessage* ViewedMessage() const { return viewed_; }

    // Commands 111 and 110 on the selected messages (not in a count-all
    // folder). True when the command applied.
    bool MarkRead();
    bool MarkUnread();
    // The Delete key: into Trash, or from Trash for good after asking.
    // True when messages were deleted.
    bool DeleteSelected();

    // The selected messages, in row order (what a drag carries).
    std::vector<MailMessage*> SelectedMessages() const;
    // After a move by drag and drop: the moved messages leave the shown
    // folder as in the permanent delete, without the attachment question.
    void RemoveDroppedMessages(const std::vector<MailMessage*>& messages);

    // "Unread:%5d / Total:%5d" for the shown folder.
    std::string StatusText() const;

    // A double click on `part` of `row`.
    DoubleClickAction DoubleClick(int row, RowPart part, bool ctrl);

    // FolderWatcher: a message left the shown folder (its row goes, the
    // viewer empties when it showed it); the shown folder was read again
    // (the rows are filled anew, nothing selected) or emptied or is going
    // away (the list shows nothing), the viewer emptied first.
    void MessageRemoved(MailFolder& folder, const MessageRef& message) override;
    void FolderReloaded(MailFolder& folder) override;
    void FolderReset(MailFolder& folder) override;

private:
    StoreContext Store() const;
    void OnSelected(MessageListItem& item);
    void SortRows();
    std::time_t DateOf(MessageListItem& item);
    void RemoveRows(const std::vector<MailMessage*>& messages);
    void SelectAfterDelete(int oldRow);
    bool DeleteIntoTrash(const std::vector<MailMessage*>& messages);
    bool DeleteFromTrash(const std::vector<MailMessage*>& messages);
    void DiscardMessages(const std::vector<MailMessage*>& messages);
    bool FolderIsSpecial(int which) const;
    void FillRows(MailFolder* folder);
    void DropRows();
    void SetViewed(MailMessage* message);
    void TellSelectionChanged();
    void TellReset();
    void FolderChanged(MailFolder& folder);
    void Tell(const std::function<void(ListWatcher&)>& call);

    MessageListContext context_;
    MailFolder* folder_ = nullptr;
    bool threaded_ = false;
    int sortKey_ = kNaturalOrder;
    std::string addressGroup_;
    std::vector<MessageListItem> items_;
    MailMessage* viewed_ = nullptr;
    std::vector<ListWatcher*> watchers_;
};

}  // namespace corvina
