#include "transfer/ReceiveJob.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>

#include "common/CodePage.h"
#include "common/FdWrite.h"
#include "common/UserPrompt.h"
#include "message/mime/MailMessageCode.h"
#include "message/mime/MessageOptions.h"
#include "transfer/ListFile.h"
#include "transfer/MailSession.h"
#include "transfer/ReplyParser.h"
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

bool Contains(const std::vector<std::string>& list, std::string_view value) {
    return !value.empty() && std::find(list.begin(), list.end(), value) != list.end();
}

void AddOnce(std::vector<std::string>& list, const std::string& value) {
    if (!value.empty() && !Contains(list, value)) {
        list.push_back(value);
    }
}

// The Message-ID of a retrieved text or header (unfolded).
std::string MessageIdOfText(const std::string& text) {
    return UnfoldedField(text, "Message-Id:", ProtocolClient::kLineMax).value_or("");
}

}  // namespace

std::filesystem::path ReceiveJob::BackupLogPath() const {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char name[32];
    std::strftime(name, sizeof name, "%Y%m%d.mol", &local);
    return session_.MailboxDirectory() / name;
}

const FilterList& ReceiveJob::Filters() {
    if (!filters_) {
        filters_.emplace();
        filters_->LoadFilters(session_.MailboxDirectory());
    }
    return *filters_;
}

std::optional<MessageRef> ReceiveJob::HandOver(std::string&& text,
                                               const std::filesystem::path& logFile,
                                               std::string& folder,
                                               std::pair<std::string, std::string>* summary) {
    const SessionSettings& settings = session_.Settings();
    if (settings.leaveLog) {
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
        IncomingParseOptions(session_.MimeTypes(), settings.autoWrap != 0, session_.Account(),
                             session_.MailboxDirectory());
    const ParseResult parsed = ParseMessage(*message, text, options);
    if (settings.eucReceive && !parsed.charsetDeclared) {
        // Text the sender labelled was made W by the parse; the rest may be
        // EUC-JP. A message that is not valid EUC-JP stays as parsed.
        ConvertMailMessageCode(*message, CodeDirection::EucToSjis, false, CodePage::Working());
    }
    // Parsed: the text is not held beside the copy the store writes.
    std::string().swap(text);
    message->status.clear();
    folder = settings.autoFilter ? Filters().FilterFolder(*message) : std::string("InBox");
    if (summary) {
        *summary = {message->subject, message->from};
    }
    FlagScope storing(session_.State().storing, true);
    return session_.Host().StoreMessage(folder, std::move(message));
}

long long ReceiveJob::Retrieve(int n, std::string& text, bool deleteMode) {
    text.clear();
    TransferState& state = session_.State();
    Pop3Client& pop = session_.Pop();
    const long long maxSize = session_.Settings().maxMessageSize;
    const long long listed = pop.ListedSize(n);
    if (maxSize > 0 && listed > maxSize) {
        const std::string notice = "Message " + std::to_string(n) + " (" + std::to_string(listed) +
                                   " bytes) is larger than MaxMessageSize (" +
                                   std::to_string(maxSize) + " bytes) and was left on the server";
        state.AddTranscript(notice + "\n");
        session_.PostStatus(notice);
        if (std::find(leftOnServer_.begin(), leftOnServer_.end(), n) == leftOnServer_.end()) {
            leftOnServer_.push_back(n);
        }
        return 0;
    }
    if (!deleteMode && !state.receiveAll) {
        std::optional<std::string> header = pop.ReadTopUnfolded(n);
        if (!header) {
            return -1;
        }
        const std::string messageId = MessageIdOfText(*header);
        const std::optional<std::string> status = UnfoldedField(*header, "Status:", 256);
        if (Contains(savedMessageIds_, messageId) &&
            (!status || status->find('R') != std::string::npos)) {
            AddOnce(seenMessageIds_, messageId);
            return 0;
        }
    }
    const long long got = pop.Retrieve(n, text, maxSize > 0 ? maxSize : 0);
    // A message kept on the server is known by its Message-ID, read from
    // the unfolded header exactly as the received-before check reads it.
    if (got > 0 && !deleteMode) {
        AddOnce(seenMessageIds_, MessageIdOfText(text));
    }
    return got;
}

ReceiveOutcome ReceiveJob::Run(bool all, const std::filesystem::path& logFile) {
    ReceiveOutcome outcome;
    TransferState& state = session_.State();
    TransferHost& host = session_.Host();
    Pop3Client& pop = session_.Pop();
    const std::filesystem::path& dir = session_.MailboxDirectory();
    JobScope job(session_);
    if (job.Refused()) {
        outcome.refused = true;
        return outcome;
    }
    FlagScope allFlag(state.receiveAll, all || state.receiveAll.load());
    state.ZeroProgress();
    struct ZeroAtEnd {
        TransferState& s;
        ~ZeroAtEnd() { s.ZeroProgress(); }
    } zeroAtEnd{state};
    if (!job.LinkUp()) {
        return outcome;
    }
    if (!session_.Prepare(false)) {
        return outcome;
    }
    // What a receive killed before its end stored is in the journal: it
    // joins the lists first, so none of it is fetched again.
    JournalEntries leftover = ReceiveJournal::Read(dir);
    if (!ReceiveJournal::Fold(dir)) {
        session_.Prompt().Notify(
            "The lists of received mail (UIDL.DAT, MsgId.DAT) in " + dir.string() +
                " could not be written, so nothing was received: free some disk space "
                "or make the directory writable, then receive again.",
            kMessageCaption);
        return outcome;
    }
    seenMessageIds_.clear();
    leftOnServer_.clear();
    savedMessageIds_ = ReadListFile(dir / kMessageIdFile);
    if (!session_.LoginPop(session_.PopCredentials())) {
        session_.ReportError(kStrAuthFailed, session_.LastError());
        return outcome;
    }

    const bool deleteOnServer = session_.Account().deleteOnServer != 0;
    bool failed = false;
    bool storeFailed = false;
    std::vector<std::string> savedUids;
    long long size = pop.NextMessage();
    // UIDL is asked for even when messages are deleted: a message stored
    // but not yet deleted when a receive was killed is known by it.
    if (size != 0) {
        if (pop.FetchUidl() == 0) {
            failed = true;
            size = 0;
        } else if (pop.UidMode()) {
            savedUids = ReadListFile(dir / kUidlFile);
        }
    }
    std::vector<std::string>& serverUids = pop.ServerUids();
    ReceiveJournal journal(dir);
    std::string text;
    for (int n = 1; size != 0 && !failed; ++n) {
        state.currentSize = size;
        const int number = pop.CurrentListNumber();
        const bool haveUid = pop.UidMode() && n <= static_cast<int>(serverUids.size());
        const std::string uid = haveUid ? serverUids[static_cast<size_t>(n - 1)] : std::string();
        const bool known = haveUid && !state.receiveAll && Contains(savedUids, uid);
        long long got;
        if (known) {
            got = 0;
        } else if (haveUid && !deleteOnServer) {
            FlagScope noTop(state.receiveAll, true);
            got = Retrieve(number, text, false);
        } else {
            got = Retrieve(number, text, deleteOnServer);
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
            std::optional<MessageRef> message =
                HandOver(std::move(text), logFile, folder, &summary);
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
            if (outcome.stored == 1 && !state.reminderDue) {
                host.FirstNewMessage(*message);
            }
            // Durable in the store, then recorded, then deleted: a kill at
            // any point fetches at most this message again.
            if (!host.SyncStore() || !journal.Record(uid, messageId)) {
                failed = true;
                storeFailed = true;
                break;
            }
            stored = true;
        }
        if (stored && deleteOnServer && !state.abort.IsRaised()) {
            if (!pop.Delete(number)) {
                failed = true;
                break;
            }
        }
        size = pop.NextMessage();
    }
    // A listing that failed part way leaves messages unseen: the lists must
    // not be rewritten as if every message had been considered.
    if (state.abort.IsRaised() || state.broken || pop.ListFailed()) {
        failed = true;
    }

    // QUIT makes the deletions take effect, so it goes out only once every
    // stored message is durable.
    if (storeFailed) {
        pop.Disconnect();
    } else if (outcome.stored > 0 && !host.SyncStore()) {
        failed = true;
        pop.Disconnect();
    } else {
        pop.End();
    }

    if (outcome.stored > 0 || state.reminderDue) {
        host.ReceiveStored();
    } else if (session_.Settings().noMailNotify) {
        NotifyById(session_.Prompt(), kStrNoNewMail);
    }
    // A message left on the server for its size is not received: its id
    // stays out of the list so that the next receive and Clean up Server
    // treat it as new.
    for (int number : leftOnServer_) {
        if (number >= 1 && number <= static_cast<int>(serverUids.size())) {
            serverUids[static_cast<size_t>(number - 1)].clear();
        }
    }
    std::erase(serverUids, std::string());
    bool listsWritten = false;
    if (!failed) {
        // Without UIDL (a "-ERR" to it) the kept UID list stays as it is.
        listsWritten = WriteListFile(dir / kMessageIdFile, seenMessageIds_) &&
                       (!pop.UidMode() ||
                        WriteListFile(dir / kUidlFile,
                                      deleteOnServer ? std::vector<std::string>() : serverUids));
    }
    if (listsWritten) {
        ReceiveJournal::Discard(dir);
    } else {
        ReceiveJournal::Fold(dir);
    }
    outcome.ok = !failed;
    return outcome;
}

}  // namespace corvina
