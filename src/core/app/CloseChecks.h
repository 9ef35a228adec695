#pragma once
// The checks made when the main window closes, in their order: a running
// connection (abort it or stay), the current folder's status, the exit
// filter, unsent mail in any account's OutBox (quit or stay), then the
// window placement, the Trash and the settings of the run.

#include <filesystem>
#include <vector>

namespace corvina {

class UserPrompt;
struct AppState;

inline constexpr int kStrConnectionInProgress = 57685;
inline constexpr int kStrUnsentInOutBox = 61456;

// What closing does in the window: each call is one step the checks
// decided on.
class CloseHost {
public:
    virtual ~CloseHost() = default;
    // Ends the running connection and waits until the mail thread has let
    // go of the store.
    virtual void AbortConnection() = 0;
    virtual void SaveCurrentStatus() = 0;
    virtual void RunExitFilter() = 0;
    virtual void WritePlacement() = 0;
    virtual void EmptyTrash() = 0;
};

// False: the user chose to stay; the window remains open. The settings of
// the run are written by the caller (ShutdownApplication) after a true.
bool ConfirmClose(const AppState& state, bool busy, UserPrompt& prompt, CloseHost& host);

// "OutBox.mbx" of every account that has an SMTP server, each mailbox
// directory once (accounts may share one).
std::vector<std::filesystem::path> OutBoxFiles(const AppState& state);
// Whether any of them holds a message.
bool AnyOutBoxWaiting(const AppState& state);

}  // namespace corvina
