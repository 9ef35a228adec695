#include "filter/ManualFiltering.h"

#include <memory>

#include "common/Bytes.h"
#include "filter/FilterList.h"
#include "message/MailMessage.h"
#include "store/FolderOps.h"
#include "store/FolderTree.h"
#include "store/MailFolder.h"
#include "store/MailStore.h"
#include "store/Mailbox.h"
#include "store/StoreHost.h"

namespace corvina {

namespace {

// Removes message `index` from the folder's index the way every removal
// does: the neighbour that the rewrite starts from is loaded and marked
// dirty, and the counts go down.
void TakeOutOfFolder(MailFolder& folder, size_t index) {
    const bool unread = !folder.messages[index]->read;
    const size_t neighbour = index > 0 ? index - 1 : index + 1;
    if (neighbour < folder.messages.size()) {
        LoadMessageBody(*folder.messages[neighbour]);
        folder.messages[neighbour]->dirty = true;
    }
    folder.messages.erase(folder.messages.begin() + static_cast<std::ptrdiff_t>(index));
    if (folder.total > 0)
        --folder.total;
    if ((unread || folder.countAll) && folder.unread > 0)
        --folder.unread;
    folder.modified = true;
}

}  // namespace

int ManualFiltering(FolderTree& tree, const FilterList& filters) {
    MailStore* store = tree.Store();
    if (store && !store->ShownFolder())
        return -1;
    FolderNode* inboxNode = tree.Special(SpecialFolder::InBox);
    if (!inboxNode)
        return -1;
    MailFolder& inbox = *inboxNode->folder;
    if (store && store->Host())
        store->Host()->SelectFolder(inbox);
    const StoreContext context = tree.Context();
    if (inbox.messages.empty() && !inbox.modified)
        LoadFolder(inbox, context);

    int moved = 0;
    size_t i = 0;
    while (i < inbox.messages.size()) {
        MailMessage& message = *inbox.messages[i];
        const std::string target = filters.FilterFolder(message);
        const FolderNode* targetNode = tree.FindNode(target);
        if (EqualNoCase(target, "InBox") || (targetNode && targetNode->folder.get() == &inbox)) {
            ++i;
            continue;
        }
        // The copy is stored first; the message leaves InBox only once the
        // target holds it, so a failed delivery loses nothing.
        LoadMessageBody(message);
        if (!DeliverMessage(context, target, std::make_unique<MailMessage>(message))) {
            ++i;
            continue;
        }
        const MessageRef ref = StoredMessageRef(context.mailboxDir, inbox, message);
        TakeOutOfFolder(inbox, i);
        if (store)
            store->MessageRemoved(inbox, ref);
        ++moved;
    }
    if (moved > 0 && store)
        store->SyncDeliveries();
    SaveCurrentStatus(tree);
    return moved;
}

}  // namespace corvina
