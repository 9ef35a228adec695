#pragma once
// One address-book group: the file "<group name>.adr" in the address-book
// directory. Lines end in CR LF (LF accepted). An optional first line
// "(nickname)" names the group; every other line is one entry of six
// tab-separated fields: mail address, name, comment, nickname, related URL,
// PGP user id. A field written "." is empty; missing fields are empty; a
// line without a mail address is ignored.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvina {

inline constexpr std::string_view kAddressParenthesisText =
    "A mail address cannot begin with \"(\": the address book would read the line as the "
    "group's nickname.\nPut the text in parentheses into the Comment field.";
inline constexpr std::string_view kAddressDotText =
    "A mail address cannot be \".\": the address book reads it as an empty field.";
inline constexpr std::string_view kGroupNicknameText =
    "A group nickname cannot contain \")\", a tab or a line break.";

struct AddressEntry {
    enum class Kind { Address, Group };
    Kind kind = Kind::Address;
    bool deleted = false;
    std::string address;
    std::string name;
    std::string nickname;
    std::string comment;
    std::string pgpUserId;
    std::string url;
};

class AddressGroup {
public:
    AddressGroup() = default;
    explicit AddressGroup(std::filesystem::path file) : path(std::move(file)) {}

    // The one lookup of a group by the name a user writes ("@friends",
    // --addresses fam, the Group drop-down): the group file of `directory`
    // whose name matches `groupName` without regard to case (in every
    // script of the working code page) and whose ".adr" is in any case. A
    // file named exactly so wins over one that matches only when folded.
    // nullopt when there is none, or for a name that could leave the
    // directory (a "/" or NUL in it, ".", ".." or empty).
    static std::optional<std::filesystem::path> FileFor(const std::filesystem::path& directory,
                                                        std::string_view groupName);
    // Where a new group file of that name goes: "<directory>/<name>.adr";
    // nullopt for a name that could leave the directory.
    static std::optional<std::filesystem::path> NewFileFor(const std::filesystem::path& directory,
                                                           std::string_view groupName);

    // Whether a file name is a group file's: something before ".adr" in
    // any case.
    static bool IsGroupFileName(std::string_view fileName);
    // The group name of a file name: without its ".adr" in any case.
    static std::string NameOfFile(std::string_view fileName);
    // Whether two group names are the same to a user: equal without regard
    // to case in the working code page.
    static bool SameName(std::string_view a, std::string_view b);

    // The group name: the file name without ".adr".
    std::string Name() const;

    // Reads the file into nickname and entries, remembering its last-write
    // time. False when it cannot be read: the group is then without entries.
    bool Load();

    // The group line's nickname: after "(" up to ")", a tab or the end.
    static std::string NicknameOfLine(std::string_view line);
    // One entry line; nullopt when it has no mail address.
    static std::optional<AddressEntry> ParseEntryLine(std::string_view line);

    // The mail addresses of the entries in file order.
    std::vector<std::string> Addresses() const;

    // The line of an entry: six tab-separated fields, each empty one as ".".
    static std::string EntryLine(const AddressEntry& entry);

    // Why an entry cannot be kept in a group file (its line would read back
    // as something else), or empty when it can: a mail address beginning
    // with "(" would be taken for the group line, and one that reads "."
    // for an empty field.
    static std::string_view EntryProblem(const AddressEntry& entry);
    // The same for a group nickname: the group line ends at ")", a tab or
    // the line end.
    static std::string_view NicknameProblem(std::string_view nickname);

    // Reads the file again only when it changed on disk since it was
    // loaded (or was never loaded). False when it had to be read and could
    // not be.
    bool LoadIfChanged();

    // When changed: rewrites the file (the group line when the nickname is
    // not empty, then every entry not deleted, lines ending in CR LF),
    // remembers its new last-write time and clears the changed flag. A file
    // that cannot be written keeps the flag, and so does a group holding a
    // nickname or entry with an EntryProblem (the file is left as it was).
    // True when nothing was left unwritten.
    bool Save();

    std::filesystem::path path;
    std::filesystem::file_time_type lastWrite{};
    bool loaded = false;
    bool changed = false;
    std::string nickname;
    std::vector<AddressEntry> entries;
};

}  // namespace corvina
