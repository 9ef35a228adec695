#pragma once
// What the main window and its panes work on: the run's settings and
// profiles, the store with its folder tree and message list, the transfer
// state shared with the mail thread, and the editor's process-wide
// settings. The main window owns one; widget tests make their own over a
// scratch home.

#include "app/AppState.h"
#include "editor/EditorEnvironment.h"
#include "editor/SearchState.h"
#include "store/FolderTree.h"
#include "store/MailStore.h"
#include "store/MessageList.h"
#include "transfer/TransferState.h"

namespace corvina {

class ConfigStore;
class UserPrompt;

class MainContext {
public:
    // app, config and prompt outlive the context. The editor environment
    // must have been started (or left with its defaults).
    MainContext(AppState& app, ConfigStore& config, UserPrompt& prompt, EditorEnvironment& editor);
    ~MainContext();
    MainContext(const MainContext&) = delete;
    MainContext& operator=(const MainContext&) = delete;

    AppState& app;
    ConfigStore& config;
    UserPrompt& prompt;
    EditorEnvironment& editor;
    SearchState& search;

    MailStore store;
    FolderTree tree{&store};
    TransferState transfer;

    // One list for the whole run; its context follows the profile.
    MessageList list{MessageListContext{}};

    // Reads the folder tree of the current profile (AppState::current and
    // its mailbox directory) and points the message list at it, showing
    // nothing yet. Called at start and after every profile switch; the
    // panes then rebuild from the tree.
    void BuildForCurrentProfile();
};

}  // namespace corvina
