#pragma once
// Names of folders: the special folders, the rules a new folder name must
// pass, and the mapping between a folder name ("Work\Old", levels joined by
// a backslash as stored in Filter.DEF and in messages) and its files on disk
// (<mailbox dir>/Work/Old.mbx).

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvina {

enum class SpecialFolder { None, InBox, OutBox, Sent, Draft, Reminder, Trash };

// String-table ids of the display names of the special folders.
inline constexpr int kInBoxStringId = 400;
inline constexpr int kOutBoxStringId = 401;
inline constexpr int kSentStringId = 402;
inline constexpr int kDraftStringId = 403;
inline constexpr int kReminderStringId = 404;
inline constexpr int kTrashStringId = 405;

// Folder names and paths are compared without regard to (ASCII) case.
bool FolderNamesEqual(std::string_view a, std::string_view b);
// True when `name` equals `prefix` or lies below it ("Work" covers
// "Work\Old" but not "Workshop").
bool FolderNameIsWithin(std::string_view name, std::string_view prefix);

// The fixed English base name of a special folder ("InBox", "Sent"...), empty
// for None.
std::string_view SpecialFolderBaseName(SpecialFolder which);
int SpecialFolderStringId(SpecialFolder which);

// A base name reserved for a special folder (InBox, OutBox, Trash, Draft,
// Reminder, Sent in any case): never a user folder, at any depth.
bool IsSpecialBaseName(std::string_view baseName);

// Which special folder a full folder name denotes: "InBox", "OutBox",
// "Trash", "OutBox\Sent"... and the short forms "Sent", "Draft", "Reminder".
SpecialFolder SpecialFolderOfName(std::string_view folderName);

// "Sent", "Draft" and "Reminder" live below OutBox; other names unchanged.
std::string ResolveFolderName(std::string_view folderName);

// <mailboxDir>/<levels>.mbx for a folder name with "\" between levels;
// empty, "." and ".." directory levels are left out.
std::filesystem::path FolderNameToPath(const std::filesystem::path& mailboxDir,
                                       std::string_view folderName);
// The file on disk of a folder name: every level ("A\b\C") is matched
// against the entries that exist, ignoring case (an exact match first), so
// "lists" finds Lists.mbx and "work\old" finds Work/Old.mbx; a level that
// matches nothing keeps the name as given. Sent, Draft and Reminder resolve
// below OutBox. Every path to a folder file comes from here or from the
// folder tree's entry, never from FolderNameToPath of a typed name.
std::filesystem::path FolderFilePath(const std::filesystem::path& mailboxDir,
                                     std::string_view folderName);

// The folder name of a .mbx below mailboxDir ("Work\Old"), or nothing when
// the path is not a .mbx inside that directory.
std::optional<std::string> FolderNameOfPath(const std::filesystem::path& mailboxDir,
                                            const std::filesystem::path& mbxPath);

// The folder's control file: the .mbx path with the extension "ctl".
std::filesystem::path ControlFilePath(const std::filesystem::path& mbxPath);
// The directory of a folder's child folders: the .mbx path without ".mbx".
std::filesystem::path ChildDirectoryPath(const std::filesystem::path& mbxPath);

enum class FolderNameCheck {
    Ok,
    Empty,         // nothing left after trimming
    BadCharacter,  // < > * ? | \ / or a control byte
    ReservedName,  // a special folder's display or file name, "." or ".."
};

// Checks a label typed for a folder. `displayNames` are the special folders'
// names as shown in the current language. On success `trimmed` holds the
// name to use.
FolderNameCheck CheckFolderLabel(std::string_view label,
                                 const std::vector<std::string>& displayNames,
                                 std::string& trimmed);

// The first "NewBox%02x" (01 upward) in `dir` whose .mbx does not exist
// (compared ignoring case); empty when all 255 are taken.
std::string NextNewFolderBaseName(const std::filesystem::path& dir);

}  // namespace corvina
