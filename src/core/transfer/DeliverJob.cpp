#include "transfer/DeliverJob.h"

#include "app/ProfileSelection.h"
#include "common/IniFile.h"
#include "common/UserPrompt.h"
#include "compose/RecipientGroups.h"
#include "message/MailDate.h"
#include "message/MailMessage.h"
#include "message/mime/MimeTypeTable.h"
#include "message/mime/OutgoingText.h"
#include "store/FolderNames.h"
#include "store/Mailbox.h"
#include "store/MailboxParser.h"
#include "store/OutBoxQueue.h"
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

bool DeliverJob::SendMail(MailMessage& message) {
    if (!session_.IsPrepared()) {
        return false;
    }
    OutgoingOptions options;
    options.groups = AddressBookGroups(session_.AddressBookDirectory());
    options.sendDate = session_.Settings().sendDate != 0;
    OutgoingEnvelope envelope = BuildEnvelope(message, options);
    // A vanished attachment fails the message before anything is sent,
    // and the notice names the file.
    if (std::optional<std::string> problem = CheckAttachmentFiles(message)) {
        session_.Fail(*problem);
        return false;
    }
    bool opened = false;
    if (!session_.Smtp().IsOpen()) {
        if (!session_.ConnectSmtp()) {
            return false;
        }
        opened = true;
    }
    bool ok = false;
    if (!envelope.recipients.empty()) {
        ok = session_.Smtp().SendEnvelope(envelope.sender, envelope.recipients,
                                          [&](const std::function<bool(std::string_view)>& send) {
                                              return BuildOutgoingText(message, send, options);
                                          });
    } else {
        session_.Fail("The message has no recipient (To, Cc or Bcc), so it was not sent");
    }
    if (opened) {
        session_.Smtp().Quit();
    }
    return ok;
}

bool DeliverJob::FileMessage(int accountIndex, std::string_view folder,
                             std::unique_ptr<MailMessage> message) {
    if (accountIndex == session_.AccountIndex() || !session_.Profiles()) {
        return session_.Host().StoreMessage(folder, std::move(message)).has_value();
    }
    return session_.Host().StoreMessageIn(session_.MailboxDirectory(), folder, std::move(message));
}

int DeliverJob::SendOne(int accountIndex, std::unique_ptr<MailMessage> message) {
    JobScope job(session_);
    if (job.Refused() || !message) {
        return -1;
    }
    // Without the link the message is not lost: it is filed as failed,
    // with the notice.
    return SendAndFile(accountIndex, std::move(message), false, job.LinkUp()) == SendResult::kSent
               ? 0
               : -1;
}

DeliverJob::SendResult DeliverJob::SendAndFile(int accountIndex,
                                               std::unique_ptr<MailMessage> message, bool queued,
                                               bool linkUp) {
    bool prepared = linkUp && session_.Prepare(false);
    std::string now = FormatMailDate();
    if (message->hasResent) {
        message->resentDate = now;
    } else {
        message->date = now;
    }
    bool ok = prepared && SendMail(*message);
    // A message of the OutBox that the user's abort stopped was not refused:
    // it stays queued.
    if (!ok && queued && session_.State().abort.IsRaised()) {
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

void DeliverJob::NotifySendFailure(const std::string& date, const std::string& from,
                                   int accountIndex) {
    auto notice = std::make_unique<MailMessage>();
    notice->date = date;
    notice->from = "Marlo";
    notice->to = from;
    notice->subject = "Mail sending error!";
    const AccountProfile& account = session_.Account();
    const std::string& name = account.name.empty() ? account.address : account.name;
    notice->AddBodyLine("Dear " + name);
    notice->AddBodyLine("");
    notice->AddBodyLine("I regret to say that I failed to send this mail.");
    notice->AddBodyLine("SMTP session log follows.");
    std::string rule(50, '-');
    notice->AddBodyLine(rule);
    for (const std::string& line : session_.State().Transcript()) {
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
bool DeliverJob::DeliverOutBox(int accountIndex, int& writtenBack) {
    writtenBack = 0;
    std::string error;
    int recovered = session_.Host().RecoverOutBox(session_.MailboxDirectory(), error);
    if (recovered < 0) {
        session_.ReportError(kStrSendFailed, error);
        return false;
    }
    if (recovered > 0) {
        session_.Prompt().Notify(
            std::to_string(recovered) +
                " message(s) of an interrupted delivery were put back into the OutBox (" +
                session_.MailboxDirectory().string() + ")",
            kMessageCaption);
    }
    std::error_code ec;
    if (std::filesystem::file_size(FolderFilePath(session_.MailboxDirectory(), "OutBox"), ec) ==
            0 ||
        ec) {
        return true;
    }
    if (!session_.ConnectSmtp()) {
        // Nothing left the OutBox; the user hears why (a refused login, a
        // certificate named by its fingerprint).
        session_.ReportError(kStrSendFailed, session_.LastError());
        return false;
    }
    std::optional<std::vector<std::string>> pieces =
        session_.Host().TakeOutBox(session_.MailboxDirectory(), error);
    if (!pieces) {
        session_.Smtp().Quit();
        session_.ReportError(kStrSendFailed, error);
        return false;
    }
    if (pieces->empty()) {
        session_.Smtp().Quit();
        return true;
    }
    size_t next = 0;
    bool failed = false;
    while (next < pieces->size() && !session_.State().abort.IsRaised()) {
        SendResult result = SendAndFile(
            accountIndex,
            ReadStoredPiece((*pieces)[next], session_.MailboxDirectory(), session_.MimeTypes()),
            true);
        if (result == SendResult::kNotSent) {
            break;
        }
        ++next;
        if (result == SendResult::kFailed) {
            failed = true;
            break;
        }
    }
    session_.Smtp().Quit();
    std::vector<std::string> unsent(pieces->begin() + static_cast<std::ptrdiff_t>(next),
                                    pieces->end());
    if (failed && !unsent.empty()) {
        session_.ReportError(kStrSendFailed);
    }
    // The Sent copies are what recovery would recognise the sent messages
    // by: they are made durable before "OutBox.bak" goes.
    session_.Host().SyncStore();
    if (!session_.Host().CommitOutBox(session_.MailboxDirectory(), unsent, error)) {
        session_.ReportError(kStrSendFailed, error);
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

bool DeliverJob::Run() {
    JobScope job(session_);
    if (!job.LinkUp()) {
        // Nothing left any OutBox.
        return false;
    }
    const AccountProfile current = session_.Account();
    const std::filesystem::path currentDirectory = session_.MailboxDirectory();
    const SessionSettings currentSettings = session_.Settings();
    const int currentIndex = session_.AccountIndex();
    const ProfileTable* profiles = session_.Profiles();
    session_.Prepare(true);
    // The login to the current account's SMTP server, which SendMode 1 uses
    // for every account's messages; the session gets it back at the end.
    const Credentials currentLogin = session_.PopCredentials();
    int writtenBack = 0;
    bool ok = DeliverOutBox(currentIndex, writtenBack);

    if (ok && profiles && currentSettings.sendMode != 2) {
        for (int i = 0; i < kProfileCount && ok; ++i) {
            const AccountProfile& other = (*profiles)[static_cast<size_t>(i)];
            if (i == currentIndex || !DeliversOutBoxOf(other, currentSettings.sendMode)) {
                continue;
            }
            AccountProfile switched = other;
            if (currentSettings.sendMode == 1) {
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
            // Whatever login the session holds is the current account's.
            session_.ServeOther(switched,
                                MailboxDirectoryFor(session_.HomeDirectory(), other.mailDirNo));
            SessionSettings quiet = currentSettings;
            quiet.skipError = 1;
            session_.SetSettings(quiet);
            if (!session_.Prepare(true)) {
                ok = false;
                break;
            }
            int back = 0;
            std::filesystem::path outBox = FolderFilePath(session_.MailboxDirectory(), "OutBox");
            bool hadOutBox = std::filesystem::exists(outBox);
            ok = DeliverOutBox(i, back);
            if (hadOutBox) {
                WritePrivateProfileString("Mail", "Total", std::to_string(back),
                                          ControlFilePath(outBox));
            }
            session_.SetSettings(currentSettings);
        }
    }

    session_.ServeOther(current, currentDirectory);
    session_.SetSettings(currentSettings);
    session_.Prepare(true);
    session_.SetLogin(currentLogin);
    session_.Host().OutBoxRewritten("OutBox");
    session_.State().commandToken = true;
    return ok;
}

}  // namespace corvina
