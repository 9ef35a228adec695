#include "store/FolderView.h"

#include <system_error>

#include "app/ProfileSelection.h"
#include "store/FolderNames.h"
#include "store/FolderOps.h"
#include "store/FolderStat.h"
#include "store/FolderTree.h"
#include "store/Mailbox.h"

namespace corvina {

namespace {

bool UnreadBelow(FolderTree& tree, const FolderNode& node, const StoreContext& context) {
    for (const auto& child : node.children) {
        if (FolderHasUnread(*child->folder, context) || UnreadBelow(tree, *child, context))
            return true;
    }
    return false;
}

}  // namespace

FolderIcon ChooseFolderIcon(FolderTree& tree, FolderNode& node) {
    MailFolder& folder = *node.folder;
    if (node.IsRoot())
        return FolderIcon::AccountRoot;
    const StoreContext context = tree.Context();
    const SpecialFolder special = SpecialFolderOfName(tree.FolderNameOf(node));
    const bool unread = special != SpecialFolder::Sent && FolderHasUnread(folder, context);
    if (folder.countAll)
        return unread ? FolderIcon::CountAllUnread : FolderIcon::CountAll;
    if (special == SpecialFolder::Trash)
        return unread ? FolderIcon::TrashUnread : FolderIcon::Trash;
    if (folder.fixed)
        return unread ? FolderIcon::FixedUnread : FolderIcon::Fixed;
    if (unread)
        return FolderIcon::UserUnread;
    if (folder.kind == 1 && UnreadBelow(tree, node, context))
        return FolderIcon::UserUnreadBelow;
    return FolderIcon::User;
}

int UnreadCountShown(FolderTree& tree, FolderNode& node) {
    MailFolder& folder = *node.folder;
    if (node.IsRoot() || SpecialFolderOfName(tree.FolderNameOf(node)) == SpecialFolder::Sent)
        return 0;
    int unread = folder.unread;
    if (unread < 0 && folder.messages.empty() && !folder.modified) {
        unread = ReadFolderStat(folder, "Mail", "UnRead", -1);
        if (folder.countAll)
            unread = ReadFolderStat(folder, "Mail", "Total", -1);
    }
    if (unread < 0 && (!folder.messages.empty() || folder.modified))
        unread = folder.UnreadInIndex();
    return unread > 0 ? unread : 0;
}

std::vector<FolderMenuItem> FolderContextMenu(const ProfileTable& profiles) {
    std::vector<FolderMenuItem> menu = {
        {kCmdSaveCurrentStatus, "&Save Current Status"},
        {kCmdNewFolder, "&New Letter Folder"},
        {42778, "&Address Book..."},
        {0, ""},
        {42771, "&Receive"},
        {42783, "De&liver"},
        {42782, "Recei&ve All"},
        {42780, "Clea&n up Server"},
        {0, ""},
        {kCmdEmptyTrash, "&Empty Trash box"},
        {42774, "&Preferences..."},
        {kCmdFolderProperty, "&Folder Property..."},
    };
    const auto entries = ProfileMenuEntries(profiles);
    if (!entries.empty())
        menu.push_back({0, ""});
    for (const auto& e : entries)
        menu.push_back({e.commandId, e.text});
    return menu;
}

bool FolderCommandEnabled(int command, const FolderNode* selected, bool treeHasFocus) {
    if (command == kCmdDeleteFolder)
        return treeHasFocus && selected && !selected->folder->fixed;
    if (command == kCmdFolderProperty)
        return selected && !selected->folder->fixed;
    return true;
}

FolderOpenAction OpenFolderNode(const FolderTree& tree, const FolderNode& node,
                                bool transferRunning) {
    if (node.IsRoot() && &node != tree.CurrentRoot()) {
        if (transferRunning)
            return {};
        return {FolderOpenAction::SwitchProfile, kProfileMenuFirstId + node.folder->profileIndex};
    }
    return {FolderOpenAction::ShowFolder, 0};
}

bool LeaveFolderNode(FolderTree& tree, FolderNode& node) {
    MailFolder& folder = *node.folder;
    std::error_code ec;
    if (folder.kind != 2 || !std::filesystem::exists(folder.path, ec))
        return false;
    return SaveFolder(folder, false, tree.Context());
}

}  // namespace corvina
