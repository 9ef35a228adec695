#include "transfer/Pop3Client.h"

#include <new>
#include <stdexcept>

#include "common/CodePage.h"
#include "message/HeaderUnfold.h"
#include "message/JapaneseCode.h"
#include "transfer/ReplyParser.h"

namespace corvina {

namespace {

// Headroom reserved beyond a message's listed size: the unfolded and
// decoded header may come out a little longer than it was sent.
constexpr long long kTextSlack = 64 * 1024;

}  // namespace

bool Pop3Client::Login(const ServerEndpoint& endpoint, bool stls, const Credentials& credentials) {
    if (IsOpen()) {
        return false;
    }
    phase_ = State::kClosed;
    if (!Open(endpoint)) {
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
    phase_ = State::kAuthorization;
    // The account asks for a protected session: never fall back to sending
    // the password in clear.
    if (stls && !LoginStep(SendLine("STLS"),
                           "The POP3 server does not offer STLS, which this account asks for, so "
                           "the password was not sent; choose another POP3 security setting for "
                           "the account")) {
        return false;
    }
    if (stls && !StartTls()) {
        Disconnect();
        return false;
    }
    // The password is never sent after a refused user name.
    if (!LoginStep(SendFormat("USER %s", credentials.user.c_str())) ||
        !LoginStep(SendSecret("PASS " + credentials.password, "PASS ********"))) {
        return false;
    }
    phase_ = State::kTransaction;
    return true;
}

bool Pop3Client::LoginStep(bool sent, std::string_view refusal) {
    if (!sent) {
        Disconnect();
        return false;
    }
    std::optional<std::string_view> reply = ReadReply();
    if (!reply) {
        Disconnect();
        return false;
    }
    if (!PopPositive(*reply)) {
        const std::string error = refusal.empty() ? std::string(*reply) : std::string(refusal);
        Quit();
        if (refusal.empty()) {
            report_.lastError = error;  // the server's words are in the transcript already
        } else {
            Fail(error);
        }
        PostStatus(error);
        return false;
    }
    return true;
}

void Pop3Client::Quit() {
    if (IsOpen() && !state_.broken) {
        if (SendLine("QUIT")) {
            ReadReply();
        }
    }
    Disconnect();
}

void Pop3Client::End() {
    connection_.ResetReader();
    if (IsOpen()) {
        Quit();
    }
}

void Pop3Client::Disconnect() {
    ProtocolClient::Disconnect();
    listLoaded_ = false;
    phase_ = State::kClosed;
}

bool Pop3Client::CommandOk(const char* command) {
    if (!SendLine(command)) {
        return false;
    }
    return ReplyOk(command);
}

// The status line of a reply: false for anything but "+OK", with the
// server's words kept as the error.
bool Pop3Client::ReplyOk(const char* what) {
    std::optional<std::string_view> reply = ReadReply();
    if (!reply) {
        return false;
    }
    if (!PopPositive(*reply)) {
        report_.lastError = std::string(what) + ": " + std::string(*reply);
        return false;
    }
    return true;
}

Pop3Client::MultiLine Pop3Client::ReadMultiLine(const std::function<bool(std::string_view)>& onLine,
                                                size_t maxLines, long long maxBytes) {
    const bool wasQuiet = state_.quiet.exchange(true);
    struct Restore {
        std::atomic<bool>& quiet;
        bool old;
        ~Restore() { quiet = old; }
    } restore{state_.quiet, wasQuiet};
    size_t lines = 0;
    long long bytes = 0;
    for (;;) {
        std::optional<std::string_view> line = ReadDataLine();
        if (!line) {
            return MultiLine::kBroken;
        }
        if (*line == ".") {
            return MultiLine::kDone;
        }
        bytes += static_cast<long long>(connection_.LastLineLength()) + 2;
        if (++lines > maxLines || (maxBytes > 0 && bytes > maxBytes)) {
            connection_.Close();
            state_.broken = true;
            return MultiLine::kOverCap;
        }
        std::string_view text = *line;
        if (!text.empty() && text[0] == '.') {
            text.remove_prefix(1);
        }
        if (!onLine(text)) {
            connection_.Close();
            state_.broken = true;
            return MultiLine::kStopped;
        }
    }
}

// Reads the whole LIST reply. Every entry is kept up to the cap; a line
// that does not read as "<number> <size>" makes the listing unusable, as
// its sizes decide what is fetched and what stays on the server.
bool Pop3Client::ReadListing() {
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

long long Pop3Client::ListedSize(int n) const {
    for (size_t i = 0; i < listNumbers_.size(); ++i) {
        if (listNumbers_[i] == n) {
            return listSizes_[i];
        }
    }
    return -1;
}

long long Pop3Client::NextMessage(std::string* summary, std::string* messageId) {
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
        if (!CommandOk("LIST") || !ReadListing()) {
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

int Pop3Client::FetchUidl() {
    serverUids_.clear();
    uidMode_ = false;
    if (!IsOpen()) {
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
            Fail(
                "The server's UIDL reply has an unreadable line, so the command was stopped; "
                "UIDL.DAT is kept as it was");
            PostStatus(report_.lastError);
        }
        return 0;
    }
    uidMode_ = true;
    return 1;
}

// Builds the text of message n from its RETR reply. The text is reserved
// once at the listed size, so a large message is not copied again and
// again as it grows.
long long Pop3Client::ReadMessageText(int n, std::string& text, long long cap) {
    const CodePage& cp = CodePage::Working();
    const bool japanese = IsJapaneseSystem(cp);
    const long long listed = ListedSize(n);
    ReceivedTextUnfolder unfolder(cp);
    bool inHeader = true;
    long long received = 0;
    std::string stuffed;
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

bool Pop3Client::ReadTopHeader(int n, const std::function<bool(std::string_view)>& onLine) {
    if (!SendFormat("TOP %d 0", n) || !ReplyOk("TOP")) {
        return false;
    }
    const MultiLine result = ReadMultiLine(onLine, kListingMaxEntries, kHeaderCap);
    if (result == MultiLine::kOverCap) {
        EndBroken("The header of message " + std::to_string(n) + " is larger than " +
                  std::to_string(kHeaderCap) + " bytes");
    }
    return result == MultiLine::kDone;
}

std::optional<std::string> Pop3Client::ReadTopUnfolded(int n) {
    ReceivedTextUnfolder unfolder;
    if (!ReadTopHeader(n, [&](std::string_view line) {
            unfolder.AddLine(line);
            return true;
        })) {
        return std::nullopt;
    }
    return unfolder.Finish();
}

std::optional<std::string> Pop3Client::FetchHeader(int n) {
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

long long Pop3Client::Retrieve(int n, std::string& text, long long maxBytes) {
    text.clear();
    state_.currentMessage = n;
    state_.receivedBytes = 0;
    if (!SendFormat("RETR %d", n) || !ReplyOk("RETR")) {
        return -1;
    }
    return ReadMessageText(n, text, maxBytes);
}

bool Pop3Client::Delete(int n) {
    if (!SendFormat("DELE %d", n)) {
        return false;
    }
    return ReplyOk("DELE");
}

}  // namespace corvina
