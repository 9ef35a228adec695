#include "ui/main/MainContext.h"

#include "store/FolderNames.h"

namespace corvina {

MainContext::MainContext(AppState& app, ConfigStore& config, UserPrompt& prompt,
                         EditorEnvironment& editor)
    : app(app),
      config(config),
      prompt(prompt),
      editor(editor),
      search(SearchState::Shared()),
      store(&prompt) {
    // First among the store's watchers: the list lets go of a replaced
    // folder's records before any pane is told.
    store.AddWatcher(&list);
    BuildForCurrentProfile();
}

MainContext::~MainContext() {
    store.RemoveWatcher(&list);
}

void MainContext::BuildForCurrentProfile() {
    // The list points into the tree's folders: let go of them first.
    list.FillMessageList(nullptr);
    store.SetShown(nullptr);
    tree.BuildFolderTree(app);
    MessageListContext& context = list.Context();
    context.mailboxDir = app.mailboxDirectory;
    context.store = &store;
    context.profileAddress = app.current.address;
    context.profileAddrGroup = app.current.addrGroup;
    context.alwaysRead = app.settings.alwaysRead != 0;
    FolderNode* trash = tree.Special(SpecialFolder::Trash);
    context.trash = trash ? trash->folder.get() : nullptr;
    context.msgThread = &app.settings.msgThread;
}

}  // namespace corvina
