#pragma once
// Where the editor component keeps its own files: the settings file, the
// keyword file and the key file, and the keyword template the program
// ships.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace corvina {

// The environment the editor's files are found by, taken apart from the
// process so that the rules can be checked on plain values.
struct EditorFileEnvironment {
    std::string ilkaHome;       // $ILKAHOME; "" when unset
    std::string xdgConfigHome;  // $XDG_CONFIG_HOME; "" when unset
    std::filesystem::path userHome;

    static EditorFileEnvironment FromProcess();
};

// The editor's file with extension `extension` ("INI", "KWD"): with
// ILKAHOME set, "Ilka.<extension>" in that directory; otherwise the same
// name in $XDG_CONFIG_HOME/Talvern/ (XDG_CONFIG_HOME only
// when absolute, else ~/.config/Talvern/).
std::filesystem::path EditorFilePath(std::string_view extension, const EditorFileEnvironment& env);
std::filesystem::path EditorFilePath(std::string_view extension);

inline constexpr std::string_view kSettingsExtension = "INI";
inline constexpr std::string_view kKeywordExtension = "KWD";
inline constexpr std::string_view kKeywordTemplateName = "IlkaOrg.KWD";

// The key file named by the setting KeyDefinition, relative to the
// settings file's directory (an absolute name stands for itself). An
// empty name means the default "Ilka.KEY".
std::filesystem::path KeyFilePath(const std::filesystem::path& settingsFile,
                                  std::string_view keyDefinition);

// The shipped keyword template in the program's data directory; nullopt
// when the data directory is unknown.
std::optional<std::filesystem::path> KeywordTemplatePath();

// Makes sure the keyword file exists: when it is missing, the template is
// copied there (directories created 0700, the file 0600). An existing
// file is never touched. False when the file is missing and could not be
// created; keyword colouring then simply has no keywords.
bool EnsureKeywordFile(const std::filesystem::path& keywordFile,
                       const std::filesystem::path& templateFile);

}  // namespace corvina
