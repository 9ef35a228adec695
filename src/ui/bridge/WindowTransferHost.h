#pragma once
// The window side of a transfer: what a job on the mail thread asks of the
// windows. Every call crosses to the UI thread and runs there while the
// mail thread waits, because only the UI thread writes folder files and
// shows anything: received messages arrive by value and are stored into
// the folder tree, the OutBox is taken and committed through the store,
// and the list and the tree follow through the store's notices. Check All
// Accounts uses the same host on the UI thread, one per account.

#include <atomic>
#include <filesystem>
#include <optional>

#include "transfer/TransferHost.h"

namespace corvina {

class MailFolder;
class MailThread;
class MainContext;

class WindowTransferHost : public TransferHost {
public:
    // The current account's host: stores into the folder tree on screen.
    WindowTransferHost(MainContext& context, MailThread& mail);
    // Another account's host (Check All Accounts): stores into the folder
    // files of `mailboxDir`, which are not on screen.
    WindowTransferHost(MainContext& context, MailThread& mail, std::filesystem::path mailboxDir);

    // From the UI thread when the window goes: from then on nothing is
    // stored (the job counts such a message as not received, so it stays
    // on the server) and nothing is shown.
    void Close() { closed_ = true; }

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
    void OutBoxRewritten(std::string_view folder) override;
    void FirstNewMessage(const MessageRef& message) override;
    void ReceiveStored() override;
    void ShowStatus(std::string_view text) override;
    std::optional<Credentials> AskCredentials(const Credentials& current) override;
    std::optional<Credentials> AskLogon(std::string_view entry,
                                        const Credentials& prefilled) override;

private:
    // On the UI thread: reads a folder of the tree on screen again after
    // its file was rewritten under it, when `mailboxDir` is that tree's.
    void ReloadShownAccountFolder(const std::filesystem::path& mailboxDir,
                                  std::string_view folderName);
    bool OnScreen(const std::filesystem::path& mailboxDir) const;

    MainContext& context_;
    MailThread& mail_;
    std::optional<std::filesystem::path> otherDir_;
    std::atomic<bool> closed_{false};
};

}  // namespace corvina
