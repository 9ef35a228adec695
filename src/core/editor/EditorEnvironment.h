#pragma once
// What a front end does for the editor once at start and once at exit:
// read the keyword file (made from the shipped template when missing), the
// settings file, the search options of the client's settings, the key file
// and the search history; at exit write the search history back. It holds
// the options and the keywords every editor view of the process is given.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "editor/EditorOptions.h"
#include "editor/KeywordTable.h"

namespace corvina {

class CodePage;
class ConfigStore;
class KeyBindings;
class SearchState;

// Where the editor's files are; FromProcess finds them as the program
// does (ILKAHOME, the configuration directory, the data directory).
struct EditorEnvironmentPaths {
    std::filesystem::path settingsFile;                    // "Ilka.INI"
    std::filesystem::path keywordFile;                     // "Ilka.KWD"
    std::optional<std::filesystem::path> keywordTemplate;  // "IlkaOrg.KWD"
    std::filesystem::path homeDir;  // the client's home directory ("Corvina.HST")

    static EditorEnvironmentPaths FromProcess(const std::filesystem::path& homeDir);
};

class EditorEnvironment {
public:
    // The text and print fonts of the client's font preferences go in
    // here before Start; the settings file only fills fonts not named yet.
    EditorOptions& Options() { return options_; }
    const EditorOptions& Options() const { return options_; }
    const KeywordTable& Keywords() const { return keywords_; }

    // Reads everything in the order the editor needs it: keywords,
    // settings, the search options of `clientSettings`, the key file into
    // `bindings`, the search history into `search`. A missing file keeps
    // the defaults. A file that exists but cannot be read keeps the
    // defaults for its part too; Start then returns false and Problems()
    // says which files and what to do, for the front end to show.
    bool Start(const EditorEnvironmentPaths& paths, const CodePage& codePage,
               const ConfigStore& clientSettings, KeyBindings& bindings, SearchState& search);
    // Writes the search history; false (with a problem noted) when it
    // could not be written.
    bool Finish(const SearchState& search);

    // One sentence per file that could not be read or written, in the
    // order met; cleared by Start.
    const std::vector<std::string>& Problems() const { return problems_; }
    // The problems joined into one text for a message box.
    std::string ProblemText() const;

private:
    void NoteUnreadable(const char* what, const std::filesystem::path& file);

    EditorEnvironmentPaths paths_;
    EditorOptions options_;
    KeywordTable keywords_;
    std::vector<std::string> problems_;
};

}  // namespace corvina
