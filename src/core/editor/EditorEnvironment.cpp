#include "editor/EditorEnvironment.h"

#include <system_error>

#include "common/CodePage.h"
#include "editor/CommandTable.h"
#include "editor/EditorFiles.h"
#include "editor/EditorSettingsFile.h"
#include "editor/KeyFile.h"
#include "editor/SearchHistory.h"
#include "editor/SearchState.h"

namespace corvina {

namespace {

bool Exists(const std::filesystem::path& file) {
    std::error_code ec;
    return std::filesystem::symlink_status(file, ec).type() !=
           std::filesystem::file_type::not_found;
}

}  // namespace

EditorEnvironmentPaths EditorEnvironmentPaths::FromProcess(const std::filesystem::path& homeDir) {
    return {EditorFilePath(kSettingsExtension), EditorFilePath(kKeywordExtension),
            KeywordTemplatePath(), homeDir};
}

bool EditorEnvironment::Start(const EditorEnvironmentPaths& paths, const CodePage& codePage,
                              const ConfigStore& clientSettings, KeyBindings& bindings,
                              SearchState& search) {
    paths_ = paths;
    problems_.clear();

    // A keyword file that cannot be made from the template only leaves
    // colouring without keywords; one that is there must be readable.
    if (paths.keywordTemplate) {
        EnsureKeywordFile(paths.keywordFile, *paths.keywordTemplate);
    }
    if (!keywords_.Load(paths.keywordFile, codePage) && Exists(paths.keywordFile)) {
        NoteUnreadable("keyword file", paths.keywordFile);
    }

    if (!LoadEditorOptions(paths.settingsFile, codePage.Id(), options_)) {
        NoteUnreadable("settings file", paths.settingsFile);
    }
    search.LoadOptions(clientSettings);

    // An empty KeyDefinition asks for no key file at all.
    if (!options_.keyDefinition.empty() &&
        !LoadKeyBindings(paths.settingsFile, options_, bindings)) {
        const std::filesystem::path keyFile =
            KeyFilePath(paths.settingsFile, options_.keyDefinition);
        if (Exists(keyFile)) {
            NoteUnreadable("key file", keyFile);
        }
    }

    // After the options: history lines without option letters take the
    // find options just read.
    if (!paths.homeDir.empty() && !search.LoadHistory(paths.homeDir)) {
        NoteUnreadable("search history", SearchHistory::FileIn(paths.homeDir));
    }
    return problems_.empty();
}

bool EditorEnvironment::Finish(const SearchState& search) {
    if (paths_.homeDir.empty() || search.SaveHistory(paths_.homeDir)) {
        return true;
    }
    problems_.push_back("The search history could not be written to \"" +
                        SearchHistory::FileIn(paths_.homeDir).string() +
                        "\". Check that the home directory exists and is writable; the "
                        "searches of this session are not kept.");
    return false;
}

std::string EditorEnvironment::ProblemText() const {
    std::string text;
    for (const std::string& problem : problems_) {
        if (!text.empty()) {
            text += '\n';
        }
        text += problem;
    }
    return text;
}

void EditorEnvironment::NoteUnreadable(const char* what, const std::filesystem::path& file) {
    problems_.push_back("The editor's " + std::string(what) + " \"" + file.string() +
                        "\" could not be read; the editor goes on with its defaults for it. "
                        "Check that it is a readable file.");
}

}  // namespace corvina
