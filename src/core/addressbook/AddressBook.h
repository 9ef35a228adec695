#pragma once
// The address book: every group file "<name>.adr" of the directory
// "AddrBook" under the home directory, and the operations of the address
// book window on them (adding and overwriting addresses, the nickname
// check, new, renamed and deleted groups and entries). The window draws
// this model; it decides nothing itself.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "addressbook/AddressGroup.h"

namespace corvina {

class ConfigStore;
class UserPrompt;

inline constexpr std::string_view kDefaultGroupName = "!Default";

// String ids of the address book's texts.
inline constexpr int kAddressColumnsText = 29;  // "Name,Mail Address,Comment"
inline constexpr int kAddressDeleteQuestion = 30;
inline constexpr int kNicknameExistsText = 115;
inline constexpr int kAddressExistsQuestion = 119;

// What a nickname names: an entry of a group, or (entry null) the group.
struct NicknameMatch {
    AddressGroup* group = nullptr;
    AddressEntry* entry = nullptr;
};

// The text put into a recipient field: "@\"group\"" for a group item
// (its name in `name`), otherwise "name <address>" with the name quoted
// when it holds one of ",<>():;@/?+*|" and is not quoted already; an entry
// without a name gives its address alone.
std::string FormatRecipient(const AddressEntry& entry);

class AddressBook {
public:
    enum class AddResult { kAdded, kOverwritten, kKept, kFailed };

    // `prompt` asks the questions and gives the notices; without one every
    // question is answered No and notices are dropped.
    AddressBook(std::filesystem::path directory, UserPrompt* prompt)
        : directory_(std::move(directory)), prompt_(prompt) {}

    // home / "AddrBook".
    static std::filesystem::path DirectoryUnder(const std::filesystem::path& home);
    const std::filesystem::path& Directory() const { return directory_; }

    // Opening the window: creates the directory when missing, loads groups.
    bool Open();

    // Builds the group list from "*.adr" (in name order): groups already
    // listed are kept as they are, new files are added with the nickname of
    // their first line, groups whose file is gone and that hold no unsaved
    // change are dropped.
    void LoadGroups();
    // Pointers to listed groups stay valid while they are listed.
    const std::vector<std::unique_ptr<AddressGroup>>& Groups() const { return groups_; }
    // The listed group a name means: named exactly so, else the first whose
    // name is the same without regard to case (AddressGroup::SameName).
    AddressGroup* FindGroup(std::string_view name);

    // Reads the group's entries when its file changed since it was loaded.
    bool LoadGroup(AddressGroup& group) { return group.LoadIfChanged(); }
    bool SaveGroup(AddressGroup& group) { return group.Save(); }
    // Closing the window: every changed group is saved. False when one
    // could not be written (it keeps its changed flag).
    bool SaveAll();

    // The entry or group whose nickname equals `nickname` (ignoring case),
    // loading groups as needed.
    std::optional<NicknameMatch> FindNickname(std::string_view nickname);

    // The nickname check of the entry and group dialogs: false (after the
    // notice "The nickname already exists") when another item than `self`
    // carries it. `self` is the edited entry, or the edited group (entry
    // null), or nothing for a new item.
    bool CheckNickname(std::string_view nickname, const NicknameMatch& self = {});

    // Whether the entry can be kept in a group file; otherwise the user is
    // told why (AddressGroup::EntryProblem) and false returned, so the
    // dialog stays open.
    bool CheckEntry(const AddressEntry& entry);

    // A new address for the group `groupName` (empty: the first group;
    // "!Default" is created when no group exists). An entry with the same
    // mail address (ignoring case) is overwritten only when the user says
    // Yes to "The mail address already exists...". The group is marked
    // changed, not saved. An entry that fails CheckEntry is refused
    // (kFailed, the user told why).
    AddResult AddAddress(std::string_view groupName, const AddressEntry& entry,
                         AddressGroup** target = nullptr);

    // New group: a listed group only gets the new nickname; otherwise its
    // file is created with the line "(nickname)". The list is reloaded.
    // Returns the group, or nullptr for a name that cannot be a file name, a
    // nickname the group line cannot hold (the user is told why) or a file
    // that cannot be created.
    AddressGroup* NewGroup(std::string_view name, std::string_view nickname);

    // Properties of a group: a new name renames its file (first saving any
    // pending change). False when the name is taken, the nickname cannot be
    // held (the user is told why) or the move fails.
    bool RenameGroup(AddressGroup& group, std::string_view newName, std::string_view nickname);

    // Delete: asks "Are you sure you want to delete the selected item";
    // on Yes deletes the files of `groupNames`, marks `entries` (of `shown`)
    // deleted, saves `shown` and reloads the list when a group went. False
    // when nothing was selected or the user said No.
    bool DeleteSelected(AddressGroup* shown, const std::vector<AddressEntry*>& entries,
                        const std::vector<std::string>& groupNames);

    // The Group drop-down of the "Mail Address" dialog: group names (file
    // name up to its first "."), creating the caller's group file when none
    // exists; nullopt when that fails (the dialog closes as cancelled).
    struct GroupChoice {
        std::vector<std::string> names;
        int selected = 0;
    };
    std::optional<GroupChoice> GroupChoices(std::string_view callerGroup);

private:
    bool CheckGroupNickname(std::string_view nickname);

    std::filesystem::path directory_;
    UserPrompt* prompt_;
    std::vector<std::unique_ptr<AddressGroup>> groups_;
};

// The To, Cc and Bcc lists collected in the window.
class RecipientLists {
public:
    enum class List { kTo, kCc, kBcc };

    void Append(List list, const std::vector<const AddressEntry*>& selected);
    // Removes the lines at `indices` of a list ("<<Delete").
    void Remove(List list, std::vector<std::size_t> indices);
    void Clear(List list) { Lines(list).clear(); }
    std::vector<std::string>& Lines(List list);

    // Only one of Cc and Bcc shows at a time; its label.
    bool showBcc = false;
    std::string_view SecondLabel() const { return showBcc ? "[Bcc]" : "[Cc]"; }

    // A field's text for the compose window ("Set to Mail").
    std::string FieldText(List list) const;

private:
    std::vector<std::string> to_, cc_, bcc_;
};

// "AddressSort" (column sorted by, -1 = file order) and "AddrHeadW%d".
struct AddressBookLayout {
    int sortColumn = -1;
    std::vector<int> columnWidths;  // missing values stay as given

    void Load(const ConfigStore& config, int columns, int defaultWidth);
    void Save(ConfigStore& config) const;
};

}  // namespace corvina
