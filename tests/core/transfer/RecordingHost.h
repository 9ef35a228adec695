#pragma once
// A TransferHost that records every call, stores messages in memory and
// answers questions from preset values.

#include <memory>
#include <string>
#include <vector>

#include "store/MailMessage.h"
#include "transfer/TransferHost.h"

namespace corvina::test {

class RecordingHost : public TransferHost {
public:
    struct Stored {
        std::string folder;
        std::unique_ptr<MailMessage> message;
    };

    const MailMessage* StoreMessage(std::string_view folder,
                                    std::unique_ptr<MailMessage> message) override {
        if (failStoreAfter >= 0 && static_cast<int>(stored.size()) >= failStoreAfter) {
            return nullptr;
        }
        stored.push_back({std::string(folder), std::move(message)});
        return stored.back().message.get();
    }
    bool SyncStore() override {
        ++syncs;
        return syncResult;
    }
    void OutBoxRewritten(std::string_view folder) override { outBoxRewritten.emplace_back(folder); }
    void FirstNewMessage(std::string_view folder, const MailMessage*) override {
        firstNew.emplace_back(folder);
    }
    void ReceiveStored() override { ++receiveStored; }
    void ShowStatus(std::string_view text) override { status.emplace_back(text); }
    void ShowError(int stringId, std::string_view detail) override {
        errors.push_back(stringId);
        errorDetails.emplace_back(detail);
    }
    std::optional<Credentials> AskCredentials(const Credentials& current) override {
        ++credentialQuestions;
        return credentialAnswer;
    }
    void NoNewMail() override { ++noNewMail; }

    std::vector<Stored> stored;
    std::vector<std::string> storedFolders;
    int failStoreAfter = -1;  // >= 0: stores fail from this count on
    int syncs = 0;
    bool syncResult = true;
    std::vector<std::string> outBoxRewritten;
    std::vector<std::string> firstNew;
    int receiveStored = 0;
    std::vector<std::string> status;
    std::vector<int> errors;
    std::vector<std::string> errorDetails;
    int credentialQuestions = 0;
    std::optional<Credentials> credentialAnswer;
    int noNewMail = 0;
};

}  // namespace corvina::test
