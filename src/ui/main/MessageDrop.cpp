#include "ui/main/MessageDrop.h"

#include <QDropEvent>
#include <QMimeData>
#include <unordered_set>

#include "app/ProfileSelection.h"
#include "message/MailMessage.h"
#include "store/FolderTree.h"
#include "store/MessageList.h"
#include "ui/main/MainContext.h"
#include "ui/main/MessageListModel.h"

namespace corvina {

namespace {

std::vector<MailMessage*> DraggedMessages(MainContext& context, const QMimeData& data) {
    const std::vector<unsigned long long> keys = DraggedMessageKeys(data);
    const std::unordered_set<unsigned long long> wanted(keys.begin(), keys.end());
    std::vector<MailMessage*> messages;
    if (wanted.empty()) {
        return messages;
    }
    for (const MessageListItem& item : context.list.Items()) {
        if (item.message != nullptr && wanted.count(item.message->key.Value()) != 0) {
            messages.push_back(item.message);
        }
    }
    return messages;
}

}  // namespace

bool CanDropMessages(MainContext& context, const QMimeData& data, const FolderNode& target) {
    if (!data.hasFormat(QString::fromLatin1(kMessagesMimeType)) ||
        target.folder.get() == context.list.Folder()) {
        return false;
    }
    return !target.IsRoot() || &target != context.tree.CurrentRoot();
}

int DropMessages(MainContext& context, const QMimeData& data, FolderNode& target, bool copy) {
    if (!CanDropMessages(context, data, target)) {
        return 0;
    }
    const std::vector<MailMessage*> messages = DraggedMessages(context, data);
    if (messages.empty()) {
        return 0;
    }
    if (!target.IsRoot()) {
        return DropListMessages(context.tree, context.list, *target.folder, messages, copy);
    }
    const int index = target.folder->profileIndex;
    if (index < 0 || index >= static_cast<int>(context.app.profiles.size())) {
        return 0;
    }
    const std::vector<MailMessage*> stored = CopyToProfileInBox(
        messages,
        MailboxDirectoryFor(context.app.homeDirectory, context.app.profiles[index].mailDirNo));
    if (!copy) {
        context.list.RemoveDroppedMessages(stored);
    }
    return static_cast<int>(stored.size());
}

void AnswerMessageDrag(MainContext& context, QDragMoveEvent& event, const FolderNode* target) {
    if (target == nullptr || !CanDropMessages(context, *event.mimeData(), *target)) {
        event.ignore();
        return;
    }
    event.setDropAction((event.modifiers() & Qt::ControlModifier) ? Qt::CopyAction
                                                                  : Qt::MoveAction);
    event.accept();
}

void DropMessagesOn(MainContext& context, QDropEvent& event, FolderNode* target) {
    if (target == nullptr) {
        event.ignore();
        return;
    }
    const bool copy = (event.modifiers() & Qt::ControlModifier) != 0;
    DropMessages(context, *event.mimeData(), *target, copy);
    event.setDropAction(Qt::CopyAction);
    event.accept();
}

}  // namespace corvina
