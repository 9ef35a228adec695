#pragma once
// The search strings used lately, newest first, kept for the process and
// in the file "Corvina.HST" in the mail client's home directory: one line
// per entry, the search string, a TAB and its option letters.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace corvina {

struct SearchHistoryEntry {
    std::string text;     // the search string, as the find dialog took it
    std::string options;  // its option letters ("IW", ...)
    bool operator==(const SearchHistoryEntry&) const = default;
};

class SearchHistory {
public:
    static constexpr std::size_t kMaxEntries = 32;
    // The find dialogs take at most this many bytes.
    static constexpr std::size_t kMaxTextBytes = 255;
    static constexpr std::size_t kMaxOptionLetters = 16;

    static std::filesystem::path FileIn(const std::filesystem::path& homeDir) {
        return homeDir / "Corvina.HST";
    }

    // Replaces the entries with the file's, newest first. A line without a
    // TAB takes `currentOptions` (the find options in force); empty lines,
    // empty search strings, over-long lines and repeated strings are
    // skipped. A missing file gives no entries and true; a file that
    // cannot be read gives false and leaves the entries as they were.
    bool Load(const std::filesystem::path& file, std::string_view currentOptions);

    // Writes all kMaxEntries lines, empty ones after the last entry,
    // replacing the file as a whole (mode 0600 for a new file).
    bool Save(const std::filesystem::path& file) const;

    // Puts a search string first; an entry with the same string moves to
    // the front with the new options, and the oldest beyond kMaxEntries
    // goes. Option letters other than A-Z are dropped. False (nothing
    // changes) for an empty string, one longer than kMaxTextBytes, or one
    // with a line end in it.
    bool Add(std::string_view text, std::string_view options);

    const std::vector<SearchHistoryEntry>& Entries() const { return entries_; }

private:
    std::vector<SearchHistoryEntry> entries_;
};

}  // namespace corvina
