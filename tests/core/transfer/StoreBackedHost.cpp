#include "StoreBackedHost.h"

#include "TestSupport.h"
#include "store/FolderNames.h"
#include "store/Mailbox.h"

namespace corvina::test {

StoreBackedHost::StoreBackedHost(const std::filesystem::path& mailboxDir) : dir_(mailboxDir) {
    for (const char* name : {"InBox", "OutBox", "OutBox\\Sent"}) {
        std::filesystem::path path = FolderNameToPath(dir_, name);
        std::filesystem::create_directories(path.parent_path());
        if (!std::filesystem::exists(path)) {
            WriteFileBytes(path, "");
        }
        folders_.push_back(std::make_unique<MailFolder>(path));
    }
}

std::optional<MessageRef> StoreBackedHost::StoreMessage(std::string_view folder,
                                                        std::unique_ptr<MailMessage> message) {
    if (failStoreAfter >= 0 && storedCount >= failStoreAfter) {
        return std::nullopt;
    }
    StoreContext context;
    context.mailboxDir = dir_;
    context.store = &store_;
    const MailMessage* stored = DeliverMessage(context, folder, std::move(message));
    if (!stored) {
        return std::nullopt;
    }
    ++storedCount;
    storedFolders.emplace_back(folder);
    return MessageRef{std::string(folder), stored->key.Value()};
}

bool StoreBackedHost::SyncStore() {
    ++syncs;
    return store_.SyncDeliveries() && syncResult;
}

std::vector<std::unique_ptr<MailMessage>> StoreBackedHost::ReadFolder(
    std::string_view folder) const {
    MailFolder copy(FolderNameToPath(dir_, ResolveFolderName(folder)));
    StoreContext context;
    context.mailboxDir = dir_;
    LoadFolder(copy, context);
    for (auto& m : copy.messages) {
        LoadMessageBody(*m);
        m->owner = nullptr;
    }
    return std::move(copy.messages);
}

bool StoreBackedHost::AddToOutBox(std::unique_ptr<MailMessage> message) {
    message->SetStatus("W");
    StoreContext context;
    context.mailboxDir = dir_;
    return AppendToFolderFile(*message, "OutBox", context);
}

}  // namespace corvina::test
