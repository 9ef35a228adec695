#pragma once
// Loading of the settings, the one loader of every front end (the windows,
// the batch commands): the code page first, then the local password, the
// home directory (asked when unusable), the dialog directories, the
// profiles, the current profile, the rest of the catalogue, the columns,
// the fonts, the address-book values, and last the viewer and window values.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "app/Settings.h"

namespace corvina {

class ConfigStore;
class UserPrompt;
struct AppState;

// The titles and the text of the start-up questions.
inline constexpr const char* kPasswordDialogTitle = "Password Input";
inline constexpr const char* kHomeDialogTitle = "Home Folder";
inline constexpr const char* kHomeDialogPrompt = "Specify the folder name as the root mailbox.";

struct LoadContext {
    // Proposed at a first start; empty = CandidateHomeDir() of the platform.
    std::filesystem::path candidateHome;
    // Make the home directory the process's current directory (the client
    // does; tests that share a process may not want to).
    bool enterHomeDirectory = true;
    // Loaders of the layers above, run at their place in the order: the
    // filter definitions of the mailbox directory and the MIME type table.
    std::function<void(AppState&)> loadFilters;
    std::function<void(AppState&)> buildMimeTypes;
    // What the context-dependent defaults resolve to: the system code page
    // (0 = taken from the locale), the editor's automatic line split (the
    // default of WordWrap) and the requested show command (of MainShowCmd).
    int systemCodePage = 0;
    int editorWrap = 0;
    int showCommand = kShowDefault;
};

// Reads CodePage and makes the working code page the stored one, or the
// system's (systemCodePage; 0 = from the locale) when none is stored or it
// is 0. Returns the code page now working. Every front end that reads the
// settings takes its code page here, so a run under cron (no locale) or
// in a locale other than the stored one converts text as the client does.
int LoadWorkingCodePage(const ConfigStore& store, int systemCodePage, Settings& settings);

// Loads every value of the settings catalogue, the profiles and the fonts
// into `state`, and sets the working code page. A stored HomeDir that does
// not exist yet is created (mode 0700, with its parents); only when it is
// empty or cannot be made is the home-directory question asked (after the
// "This directory cannot be created" message), pre-filled with it.
// False when the user cancelled the password or the home-directory question;
// nothing has been written then, except a home directory the user accepted.
// `why`, when given, then says what went wrong and what to do, naming the
// settings file and the folder.
bool LoadSettings(ConfigStore& store, UserPrompt& prompt, const LoadContext& context,
                  AppState& state, std::string* why = nullptr);

// The "Home Folder" question until an acceptable answer or Cancel: the
// answer gets a trailing "/", a directory whose User0 already holds an
// InBox.mbx needs a Yes, and every missing directory is created. Returns
// the accepted text (absolute, ending in "/").
std::optional<std::string> AskHomeDirectory(UserPrompt& prompt, const std::string& suggestion);

// The "Password Input" question until the typed text equals `expected`
// ("Wrong password!" after each mismatch); false on Cancel. Also for the
// restore from an icon when PassIcon is set.
bool VerifyLocalPassword(UserPrompt& prompt, const std::string& expected);

// "dir" -> "dir/"; "" stays "".
std::string WithTrailingSeparator(std::string text);

}  // namespace corvina
