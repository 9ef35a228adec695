#pragma once
// Initialisation ("private profile") files with the Windows semantics the
// folder control files and the editor settings rely on:
//   - "[Section]" lines and "Key=Value" lines; sections and keys compared
//     without case (ASCII); the first match wins;
//   - values read with surrounding blanks removed and one pair of matching
//     surrounding quotes (" or ') stripped;
//   - a missing file or key reads as the caller's default;
//   - writing creates the file and the section, replaces the value of an
//     existing key in place (one line per key), keeps every other line and
//     comment, and writes CR LF line ends; LF-only files read fine.
// Writes go to a temporary file that is fsynced and renamed over the old.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvina {

// One file's lines in memory, for callers that read or write several keys.
class IniFile {
public:
    IniFile() = default;

    // Replaces the contents with the file's; a missing file gives an empty
    // IniFile and false (a file that exists but cannot be read: false too).
    bool Load(const std::filesystem::path& path);
    static IniFile FromText(std::string_view text);

    // The value of a key, or nullopt when section or key is absent.
    std::optional<std::string> Get(std::string_view section, std::string_view key) const;
    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view defaultValue) const;
    // Windows integer reading: missing key or empty value -> defaultValue;
    // otherwise leading blanks, an optional sign and the leading decimal
    // digits (no digits: 0), clamped to the int range.
    int GetInt(std::string_view section, std::string_view key, int defaultValue) const;

    // Sets a key, creating the section at the end when missing. CR and LF
    // in key or value are replaced by blanks so no value can add a line.
    void Set(std::string_view section, std::string_view key, std::string_view value);
    // Removes the key's line(s); false when there was none.
    bool RemoveKey(std::string_view section, std::string_view key);
    // Removes a section header and every line up to the next section.
    bool RemoveSection(std::string_view section);

    bool HasSection(std::string_view section) const;
    // Section names / key names of a section in file order (first
    // spelling, no duplicates).
    std::vector<std::string> Sections() const;
    std::vector<std::string> Keys(std::string_view section) const;

    // The file text with CR LF line ends.
    std::string Text() const;
    // Writes Text() atomically (temp file, fsync, rename), keeping the
    // mode of an existing file.
    bool Save(const std::filesystem::path& path) const;

private:
    // Index of the first line of each section named `section` and of the
    // key line; -1 when absent.
    long FindKey(std::string_view section, std::string_view key) const;

    std::vector<std::string> lines_;  // without line ends
};

// The private-profile functions, one file read (and written) per call.

// Copies the value (or defaultValue) into out, cut to size - 1 bytes and
// NUL-terminated; returns the number of bytes copied (0 when size is 0).
int GetPrivateProfileString(std::string_view section, std::string_view key,
                            std::string_view defaultValue, char* out, int size,
                            const std::filesystem::path& file);
// The same as a std::string, cut to size - 1 bytes when size > 0.
std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue,
                                    const std::filesystem::path& file, int size = 0);
int GetPrivateProfileInt(std::string_view section, std::string_view key, int defaultValue,
                         const std::filesystem::path& file);
// Sets key = value; value nullopt removes the key. False when the file
// could not be written.
bool WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::optional<std::string_view> value,
                               const std::filesystem::path& file);
// Removes a whole section. False when the file could not be written.
bool DeletePrivateProfileSection(std::string_view section, const std::filesystem::path& file);

}  // namespace corvina
