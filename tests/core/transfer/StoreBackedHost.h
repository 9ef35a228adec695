#pragma once
// A TransferHost that stores into real mailbox files (InBox, OutBox, Sent
// of one mailbox directory) through the store, as the windows do, and
// records everything else. Storing or syncing can be made to fail.

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "RecordingHost.h"
#include "store/MailFolder.h"
#include "store/MailStore.h"

namespace corvina::test {

class StoreBackedHost : public RecordingHost {
public:
    explicit StoreBackedHost(const std::filesystem::path& mailboxDir);

    std::optional<MessageRef> StoreMessage(std::string_view folder,
                                           std::unique_ptr<MailMessage> message) override;
    bool SyncStore() override;

    // The messages of a folder file as the store reads them back.
    std::vector<std::unique_ptr<MailMessage>> ReadFolder(std::string_view folder) const;
    // Puts a message into the OutBox file with status "W".
    bool AddToOutBox(std::unique_ptr<MailMessage> message);

    int storedCount = 0;

private:
    std::filesystem::path dir_;
    MailStore store_;
    std::vector<std::unique_ptr<MailFolder>> folders_;
};

}  // namespace corvina::test
