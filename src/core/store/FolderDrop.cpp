#include "store/FolderDrop.h"

#include "common/Bytes.h"
#include "common/StringTable.h"
#include "message/Address.h"
#include "message/MailMessage.h"
#include "message/mime/MessageParser.h"
#include "store/FolderTree.h"
#include "store/MailFolder.h"
#include "store/MailStore.h"
#include "store/Mailbox.h"
#include "store/StoreHost.h"

namespace corvina {

DropDecision DecideDrop(const MailFolder& target, const MailMessage& message,
                        std::string_view profileAddress) {
    if (target.kind == 0)
        return DropDecision::NoTarget;
    if (!target.countAll)
        return DropDecision::Add;
    if (!EqualNoCase(AddressOf(message.from), Trim(profileAddress)))
        return DropDecision::NotYours;
    if (Trim(message.to).empty())
        return DropDecision::Compose;
    return DropDecision::Add;
}

DropDecision DropMessageOnFolder(FolderTree& tree, MailFolder& target,
                                 std::unique_ptr<MailMessage> message,
                                 std::string_view profileAddress) {
    if (!message)
        return DropDecision::NoTarget;
    const DropDecision decision = DecideDrop(target, *message, profileAddress);
    MailStore* store = tree.Store();
    switch (decision) {
        case DropDecision::Add:
            AddMessage(target, std::move(message), tree.Context());
            break;
        case DropDecision::NotYours:
            if (store)
                store->Ask(LoadString(kNotYoursStringId), ConfirmButtons::Ok, ConfirmAnswer::Ok);
            break;
        case DropDecision::Compose:
            if (store && store->Host())
                store->Host()->OpenCompose(std::move(message));
            break;
        case DropDecision::NoTarget:
            break;
    }
    return decision;
}

DropDecision DropRawMessageOnFolder(FolderTree& tree, MailFolder& target, std::string_view raw,
                                    const ParseOptions& options, std::string_view profileAddress) {
    if (raw.empty())
        return DropDecision::NoTarget;
    auto message = std::make_unique<MailMessage>();
    ParseMessage(*message, raw, options);
    return DropMessageOnFolder(tree, target, std::move(message), profileAddress);
}

}  // namespace corvina
