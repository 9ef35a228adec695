#include "ui/bridge/WindowTransferHost.h"

#include <QWidget>

#include "store/FolderTree.h"
#include "store/MailFolder.h"
#include "store/Mailbox.h"
#include "store/OutBoxQueue.h"
#include "ui/bridge/MailThread.h"
#include "ui/bridge/QtText.h"
#include "ui/bridge/UiCall.h"
#include "ui/dialogs/CredentialsDialog.h"
#include "ui/main/MainContext.h"

namespace corvina {

namespace {

bool SameDirectory(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code ec;
    if (std::filesystem::equivalent(a, b, ec)) {
        return true;
    }
    return a.lexically_normal() == b.lexically_normal();
}

}  // namespace

WindowTransferHost::WindowTransferHost(MainContext& context, MailThread& mail)
    : context_(context), mail_(mail) {}

WindowTransferHost::WindowTransferHost(MainContext& context, MailThread& mail,
                                       std::filesystem::path mailboxDir)
    : context_(context), mail_(mail), otherDir_(std::move(mailboxDir)) {}

bool WindowTransferHost::OnScreen(const std::filesystem::path& mailboxDir) const {
    return SameDirectory(mailboxDir, context_.app.mailboxDirectory);
}

std::optional<MessageRef> WindowTransferHost::StoreMessage(std::string_view folder,
                                                           std::unique_ptr<MailMessage> message) {
    // The message itself crosses: the mail thread gives it up here.
    MailMessage* raw = message.release();
    return CallOnUi(&mail_, [this, folder, raw]() -> std::optional<MessageRef> {
        std::unique_ptr<MailMessage> owned(raw);
        if (closed_ || !owned) {
            return std::nullopt;
        }
        if (otherDir_ && !OnScreen(*otherDir_)) {
            StoreContext other;
            other.mailboxDir = *otherDir_;
            if (!AppendToFolderFile(*owned, folder, other)) {
                return std::nullopt;
            }
            return MessageRef{std::string(folder), owned->key.Value()};
        }
        MailMessage* stored = DeliverMessage(context_.tree.Context(), folder, std::move(owned));
        if (!stored || !stored->owner) {
            return std::nullopt;
        }
        MailFolder& into = *stored->owner;
        const MessageRef ref = StoredMessageRef(context_.app.mailboxDirectory, into, *stored);
        // The list may have taken the row already from the store's notice.
        if (context_.list.Folder() == &into && context_.list.RowOf(stored) < 0) {
            context_.list.InsertMessageItem(into, *stored);
        }
        emit mail_.MessageStored(ToQString(ref.folder), ref.key);
        return ref;
    });
}

bool WindowTransferHost::StoreMessageIn(const std::filesystem::path& mailboxDir,
                                        std::string_view folder,
                                        std::unique_ptr<MailMessage> message) {
    MailMessage* raw = message.release();
    return CallOnUi(&mail_, [this, &mailboxDir, folder, raw] {
        std::unique_ptr<MailMessage> owned(raw);
        if (closed_ || !owned) {
            return false;
        }
        if (OnScreen(mailboxDir)) {
            // The account on screen: its tree must learn of the message.
            return DeliverMessage(context_.tree.Context(), folder, std::move(owned)) != nullptr;
        }
        StoreContext other;
        other.mailboxDir = mailboxDir;
        return AppendToFolderFile(*owned, folder, other);
    });
}

std::optional<std::vector<std::string>> WindowTransferHost::TakeOutBox(
    const std::filesystem::path& mailboxDir, std::string& error) {
    return CallOnUi(&mail_, [&]() -> std::optional<std::vector<std::string>> {
        if (closed_) {
            error = "the window is closing";
            return std::nullopt;
        }
        std::optional<std::vector<std::string>> taken = corvina::TakeOutBox(mailboxDir, &error);
        if (taken && !taken->empty()) {
            ReloadShownAccountFolder(mailboxDir, "OutBox");
        }
        return taken;
    });
}

bool WindowTransferHost::CommitOutBox(const std::filesystem::path& mailboxDir,
                                      const std::vector<std::string>& unsent, std::string& error) {
    // Committing puts back what was not sent; even a closing window must
    // let it, or those messages would wait in "OutBox.bak" for the next
    // start.
    return CallOnUi(&mail_, [&] {
        const bool ok = corvina::CommitOutBox(mailboxDir, unsent, &error);
        if (!closed_) {
            ReloadShownAccountFolder(mailboxDir, "OutBox");
        }
        return ok;
    });
}

int WindowTransferHost::RecoverOutBox(const std::filesystem::path& mailboxDir, std::string& error) {
    return CallOnUi(&mail_, [&] {
        const int back = RecoverOutBoxBackup(mailboxDir, &error);
        if (back > 0 && !closed_) {
            ReloadShownAccountFolder(mailboxDir, "OutBox");
        }
        return back;
    });
}

bool WindowTransferHost::SyncStore() {
    return CallOnUi(&mail_, [this] { return context_.store.SyncDeliveries(); });
}

void WindowTransferHost::ReloadShownAccountFolder(const std::filesystem::path& mailboxDir,
                                                  std::string_view folderName) {
    if (!OnScreen(mailboxDir)) {
        return;
    }
    FolderNode* node = context_.tree.FindNode(folderName);
    if (!node || !node->folder) {
        return;
    }
    MailFolder& folder = *node->folder;
    const bool shown = context_.list.Folder() == &folder;
    // The list holds the folder's records, which the reload replaces.
    if (shown) {
        context_.list.FillMessageList(nullptr);
    }
    folder.modified = false;
    LoadFolder(folder, context_.tree.Context());
    context_.store.FolderReloaded(folder);
    if (shown) {
        context_.list.FillMessageList(&folder);
    }
}

void WindowTransferHost::OutBoxRewritten(std::string_view folder) {
    PostToUi(&mail_, [this, name = std::string(folder)] {
        if (!closed_) {
            emit mail_.OutBoxRewritten(ToQString(name));
        }
    });
}

void WindowTransferHost::FirstNewMessage(const MessageRef& message) {
    PostToUi(&mail_, [this, message] {
        if (!closed_) {
            emit mail_.FirstNewMessage(ToQString(message.folder), message.key);
        }
    });
}

void WindowTransferHost::ReceiveStored() {
    PostToUi(&mail_, [this] {
        if (!closed_) {
            emit mail_.ReceiveStored();
        }
    });
}

void WindowTransferHost::ShowStatus(std::string_view text) {
    CallOnUi(&mail_, [this, text] {
        if (!closed_) {
            emit mail_.StatusText(ToQString(text));
        }
    });
}

std::optional<Credentials> WindowTransferHost::AskCredentials(const Credentials& current) {
    return CallOnUi(&mail_, [this, &current]() -> std::optional<Credentials> {
        if (closed_) {
            return std::nullopt;
        }
        return CredentialsDialog::Ask(
            qobject_cast<QWidget*>(mail_.parent()),
            context_.app.current.DisplayName(context_.app.settings.defUser), "&User:", current);
    });
}

std::optional<Credentials> WindowTransferHost::AskLogon(std::string_view entry,
                                                        const Credentials& prefilled) {
    return CallOnUi(&mail_, [this, entry, &prefilled]() -> std::optional<Credentials> {
        if (closed_) {
            return std::nullopt;
        }
        return CredentialsDialog::Ask(qobject_cast<QWidget*>(mail_.parent()),
                                      "Logon - " + std::string(entry), "User &ID:", prefilled);
    });
}

}  // namespace corvina
