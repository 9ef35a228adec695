#pragma once
// The per-user settings store: one INI file that stands in for the
// registry area "Software\Talvern\Corvina". A section is a sub-key
// ("Settings", "Users\3", "MimeType\image/jpeg"), an entry is a value of
// that key. Both the client and moutil read the same file.
//
// File format (also accepted when written by hand):
//   [Users\3]
//   Account = Work
//   ; a comment line, also "#"
// - LF or CR LF line ends; blanks around "=" and around names are ignored.
// - Section and value names compare without regard to (ASCII) case; the
//   spelling first seen is kept. A repeated value name: the last one wins.
//   A repeated section header continues the earlier section.
// - A value containing "=" is kept whole (only the first "=" splits).
// - Integers are written in decimal; reads also accept a sign and "0x"
//   hex; the unsigned 32-bit range wraps to int like a registry DWORD.
//   Anything else reads as the caller's default.
// - String values are stored as they are, except a value that holds a
//   control byte (other than tab) or DEL, starts or ends with a blank or
//   tab, or starts with a double quote. Such a value is written in double
//   quotes, with backslash escapes inside the quotes only:
//   \\  \"  \r  \n  \t  \xHH. A value read as "..." (quote first and
//   last) is unescaped the same way; unknown escapes stay as written.
//   Backslashes in plain values (folder names, paths) are never touched.
//
// Writes change the store in memory; Save() puts the whole file on disk
// atomically (temporary file, fsync, rename, mode 0600) and only when
// something actually changed, so writing back an unchanged value leaves
// the file untouched byte for byte. A caller is durable once Save()
// returned true. Lines of a hand-written file that were not changed
// (comments included) are written back as they were, with two exceptions
// when the file is rewritten: every line ends as the first line did (LF
// or CR LF), and the lines of a repeated section move up into its first
// occurrence.
//
// Not thread-safe: used from one thread at a time.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace corvina {

class ConfigStore {
public:
    // An empty store without a file; Save() fails until SetPath().
    ConfigStore() = default;
    explicit ConfigStore(std::filesystem::path file);

    // $CORVINA_CONFIG when set and non-empty, else
    // $XDG_CONFIG_HOME/Talvern/Corvina.ini (XDG_CONFIG_HOME used only when
    // absolute), else ~/.config/Talvern/Corvina.ini.
    static std::filesystem::path DefaultPath();

    const std::filesystem::path& Path() const { return path_; }
    void SetPath(std::filesystem::path file) { path_ = std::move(file); }

    // Reads the file at Path(), replacing what is in memory. A missing
    // file is an empty store (true). An unreadable or oversized file
    // leaves the store empty and returns false; Save() then refuses to
    // write, so a file that could not be read is never overwritten.
    bool Load();
    // Parses text as if it were the file's content (never fails; lines
    // that are not understood are kept as they are and ignored).
    void LoadFromText(std::string_view text);

    // Writes the file when the store changed since the last Load()/Save().
    // Creates the missing directories of the path (mode 0700). True when
    // the file on disk matches the store afterwards.
    bool Save();
    // The file's content as Save() would write it.
    std::string ToText() const;
    bool IsModified() const { return modified_; }

    int GetInt(std::string_view section, std::string_view key, int defaultValue) const;
    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view defaultValue = {}) const;
    // The value (unescaped) when present.
    std::optional<std::string> FindValue(std::string_view section, std::string_view key) const;
    bool HasValue(std::string_view section, std::string_view key) const;
    // True when the section exists (even without values) or has sub-keys.
    bool HasKey(std::string_view section) const;

    // False only for names that cannot be stored: an empty name, CR, LF or
    // NUL in a name, "]" in a section name, "=" in a value name, a value
    // name starting with "[", ";" or "#", or blanks around a name. Setting
    // the value a name already has changes nothing.
    bool SetInt(std::string_view section, std::string_view key, int value);
    bool SetString(std::string_view section, std::string_view key, std::string_view value);

    // Removes one value (every duplicate of it). False when it was absent.
    bool DeleteValue(std::string_view section, std::string_view key);
    // Removes the key, its values and every key below it ("MimeType"
    // removes "MimeType\image/jpeg" too). False when nothing was there.
    bool DeleteKey(std::string_view key);

    // Names of the keys one level below key, in the order they first
    // appear in the file: SubKeys("MimeType") -> {"image/jpeg", ...}.
    // An empty key lists the top-level keys.
    std::vector<std::string> SubKeys(std::string_view key) const;
    // Value names of a section, in file order, each once.
    std::vector<std::string> ValueNames(std::string_view section) const;

    // Largest file Load() accepts.
    static constexpr std::size_t kMaxFileSize = 16 * 1024 * 1024;

private:
    struct Line {
        std::string raw;       // text as read
        bool keepRaw = false;  // unchanged since read: written back as raw
        bool isEntry = false;
        std::string key;    // entries only
        std::string value;  // entries only, unescaped
    };
    struct Section {
        std::string name;
        std::string headerRaw;
        std::vector<Line> lines;
    };

    Section* FindSection(std::string_view name);
    Section& AddSection(std::string_view name, std::string headerRaw);
    void RebuildIndex();
    const Section* FindSection(std::string_view name) const;
    const Line* FindEntry(std::string_view section, std::string_view key) const;
    bool StoreValue(std::string_view section, std::string_view key, std::string value, bool asInt);

    std::filesystem::path path_;
    std::vector<Line> preamble_;  // lines before the first section
    std::vector<Section> sections_;
    std::unordered_map<std::string, std::size_t> index_;  // lower-case name -> section
    bool modified_ = false;
    bool loadFailed_ = false;
    bool crLf_ = false;  // line ends of the file read, kept when writing
};

}  // namespace corvina
