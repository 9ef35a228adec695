#pragma once
// A TransferHost that records every call, stores messages in memory and
// answers questions from preset values; as the session's prompt it records
// the failure messages and notices too (RecordingPrompt::notices).

#include <memory>
#include <string>
#include <vector>

#include "RecordingPrompt.h"
#include "common/StringTable.h"
#include "message/MailMessage.h"
#include "store/Mailbox.h"
#include "store/OutBoxQueue.h"
#include "transfer/TransferHost.h"

namespace corvina::test {

class RecordingHost : public TransferHost, public RecordingPrompt {
public:
    struct Stored {
        std::string folder;
        std::unique_ptr<MailMessage> message;
    };

    std::optional<MessageRef> StoreMessage(std::string_view folder,
                                           std::unique_ptr<MailMessage> message) override {
        if (failStoreAfter >= 0 && static_cast<int>(stored.size()) >= failStoreAfter) {
            return std::nullopt;
        }
        stored.push_back({std::string(folder), std::move(message)});
        return MessageRef{std::string(folder), stored.back().message->key.Value()};
    }
    // Another account's folders are real files: the OutBox queue and the
    // recovery work on them as the store does.
    bool StoreMessageIn(const std::filesystem::path& mailboxDir, std::string_view folder,
                        std::unique_ptr<MailMessage> message) override {
        storedIn.push_back((mailboxDir / folder).string());
        StoreContext context;
        context.mailboxDir = mailboxDir;
        return message && AppendToFolderFile(*message, folder, context);
    }
    std::optional<std::vector<std::string>> TakeOutBox(const std::filesystem::path& mailboxDir,
                                                       std::string& error) override {
        return corvina::TakeOutBox(mailboxDir, &error);
    }
    bool CommitOutBox(const std::filesystem::path& mailboxDir,
                      const std::vector<std::string>& unsent, std::string& error) override {
        committed.push_back(unsent);
        return corvina::CommitOutBox(mailboxDir, unsent, &error);
    }
    int RecoverOutBox(const std::filesystem::path& mailboxDir, std::string& error) override {
        return RecoverOutBoxBackup(mailboxDir, &error);
    }
    bool SyncStore() override {
        ++syncs;
        return syncResult;
    }
    void OutBoxRewritten(std::string_view folder) override { outBoxRewritten.emplace_back(folder); }
    void FirstNewMessage(const MessageRef& message) override {
        firstNew.push_back(message.folder);
        firstNewKeys.push_back(message.key);
    }
    void ReceiveStored() override { ++receiveStored; }
    void ShowStatus(std::string_view text) override { status.emplace_back(text); }
    std::optional<Credentials> AskCredentials(const Credentials& current) override {
        ++credentialQuestions;
        return credentialAnswer;
    }

    // The string-table id each notice is, alone or with its detail in
    // parentheses; -1 for any other notice.
    std::vector<int> NoticeIds() const {
        int count = 0;
        const StringTableRow* rows = StringTableRows(&count);
        std::vector<int> ids;
        for (const std::string& notice : notices) {
            int id = -1;
            for (int i = 0; i < count && id < 0; ++i) {
                const std::string text = rows[i].text;
                if (!text.empty() && (notice == text || notice.starts_with(text + " ("))) {
                    id = rows[i].id;
                }
            }
            ids.push_back(id);
        }
        return ids;
    }

    std::vector<Stored> stored;
    std::vector<std::string> storedIn;
    std::vector<std::vector<std::string>> committed;
    std::vector<std::string> storedFolders;
    int failStoreAfter = -1;  // >= 0: stores fail from this count on
    int syncs = 0;
    bool syncResult = true;
    std::vector<std::string> outBoxRewritten;
    std::vector<std::string> firstNew;
    std::vector<std::uint64_t> firstNewKeys;
    int receiveStored = 0;
    std::vector<std::string> status;
    int credentialQuestions = 0;
    std::optional<Credentials> credentialAnswer;
};

}  // namespace corvina::test
