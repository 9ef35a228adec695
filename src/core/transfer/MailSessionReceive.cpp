// Receiving: the Receive New / Receive All command and Clean up Server.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>

#include "common/CodePage.h"
#include "filter/FilterList.h"
#include "message/JapaneseCode.h"
#include "message/mime/MessageParser.h"
#include "store/MailMessage.h"
#include "transfer/ListFile.h"
#include "transfer/MailSession.h"
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
    bool ok = true;
    while (!bytes.empty()) {
        ssize_t n = write(fd, bytes.data(), bytes.size());
        if (n <= 0) {
            ok = false;
            break;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return close(fd) == 0 && ok;
}

// EUC text of a server that sends it undeclared, made into Shift_JIS line by
// line. Only the Japanese system stores Shift_JIS; elsewhere the bytes would
// be wrong for the working code page, so the text is left to the charset
// conversion of the MIME layer.
std::string FromEuc(const std::string& text) {
    if (CodePage::Working().Id() != CodePage::kShiftJis) {
        return text;
    }
    std::string out;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) {
            end = text.size();
        }
        int errors = 0;
        out += EucToSjisLine(std::string_view(text).substr(pos, end - pos), errors);
        if (end < text.size()) {
            out += '\n';
        }
        pos = end + 1;
    }
    return out;
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
    if (settings_.leaveLog) {
        // The backup log is a copy; a failed append does not stop the
        // receive (the message still goes to the store).
        AppendBytes(logFile.empty() ? BackupLogPath() : logFile, text);
    }
    auto message = std::make_unique<MailMessage>();
    ParseOptions options;
    options.mailboxDirectory = mailboxDirectory_;
    options.ownAddress = account_.address;
    ParseMessage(*message, settings_.eucReceive ? FromEuc(text) : text, options);
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
    if (!SendFormat("TOP %d 0", n)) {
        return std::nullopt;
    }
    std::optional<std::string_view> reply = ReadReply();
    if (!reply || (!reply->empty() && (*reply)[0] == '-')) {
        return std::nullopt;
    }
    FlagScope quiet(state_.quiet, true);
    std::string header;
    for (;;) {
        std::optional<std::string_view> line = ReadDataLine();
        if (!line) {
            return std::nullopt;
        }
        if (!line->empty() && (*line)[0] == '.') {
            return header;
        }
        header += *line;
        header += "\r\n";
    }
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

    if (!Prepare(false)) {
        return outcome;
    }
    seenMessageIds_.clear();
    savedMessageIds_ = ReadListFile(mailboxDirectory_ / kMessageIdFile);
    if (!LoginPop(user_, password_)) {
        ReportError(kStrAuthFailed, lastError_);
        return outcome;
    }

    const bool deleteOnServer = account_.deleteOnServer != 0;
    bool failed = false;
    bool storeFailed = false;
    long long size = NextMessage();
    if (deleteOnServer) {
        serverUids_.clear();
        savedUids_.clear();
        uidMode_ = false;
    } else if (FetchUidl() == 0) {
        failed = true;
        size = 0;
    }
    std::string text;
    for (int n = 1; size != 0 && !failed; ++n) {
        state_.currentSize = size;
        int number = currentNumber_;
        long long got;
        if (uidMode_ && !state_.receiveAll && n <= static_cast<int>(serverUids_.size()) &&
            !deleteOnServer) {
            const std::string& uid = serverUids_[static_cast<size_t>(n - 1)];
            if (std::find(savedUids_.begin(), savedUids_.end(), uid) != savedUids_.end()) {
                got = 0;
            } else {
                FlagScope noTop(state_.receiveAll, true);
                got = RetrieveMessage(number, text, false);
            }
        } else {
            got = RetrieveMessage(number, text, deleteOnServer);
        }
        if (got < 0) {
            failed = true;
            break;
        }
        if (got > 0) {
            std::string folder;
            std::pair<std::string, std::string> summary;
            const MailMessage* stored = HandOver(text, logFile, folder, &summary);
            if (!stored) {
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
                host_.FirstNewMessage(folder, stored);
            }
            if (deleteOnServer && !state_.abort.IsRaised()) {
                if (!DeleteMessage(number)) {
                    failed = true;
                    break;
                }
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
    if (!failed) {
        WriteListFile(mailboxDirectory_ / kMessageIdFile, seenMessageIds_);
        WriteListFile(mailboxDirectory_ / kUidlFile, serverUids_);
    }
    outcome.ok = !failed;
    return outcome;
}

bool MailSession::CleanupServer() {
    BusyGuard busy(state_);
    if (!busy.Entered() || !Prepare(false)) {
        return false;
    }
    savedMessageIds_ = ReadListFile(mailboxDirectory_ / kMessageIdFile);
    if (!LoginPop(user_, password_)) {
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
    std::filesystem::remove(mailboxDirectory_ / kUidlFile, ec);
    return true;
}

}  // namespace corvina
