#pragma once
// Operations of the folder tree: new folder, rename, delete, the Folder
// Property dialog's OK, and "Save Current Status". They change the files
// below the mailbox directory and the tree model together.

#include <string>
#include <string_view>

namespace corvina {

class FolderTree;
struct FolderNode;

// Command ids of the folder tree.
inline constexpr int kCmdNewFolder = 42787;
inline constexpr int kCmdDeleteFolder = 42798;
inline constexpr int kCmdFolderProperty = 32857;
inline constexpr int kCmdEmptyTrash = 32845;
inline constexpr int kCmdSaveCurrentStatus = 32859;
inline constexpr int kDeleteFolderStringId = 57684;

// A new empty folder "NewBoxNN" as the last child of the selected node's
// folder (in the mailbox directory when the selection is fixed or a root).
// Returns its node, or null when no file could be created.
FolderNode* NewFolder(FolderTree& tree, FolderNode* selected);

enum class RenameResult {
    Renamed,
    Unchanged,   // same name: nothing to do
    Refused,     // fixed folder, empty name, forbidden character, reserved name
    NameTaken,   // a folder of that name exists already
    MoveFailed,  // the files could not be moved; nothing changed
};

// Renames a user folder to `newLabel`: moves its .mbx, its child directory
// (undoing the first move if that fails) and its control file, updates the
// paths of the folders inside, rewrites the rules of Filter.DEF that point
// to it or below, and re-sorts its siblings. `filtersRewritten` (if given)
// tells whether Filter.DEF changed, so that the caller reloads the rules.
RenameResult RenameFolder(FolderTree& tree, FolderNode& node, std::string_view newLabel,
                          bool* filtersRewritten = nullptr);

// What to tell the user when a rename to `newLabel` was not done (why, and
// what to do); empty for Renamed and Unchanged.
std::string RenameProblemText(const FolderTree& tree, RenameResult result,
                              std::string_view newLabel);

// Asks, then deletes the folder's .mbx, .ctl and (kind 1) its directory with
// everything in it, and removes the node. Returns the node to select next
// (the next sibling that is a folder, else the previous one), or null; sets
// `deleted` (if given) to whether anything was deleted.
FolderNode* DeleteFolder(FolderTree& tree, FolderNode& node, bool* deleted = nullptr);

// The five properties of the Folder Property dialog.
struct FolderProperties {
    std::string newTemplate, repTemplate, fwdTemplate;
    std::string defAddrGroup = "!Default";
    bool removeHead = false;
    bool operator==(const FolderProperties&) const = default;
};

FolderProperties PropertiesOf(const FolderNode& node);

// OK of the Folder Property dialog: stores the properties in the folder and
// its control file, renames when `name` differs, and with `applyToSubFolders`
// copies them to every folder below a folder of kind 1.
RenameResult ApplyFolderProperty(FolderTree& tree, FolderNode& node,
                                 const FolderProperties& properties, std::string_view name,
                                 bool applyToSubFolders);

// For every folder: writes `Expanded` (kind 1 only) and saves it. False when
// some folder could not be written.
bool SaveCurrentStatus(FolderTree& tree);

}  // namespace corvina
