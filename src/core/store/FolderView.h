#pragma once
// What the folder tree widget shows and allows, decided here so it can be
// tested: each item's picture, the context menu, which commands are
// enabled, and what opening or leaving an item does.

#include <string>
#include <vector>

#include "app/AccountProfile.h"

namespace corvina {

class FolderTree;
struct FolderNode;

// Pictures of the tree items; each comes in a selected and an unselected
// form, which the widget picks.
enum class FolderIcon {
    AccountRoot,
    CountAll,
    CountAllUnread,
    Trash,
    TrashUnread,
    Fixed,  // InBox
    FixedUnread,
    User,
    UserUnread,
    UserUnreadBelow,  // no unread mail of its own, but in a folder below it
};

// Sent never shows the unread form (everything in it counts as unread).
FolderIcon ChooseFolderIcon(FolderTree& tree, FolderNode& node);

// The number shown beside a folder's label: its unread messages (for
// OutBox, Draft and Reminder every message; none for Sent and the roots),
// from the index, the known counts or the control file; 0 shows none.
int UnreadCountShown(FolderTree& tree, FolderNode& node);

// One context-menu item; id 0 is a separator.
struct FolderMenuItem {
    int id;
    std::string text;
};

// The tree's context menu, ending with the configured profiles.
std::vector<FolderMenuItem> FolderContextMenu(const ProfileTable& profiles);

// Delete folder needs the focus in the tree and a folder that is not fixed;
// Folder Property needs a user folder; other commands are always enabled.
bool FolderCommandEnabled(int command, const FolderNode* selected, bool treeHasFocus);

// Keyboard selection opens the folder after this delay (restarted by every
// further key); a mouse click opens it at once.
inline constexpr int kKeyboardOpenDelayMs = 500;

struct FolderOpenAction {
    enum Kind { None, SwitchProfile, ShowFolder } kind = None;
    int command = 0;  // SwitchProfile: 501 + profile index
};

// Opening `node`: another profile's root switches to that profile (not while
// a transfer runs); anything else fills the message list from the folder.
FolderOpenAction OpenFolderNode(const FolderTree& tree, const FolderNode& node,
                                bool transferRunning);

// The selection leaves `node`: a folder without a child directory whose
// file exists is saved. True when it was written.
bool LeaveFolderNode(FolderTree& tree, FolderNode& node);

}  // namespace corvina
