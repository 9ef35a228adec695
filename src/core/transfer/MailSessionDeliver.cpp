// Sending: one message (SendMail, SendOne), the OutBoxes (Deliver) and the
// failure notice put into InBox.

#include <fstream>
#include <iterator>

#include "app/ProfileSelection.h"
#include "common/AtomicFile.h"
#include "common/IniFile.h"
#include "message/MailDate.h"
#include "message/mime/MimeTypeTable.h"
#include "message/mime/OutgoingText.h"
#include "store/FolderNames.h"
#include "store/MailMessage.h"
#include "store/Mailbox.h"
#include "store/MailboxParser.h"
#include "transfer/MailSession.h"
#include "transfer/TransferHost.h"
#include "transfer/TransferStrings.h"

namespace corvina {

namespace {

std::optional<std::string> ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The messages of a mailbox file as they stand in it: each piece runs up to
// and including its line "." (CR LF or LF). Trailing bytes without a "."
// line form a last piece of their own, so nothing is dropped.
std::vector<std::string> SplitMailbox(const std::string& text) {
    std::vector<std::string> pieces;
    size_t start = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        size_t next = end == std::string::npos ? text.size() : end + 1;
        std::string_view line(text.data() + pos, next - pos);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
            line.remove_suffix(1);
        }
        pos = next;
        if (line == ".") {
            pieces.push_back(text.substr(start, pos - start));
            start = pos;
        }
    }
    if (start < text.size() && text.find_first_not_of("\r\n", start) != std::string::npos) {
        pieces.push_back(text.substr(start));
    }
    return pieces;
}

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

std::string Join(const std::vector<std::string>& pieces, size_t from) {
    std::string out;
    for (size_t i = from; i < pieces.size(); ++i) {
        out += pieces[i];
    }
    return out;
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
    options.addressBookDirectory = addressBookDirectory_;
    options.sendDate = settings_.sendDate != 0;
    OutgoingEnvelope envelope = BuildEnvelope(message, options);
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
        lastError_ = "the message has no recipient";
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
    // Another account's folder is not on screen: append to its file directly.
    StoreContext context;
    context.mailboxDir = mailboxDirectory_;
    return AppendToFolderFile(*message, ResolveFolderName(folder), context);
}

int MailSession::SendOne(int accountIndex, std::unique_ptr<MailMessage> message) {
    BusyGuard busy(state_);
    if (!busy.Entered() || !message) {
        return -1;
    }
    bool prepared = Prepare(false);
    std::string now = FormatMailDate();
    if (message->hasResent) {
        message->resentDate = now;
    } else {
        message->date = now;
    }
    bool ok = prepared && SendMail(*message);
    message->SetStatus(ok ? "S" : "E");
    std::string date = message->date;
    std::string from = message->from;
    FileMessage(accountIndex, "Sent", std::move(message));
    if (!ok) {
        NotifySendFailure(date, from, accountIndex);
        return -1;
    }
    return 0;
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

// One account's OutBox. The OutBox is emptied only once its copy
// "OutBox.bak" is completely written and synced; if that copy fails,
// nothing is sent and the OutBox stays as it is. `writtenBack` receives
// the number of messages put back (0 when all went, -1 when the backup had
// to be restored).
bool MailSession::DeliverOutBox(int accountIndex, int& writtenBack) {
    writtenBack = 0;
    std::filesystem::path outBox = FolderNameToPath(mailboxDirectory_, "OutBox");
    std::filesystem::path backup = mailboxDirectory_ / "OutBox.bak";
    std::optional<std::string> text = ReadWholeFile(outBox);
    if (!text || text->empty()) {
        return true;
    }
    std::vector<std::string> pieces = SplitMailbox(*text);
    if (pieces.empty()) {
        return true;
    }
    if (!ConnectSmtp()) {
        // Nothing left the OutBox; the user hears why (a refused login, a
        // certificate named by its fingerprint).
        ReportError(kStrSendFailed, lastError_);
        return false;
    }
    if (!WriteFileAtomically(backup, *text) || !WriteFileAtomically(outBox, "")) {
        QuitSmtp();
        return false;
    }
    size_t failedAt = pieces.size();
    for (size_t i = 0; i < pieces.size(); ++i) {
        std::unique_ptr<MailMessage> message =
            ReadStoredPiece(pieces[i], mailboxDirectory_, MimeTypes());
        int result;
        {
            NestedBusy nested(state_);
            result = SendOne(accountIndex, std::move(message));
        }
        if (result != 0) {
            failedAt = i;
            break;
        }
    }
    bool ok = failedAt == pieces.size();
    bool backupNeeded = false;
    if (!ok && failedAt + 1 < pieces.size()) {
        ReportError(kStrSendFailed);
        writtenBack = static_cast<int>(pieces.size() - failedAt - 1);
        if (!WriteFileAtomically(outBox, Join(pieces, failedAt + 1))) {
            writtenBack = -1;
            backupNeeded = !WriteFileAtomically(outBox, *text);
        }
    }
    if (!backupNeeded) {
        std::error_code ec;
        std::filesystem::remove(backup, ec);
    }
    QuitSmtp();
    return ok;
}

bool MailSession::Deliver() {
    BusyGuard busy(state_);
    if (!busy.Entered()) {
        return false;
    }
    std::string savedUser = resolved_ ? user_ : account_.user;
    std::string savedPassword = resolved_ ? password_ : account_.pass;
    const AccountProfile current = account_;
    const std::filesystem::path currentDirectory = mailboxDirectory_;
    const SessionSettings currentSettings = settings_;
    Prepare(true);
    int writtenBack = 0;
    bool ok = DeliverOutBox(accountIndex_, writtenBack);

    if (ok && profiles_ && settings_.sendMode != 2) {
        for (int i = 0; i < kProfileCount && ok; ++i) {
            const AccountProfile& other = (*profiles_)[static_cast<size_t>(i)];
            if (i == accountIndex_ || !other.IsConfigured()) {
                continue;
            }
            if (settings_.sendMode == 0 && other.smtp.empty()) {
                continue;
            }
            AccountProfile switched = other;
            if (settings_.sendMode == 1) {
                switched.smtp = current.smtp;
                switched.smtpPort = current.smtpPort;
                switched.smtpSecurity = current.smtpSecurity;
                switched.smtpAuth = current.smtpAuth;
                switched.smtpUser = current.smtpUser;
                switched.smtpPass = current.smtpPass;
                switched.certFingerprint = current.certFingerprint;
            }
            account_ = switched;
            mailboxDirectory_ = MailboxDirectoryFor(homeDirectory_, other.mailDirNo);
            ForgetServers();
            settings_.skipError = 1;
            if (!Prepare(true)) {
                ok = false;
                break;
            }
            int back = 0;
            std::filesystem::path outBox = FolderNameToPath(mailboxDirectory_, "OutBox");
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
