// Receiving: the Receive New / Receive All command and Clean up Server.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>

#include "common/Bytes.h"
#include "common/CodePage.h"
#include "common/FdWrite.h"
#include "filter/FilterList.h"
#include "message/mime/MailMessageCode.h"
#include "message/mime/MessageOptions.h"
#include "message/MailMessage.h"
#include "transfer/DialUp.h"
#include "transfer/ListFile.h"
#include "transfer/MailSession.h"
#include "transfer/ReplyParser.h"
#include "transfer/TransferHost.h"
#include "transfer/TransferStrings.h"

namespace corvina {

namespace {

// Sets a flag for a scope and clears it on every way out.
class FlagScope {
public:
    FlagScope(std::atomic<bool>& flag, bool value) : flag_(flag), old_(flag.exchange(value)) {}
    ~FlagScope() { flag_ = old_; }

private:
    std::atomic<bool>& flag_;
    bool old_;
};

bool AppendBytes(const std::filesystem::path& path, std::string_view bytes) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    const bool ok = WriteAll(fd, bytes);
    return close(fd) == 0 && ok;
}

bool Contains(const std::vector<std::string>& list, const std::string& value) {
    return !value.empty() && std::find(list.begin(), list.end(), value) != list.end();
}

// The Message-ID of a retrieved text (its header is unfolded).
std::string MessageIdOfText(const std::string& text) {
    return UnfoldedField(text, "Message-Id:", MailSession::kLineMax).value_or("");
}

}  // namespace

std::filesystem::path MailSession::BackupLogPath() const {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char name[32];
    std::strftime(name, sizeof name, "%Y%m%d.mol", &local);
    return mailboxDirectory_ / name;
}

const MailMessage* MailSession::HandOver(const std::string& text,
                                         const std::filesystem::path& logFile, std::string& folder,
                                         std::pair<std::string, std::string>* summary) {
    return HandOverText(text, nullptr, logFile, folder, summary);
}

const MailMessage* MailSession::HandOver(std::string&& text, const std::filesystem::path& logFile,
                                         std::string& folder,
                                         std::pair<std::string, std::string>* summary) {
    return HandOverText(text, &text, logFile, folder, summary);
}

const MailMessage* MailSession::HandOverText(std::string_view text, std::string* release,
                                             const std::filesystem::path& logFile,
                                             std::string& folder,
                                             std::pair<std::string, std::string>* summary) {
    if (settings_.leaveLog) {
        // The backup log is a copy; a failed append does not stop the
        // receive (the message still goes to the store). Each message in
        // it ends with a "." line.
        const std::filesystem::path& log = logFile.empty() ? BackupLogPath() : logFile;
        const bool ended = text == ".\n" || text.ends_with("\n.\n");
        if (AppendBytes(log, text) && !ended) {
            AppendBytes(log, ".\n");
        }
    }
    auto message = std::make_unique<MailMessage>();
    const ParseOptions options =
        IncomingParseOptions(MimeTypes(), settings_.autoWrap != 0, account_, mailboxDirectory_);
    const ParseResult parsed = ParseMessage(*message, text, options);
    if (settings_.eucReceive && !parsed.charsetDeclared) {
        // Text the sender labelled was made W by the parse; the rest may be
        // EUC-JP. A message that is not valid EUC-JP stays as parsed.
        ConvertMailMessageCode(*message, CodeDirection::EucToSjis, false, CodePage::Working());
    }
    if (release) {
        // Parsed: the text is not held beside the copy the store writes.
        std::string().swap(*release);
    }
    message->status.clear();
    folder = "InBox";
    if (settings_.autoFilter) {
        FilterList filters;
        filters.LoadFilters(mailboxDirectory_);
        folder = filters.FilterFolder(*message);
    }
    if (summary) {
        *summary = {message->subject, message->from};
    }
    FlagScope storing(state_.storing, true);
    return host_.StoreMessage(folder, std::move(message));
}

std::optional<std::string> MailSession::FetchHeader(int n) {
    std::string header;
    const bool ok = ReadTopHeader(n, [&](std::string_view line) {
        header += line;
        header += "\r\n";
        return true;
    });
    if (!ok) {
        return std::nullopt;
    }
    return header;
}

ReceiveOutcome MailSession::Receive(bool all, const std::filesystem::path& logFile) {
    ReceiveOutcome outcome;
    BusyGuard busy(state_);
    if (!busy.Entered()) {
        outcome.refused = true;
        return outcome;
    }
    FlagScope allFlag(state_.receiveAll, all || state_.receiveAll.load());
    state_.ZeroProgress();
    struct ZeroAtEnd {
        TransferState& s;
        ~ZeroAtEnd() { s.ZeroProgress(); }
    } zeroAtEnd{state_};

    DialUpScope link(LinkService(), account_, settings_.skipError != 0, LinkHost());
    if (!link.Up()) {
        ReportLinkDown();
        return outcome;
    }
    if (!Prepare(false)) {
        return outcome;
    }
    // What a receive killed before its end stored is in the journal: it
    // joins the lists first, so none of it is fetched again.
    JournalEntries leftover = ReceiveJournal::Read(mailboxDirectory_);
    if (!ReceiveJournal::Fold(mailboxDirectory_)) {
        host_.ShowNotice("The lists of received mail (UIDL.DAT, MsgId.DAT) in " +
                         mailboxDirectory_.string() +
                         " could not be written, so nothing was received: free some disk space "
                         "or make the directory writable, then receive again.");
        return outcome;
    }
    seenMessageIds_.clear();
    savedMessageIds_ = ReadListFile(mailboxDirectory_ / kMessageIdFile);
    const Credentials login = PopCredentials();
    if (!LoginPop(login.user, login.password)) {
        ReportError(kStrAuthFailed, lastError_);
        return outcome;
    }

    const bool deleteOnServer = account_.deleteOnServer != 0;
    bool failed = false;
    bool storeFailed = false;
    long long size = NextMessage();
    // UIDL is asked for even when messages are deleted: a message stored
    // but not yet deleted when a receive was killed is known by it.
    if (size != 0 && FetchUidl() == 0) {
        failed = true;
        size = 0;
    }
    ReceiveJournal journal(mailboxDirectory_);
    std::string text;
    for (int n = 1; size != 0 && !failed; ++n) {
        state_.currentSize = size;
        int number = currentNumber_;
        const bool haveUid = uidMode_ && n <= static_cast<int>(serverUids_.size());
        const std::string uid = haveUid ? serverUids_[static_cast<size_t>(n - 1)] : std::string();
        const bool known = haveUid && !state_.receiveAll &&
                           std::find(savedUids_.begin(), savedUids_.end(), uid) != savedUids_.end();
        long long got;
        if (known) {
            got = 0;
        } else if (haveUid && !deleteOnServer) {
            FlagScope noTop(state_.receiveAll, true);
            got = RetrieveMessage(number, text, false);
        } else {
            got = RetrieveMessage(number, text, deleteOnServer);
        }
        if (got < 0) {
            failed = true;
            break;
        }
        // Stored before: by an earlier receive (its UID is listed), or by one
        // that was killed before its DELE (the journal names it).
        bool stored = known;
        if (got > 0 && !haveUid && deleteOnServer &&
            Contains(leftover.messageIds, MessageIdOfText(text))) {
            got = 0;
            stored = true;
        }
        if (got > 0) {
            std::string folder;
            std::pair<std::string, std::string> summary;
            // The text is given up to the parser; its id is recorded after.
            const std::string messageId = MessageIdOfText(text);
            const MailMessage* message = HandOver(std::move(text), logFile, folder, &summary);
            if (!message) {
                // Not stored means not received: no DELE, and no QUIT at the
                // end, so the server keeps every message of this session.
                failed = true;
                storeFailed = true;
                break;
            }
            ++outcome.stored;
            outcome.folders.push_back(folder);
            outcome.summaries.push_back(std::move(summary));
            if (outcome.stored == 1 && !state_.reminderDue) {
                host_.FirstNewMessage(folder, message);
            }
            // Durable in the store, then recorded, then deleted: a kill at
            // any point fetches at most this message again.
            if (!host_.SyncStore() || !journal.Record(uid, messageId)) {
                failed = true;
                storeFailed = true;
                break;
            }
            stored = true;
        }
        if (stored && deleteOnServer && !state_.abort.IsRaised()) {
            if (!DeleteMessage(number)) {
                failed = true;
                break;
            }
        }
        size = NextMessage();
    }
    // A listing that failed part way leaves messages unseen: the lists must
    // not be rewritten as if every message had been considered.
    if (state_.abort.IsRaised() || state_.broken || ListFailed()) {
        failed = true;
    }

    // QUIT makes the deletions take effect, so it goes out only once every
    // stored message is durable.
    if (storeFailed) {
        Disconnect();
    } else if (outcome.stored > 0 && !host_.SyncStore()) {
        failed = true;
        Disconnect();
    } else {
        EndPop();
    }

    if (outcome.stored > 0 || state_.reminderDue) {
        host_.ReceiveStored();
    } else if (settings_.noMailNotify) {
        host_.NoNewMail();
    }
    // A message left on the server for its size is not received: its id
    // stays out of the list so that the next receive and Clean up Server
    // treat it as new.
    for (int number : leftOnServer_) {
        if (number >= 1 && number <= static_cast<int>(serverUids_.size())) {
            serverUids_[static_cast<size_t>(number - 1)].clear();
        }
    }
    std::erase(serverUids_, std::string());
    bool listsWritten = false;
    if (!failed) {
        // Without UIDL (a "-ERR" to it) the kept UID list stays as it is.
        listsWritten =
            WriteListFile(mailboxDirectory_ / kMessageIdFile, seenMessageIds_) &&
            (!uidMode_ || WriteListFile(mailboxDirectory_ / kUidlFile,
                                        deleteOnServer ? std::vector<std::string>() : serverUids_));
    }
    if (listsWritten) {
        ReceiveJournal::Discard(mailboxDirectory_);
    } else {
        ReceiveJournal::Fold(mailboxDirectory_);
    }
    outcome.ok = !failed;
    return outcome;
}

bool MailSession::CleanupServer() {
    BusyGuard busy(state_);
    if (!busy.Entered()) {
        return false;
    }
    DialUpScope link(LinkService(), account_, settings_.skipError != 0, LinkHost());
    if (!link.Up()) {
        ReportLinkDown();
        return false;
    }
    if (!Prepare(false)) {
        return false;
    }
    // Messages a killed receive stored are cleaned up too.
    ReceiveJournal::Fold(mailboxDirectory_);
    savedMessageIds_ = ReadListFile(mailboxDirectory_ / kMessageIdFile);
    const Credentials login = PopCredentials();
    if (!LoginPop(login.user, login.password)) {
        ReportError(kStrAuthFailed, lastError_);
        return false;
    }
    int uidl = FetchUidl();
    bool failed = uidl == 0;
    if (!failed && uidMode_) {
        for (int n = 1; n <= static_cast<int>(serverUids_.size()); ++n) {
            if (NextMessage() == 0) {
                break;
            }
            const std::string& uid = serverUids_[static_cast<size_t>(n - 1)];
            if (std::find(savedUids_.begin(), savedUids_.end(), uid) != savedUids_.end() &&
                !DeleteMessage(currentNumber_)) {
                failed = true;
                break;
            }
        }
    } else if (!failed) {
        std::string summary;
        std::string messageId;
        for (;;) {
            messageId.clear();
            if (NextMessage(&summary, &messageId) == 0) {
                break;
            }
            if (!messageId.empty() &&
                std::find(savedMessageIds_.begin(), savedMessageIds_.end(), messageId) !=
                    savedMessageIds_.end() &&
                !DeleteMessage(currentNumber_)) {
                failed = true;
                break;
            }
        }
    }
    if (failed || state_.broken || state_.abort.IsRaised()) {
        ReportError(kStrDeleteFailed, lastError_);
        EndPop();
        return false;
    }
    EndPop();
    savedMessageIds_.clear();
    std::error_code ec;
    std::filesystem::remove(mailboxDirectory_ / kMessageIdFile, ec);
    // Without UIDL only messages known by their Message-ID went; those
    // known by their unique id alone are still on the server, and the list
    // keeps them from being fetched again.
    if (uidMode_) {
        std::filesystem::remove(mailboxDirectory_ / kUidlFile, ec);
    }
    return true;
}

}  // namespace corvina
