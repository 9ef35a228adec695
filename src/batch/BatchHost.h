#pragma once
// The host of a run without windows: transfers store straight into the
// mailbox files, status lines and errors go to the error stream, and every
// question gets the cautious answer (nothing is deleted or overwritten on
// a guess).

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "common/UserPrompt.h"
#include "store/MailStore.h"
#include "store/StoreHost.h"
#include "transfer/TransferHost.h"

namespace corvina {

class BatchHost : public TransferHost, public StoreHost, public UserPrompt {
public:
    BatchHost(std::FILE* err, std::filesystem::path mailboxDir)
        : err_(err), mailboxDir_(std::move(mailboxDir)) {}

    // The run's store: its questions and notices come here.
    MailStore& Store() { return store_; }
    int ErrorCount() const { return errors_; }
    // Every status line goes to the error stream as it comes (the session
    // transcript); otherwise only the last one is kept, for a failure.
    void SetEchoStatus(bool echo) { echoStatus_ = echo; }
    const std::string& LastStatus() const { return lastStatus_; }

    // TransferHost
    std::optional<MessageRef> StoreMessage(std::string_view folder,
                                           std::unique_ptr<MailMessage> message) override;
    bool StoreMessageIn(const std::filesystem::path& mailboxDir, std::string_view folder,
                        std::unique_ptr<MailMessage> message) override;
    std::optional<std::vector<std::string>> TakeOutBox(const std::filesystem::path& mailboxDir,
                                                       std::string& error) override;
    bool CommitOutBox(const std::filesystem::path& mailboxDir,
                      const std::vector<std::string>& unsent, std::string& error) override;
    int RecoverOutBox(const std::filesystem::path& mailboxDir, std::string& error) override;
    bool SyncStore() override;
    void OutBoxRewritten(std::string_view) override {}
    void FirstNewMessage(const MessageRef&) override {}
    void ReceiveStored() override {}
    void ShowStatus(std::string_view text) override;
    std::optional<Credentials> AskCredentials(const Credentials& current) override;

    // UserPrompt for the store: a question is written out and takes the
    // cautious answer, a notice is an error; nobody picks a file or types
    // a text for a batch command.
    ConfirmAnswer Ask(const Question& question) override;
    void Notify(std::string_view text, std::string_view caption) override;
    std::optional<std::filesystem::path> ChooseFile(const FileChoice&) override {
        return std::nullopt;
    }
    std::optional<std::string> AskText(std::string_view, std::string_view,
                                       std::string_view) override {
        return std::nullopt;
    }
    std::optional<std::string> AskPassword(std::string_view, std::string_view) override {
        return std::nullopt;
    }

private:
    std::FILE* err_;
    std::filesystem::path mailboxDir_;
    MailStore store_{this, this};
    int errors_ = 0;
    bool echoStatus_ = false;
    std::string lastStatus_;
};

}  // namespace corvina
