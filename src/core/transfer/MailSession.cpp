#include "transfer/MailSession.h"

#include <unistd.h>

#include "common/StringTable.h"
#include "common/UserPrompt.h"
#include "message/mime/MimeTypeTable.h"
#include "transfer/DialUp.h"
#include "transfer/TransferStrings.h"

namespace corvina {

namespace {

class SessionDialHost : public DialUpHost {
public:
    SessionDialHost(TransferHost& host, UserPrompt& prompt, TransferState& state)
        : host_(host), prompt_(prompt), state_(state) {}
    void ShowStatus(std::string_view text) override { host_.ShowStatus(text); }
    std::optional<Credentials> AskLogon(std::string_view entry,
                                        const Credentials& prefilled) override {
        return host_.AskLogon(entry, prefilled);
    }
    void ShowSystemError(std::string_view text, int code) override {
        prompt_.Notify(std::string(text) + " (" + std::to_string(code) + ")", "System Error");
    }
    bool KeepWaiting() override { return !state_.abort.IsRaised(); }

private:
    TransferHost& host_;
    UserPrompt& prompt_;
    TransferState& state_;
};

std::string LocalHostName(const std::string& fallback) {
    char name[1025] = "";
    if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') {
        return fallback;
    }
    name[sizeof name - 1] = '\0';
    return name;
}

}  // namespace

MailSession::MailSession(TransferState& state, TransferHost& host, UserPrompt& prompt)
    : state_(state),
      host_(host),
      prompt_(prompt),
      dialHost_(std::make_unique<SessionDialHost>(host, prompt, state)),
      report_(state),
      pop_(report_),
      smtp_(report_) {
    report_.status = [this](std::string_view text) { host_.ShowStatus(text); };
}

MailSession::~MailSession() = default;

DialUp& MailSession::LinkService() {
    return dialUp_ ? *dialUp_ : DialUp::Shared();
}

void MailSession::ReportLinkDown() {
    Fail("The dial-up link \"" + account_.dialupEntry +
         "\" could not be brought up, so nothing was sent or received; check the "
         "DialupEntry of this account against the connections nmcli lists");
    PostStatus(report_.lastError);
}

void MailSession::SetAccount(const AccountProfile& account, int accountIndex,
                             const std::filesystem::path& mailboxDirectory) {
    // A login belongs to one account on one server: another account (or
    // this one with another server or user) never inherits it.
    if (accountIndex != accountIndex_ || account.pop != account_.pop ||
        account.user != account_.user) {
        login_ = {};
    }
    account_ = account;
    accountIndex_ = accountIndex;
    mailboxDirectory_ = mailboxDirectory;
    ForgetServers();
}

void MailSession::ServeOther(const AccountProfile& account,
                             const std::filesystem::path& mailboxDirectory) {
    account_ = account;
    mailboxDirectory_ = mailboxDirectory;
    login_ = {};
    ForgetServers();
}

const MimeTypeTable& MailSession::MimeTypes() const {
    static const MimeTypeTable builtIn;
    return mimeTypes_ ? *mimeTypes_ : builtIn;
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

ServerEndpoint MailSession::Endpoint(MailServer server) const {
    ServerEndpoint endpoint;
    const bool pop = server == MailServer::kPop;
    endpoint.addresses = pop ? popAddresses_ : smtpAddresses_;
    endpoint.implicitTls = pop ? account_.pop3Security == kPop3SecurityImplicit
                               : account_.smtpSecurity == kSmtpSecurityImplicit;
    endpoint.tls.host = pop ? account_.pop : account_.smtp;
    endpoint.tls.pinnedFingerprint = account_.certFingerprint;
    endpoint.timeout = settings_.timeout;
    return endpoint;
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
        login_ = {account_.user, account_.pass};
    }
    return true;
}

Credentials MailSession::PopCredentials() const {
    if (!login_.user.empty()) {
        return login_;
    }
    return {account_.user, account_.pass};
}

Credentials MailSession::SmtpCredentials() const {
    if (account_.smtpAuth == kSmtpAuthOwn) {
        return {account_.smtpUser, account_.smtpPass};
    }
    return PopCredentials();
}

bool MailSession::LoginPop(const Credentials& login) {
    if (!resolved_ || pop_.IsOpen()) {
        return false;
    }
    Credentials credentials = login;
    if (credentials.user.empty() || credentials.password.empty()) {
        std::optional<Credentials> asked = host_.AskCredentials(credentials);
        if (!asked || asked->user.empty() || asked->password.empty()) {
            return false;
        }
        credentials = *asked;
    }
    state_.ClearTranscript();
    if (!pop_.Login(Endpoint(MailServer::kPop), account_.pop3Security == kPop3SecurityStls,
                    credentials)) {
        return false;
    }
    login_ = credentials;
    return true;
}

bool MailSession::ConnectSmtp() {
    state_.ClearTranscript();
    SmtpGreeting greeting;
    greeting.helloName = LocalHostName(account_.smtp);
    greeting.extended =
        account_.smtpSecurity != kSmtpSecurityNone || account_.smtpAuth != kSmtpAuthNone;
    greeting.startTls = account_.smtpSecurity == kSmtpSecurityStartTls;
    greeting.authenticate = account_.smtpAuth != kSmtpAuthNone;
    if (greeting.authenticate) {
        greeting.login = SmtpCredentials();
    }
    return smtp_.Open(Endpoint(MailServer::kSmtp), greeting);
}

void MailSession::Fail(std::string error) {
    report_.lastError = std::move(error);
    state_.AddTranscript(report_.lastError + "\n");
}

void MailSession::PostStatus(std::string_view text) {
    if (!state_.quiet) {
        host_.ShowStatus(text);
    }
}

void MailSession::ReportError(int stringId, std::string_view detail) {
    if (settings_.skipError != 0) {
        return;
    }
    if (detail.empty()) {
        NotifyById(prompt_, stringId);
        return;
    }
    prompt_.Notify(std::string(LoadString(stringId)) + " (" + std::string(detail) + ")",
                   kMessageCaption);
}

JobScope::JobScope(MailSession& session) : busy_(session.State()) {
    if (!busy_.Entered()) {
        return;
    }
    link_ = std::make_unique<DialUpScope>(session.LinkService(), session.Account(),
                                          session.Settings().skipError != 0, session.LinkHost());
    if (!link_->Up()) {
        session.ReportLinkDown();
    }
}

JobScope::~JobScope() = default;

bool JobScope::LinkUp() const {
    return link_ && link_->Up();
}

}  // namespace corvina
