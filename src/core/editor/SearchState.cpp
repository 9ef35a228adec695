#include "editor/SearchState.h"

#include <algorithm>

#include "platform/ConfigStore.h"

namespace corvina {

namespace {

constexpr const char* kSection = "Settings";
constexpr const char* kFindOption = "FindOption";
constexpr const char* kReplOption = "ReplOption";

void Store(ConfigStore& store, const char* key, const SearchOptions& options) {
    store.SetString(kSection, key, options.Letters());
    if (!store.Path().empty()) {
        // A failed write is tried again when the settings are written at
        // exit.
        store.Save();
    }
}

}  // namespace

SearchState& SearchState::Shared() {
    static SearchState state;
    return state;
}

void SearchState::LoadOptions(const ConfigStore& store) {
    findOptions_ = SearchOptions::FromLetters(store.GetString(kSection, kFindOption, "I"));
    replaceOptions_ = SearchOptions::FromLetters(store.GetString(kSection, kReplOption, "G"));
}

void SearchState::SaveFindOptions(ConfigStore& store) {
    Store(store, kFindOption, findOptions_);
}

void SearchState::SaveReplaceOptions(ConfigStore& store) {
    Store(store, kReplOption, replaceOptions_);
}

void SearchState::TakeWord(std::string escaped) {
    searchString_ = escaped;
    replaceSearchString_ = std::move(escaped);
    setByGetWord_ = true;
}

bool SearchState::TakeWordFlag() {
    const bool set = setByGetWord_;
    setByGetWord_ = false;
    return set;
}

bool SearchState::LoadHistory(const std::filesystem::path& homeDir) {
    return history_.Load(SearchHistory::FileIn(homeDir), findOptions_.Letters());
}

bool SearchState::SaveHistory(const std::filesystem::path& homeDir) const {
    return history_.Save(SearchHistory::FileIn(homeDir));
}

void SearchState::AddToHistory(std::string_view escaped, const SearchOptions& options) {
    history_.Add(escaped, options.Letters());
}

std::vector<std::string> SearchState::OfferedHistory() const {
    std::vector<std::string> strings;
    const std::size_t count = std::min(kOfferedHistory, history_.Entries().size());
    for (std::size_t i = 0; i < count; ++i) {
        strings.push_back(history_.Entries()[i].text);
    }
    return strings;
}

}  // namespace corvina
