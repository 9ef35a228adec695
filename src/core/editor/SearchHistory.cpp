#include "editor/SearchHistory.h"

#include <algorithm>
#include <system_error>

#include "common/AtomicFile.h"
#include "common/BufferedFile.h"

namespace corvina {
namespace {

// Longer than any line this program writes (search string, TAB, letters),
// so that a cut piece of a longer line is recognised and skipped.
constexpr int kReadLimit = 1024;

std::string OptionLetters(std::string_view options) {
    std::string letters;
    for (char c : options) {
        if (c >= 'A' && c <= 'Z' && letters.size() < SearchHistory::kMaxOptionLetters) {
            letters += c;
        }
    }
    return letters;
}

bool Storable(std::string_view text) {
    return !text.empty() && text.size() <= SearchHistory::kMaxTextBytes &&
           text.find_first_of("\r\n") == std::string_view::npos;
}

}  // namespace

bool SearchHistory::Load(const std::filesystem::path& file, std::string_view currentOptions) {
    BufferedFile in;
    if (!in.Open(file, BufferedFile::kRead)) {
        std::error_code ec;
        if (std::filesystem::symlink_status(file, ec).type() !=
            std::filesystem::file_type::not_found) {
            return false;
        }
        entries_.clear();
        return true;
    }
    std::vector<SearchHistoryEntry> entries;
    std::string line;
    bool continued = false;  // the line read is the rest of a cut one
    for (int length; (length = in.ReadLine(line, kReadLimit + 1)) > 0;) {
        const bool cut = length > kReadLimit;
        const bool skip = continued;
        continued = cut;
        line.pop_back();  // the newline
        if (skip || cut || entries.size() == kMaxEntries) {
            continue;
        }
        // The string may hold a TAB itself; the letters never do.
        const std::size_t tab = line.rfind('\t');
        SearchHistoryEntry entry;
        entry.text = line.substr(0, tab);
        entry.options =
            OptionLetters(tab == std::string::npos ? currentOptions : line.substr(tab + 1));
        const bool seen = std::any_of(entries.begin(), entries.end(),
                                      [&](const auto& e) { return e.text == entry.text; });
        if (Storable(entry.text) && !seen) {
            entries.push_back(std::move(entry));
        }
    }
    if (in.Failed()) {
        return false;
    }
    entries_ = std::move(entries);
    return true;
}

bool SearchHistory::Save(const std::filesystem::path& file) const {
    std::string text;
    for (const SearchHistoryEntry& entry : entries_) {
        text += entry.text + "\t" + entry.options + "\r\n";
    }
    for (std::size_t i = entries_.size(); i < kMaxEntries; ++i) {
        text += "\r\n";
    }
    return WriteFileAtomically(file, text);
}

bool SearchHistory::Add(std::string_view text, std::string_view options) {
    if (!Storable(text)) {
        return false;
    }
    auto same = std::find_if(entries_.begin(), entries_.end(),
                             [&](const SearchHistoryEntry& e) { return e.text == text; });
    if (same != entries_.end()) {
        entries_.erase(same);
    }
    entries_.insert(entries_.begin(),
                    SearchHistoryEntry{std::string(text), OptionLetters(options)});
    if (entries_.size() > kMaxEntries) {
        entries_.resize(kMaxEntries);
    }
    return true;
}

}  // namespace corvina
