#include "app/SettingsLoader.h"

#include <cerrno>
#include <cstring>
#include <system_error>

#include "app/AppState.h"
#include "app/ProfileSelection.h"
#include "common/CodePage.h"
#include "common/UserPrompt.h"
#include "platform/ConfigStore.h"
#include "platform/Paths.h"

namespace corvina {

namespace {

constexpr int kWrongPassword = 130;
constexpr int kFolderUsedByOtherUser = 61450;
constexpr int kCannotCreateDirectory = 61451;

// The stored home directory made when it is missing; the reason when it
// cannot be (empty when it is there now).
std::string MakeStoredHome(const std::string& text) {
    std::error_code ec;
    if (text.empty() || std::filesystem::is_directory(text, ec))
        return {};
    if (std::filesystem::exists(text, ec))
        return "it is a file, not a folder";
    if (CreateDirectoryPath(text, 0700))
        return {};
    const int error = errno;
    // Walk up to the part of the path that is in the way.
    std::filesystem::path blocking = std::filesystem::path(text);
    while (blocking.has_relative_path() && !std::filesystem::exists(blocking, ec))
        blocking = blocking.parent_path();
    if (!std::filesystem::is_directory(blocking, ec))
        return blocking.string() + " is a file, not a folder";
    return std::string(std::strerror(error)) + " (in " + blocking.string() + ")";
}

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

bool VerifyLocalPassword(UserPrompt& prompt, const std::string& expected) {
    for (;;) {
        std::optional<std::string> typed = prompt.AskPassword(kPasswordDialogTitle, "");
        if (!typed)
            return false;
        if (*typed == expected)
            return true;
        NotifyById(prompt, kWrongPassword);
    }
}

std::string WithTrailingSeparator(std::string text) {
    if (!text.empty() && text.back() != '/')
        text.push_back('/');
    return text;
}

std::optional<std::string> AskHomeDirectory(UserPrompt& prompt, const std::string& suggestion) {
    std::string prefill = suggestion;
    for (;;) {
        std::optional<std::string> answer =
            prompt.AskText(kHomeDialogTitle, kHomeDialogPrompt, prefill);
        if (!answer)
            return std::nullopt;
        std::string text = ResolveTyped(*answer);
        if (text.empty()) {
            NotifyById(prompt, kCannotCreateDirectory);
            continue;
        }
        prefill = text;
        std::error_code ec;
        if (std::filesystem::exists(std::filesystem::path(text) / "User0" / "InBox.mbx", ec) &&
            AskById(prompt, kFolderUsedByOtherUser, ConfirmButtons::YesNo, ConfirmAnswer::No) !=
                ConfirmAnswer::Yes) {
            continue;
        }
        if (!CreateDirectoryPath(text)) {
            NotifyById(prompt, kCannotCreateDirectory);
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

bool LoadSettings(ConfigStore& store, UserPrompt& prompt, const LoadContext& context,
                  AppState& state, std::string* why) {
    auto fail = [&](std::string text) {
        if (why)
            *why = std::move(text);
        return false;
    };
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
    if (!settings.localPass.empty() && !VerifyLocalPassword(prompt, settings.localPass))
        return fail(
            "the local password (LocalPass) was not given or not right; give it as the first "
            "line of standard input, or run at a terminal to be asked");

    LoadSettingPhase(store, SettingPhase::kEarly, defaults, settings);

    std::filesystem::path candidate =
        context.candidateHome.empty() ? CandidateHomeDir() : context.candidateHome;

    LoadSettingPhase(store, SettingPhase::kHome, defaults, settings);
    // A home directory written into the settings by hand is the user's
    // choice already: it is made, never replaced by the proposal.
    const std::string notMade = MakeStoredHome(settings.homeDir);
    if (!UsableHome(settings.homeDir, context.enterHomeDirectory)) {
        std::string prefill = WithTrailingSeparator(candidate.string());
        if (!settings.homeDir.empty()) {
            NotifyById(prompt, kCannotCreateDirectory);
            prefill = WithTrailingSeparator(settings.homeDir);
        }
        std::optional<std::string> chosen = AskHomeDirectory(prompt, prefill);
        if (!chosen && settings.homeDir.empty())
            return fail(
                "no home folder is set, the folder below which all mail lives; add a "
                "line \"HomeDir = /path/to/your/mail/\" to the [Settings] section of " +
                store.Path().string() +
                " (the folder is created if missing), or run once at a terminal to "
                "choose one");
        if (!chosen)
            return fail("the home folder " + settings.homeDir + " (HomeDir in " +
                        store.Path().string() + ") cannot be " +
                        (notMade.empty() ? std::string("used") : "created: " + notMade) +
                        "; create it yourself or set HomeDir to a folder you can write");
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
