#include "app/Shutdown.h"

#include <cstdio>
#include <system_error>

#include "app/AppState.h"
#include "platform/ConfigStore.h"
#include "platform/Paths.h"

namespace corvina {

bool ShutdownApplication(ConfigStore& store, AppState& state,
                         const std::optional<std::filesystem::path>& tempDir) {
    if (!state.running)
        return true;
    const Settings& s = state.settings;
    store.SetInt(kSettingsSection, "DefEncode", s.defEncode);
    store.SetString(kSettingsSection, "InitialOpenDir", s.initialOpenDir);
    store.SetString(kSettingsSection, "AttachOpenDir", s.attachOpenDir);
    store.SetString(kSettingsSection, "AttachSaveDir", s.attachSaveDir);
    store.SetInt(kSettingsSection, "WordWrap", s.wordWrap);
    store.SetInt(kSettingsSection, "MsgThread", s.msgThread);
    for (std::size_t i = 0; i < s.colWidth.size(); ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "Col%zuWidth", i);
        store.SetInt(kSettingsSection, name, s.colWidth[i]);
    }

    std::error_code ec;
    for (const std::filesystem::path& file : state.temporaryFiles) {
        std::filesystem::remove(file, ec);
    }
    state.temporaryFiles.clear();
    if (tempDir)
        std::filesystem::remove(*tempDir / kTemplateWorkFile, ec);

    state.running = false;
    return store.Save();
}

bool ShutdownApplication(ConfigStore& store, AppState& state) {
    if (!state.running)
        return true;
    return ShutdownApplication(store, state, PrivateTempDir());
}

}  // namespace corvina
