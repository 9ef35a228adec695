#pragma once
// The start-up sequence of the client, and the decisions in it that need no
// window: hand-over to a running instance, the show command of the main
// window, the first action to post, and what to do with the command line.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/Settings.h"
#include "app/SettingsLoader.h"

namespace corvina {

class ConfigStore;
class SingleInstance;
class UserPrompt;
struct AccountProfile;
struct AppState;

// The window system's first private message number; the program's own
// messages are numbered from it.
inline constexpr int kWmUser = 0x0400;
inline constexpr int kCmdPreferences = 42774;  // "&Preferences..."
inline constexpr int kCmdReceiveNew = 42785;   // "Receive &New"
inline constexpr int kMsgNewMailNotice = kWmUser + 1022;

struct PostedAction {
    enum class Kind { kCommand, kMessage };
    Kind kind;
    int id;
    bool operator==(const PostedAction&) const = default;
};

// Preferences when the current profile has no POP server, else the receive
// command when StartupCheck is set, else the new-mail notice.
PostedAction FirstAction(const AccountProfile& current, const Settings& settings);

// The main window's show command: minimized without activation when the
// command line names an address or files; the requested one when it is
// 0, 2, 3, 6 or 7; else the stored MainShowCmd, but only when it is 3.
int StartShowCommand(const CommandLine& commandLine, int requestedShow, int storedShowCmd);

// What a second start hands to the running client.
struct HandOver {
    enum class Kind { kAddress, kFiles, kRestore };
    Kind kind;
    std::string payload;  // the address, or the file list as one line
};
HandOver DecideHandOver(const CommandLine& commandLine);
bool SendHandOver(SingleInstance& instance, const HandOver& handOver);

struct StartPlan {
    int showCommand = kShowDefault;
    PostedAction firstAction{PostedAction::Kind::kMessage, kMsgNewMailNotice};
    std::optional<std::string> composeTo;     // open a compose window To: this address
    std::optional<std::string> postFileList;  // post the file hand-over to itself
    bool hideWindow = false;                  // minimized with HideIcon: tray icon only
};
StartPlan PlanStart(const CommandLine& commandLine, int requestedShow, const AppState& state);

struct StartOptions {
    std::vector<std::string> args;  // without the program name
    // Relative file names are made absolute against it (a running client
    // that gets them works elsewhere); empty = left as given.
    std::filesystem::path workingDirectory;
    int requestedShowCommand = kShowDefault;
    int editorWrap = 0;      // the editor's automatic line-split option
    int systemCodePage = 0;  // 0 = CodePage::SystemCodePage()
    LoadContext load;
    PathExists pathExists;  // empty = ask the file system
};

enum class StartOutcome {
    kRunning,     // go on and create the main window with `plan`
    kHandedOver,  // another instance got the request; end quietly
    kCancelled,   // the password or home-directory question was cancelled
    kFailed,      // the running instance could not be reached
};

struct StartResult {
    StartOutcome outcome;
    std::optional<StartPlan> plan;
};

// The sequence up to the creation of the main window, on a loaded store.
// Nothing is written when it ends early.
StartResult StartApplication(ConfigStore& store, UserPrompt& prompt, SingleInstance& instance,
                             const StartOptions& options, AppState& state);

}  // namespace corvina
