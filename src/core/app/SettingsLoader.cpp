#include "app/SettingsLoader.h"

#include <system_error>

#include "app/AppHost.h"
#include "app/AppState.h"
#include "app/ProfileSelection.h"
#include "common/CodePage.h"
#include "platform/ConfigStore.h"
#include "platform/Paths.h"

namespace corvina {

namespace {

constexpr int kWrongPassword = 130;
constexpr int kFolderUsedByOtherUser = 61450;
constexpr int kCannotCreateDirectory = 61451;

bool UsableHome(const std::string& text, bool enter) {
    if (text.empty())
        return false;
    std::error_code ec;
    if (enter) {
        std::filesystem::current_path(text, ec);
        return !ec;
    }
    return std::filesystem::is_directory(text, ec);
}

// What the user typed, as the absolute directory it means.
std::string ResolveTyped(const std::string& typed) {
    std::string text = typed;
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.pop_back();
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.erase(0, 1);
    if (text.empty())
        return text;
    if (text == "~" || text.starts_with("~/")) {
        text = UserHomeDir().string() + text.substr(1);
    }
    std::error_code ec;
    std::filesystem::path path(text);
    if (path.is_relative()) {
        std::filesystem::path absolute = std::filesystem::absolute(path, ec);
        if (!ec)
            text = absolute.string();
    }
    return WithTrailingSeparator(text);
}

}  // namespace

bool VerifyLocalPassword(AppHost& host, const std::string& expected) {
    for (;;) {
        std::optional<std::string> typed = host.AskPassword();
        if (!typed)
            return false;
        if (*typed == expected)
            return true;
        host.ShowMessage(kWrongPassword);
    }
}

std::string WithTrailingSeparator(std::string text) {
    if (!text.empty() && text.back() != '/')
        text.push_back('/');
    return text;
}

std::optional<std::string> AskHomeDirectory(AppHost& host, const std::string& suggestion) {
    std::string prefill = suggestion;
    for (;;) {
        std::optional<std::string> answer = host.AskHomeDirectory(prefill);
        if (!answer)
            return std::nullopt;
        std::string text = ResolveTyped(*answer);
        if (text.empty()) {
            host.ShowMessage(kCannotCreateDirectory);
            continue;
        }
        prefill = text;
        std::error_code ec;
        if (std::filesystem::exists(std::filesystem::path(text) / "User0" / "InBox.mbx", ec) &&
            !host.AskYesNo(kFolderUsedByOtherUser)) {
            continue;
        }
        if (!CreateDirectoryPath(text)) {
            host.ShowMessage(kCannotCreateDirectory);
            continue;
        }
        return text;
    }
}

int LoadWorkingCodePage(const ConfigStore& store, int systemCodePage, Settings& settings) {
    SettingDefaults defaults;
    defaults.systemCodePage = systemCodePage != 0 ? systemCodePage : CodePage::SystemCodePage();
    LoadSettingPhase(store, SettingPhase::kCodePage, defaults, settings);
    // 0 keeps the system's; an unknown number falls back to it as well.
    CodePage::SetWorking(settings.codePage != 0 ? settings.codePage : defaults.systemCodePage);
    return CodePage::Working().Id();
}

bool LoadSettings(ConfigStore& store, AppHost& host, const LoadContext& context, AppState& state) {
    Settings& settings = state.settings;
    SettingDefaults defaults;
    defaults.editorWrap = context.editorWrap;
    defaults.showCommand = context.showCommand;

    // The code page comes first: every text read after it is in that code
    // page. The Windows version the client once recorded here decides
    // nothing on this system.
    defaults.systemCodePage =
        context.systemCodePage != 0 ? context.systemCodePage : CodePage::SystemCodePage();
    LoadWorkingCodePage(store, defaults.systemCodePage, settings);

    LoadSettingPhase(store, SettingPhase::kPassword, defaults, settings);
    if (!settings.localPass.empty() && !VerifyLocalPassword(host, settings.localPass))
        return false;

    LoadSettingPhase(store, SettingPhase::kEarly, defaults, settings);

    std::filesystem::path candidate =
        context.candidateHome.empty() ? CandidateHomeDir() : context.candidateHome;

    LoadSettingPhase(store, SettingPhase::kHome, defaults, settings);
    if (!UsableHome(settings.homeDir, context.enterHomeDirectory)) {
        std::optional<std::string> chosen =
            AskHomeDirectory(host, WithTrailingSeparator(candidate.string()));
        if (!chosen)
            return false;
        settings.homeDir = *chosen;
        store.SetString(kSettingsSection, "HomeDir", settings.homeDir);
        store.Save();
        if (context.enterHomeDirectory) {
            std::error_code ec;
            std::filesystem::current_path(settings.homeDir, ec);
        }
    }
    settings.homeDir = WithTrailingSeparator(settings.homeDir);
    state.homeDirectory = settings.homeDir;
    defaults.homeDirectory = settings.homeDir;

    LoadSettingPhase(store, SettingPhase::kDirectories, defaults, settings);
    state.profiles = LoadProfiles(store);
    // A hand-edited DefUser outside the table falls back to the first profile.
    if (settings.defUser < 0 || settings.defUser >= kProfileCount)
        settings.defUser = 0;
    SelectProfile(state, settings.defUser);

    LoadSettingPhase(store, SettingPhase::kCatalogue, defaults, settings);
    if (context.loadFilters)
        context.loadFilters(state);
    LoadSettingPhase(store, SettingPhase::kColumns, defaults, settings);
    if (context.buildMimeTypes)
        context.buildMimeTypes(state);
    settings.fonts = LoadFonts(store);

    state.addressBookDirectory = state.homeDirectory / "AddrBook";
    state.defaultGroup = "!Default";
    LoadSettingPhase(store, SettingPhase::kEncoding, defaults, settings);

    // Values the client reads once the rest is in place; the batch commands
    // need them as much as the windows (LeaveLog decides the backup logs).
    LoadSettingPhase(store, SettingPhase::kAfterLoad, defaults, settings);
    LoadSettingPhase(store, SettingPhase::kWindow, defaults, settings);
    return true;
}

}  // namespace corvina
