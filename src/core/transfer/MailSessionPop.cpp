// The POP3 dialogue of MailSession: login, listing, unique ids, retrieval
// and deletion.

#include <algorithm>
#include <new>
#include <stdexcept>

#include "common/CodePage.h"
#include "message/HeaderUnfold.h"
#include "message/JapaneseCode.h"
#include "transfer/ListFile.h"
#include "transfer/MailSession.h"
#include "transfer/ReplyParser.h"
#include "transfer/TransferHost.h"
#include "transfer/TransferStrings.h"

namespace corvina {

namespace {

// Headroom reserved beyond a message's listed size: the unfolded and
// decoded header may come out a little longer than it was sent.
constexpr long long kTextSlack = 64 * 1024;

bool Contains(const std::vector<std::string>& list, std::string_view value) {
    return std::find(list.begin(), list.end(), value) != list.end();
}

}  // namespace

bool MailSession::LoginPop(const std::string& user, const std::string& password) {
    if (!resolved_ || connection_.IsOpen()) {
        return false;
    }
    Credentials credentials{user, password};
    if (credentials.user.empty() || credentials.password.empty()) {
        std::optional<Credentials> asked = host_.AskCredentials(credentials);
        if (!asked || asked->user.empty() || asked->password.empty()) {
            return false;
        }
        credentials = *asked;
    }
    state_.ClearTranscript();
    leftOnServer_.clear();
    if (!Connect(MailServer::kPop)) {
        return false;
    }
    std::optional<std::string_view> greeting = ReadReply();
    if (!greeting) {
        Disconnect();
        return false;
    }
    if (!PopPositive(*greeting)) {
        // Some other kind of server (SMTP on the POP3 port, say): it gets
        // no user name and no password.
        EndBroken("The server did not greet as a POP3 server: " + std::string(*greeting));
        return false;
    }
    if (account_.pop3Security == kPop3SecurityStls) {
        if (!SendLine("STLS")) {
            Disconnect();
            return false;
        }
        std::optional<std::string_view> reply = ReadReply();
        if (!reply) {
            Disconnect();
            return false;
        }
        if (!PopPositive(*reply)) {
            // The account asks for a protected session: never fall back to
            // sending the password in clear.
            lastError_ =
                "The POP3 server does not offer STLS, which this account asks for, so the "
                "password was not sent; choose another POP3 security setting for the account";
            state_.AddTranscript(lastError_ + "\n");
            QuitPop();
            return false;
        }
        if (!StartTls(MailServer::kPop)) {
            Disconnect();
            return false;
        }
    }
    if (!SendFormat("USER %s", credentials.user.c_str())) {
        Disconnect();
        return false;
    }
    std::optional<std::string_view> reply = ReadReply();
    if (!reply) {
        Disconnect();
        return false;
    }
    if (!PopPositive(*reply)) {
        // The password is never sent after a refused user name.
        std::string refusal(*reply);
        QuitPop();
        lastError_ = refusal;
        PostStatus(lastError_);
        return false;
    }
    state_.quiet = true;
    bool sent = SendFormat("PASS %s", credentials.password.c_str());
    state_.quiet = false;
    if (!sent) {
        Disconnect();
        return false;
    }
    PostStatus("PASS ********");
    state_.AddTranscript("PASS ********\n");
    reply = ReadReply();
    if (!reply) {
        Disconnect();
        return false;
    }
    if (!PopPositive(*reply)) {
        std::string refusal(*reply);
        QuitPop();
        lastError_ = refusal;
        PostStatus(lastError_);
        return false;
    }
    user_ = credentials.user;
    password_ = credentials.password;
    return true;
}

void MailSession::QuitPop() {
    if (connection_.IsOpen() && !state_.broken) {
        if (SendLine("QUIT")) {
            ReadReply();
        }
    }
    Disconnect();
}

void MailSession::EndPop() {
    ResetReader();
    if (connection_.IsOpen()) {
        QuitPop();
    }
}

bool MailSession::PopCommandOk(const char* command) {
    if (!SendLine(command)) {
        return false;
    }
    return PopReplyOk(command);
}

// The status line of a reply: false for anything but "+OK", with the
// server's words kept as the error.
bool MailSession::PopReplyOk(const char* what) {
    std::optional<std::string_view> reply = ReadReply();
    if (!reply) {
        return false;
    }
    if (!PopPositive(*reply)) {
        lastError_ = std::string(what) + ": " + std::string(*reply);
        return false;
    }
    return true;
}

// Reads the whole LIST reply. Every entry is kept up to the cap; a line
// that does not read as "<number> <size>" makes the listing unusable, as
// its sizes decide what is fetched and what stays on the server.
bool MailSession::ReadPopListing() {
    listNumbers_.clear();
    listSizes_.clear();
    std::string bad;
    MultiLine result = ReadMultiLine(
        [&](std::string_view line) {
            if (line.empty()) {
                return true;
            }
            std::optional<ListEntry> entry = ParseListLine(line);
            if (!entry) {
                bad = std::string(line.substr(0, 80));
                return false;
            }
            listNumbers_.push_back(entry->number);
            listSizes_.push_back(entry->size);
            return true;
        },
        kListingMaxEntries, 0);
    switch (result) {
        case MultiLine::kDone:
            return true;
        case MultiLine::kOverCap:
            EndBroken("The server's LIST reply has more than " +
                      std::to_string(kListingMaxEntries) + " entries");
            return false;
        case MultiLine::kStopped:
            EndBroken("The server's LIST reply has an unreadable line: " + bad);
            return false;
        case MultiLine::kBroken:
            break;
    }
    return false;
}

long long MailSession::ListedSize(int n) const {
    for (size_t i = 0; i < listNumbers_.size(); ++i) {
        if (listNumbers_[i] == n) {
            return listSizes_[i];
        }
    }
    return -1;
}

long long MailSession::NextMessage(std::string* summary, std::string* messageId) {
    if (!listLoaded_) {
        listError_ = true;
        if (!SendLine("STAT")) {
            return 0;
        }
        std::optional<std::string_view> reply = ReadReply();
        if (!reply) {
            return 0;
        }
        std::optional<StatReply> stat = ParseStat(*reply);
        if (!stat) {
            EndBroken("The server's STAT reply is unreadable: " +
                      std::string(reply->substr(0, 80)));
            return 0;
        }
        if (stat->count == 0) {
            listError_ = false;
            return 0;
        }
        if (!PopCommandOk("LIST")) {
            return 0;
        }
        if (!ReadPopListing()) {
            return 0;
        }
        listError_ = false;
        listLoaded_ = true;
        listCursor_ = 0;
        state_.messageCount = static_cast<int>(listNumbers_.size());
    }
    if (listCursor_ >= listNumbers_.size()) {
        listLoaded_ = false;
        return 0;
    }
    int number = listNumbers_[listCursor_];
    if (summary && messageId) {
        std::optional<std::string> header = ReadTopUnfolded(number);
        if (!header) {
            listLoaded_ = false;
            listError_ = true;
            return 0;
        }
        const std::string from = UnfoldedField(*header, "From:", kLineMax).value_or("");
        const std::string subject = UnfoldedField(*header, "Subject:", kLineMax).value_or("");
        *messageId = UnfoldedField(*header, "Message-Id:", kLineMax).value_or("");
        *summary = std::to_string(number) + " " + from + " " + subject;
    }
    currentNumber_ = number;
    return listSizes_[listCursor_++];
}

int MailSession::FetchUidl() {
    serverUids_.clear();
    savedUids_.clear();
    uidMode_ = false;
    if (!connection_.IsOpen()) {
        return -1;
    }
    if (!SendLine("UIDL")) {
        return 0;
    }
    std::optional<std::string_view> reply = ReadReply();
    if (!reply) {
        return 0;
    }
    if (!PopPositive(*reply)) {
        const std::string note =
            "The server refused UIDL (" + std::string(reply->substr(0, 200)) +
            "): messages are known by their Message-ID this time, and UIDL.DAT is kept as it was";
        state_.AddTranscript(note + "\n");
        PostStatus(note);
        return 1;
    }
    // A broken line makes the listing an error; its rest is still read so
    // that it is never taken as the reply of a later command.
    bool unreadable = false;
    MultiLine result = ReadMultiLine(
        [&](std::string_view line) {
            std::optional<std::string> uid = ParseUidlLine(line);
            if (!uid) {
                unreadable = true;
            } else if (!unreadable) {
                serverUids_.push_back(std::move(*uid));
            }
            return true;
        },
        kListingMaxEntries, 0);
    if (result == MultiLine::kOverCap) {
        serverUids_.clear();
        EndBroken("The server's UIDL reply has more than " + std::to_string(kListingMaxEntries) +
                  " entries");
        return 0;
    }
    if (result != MultiLine::kDone || unreadable) {
        serverUids_.clear();
        if (unreadable) {
            lastError_ =
                "The server's UIDL reply has an unreadable line, so the command was stopped; "
                "UIDL.DAT is kept as it was";
            state_.AddTranscript(lastError_ + "\n");
            PostStatus(lastError_);
        }
        return 0;
    }
    savedUids_ = ReadListFile(mailboxDirectory_ / kUidlFile);
    uidMode_ = true;
    return 1;
}

// Builds the text of message n from its RETR reply: the header unfolded
// and decoded, every line ended by LF, lines beginning with "." stuffed
// again so the text keeps the form the parser and the backup log read.
// The text is reserved once at the listed size, so a large message is not
// copied again and again as it grows.
long long MailSession::ReadMessageText(int n, std::string& text, bool deleteMode) {
    const CodePage& cp = CodePage::Working();
    const bool japanese = IsJapaneseSystem(cp);
    const long long listed = ListedSize(n);
    const long long cap = settings_.maxMessageSize > 0 ? settings_.maxMessageSize : 0;
    ReceivedTextUnfolder unfolder(cp);
    bool inHeader = true;
    long long received = 0;
    std::string stuffed;
    // A message kept on the server is known by its Message-ID, read from
    // the unfolded header exactly as the received-before check reads it.
    auto recordSeen = [&] {
        const std::string id = UnfoldedField(text, "Message-Id:", kLineMax).value_or("");
        if (!deleteMode && !id.empty() && !Contains(seenMessageIds_, id)) {
            seenMessageIds_.push_back(id);
        }
    };
    auto onLine = [&](std::string_view line) {
        received += static_cast<long long>(connection_.LastLineLength()) + 2;
        state_.receivedBytes = received;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        std::string_view kept = line;
        if (!line.empty() && line[0] == '.') {
            stuffed.assign(1, '.');
            stuffed.append(line);
            kept = stuffed;
        }
        if (inHeader) {
            unfolder.AddLine(kept);
            if (!unfolder.InHeader()) {
                inHeader = false;
                text = unfolder.Finish();
                recordSeen();
                long long expected = listed > 0 ? listed : 0;
                if (cap > 0 && expected > cap) {
                    expected = cap;
                }
                if (expected > 0) {
                    try {
                        text.reserve(static_cast<size_t>(expected + kTextSlack));
                    } catch (const std::exception&) {
                        // A size the server made up: grow as the text comes.
                    }
                }
            }
            return true;
        }
        if (japanese) {
            text += JisToSjis(kept);
        } else {
            text.append(kept);
        }
        text += '\n';
        return true;
    };
    MultiLine result;
    try {
        result = ReadMultiLine(onLine, static_cast<size_t>(-1), cap);
        if (result == MultiLine::kDone && inHeader) {
            text = unfolder.Finish();
            recordSeen();
            if (text.empty()) {
                text = "\n";  // an empty message is still a message
            }
        }
    } catch (const std::bad_alloc&) {
        result = MultiLine::kStopped;
    } catch (const std::length_error&) {
        result = MultiLine::kStopped;
    }
    switch (result) {
        case MultiLine::kDone:
            return static_cast<long long>(text.size());
        case MultiLine::kOverCap:
            EndBroken("Message " + std::to_string(n) + " grew beyond MaxMessageSize (" +
                      std::to_string(cap) +
                      " bytes) while it was received; the session was "
                      "ended and the message stays on the server");
            break;
        case MultiLine::kStopped:
            EndBroken("Not enough memory to receive message " + std::to_string(n) + " (" +
                      std::to_string(received) +
                      " bytes so far); set MaxMessageSize to leave such messages on the server");
            break;
        case MultiLine::kBroken:
            break;
    }
    std::string().swap(text);
    return -1;
}

bool MailSession::ReadTopHeader(int n, const std::function<bool(std::string_view)>& onLine) {
    if (!SendFormat("TOP %d 0", n) || !PopReplyOk("TOP")) {
        return false;
    }
    const MultiLine result = ReadMultiLine(onLine, kListingMaxEntries, kHeaderCap);
    if (result == MultiLine::kOverCap) {
        EndBroken("The header of message " + std::to_string(n) + " is larger than " +
                  std::to_string(kHeaderCap) + " bytes");
    }
    return result == MultiLine::kDone;
}

std::optional<std::string> MailSession::ReadTopUnfolded(int n) {
    ReceivedTextUnfolder unfolder;
    if (!ReadTopHeader(n, [&](std::string_view line) {
            unfolder.AddLine(line);
            return true;
        })) {
        return std::nullopt;
    }
    return unfolder.Finish();
}

long long MailSession::RetrieveMessage(int n, std::string& text, bool deleteMode) {
    text.clear();
    const long long listed = ListedSize(n);
    if (settings_.maxMessageSize > 0 && listed > settings_.maxMessageSize) {
        std::string notice = "Message " + std::to_string(n) + " (" + std::to_string(listed) +
                             " bytes) is larger than MaxMessageSize (" +
                             std::to_string(settings_.maxMessageSize) +
                             " bytes) and was left on the server";
        state_.AddTranscript(notice + "\n");
        PostStatus(notice);
        if (std::find(leftOnServer_.begin(), leftOnServer_.end(), n) == leftOnServer_.end()) {
            leftOnServer_.push_back(n);
        }
        return 0;
    }
    if (!deleteMode && !state_.receiveAll) {
        std::optional<std::string> header = ReadTopUnfolded(n);
        if (!header) {
            return -1;
        }
        const std::string messageId = UnfoldedField(*header, "Message-Id:", kLineMax).value_or("");
        const std::optional<std::string> status = UnfoldedField(*header, "Status:", 256);
        if (!messageId.empty() && Contains(savedMessageIds_, messageId) &&
            (!status || status->find('R') != std::string::npos)) {
            if (!Contains(seenMessageIds_, messageId)) {
                seenMessageIds_.push_back(messageId);
            }
            return 0;
        }
    }

    state_.currentMessage = n;
    state_.receivedBytes = 0;
    if (!SendFormat("RETR %d", n) || !PopReplyOk("RETR")) {
        return -1;
    }
    return ReadMessageText(n, text, deleteMode);
}

bool MailSession::DeleteMessage(int n) {
    if (!SendFormat("DELE %d", n)) {
        return false;
    }
    return PopReplyOk("DELE");
}

}  // namespace corvina
