// Sending: one message (SendMail, SendOne), the OutBoxes (Deliver) and the
// failure notice put into InBox.

#include "app/ProfileSelection.h"
#include "common/IniFile.h"
#include "compose/RecipientGroups.h"
#include "message/MailDate.h"
#include "message/mime/MimeTypeTable.h"
#include "message/mime/OutgoingText.h"
#include "store/FolderNames.h"
#include "message/MailMessage.h"
#include "store/Mailbox.h"
#include "store/MailboxParser.h"
#include "store/OutBoxQueue.h"
#include "transfer/DialUp.h"
#include "transfer/MailSession.h"
#include "transfer/TransferHost.h"
#include "transfer/TransferStrings.h"

namespace corvina {

namespace {

// One piece of a mailbox file read exactly as the store reads its own
// files (header summary, store lines, other header lines, body).
// The store keeps only an attachment's path; its type and encoding come
// from the MIME type table, as when the message is parsed.
std::unique_ptr<MailMessage> ReadStoredPiece(const std::string& piece,
                                             const std::filesystem::path& mailboxDir,
                                             const MimeTypeTable& types) {
    auto message = std::make_unique<MailMessage>();
    MailboxLineReader reader(piece.data(), piece.data() + piece.size());
    ReadMessageHeader(reader, *message, mailboxDir, HeaderPass::Index);
    message->offset = 0;
    message->otherHeaders.clear();
    message->otherHeadersLoaded = false;
    LoadMessagePartsFrom(piece, *message, true, true);
    message->offset = -1;
    message->owner = nullptr;
    message->bodyLoaded = true;
    for (AttachmentEntry& entry : message->attachments) {
        TypeAttachmentByFileName(entry, types);
    }
    return message;
}

}  // namespace

const MimeTypeTable& MailSession::MimeTypes() const {
    static const MimeTypeTable builtIn;
    return mimeTypes_ ? *mimeTypes_ : builtIn;
}

bool MailSession::SendMail(MailMessage& message) {
    if (!resolved_) {
        return false;
    }
    OutgoingOptions options;
    options.groups = AddressBookGroups(addressBookDirectory_);
    options.sendDate = settings_.sendDate != 0;
    OutgoingEnvelope envelope = BuildEnvelope(message, options);
    // A vanished attachment fails the message before anything is sent,
    // and the notice names the file.
    if (std::optional<std::string> problem = CheckAttachmentFiles(message)) {
        lastError_ = *problem;
        state_.AddTranscript(lastError_ + "\n");
        return false;
    }
    bool opened = false;
    if (!connection_.IsOpen()) {
        if (!ConnectSmtp()) {
            return false;
        }
        opened = true;
    }
    bool ok = false;
    if (!envelope.recipients.empty()) {
        ok = SendEnvelope(envelope.sender, envelope.recipients,
                          [&](const std::function<bool(std::string_view)>& send) {
                              return BuildOutgoingText(message, send, options);
                          });
    } else {
        lastError_ = "The message has no recipient (To, Cc or Bcc), so it was not sent";
        state_.AddTranscript(lastError_ + "\n");
    }
    if (opened) {
        QuitSmtp();
    }
    return ok;
}

bool MailSession::FileMessage(int accountIndex, std::string_view folder,
                              std::unique_ptr<MailMessage> message) {
    if (accountIndex == accountIndex_ || !profiles_) {
        return host_.StoreMessage(folder, std::move(message)) != nullptr;
    }
    return host_.StoreMessageIn(mailboxDirectory_, folder, std::move(message));
}

int MailSession::SendOne(int accountIndex, std::unique_ptr<MailMessage> message) {
    BusyGuard busy(state_);
    if (!busy.Entered() || !message) {
        return -1;
    }
    DialUpScope link(LinkService(), account_, settings_.skipError != 0, LinkHost());
    if (!link.Up()) {
        // The message is not lost: it is filed as failed, with the notice.
        ReportLinkDown();
    }
    return SendAndFile(accountIndex, std::move(message), false, link.Up()) == SendResult::kSent
               ? 0
               : -1;
}

MailSession::SendResult MailSession::SendAndFile(int accountIndex,
                                                 std::unique_ptr<MailMessage> message, bool queued,
                                                 bool linkUp) {
    bool prepared = linkUp && Prepare(false);
    std::string now = FormatMailDate();
    if (message->hasResent) {
        message->resentDate = now;
    } else {
        message->date = now;
    }
    bool ok = prepared && SendMail(*message);
    // A message of the OutBox that the user's abort stopped was not refused:
    // it stays queued.
    if (!ok && queued && state_.abort.IsRaised()) {
        return SendResult::kNotSent;
    }
    message->SetStatus(ok ? "S" : "E");
    std::string date = message->date;
    std::string from = message->from;
    bool filed = FileMessage(accountIndex, "Sent", std::move(message));
    if (!ok) {
        // A failed message that could not be filed in Sent would be lost:
        // it stays queued instead.
        if (!filed && queued) {
            return SendResult::kNotSent;
        }
        NotifySendFailure(date, from, accountIndex);
        return SendResult::kFailed;
    }
    return SendResult::kSent;
}

void MailSession::NotifySendFailure(const std::string& date, const std::string& from,
                                    int accountIndex) {
    auto notice = std::make_unique<MailMessage>();
    notice->date = date;
    notice->from = "Marlo";
    notice->to = from;
    notice->subject = "Mail sending error!";
    const std::string& name = account_.name.empty() ? account_.address : account_.name;
    notice->AddBodyLine("Dear " + name);
    notice->AddBodyLine("");
    notice->AddBodyLine("I regret to say that I failed to send this mail.");
    notice->AddBodyLine("SMTP session log follows.");
    std::string rule(50, '-');
    notice->AddBodyLine(rule);
    for (const std::string& line : state_.Transcript()) {
        notice->AddBodyLine(line);
    }
    notice->AddBodyLine(rule);
    notice->AddBodyLine("Original message has moved to Sent box.");
    notice->AddBodyLine(std::string(38, ' ') + "Love. Marlo.");
    FileMessage(accountIndex, "InBox", std::move(notice));
}

// One account's OutBox, taken as a whole through the host and committed
// back: messages sent or refused are filed in Sent, the rest (after a
// refusal, after the user's abort) go back to the front of the OutBox.
// `writtenBack` receives the number put back (-1 when committing failed
// and the messages wait in "OutBox.bak" for recovery).
bool MailSession::DeliverOutBox(int accountIndex, int& writtenBack) {
    writtenBack = 0;
    std::string error;
    int recovered = host_.RecoverOutBox(mailboxDirectory_, error);
    if (recovered < 0) {
        ReportError(kStrSendFailed, error);
        return false;
    }
    if (recovered > 0) {
        host_.ShowNotice(std::to_string(recovered) +
                         " message(s) of an interrupted delivery were put back into the OutBox (" +
                         mailboxDirectory_.string() + ")");
    }
    std::error_code ec;
    if (std::filesystem::file_size(FolderFilePath(mailboxDirectory_, "OutBox"), ec) == 0 || ec) {
        return true;
    }
    if (!ConnectSmtp()) {
        // Nothing left the OutBox; the user hears why (a refused login, a
        // certificate named by its fingerprint).
        ReportError(kStrSendFailed, lastError_);
        return false;
    }
    std::optional<std::vector<std::string>> pieces = host_.TakeOutBox(mailboxDirectory_, error);
    if (!pieces) {
        QuitSmtp();
        ReportError(kStrSendFailed, error);
        return false;
    }
    if (pieces->empty()) {
        QuitSmtp();
        return true;
    }
    size_t next = 0;
    bool failed = false;
    while (next < pieces->size() && !state_.abort.IsRaised()) {
        SendResult result = SendAndFile(
            accountIndex, ReadStoredPiece((*pieces)[next], mailboxDirectory_, MimeTypes()), true);
        if (result == SendResult::kNotSent) {
            break;
        }
        ++next;
        if (result == SendResult::kFailed) {
            failed = true;
            break;
        }
    }
    QuitSmtp();
    std::vector<std::string> unsent(pieces->begin() + static_cast<std::ptrdiff_t>(next),
                                    pieces->end());
    if (failed && !unsent.empty()) {
        ReportError(kStrSendFailed);
    }
    // The Sent copies are what recovery would recognise the sent messages
    // by: they are made durable before "OutBox.bak" goes.
    host_.SyncStore();
    if (!host_.CommitOutBox(mailboxDirectory_, unsent, error)) {
        ReportError(kStrSendFailed, error);
        writtenBack = -1;
        return false;
    }
    writtenBack = static_cast<int>(unsent.size());
    return next == pieces->size() && !failed;
}

bool DeliversOutBoxOf(const AccountProfile& account, int sendMode) {
    switch (sendMode) {
        case 0:
            return !account.smtp.empty();
        case 1:
            return UsesAnyServer(account);
        default:
            return false;
    }
}

bool MailSession::Deliver() {
    BusyGuard busy(state_);
    if (!busy.Entered()) {
        return false;
    }
    DialUpScope link(LinkService(), account_, settings_.skipError != 0, LinkHost());
    if (!link.Up()) {
        // Nothing left any OutBox.
        ReportLinkDown();
        return false;
    }
    const std::string savedUser = user_;
    const std::string savedPassword = password_;
    const AccountProfile current = account_;
    const std::filesystem::path currentDirectory = mailboxDirectory_;
    const SessionSettings currentSettings = settings_;
    Prepare(true);
    // The login to the current account's SMTP server, which SendMode 1 uses
    // for every account's messages.
    const Credentials currentLogin = PopCredentials();
    int writtenBack = 0;
    bool ok = DeliverOutBox(accountIndex_, writtenBack);

    if (ok && profiles_ && settings_.sendMode != 2) {
        for (int i = 0; i < kProfileCount && ok; ++i) {
            const AccountProfile& other = (*profiles_)[static_cast<size_t>(i)];
            if (i == accountIndex_ || !DeliversOutBoxOf(other, settings_.sendMode)) {
                continue;
            }
            AccountProfile switched = other;
            if (settings_.sendMode == 1) {
                // The current account's server, so the current account's
                // login: the other account's password never goes there.
                switched.smtp = current.smtp;
                switched.smtpPort = current.smtpPort;
                switched.smtpSecurity = current.smtpSecurity;
                switched.smtpAuth = current.smtpAuth;
                switched.smtpUser = current.smtpUser;
                switched.smtpPass = current.smtpPass;
                switched.certFingerprint = current.certFingerprint;
                if (current.smtpAuth == kSmtpAuthAccount) {
                    switched.smtpAuth = kSmtpAuthOwn;
                    switched.smtpUser = currentLogin.user;
                    switched.smtpPass = currentLogin.password;
                }
            }
            account_ = switched;
            mailboxDirectory_ = MailboxDirectoryFor(homeDirectory_, other.mailDirNo);
            // Whatever login the session holds is the current account's.
            user_.clear();
            password_.clear();
            ForgetServers();
            settings_.skipError = 1;
            if (!Prepare(true)) {
                ok = false;
                break;
            }
            int back = 0;
            std::filesystem::path outBox = FolderFilePath(mailboxDirectory_, "OutBox");
            bool hadOutBox = std::filesystem::exists(outBox);
            ok = DeliverOutBox(i, back);
            if (hadOutBox) {
                WritePrivateProfileString("Mail", "Total", std::to_string(back),
                                          ControlFilePath(outBox));
            }
            settings_ = currentSettings;
        }
    }

    account_ = current;
    mailboxDirectory_ = currentDirectory;
    settings_ = currentSettings;
    ForgetServers();
    Prepare(true);
    user_ = savedUser;
    password_ = savedPassword;
    host_.OutBoxRewritten("OutBox");
    state_.commandToken = true;
    return ok;
}

}  // namespace corvina
