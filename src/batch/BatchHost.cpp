#include "batch/BatchHost.h"

#include "batch/TerminalPrompt.h"
#include "common/StringTable.h"
#include "message/MailMessage.h"
#include "store/Mailbox.h"
#include "store/OutBoxQueue.h"

namespace corvina {

namespace {

void WriteLine(std::FILE* out, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), out);
    std::fputc('\n', out);
    std::fflush(out);
}

}  // namespace

std::optional<MessageRef> BatchHost::StoreMessage(std::string_view folder,
                                                  std::unique_ptr<MailMessage> message) {
    StoreContext context;
    context.mailboxDir = mailboxDir_;
    context.store = &store_;
    const MailMessage* stored = DeliverMessage(context, folder, std::move(message));
    if (!stored) {
        return std::nullopt;
    }
    return MessageRef{std::string(folder), stored->key.Value()};
}

bool BatchHost::StoreMessageIn(const std::filesystem::path& mailboxDir, std::string_view folder,
                               std::unique_ptr<MailMessage> message) {
    StoreContext context;
    context.mailboxDir = mailboxDir;
    context.store = &store_;
    return message && AppendToFolderFile(*message, folder, context);
}

std::optional<std::vector<std::string>> BatchHost::TakeOutBox(
    const std::filesystem::path& mailboxDir, std::string& error) {
    return corvina::TakeOutBox(mailboxDir, &error);
}

bool BatchHost::CommitOutBox(const std::filesystem::path& mailboxDir,
                             const std::vector<std::string>& unsent, std::string& error) {
    return corvina::CommitOutBox(mailboxDir, unsent, &error);
}

int BatchHost::RecoverOutBox(const std::filesystem::path& mailboxDir, std::string& error) {
    return RecoverOutBoxBackup(mailboxDir, &error);
}

bool BatchHost::SyncStore() {
    return store_.SyncDeliveries();
}

void BatchHost::ShowStatus(std::string_view text) {
    lastStatus_ = text;
    if (echoStatus_ && !text.empty())
        WriteLine(err_, text);
}

std::optional<Credentials> BatchHost::AskCredentials(const Credentials&) {
    // Nobody can answer here: the password belongs in the config file
    // (corvina --set-password).
    WriteLine(err_,
              "corvina: the account has no user name or password "
              "(see corvina --set-password)");
    return std::nullopt;
}

ConfirmAnswer BatchHost::Ask(const Question& question) {
    WriteLine(err_, question.text);
    return TerminalPrompt::CautiousAnswer(question.buttons);
}

void BatchHost::Notify(std::string_view text, std::string_view caption) {
    ++errors_;
    std::string line = "corvina: ";
    // A box of its own kind ("System Error") says so.
    if (!caption.empty() && caption != kMessageCaption) {
        line += caption;
        line += ": ";
    }
    line += text;
    WriteLine(err_, line);
}

}  // namespace corvina
