#pragma once
// The end of a run that reached the main window: the values that change
// during a run are written back whatever they are, and the run's temporary
// files are deleted.

#include <filesystem>
#include <optional>

namespace corvina {

class ConfigStore;
struct AppState;

inline constexpr const char* kTemplateWorkFile = "MOTMPL.TMP";

// Does nothing when start-up ended early. Otherwise writes DefEncode, the
// three dialog directories, WordWrap, MsgThread and the column widths,
// deletes every registered temporary file and "MOTMPL.TMP" in tempDir, and
// saves the store. False when the store could not be saved. The caller
// saves the editor options and releases the window resources.
bool ShutdownApplication(ConfigStore& store, AppState& state,
                         const std::optional<std::filesystem::path>& tempDir);
// The same with this process's private temporary directory.
bool ShutdownApplication(ConfigStore& store, AppState& state);

}  // namespace corvina
