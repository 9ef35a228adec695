#pragma once
// The host of a run without windows: transfers store straight into the
// mailbox files, status lines and errors go to the error stream, and every
// question gets the cautious answer (nothing is deleted or overwritten on
// a guess).

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "store/FolderHost.h"
#include "transfer/TransferHost.h"

namespace corvina {

class BatchHost : public TransferHost, public FolderHost {
public:
    BatchHost(std::FILE* err, std::filesystem::path mailboxDir)
        : err_(err), mailboxDir_(std::move(mailboxDir)) {}

    // The folder the "list" shows: manual filtering works on InBox.
    void SetShownFolder(MailFolder* folder) { shown_ = folder; }
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

    // StoreHost / FolderHost
    ConfirmAnswer Confirm(std::string_view text, std::string_view caption,
                          ConfirmButtons buttons) override;
    void ReportError(std::string_view text) override;
    MailFolder* ShownFolder() override { return shown_; }
    ConfirmAnswer AskDeleteAttachment(std::string_view, std::string_view, std::string_view,
                                      std::string_view) override {
        return ConfirmAnswer::No;
    }
    void OpenCompose(std::unique_ptr<MailMessage>) override {}

private:
    std::FILE* err_;
    std::filesystem::path mailboxDir_;
    MailFolder* shown_ = nullptr;
    int errors_ = 0;
    bool echoStatus_ = false;
    std::string lastStatus_;
};

}  // namespace corvina
