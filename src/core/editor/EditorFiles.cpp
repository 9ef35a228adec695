#include "editor/EditorFiles.h"

#include <cstdlib>
#include <system_error>

#include "common/AtomicFile.h"
#include "platform/Paths.h"

namespace corvina {
namespace {

std::string EnvValue(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr ? std::string(v) : std::string();
}

}  // namespace

EditorFileEnvironment EditorFileEnvironment::FromProcess() {
    return {EnvValue("ILKAHOME"), EnvValue("XDG_CONFIG_HOME"), UserHomeDir()};
}

std::filesystem::path EditorFilePath(std::string_view extension, const EditorFileEnvironment& env) {
    // "Ilka" in the configuration directory too: "Corvina.INI" there would
    // differ from the client's own Corvina.ini only by case.
    const std::string name = "Ilka." + std::string(extension);
    if (!env.ilkaHome.empty()) {
        return std::filesystem::path(env.ilkaHome) / name;
    }
    std::filesystem::path base = env.xdgConfigHome;
    if (base.empty() || !base.is_absolute()) {
        base = env.userHome / ".config";
    }
    return base / "Talvern" / name;
}

std::filesystem::path EditorFilePath(std::string_view extension) {
    return EditorFilePath(extension, EditorFileEnvironment::FromProcess());
}

std::filesystem::path KeyFilePath(const std::filesystem::path& settingsFile,
                                  std::string_view keyDefinition) {
    return settingsFile.parent_path() /
           (keyDefinition.empty() ? std::string_view("Ilka.KEY") : keyDefinition);
}

std::optional<std::filesystem::path> KeywordTemplatePath() {
    auto dir = DataDir();
    if (!dir) {
        return std::nullopt;
    }
    return *dir / kKeywordTemplateName;
}

bool EnsureKeywordFile(const std::filesystem::path& keywordFile,
                       const std::filesystem::path& templateFile) {
    std::error_code ec;
    if (std::filesystem::symlink_status(keywordFile, ec).type() !=
        std::filesystem::file_type::not_found) {
        return !ec;
    }
    const std::filesystem::path dir = keywordFile.parent_path();
    if (!dir.empty() && !CreateDirectoryPath(dir, 0700)) {
        return false;
    }
    // The copy lands whole or not at all, so a failed copy leaves no
    // half keyword file that would stop the next start from trying again.
    return CopyFileAtomically(templateFile, keywordFile, 0600);
}

}  // namespace corvina
