#pragma once
// What search and replace remember for the whole process: the strings
// (in their escaped form), the find and replace options, the history of
// earlier search strings, and the runs that go on from message to
// message. A string found in one message is found again in the next one,
// whichever view asks.

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "editor/SearchHistory.h"
#include "editor/SearchPattern.h"
#include "editor/UndoHistory.h"

namespace corvina {

class ConfigStore;
class MailMessage;
class TextEditor;

class SearchState {
public:
    // The combo boxes offer at most this many earlier strings.
    static constexpr std::size_t kOfferedHistory = 31;

    static SearchState& Shared();

    // "FindOption" (default "I") and "ReplOption" (default "G") of the
    // section "Settings"; read at start-up, written only by the "Save
    // Option" buttons of the dialogs, which first set the options they
    // show (SetFindOptions, SetReplaceOptions). A store with a file is
    // saved at once.
    void LoadOptions(const ConfigStore& store);
    void SaveFindOptions(ConfigStore& store);
    void SaveReplaceOptions(ConfigStore& store);

    const SearchOptions& FindOptions() const { return findOptions_; }
    void SetFindOptions(const SearchOptions& options) { findOptions_ = options; }
    const SearchOptions& ReplaceOptions() const { return replaceOptions_; }
    void SetReplaceOptions(const SearchOptions& options) { replaceOptions_ = options; }

    // Escaped strings: the search string, the one the replace searches
    // for, and the replacement.
    const std::string& SearchString() const { return searchString_; }
    void SetSearchString(std::string escaped) { searchString_ = std::move(escaped); }
    const std::string& ReplaceSearchString() const { return replaceSearchString_; }
    void SetReplaceSearchString(std::string escaped) { replaceSearchString_ = std::move(escaped); }
    const std::string& Replacement() const { return replacement_; }
    void SetReplacement(std::string escaped) { replacement_ = std::move(escaped); }

    // "GetWord" sets both search strings; the next dialog keeps them
    // instead of taking the word at the caret, once.
    void TakeWord(std::string escaped);
    bool TakeWordFlag();

    // The direction the "Find" dialog last chose.
    bool LastBackward() const { return lastBackward_; }
    void SetLastBackward(bool backward) { lastBackward_ = backward; }

    // Earlier search strings, newest first, kept in "Corvina.HST" in the
    // home directory: loaded at start-up, saved at exit. Lines without
    // option letters take the find options in force.
    bool LoadHistory(const std::filesystem::path& homeDir);
    bool SaveHistory(const std::filesystem::path& homeDir) const;
    SearchHistory& History() { return history_; }
    void AddToHistory(std::string_view escaped, const SearchOptions& options);
    std::vector<std::string> OfferedHistory() const;

    // A search with "All Messages in Folder" that goes on in the next
    // message: where it began, and that the command posted to go on is
    // expected in `editor` (so a later "SearchNext" of the user's own
    // starts from the caret again).
    struct FindRun {
        const TextEditor* editor = nullptr;
        const MailMessage* origin = nullptr;
        TextPlace originPlace;
        const MailMessage* continueIn = nullptr;  // set while a posted search is due
    };
    FindRun& Find() { return find_; }

    // A replace run over messages: the count and "Replace All" last for
    // the whole run.
    struct ReplaceRun {
        const TextEditor* editor = nullptr;
        const MailMessage* origin = nullptr;
        const MailMessage* continueIn = nullptr;  // set while a posted run is due
        int count = 0;
        bool replaceAll = false;
    };
    ReplaceRun& Replace() { return replace_; }

private:
    SearchOptions findOptions_ = SearchOptions::FromLetters("I");
    SearchOptions replaceOptions_ = SearchOptions::FromLetters("G");
    std::string searchString_;
    std::string replaceSearchString_;
    std::string replacement_;
    bool setByGetWord_ = false;
    bool lastBackward_ = false;
    SearchHistory history_;
    FindRun find_;
    ReplaceRun replace_;
};

}  // namespace corvina
