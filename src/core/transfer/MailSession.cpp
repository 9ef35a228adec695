#include "transfer/MailSession.h"

#include <cstdio>

#include "transfer/DialUp.h"
#include "transfer/TransferHost.h"
#include "transfer/TransferStrings.h"

namespace corvina {

namespace {

class SessionDialHost : public DialUpHost {
public:
    SessionDialHost(TransferHost& host, TransferState& state) : host_(host), state_(state) {}
    void ShowStatus(std::string_view text) override { host_.ShowStatus(text); }
    std::optional<Credentials> AskLogon(std::string_view entry,
                                        const Credentials& prefilled) override {
        return host_.AskLogon(entry, prefilled);
    }
    void ShowSystemError(std::string_view text, int code) override {
        host_.ShowSystemError(text, code);
    }
    bool KeepWaiting() override { return !state_.abort.IsRaised(); }

private:
    TransferHost& host_;
    TransferState& state_;
};

}  // namespace

MailSession::MailSession(TransferState& state, TransferHost& host)
    : state_(state),
      host_(host),
      dialHost_(std::make_unique<SessionDialHost>(host, state)),
      connection_(&state.abort) {}

DialUp& MailSession::LinkService() {
    return dialUp_ ? *dialUp_ : DialUp::Shared();
}

void MailSession::ReportLinkDown() {
    lastError_ = "The dial-up link \"" + account_.dialupEntry +
                 "\" could not be brought up, so nothing was sent or received; check the "
                 "DialupEntry of this account against the connections nmcli lists";
    state_.AddTranscript(lastError_ + "\n");
    PostStatus(lastError_);
}

MailSession::~MailSession() {
    Disconnect();
}

void MailSession::SetAccount(const AccountProfile& account, int accountIndex,
                             const std::filesystem::path& mailboxDirectory) {
    // A login belongs to one account on one server: another account (or
    // this one with another server or user) never inherits it.
    if (accountIndex != accountIndex_ || account.pop != account_.pop ||
        account.user != account_.user) {
        user_.clear();
        password_.clear();
    }
    account_ = account;
    accountIndex_ = accountIndex;
    mailboxDirectory_ = mailboxDirectory;
    ForgetServers();
}

int MailSession::SecurityFor(MailServer server) const {
    return server == MailServer::kPop ? account_.pop3Security : account_.smtpSecurity;
}

// An account switched to implicit TLS but still on the plain default port
// means the well-known TLS port.
uint16_t MailSession::PortFor(MailServer server) const {
    if (server == MailServer::kPop) {
        int port = account_.pop3Port > 0 ? account_.pop3Port : 110;
        if (account_.pop3Security == kPop3SecurityImplicit && port == 110) {
            port = 995;
        }
        return static_cast<uint16_t>(port);
    }
    int port = account_.smtpPort > 0 ? account_.smtpPort : 25;
    if (account_.smtpSecurity == kSmtpSecurityImplicit && port == 25) {
        port = 465;
    }
    return static_cast<uint16_t>(port);
}

bool MailSession::ResolveServers() {
    resolved_ = false;
    popAddresses_.clear();
    smtpAddresses_.clear();
    if (account_.pop.empty() && account_.smtp.empty()) {
        return false;
    }
    if (!account_.pop.empty()) {
        popAddresses_ = LineConnection::Resolve(account_.pop, PortFor(MailServer::kPop));
        if (popAddresses_.empty()) {
            return false;
        }
    }
    if (!account_.smtp.empty()) {
        smtpAddresses_ = LineConnection::Resolve(account_.smtp, PortFor(MailServer::kSmtp));
        if (smtpAddresses_.empty()) {
            return false;
        }
    }
    resolved_ = true;
    return true;
}

bool MailSession::Prepare(bool keep) {
    if (resolved_) {
        return true;
    }
    if (!ResolveServers()) {
        ReportError(kStrServerInitFailed);
        return false;
    }
    if (!keep) {
        user_ = account_.user;
        password_ = account_.pass;
    }
    return true;
}

Credentials MailSession::PopCredentials() const {
    if (!user_.empty()) {
        return {user_, password_};
    }
    return {account_.user, account_.pass};
}

Credentials MailSession::SmtpCredentials() const {
    if (account_.smtpAuth == kSmtpAuthOwn) {
        return {account_.smtpUser, account_.smtpPass};
    }
    return PopCredentials();
}

void MailSession::ReportError(int stringId, std::string_view detail) {
    if (settings_.skipError == 0) {
        host_.ShowError(stringId, detail);
    }
}

bool MailSession::Connect(MailServer server) {
    connection_.Close();
    state_.broken = false;
    lastError_.clear();
    connection_.SetTimeout(settings_.timeout);
    const auto& addresses = server == MailServer::kPop ? popAddresses_ : smtpAddresses_;
    if (!connection_.Connect(addresses)) {
        lastError_ = connection_.LastError();
        state_.AddTranscript(lastError_ + "\n");
        state_.broken = true;
        return false;
    }
    if (SecurityFor(server) == 2 && !StartTls(server)) {
        return false;
    }
    return true;
}

bool MailSession::StartTls(MailServer server) {
    TlsPolicy policy;
    policy.host = server == MailServer::kPop ? account_.pop : account_.smtp;
    policy.pinnedFingerprint = account_.certFingerprint;
    if (!connection_.StartTls(policy)) {
        lastError_ = connection_.LastError();
        state_.AddTranscript(lastError_ + "\n");
        PostStatus(lastError_);
        connection_.Close();
        state_.broken = true;
        return false;
    }
    return true;
}

void MailSession::Disconnect() {
    connection_.Close();
    listLoaded_ = false;
}

void MailSession::PostStatus(std::string_view text) {
    if (!state_.quiet) {
        host_.ShowStatus(text);
    }
}

std::optional<std::string_view> MailSession::ReadReply() {
    if (state_.broken || !connection_.IsOpen()) {
        return std::nullopt;
    }
    std::optional<std::string> got = connection_.ReadLine(kLineMax, kReplyLineCap);
    if (!got) {
        state_.broken = true;
        lastError_ = connection_.LastError();
        if (!state_.abort.IsRaised()) {
            state_.AddTranscript(lastError_ + "\n");
        }
        return std::nullopt;
    }
    line_ = std::move(*got);
    if (!state_.quiet) {
        host_.ShowStatus(line_);
        state_.AddTranscript(line_ + "\n");
    }
    if (state_.abort.IsRaised()) {
        return std::nullopt;
    }
    return std::string_view(line_);
}

std::optional<std::string_view> MailSession::ReadDataLine() {
    if (state_.broken || !connection_.IsOpen()) {
        return std::nullopt;
    }
    std::optional<std::string> got = connection_.ReadLine(kDataLineMax, kDataLineCap);
    if (!got) {
        state_.broken = true;
        lastError_ = connection_.LastError();
        if (!state_.abort.IsRaised()) {
            state_.AddTranscript(lastError_ + "\n");
        }
        return std::nullopt;
    }
    line_ = std::move(*got);
    if (!state_.quiet) {
        host_.ShowStatus(line_);
        state_.AddTranscript(line_ + "\n");
    }
    if (state_.abort.IsRaised()) {
        return std::nullopt;
    }
    return std::string_view(line_);
}

MailSession::MultiLine MailSession::ReadMultiLine(
    const std::function<bool(std::string_view)>& onLine, size_t maxLines, long long maxBytes) {
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

void MailSession::EndBroken(std::string error) {
    connection_.Close();
    state_.broken = true;
    lastError_ = std::move(error);
    state_.AddTranscript(lastError_ + "\n");
    PostStatus(lastError_);
    listLoaded_ = false;
}

bool MailSession::SendLine(std::string_view text, bool flush) {
    // Nothing goes out once the user aborted: a QUIT would commit the
    // session's deletions and a final "." would send a message the user
    // stopped.
    if (!connection_.IsOpen() || state_.broken || state_.abort.IsRaised()) {
        return false;
    }
    // A line break inside a line would start a command of its own on the
    // server (a user name, an address or a subject smuggling one in).
    if (text.find_first_of("\r\n") != std::string_view::npos) {
        lastError_ =
            "A line for the server held a line break (from a user name, an address or a "
            "subject) and was not sent; remove the line break from that field";
        return false;
    }
    if (!connection_.WriteLine(text, flush)) {
        state_.broken = true;
        lastError_ = connection_.LastError();
        return false;
    }
    if (!state_.quiet) {
        host_.ShowStatus(text);
        std::string entry(text);
        entry += '\n';
        state_.AddTranscript(entry);
    }
    return !state_.abort.IsRaised();
}

bool MailSession::SendFormat(const char* format, ...) {
    char buffer[1025];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n < 0) {
        return false;
    }
    return SendLine(buffer);
}

}  // namespace corvina
