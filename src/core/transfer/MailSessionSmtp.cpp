// The SMTP dialogue of MailSession: greeting (HELO, or EHLO with STARTTLS
// and AUTH), one message envelope and its data, QUIT.

#include <unistd.h>

#include "message/Base64.h"
#include "transfer/MailSession.h"
#include "transfer/ReplyParser.h"

namespace corvina {

namespace {

std::string LocalHostName(const std::string& fallback) {
    char name[1025] = "";
    if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') {
        return fallback;
    }
    name[sizeof name - 1] = '\0';
    return name;
}

bool Positive(const std::optional<std::string_view>& reply) {
    return reply && !reply->empty() && (*reply)[0] == '2';
}

}  // namespace

// Reads one whole reply (all "250-" lines up to the last one) and returns
// its last line.
std::optional<std::string_view> MailSession::ReadSmtpReply() {
    for (;;) {
        std::optional<std::string_view> line = ReadReply();
        if (!line || !SmtpContinues(*line)) {
            return line;
        }
    }
}

// EHLO and its capability lines. `refused` tells a negative answer (fall
// back to HELO) from a lost connection.
bool MailSession::SmtpGreetExtended(bool& refused) {
    refused = false;
    capabilities_.clear();
    if (!SendFormat("EHLO %s", LocalHostName(account_.smtp).c_str())) {
        return false;
    }
    bool first = true;
    for (;;) {
        std::optional<std::string_view> line = ReadReply();
        if (!line) {
            return false;
        }
        if (line->empty() || (*line)[0] != '2') {
            refused = true;
            // Consume the rest of a multi-line refusal.
            while (line && SmtpContinues(*line)) {
                line = ReadReply();
            }
            return false;
        }
        if (!first) {
            capabilities_.push_back(SmtpCapabilityLine(*line));
        }
        first = false;
        if (!SmtpContinues(*line)) {
            return true;
        }
    }
}

bool MailSession::SmtpAuthenticate() {
    const Credentials login = SmtpCredentials();
    const std::string& user = login.user;
    const std::string& pass = login.password;
    if (OffersAuth(capabilities_, "PLAIN")) {
        std::string token;
        token += '\0';
        token += user;
        token += '\0';
        token += pass;
        state_.quiet = true;
        bool sent = SendLine("AUTH PLAIN " + Base64EncodeText(token));
        state_.quiet = false;
        if (!sent) {
            return false;
        }
        PostStatus("AUTH PLAIN ********");
        state_.AddTranscript("AUTH PLAIN ********\n");
        return Positive(ReadSmtpReply());
    }
    if (OffersAuth(capabilities_, "LOGIN")) {
        if (!SendLine("AUTH LOGIN")) {
            return false;
        }
        std::optional<std::string_view> reply = ReadSmtpReply();
        if (!reply || SmtpCode(*reply) != 334) {
            return false;
        }
        state_.quiet = true;
        bool sent = SendLine(Base64EncodeText(user));
        reply = sent ? ReadSmtpReply() : std::nullopt;
        if (!reply || SmtpCode(*reply) != 334) {
            state_.quiet = false;
            return false;
        }
        sent = SendLine(Base64EncodeText(pass));
        state_.quiet = false;
        if (!sent) {
            return false;
        }
        state_.AddTranscript("(user name and password sent)\n");
        return Positive(ReadSmtpReply());
    }
    lastError_ = "The server offers no supported authentication (PLAIN or LOGIN)";
    state_.AddTranscript(lastError_ + "\n");
    return false;
}

bool MailSession::ConnectSmtp() {
    state_.ClearTranscript();
    capabilities_.clear();
    if (!Connect(MailServer::kSmtp)) {
        return false;
    }
    std::optional<std::string_view> greeting = ReadReply();
    if (!greeting) {
        Disconnect();
        return false;
    }
    std::string helloName = LocalHostName(account_.smtp);
    bool extended =
        account_.smtpSecurity != kSmtpSecurityNone || account_.smtpAuth != kSmtpAuthNone;
    if (!extended) {
        if (!SendFormat("HELO %s", helloName.c_str())) {
            Disconnect();
            return false;
        }
        // The rest of a multi-line greeting comes before the HELO reply.
        for (;;) {
            std::optional<std::string_view> line = ReadReply();
            if (!line) {
                Disconnect();
                return false;
            }
            if (line->substr(0, 3) != "220") {
                return true;
            }
        }
    }

    while (greeting && SmtpContinues(*greeting)) {
        greeting = ReadReply();
    }
    if (!Positive(greeting)) {
        Disconnect();
        return false;
    }
    bool refused = false;
    bool ehlo = SmtpGreetExtended(refused);
    if (!ehlo) {
        if (!refused) {
            Disconnect();
            return false;
        }
        if (!SendFormat("HELO %s", helloName.c_str()) || !Positive(ReadSmtpReply())) {
            QuitSmtp();
            return false;
        }
    }
    if (account_.smtpSecurity == kSmtpSecurityStartTls) {
        if (!ehlo || !HasCapability(capabilities_, "STARTTLS")) {
            // A protected session was asked for: nothing more goes out in
            // clear, least of all a password.
            lastError_ = "The server does not offer STARTTLS";
            state_.AddTranscript(lastError_ + "\n");
            QuitSmtp();
            return false;
        }
        if (!SendLine("STARTTLS")) {
            Disconnect();
            return false;
        }
        std::optional<std::string_view> reply = ReadSmtpReply();
        if (!reply || SmtpCode(*reply) != 220) {
            QuitSmtp();
            return false;
        }
        if (!StartTls(MailServer::kSmtp)) {
            return false;
        }
        if (!SmtpGreetExtended(refused)) {
            Disconnect();
            return false;
        }
    }
    if (account_.smtpAuth != kSmtpAuthNone && !SmtpAuthenticate()) {
        QuitSmtp();
        return false;
    }
    return true;
}

void MailSession::QuitSmtp() {
    if (connection_.IsOpen() && !state_.broken) {
        if (SendLine("QUIT")) {
            ReadSmtpReply();
        }
    }
    Disconnect();
}

bool MailSession::SendEnvelope(std::string_view sender, const std::vector<std::string>& recipients,
                               const DataWriter& writeData) {
    if (!connection_.IsOpen() || state_.broken || recipients.empty()) {
        return false;
    }
    if (!SendLine("RSET") || !ReadSmtpReply()) {
        return false;
    }
    std::string command = "MAIL FROM:<" + std::string(sender) + ">";
    if (!SendLine(command) || !Positive(ReadSmtpReply())) {
        return false;
    }
    for (const std::string& recipient : recipients) {
        if (!SendLine("RCPT TO:<" + recipient + ">")) {
            return false;
        }
        if (!Positive(ReadSmtpReply())) {
            // The message fails as a whole. DATA is never sent, and the
            // connection is given up rather than risking a QUIT that a
            // server in its data phase would take as message text.
            lastError_ = "recipient refused: " + recipient;
            Disconnect();
            return false;
        }
    }
    if (!SendLine("DATA")) {
        return false;
    }
    std::optional<std::string_view> reply = ReadSmtpReply();
    if (!reply || reply->empty() || (*reply)[0] != '3') {
        return false;
    }
    state_.quiet = true;
    bool ok = writeData([this](std::string_view line) { return SendLine(line, false); });
    if (ok) {
        ok = SendLine(".");
    }
    state_.quiet = false;
    if (!ok) {
        // Somewhere in the data phase: never QUIT into it.
        Disconnect();
        return false;
    }
    return Positive(ReadSmtpReply());
}

bool MailSession::SendEnvelope(std::string_view sender, const std::vector<std::string>& recipients,
                               const std::vector<std::string>& lines) {
    return SendEnvelope(sender, recipients, [&](const std::function<bool(std::string_view)>& send) {
        std::string stuffed;
        for (const std::string& line : lines) {
            stuffed.clear();
            if (!line.empty() && line[0] == '.') {
                stuffed += '.';
            }
            stuffed += line;
            if (!send(stuffed)) {
                return false;
            }
        }
        return true;
    });
}

}  // namespace corvina
