#pragma once
// What a transfer needs from the window side beyond the questions and
// notices of the one prompt interface (UserPrompt): storing messages, the
// OutBox, notices to the main window, the status line, and the two
// dialogs that ask for a user name and a password together, pre-filled. The
// windows implement it with queued calls into the UI thread (the calls
// marked "synchronous" block until the UI thread answered), the terminal
// front end on its own thread, tests with a recording fake.
//
// Every call comes from the thread that runs the session.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "message/MailMessage.h"
#include "transfer/ProtocolClient.h"

namespace corvina {

// Window message numbers the rest of the program refers to.
inline constexpr int kMsgStoreMessage = 1001;
inline constexpr int kMsgOutBoxRewritten = 1003;
inline constexpr int kMsgFirstNewMessage = 1006;
inline constexpr int kMsgReceiveStored = 1008;
inline constexpr int kMsgStatusText = 1025;

class TransferHost {
public:
    virtual ~TransferHost() = default;

    // 1001, synchronous: store `message` in `folder` (a folder name of the
    // current account, e.g. "InBox", "Sent"). Ownership passes. Returns how
    // the store now names the message, or nullopt when it could not be
    // stored (then it counts as not received).
    virtual std::optional<MessageRef> StoreMessage(std::string_view folder,
                                                   std::unique_ptr<MailMessage> message) = 0;

    // Stores `message` in `folder` of another account, the one whose
    // mailbox directory is `mailboxDir` (its folders are not on screen).
    // True when stored.
    virtual bool StoreMessageIn(const std::filesystem::path& mailboxDir, std::string_view folder,
                                std::unique_ptr<MailMessage> message) = 0;

    // The OutBox of the account whose mailbox directory is `mailboxDir`, as
    // the queue of a delivery (store/OutBoxQueue.h): take every message
    // out of it, commit back the ones not sent, recover what a killed
    // delivery left in "OutBox.bak" (the number put back, -1 on failure).
    // On failure `error` says why.
    virtual std::optional<std::vector<std::string>> TakeOutBox(
        const std::filesystem::path& mailboxDir, std::string& error) = 0;
    virtual bool CommitOutBox(const std::filesystem::path& mailboxDir,
                              const std::vector<std::string>& unsent, std::string& error) = 0;
    virtual int RecoverOutBox(const std::filesystem::path& mailboxDir, std::string& error) = 0;

    // Makes every message stored so far durable (written and fsync'ed).
    // A POP3 session ends with QUIT, which commits its deletions on the
    // server, only after this returned true.
    virtual bool SyncStore() = 0;

    // 1003: the OutBox file of `folder` was rewritten; reload it.
    virtual void OutBoxRewritten(std::string_view folder) = 0;

    // 1006: the first new message of this receive was stored.
    virtual void FirstNewMessage(const MessageRef& message) = 0;

    // 1008: a receive stored at least one message; the window runs its
    // new-mail notice (sound, tray icon, the "You have new mail" question).
    virtual void ReceiveStored() = 0;

    // 1025, synchronous: text for the status bar's message pane.
    virtual void ShowStatus(std::string_view text) = 0;

    // The account dialog for a missing user name or password, pre-filled.
    // nullopt = Cancel.
    virtual std::optional<Credentials> AskCredentials(const Credentials& current) = 0;

    // The "Logon" dialog of a dial-up entry (User ID, Password), pre-filled.
    // nullopt = Cancel. Hosts without their own dialog ask as for an
    // account.
    virtual std::optional<Credentials> AskLogon(std::string_view entry,
                                                const Credentials& prefilled) {
        (void)entry;
        return AskCredentials(prefilled);
    }
};

}  // namespace corvina
