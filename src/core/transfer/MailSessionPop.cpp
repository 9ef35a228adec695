// The POP3 dialogue of MailSession: login, listing, unique ids, retrieval
// and deletion.

#include <algorithm>

#include "common/CodePage.h"
#include "message/HeaderUnfold.h"
#include "message/HeaderWords.h"
#include "message/JapaneseCode.h"
#include "transfer/ListFile.h"
#include "transfer/MailSession.h"
#include "transfer/ReplyParser.h"
#include "transfer/TransferHost.h"

namespace corvina {

namespace {

// Clears the quiet flag again on every way out of a bulk listing.
class QuietScope {
public:
    explicit QuietScope(TransferState& state) : state_(state) { state_.quiet = true; }
    ~QuietScope() { state_.quiet = false; }

private:
    TransferState& state_;
};

std::string DecodeSummaryField(std::string_view value) {
    const CodePage& cp = CodePage::Working();
    std::string decoded = DecodeHeaderWords(value, cp).value_or(std::string(value));
    return JisToWorking(decoded, cp);
}

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
    if (!Connect(MailServer::kPop)) {
        return false;
    }
    if (!ReadReply()) {
        Disconnect();
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
        if (PopNegative(*reply)) {
            // The account asks for a protected session: never fall back to
            // sending the password in clear.
            lastError_ = "The server does not offer STLS";
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
    if (PopNegative(*reply)) {
        QuitPop();
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
    reply = ReadReply();
    if (!reply) {
        Disconnect();
        return false;
    }
    if (PopNegative(*reply)) {
        QuitPop();
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
    std::optional<std::string_view> reply = ReadReply();
    return reply && !PopNegative(*reply);
}

// Reads the whole LIST reply. Every entry of the maildrop is kept: there is
// no cap on the number of entries, so no message is silently left out and
// no rest of the listing is ever taken as the reply of a later command.
bool MailSession::ReadPopListing() {
    listNumbers_.clear();
    listSizes_.clear();
    QuietScope quiet(state_);
    for (;;) {
        std::optional<std::string_view> line = ReadDataLine();
        if (!line) {
            return false;
        }
        if (line->empty()) {
            continue;
        }
        if ((*line)[0] == '.') {
            return true;
        }
        if (std::optional<ListEntry> entry = ParseListLine(*line)) {
            listNumbers_.push_back(entry->number);
            listSizes_.push_back(entry->size);
        }
    }
}

long long MailSession::NextMessage(std::string* summary, std::string* messageId) {
    if (!listLoaded_) {
        listError_ = true;
        if (!SendLine("STAT")) {
            return 0;
        }
        std::optional<std::string_view> reply = ReadReply();
        if (!reply || PopNegative(*reply)) {
            return 0;
        }
        if (ParseStatCount(*reply).value_or(-1) == 0) {
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
        if (!SendFormat("TOP %d 0", number)) {
            listLoaded_ = false;
            return 0;
        }
        std::optional<std::string_view> reply = ReadReply();
        if (!reply || PopNegative(*reply)) {
            listLoaded_ = false;
            listError_ = true;
            return 0;
        }
        std::string from;
        std::string subject;
        bool haveFrom = false;
        bool haveSubject = false;
        QuietScope quiet(state_);
        for (;;) {
            std::optional<std::string_view> line = ReadDataLine();
            if (!line) {
                listLoaded_ = false;
                listError_ = true;
                return 0;
            }
            if (!line->empty() && (*line)[0] == '.') {
                break;
            }
            if (auto v = HeaderValue(*line, "From:"); v && !haveFrom) {
                from = DecodeSummaryField(*v);
                haveFrom = true;
            } else if (auto s = HeaderValue(*line, "Subject:"); s && !haveSubject) {
                subject = DecodeSummaryField(*s);
                haveSubject = true;
            } else if (auto id = HeaderValue(*line, "Message-Id:")) {
                *messageId = std::string(*id);
            }
        }
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
    QuietScope quiet(state_);
    if (!SendLine("UIDL")) {
        return 0;
    }
    std::optional<std::string_view> reply = ReadReply();
    if (!reply) {
        return 0;
    }
    if (PopNegative(*reply)) {
        return 1;
    }
    for (;;) {
        std::optional<std::string_view> line = ReadDataLine();
        if (!line) {
            return 0;
        }
        if (!line->empty() && (*line)[0] == '.') {
            break;
        }
        std::optional<std::string> uid = ParseUidlLine(*line);
        if (!uid) {
            // A broken listing is an error; its rest is still read so that
            // it is never taken as the reply of a later command.
            serverUids_.clear();
            while (std::optional<std::string_view> rest = ReadDataLine()) {
                if (!rest->empty() && (*rest)[0] == '.') {
                    break;
                }
            }
            return 0;
        }
        serverUids_.push_back(std::move(*uid));
    }
    savedUids_ = ReadListFile(mailboxDirectory_ / kUidlFile);
    uidMode_ = true;
    return 1;
}

long long MailSession::RetrieveMessage(int n, std::string& text, bool deleteMode) {
    text.clear();
    if (!deleteMode && !state_.receiveAll) {
        if (!SendFormat("TOP %d 0", n)) {
            return -1;
        }
        std::optional<std::string_view> reply = ReadReply();
        if (!reply || PopNegative(*reply)) {
            return -1;
        }
        std::string messageId;
        std::optional<std::string> status;
        {
            QuietScope quiet(state_);
            for (;;) {
                std::optional<std::string_view> line = ReadDataLine();
                if (!line) {
                    return -1;
                }
                if (!line->empty() && (*line)[0] == '.') {
                    break;
                }
                if (auto id = HeaderValue(*line, "Message-Id:")) {
                    messageId = std::string(*id);
                } else if (auto s = HeaderValue(*line, "Status:")) {
                    status = std::string(s->substr(0, 256));
                }
            }
        }
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
    if (!SendFormat("RETR %d", n)) {
        return -1;
    }
    std::optional<std::string_view> reply = ReadReply();
    if (!reply || PopNegative(*reply)) {
        return -1;
    }
    ReceivedTextUnfolder unfolder(CodePage::Working());
    bool ended = false;
    long long received = 0;
    {
        QuietScope quiet(state_);
        for (;;) {
            std::optional<std::string_view> line = ReadDataLine();
            if (!line) {
                return -1;
            }
            if (*line == ".") {
                ended = true;
                break;
            }
            if (unfolder.InHeader() && !line->empty()) {
                if (auto id = HeaderValue(*line, "Message-Id:")) {
                    std::string value(*id);
                    if (!deleteMode && !value.empty() && !Contains(seenMessageIds_, value)) {
                        seenMessageIds_.push_back(value);
                    }
                }
            }
            unfolder.AddLine(*line);
            received += static_cast<long long>(line->size()) + 2;
            state_.receivedBytes = received;
        }
    }
    text = unfolder.Finish();
    if (ended) {
        text += ".\n";
    }
    return static_cast<long long>(text.size());
}

bool MailSession::DeleteMessage(int n) {
    if (!SendFormat("DELE %d", n)) {
        return false;
    }
    std::optional<std::string_view> reply = ReadReply();
    return reply && !PopNegative(*reply);
}

}  // namespace corvina
