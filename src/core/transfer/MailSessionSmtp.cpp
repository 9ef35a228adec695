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

}  // namespace

// Reads one whole reply, whatever the command: "NNN-" lines up to the
// final "NNN " line, every line with the same code, at most kReplyCap
// bytes. Returns the last line; nullopt when the connection broke or the
// reply is malformed or too long (the session is then ended). `lines` gets
// every line of the reply.
std::optional<std::string_view> MailSession::ReadSmtpReply(std::vector<std::string>* lines) {
    if (lines) {
        lines->clear();
    }
    int code = -1;
    size_t total = 0;
    for (;;) {
        std::optional<std::string_view> line = ReadReply();
        if (!line) {
            return std::nullopt;
        }
        int lineCode = SmtpCode(*line);
        if (lineCode < 0 || (code >= 0 && lineCode != code)) {
            EndBroken("The server's reply is not a valid SMTP reply: " +
                      std::string(line->substr(0, 80)));
            return std::nullopt;
        }
        code = lineCode;
        total += connection_.LastLineLength() + 2;
        if (total > kReplyCap) {
            EndBroken("The server's reply is longer than " + std::to_string(kReplyCap) + " bytes");
            return std::nullopt;
        }
        if (lines) {
            lines->emplace_back(*line);
        }
        if (!SmtpContinues(*line)) {
            return line;
        }
    }
}

// Reads a whole reply and tells whether its code lies in [low, high]; any
// other reply is kept as the error, in the server's own words.
bool MailSession::SmtpExpect(int low, int high) {
    std::optional<std::string_view> reply = ReadSmtpReply();
    if (!reply) {
        return false;
    }
    int code = SmtpCode(*reply);
    if (code < low || code > high) {
        lastError_ = std::string(*reply);
        return false;
    }
    return true;
}

// EHLO and its capability lines. `refused` tells a negative answer (fall
// back to HELO) from a lost connection.
bool MailSession::SmtpGreetExtended(bool& refused) {
    refused = false;
    capabilities_.clear();
    if (!SendFormat("EHLO %s", LocalHostName(account_.smtp).c_str())) {
        return false;
    }
    std::vector<std::string> lines;
    std::optional<std::string_view> reply = ReadSmtpReply(&lines);
    if (!reply) {
        return false;
    }
    if ((*reply)[0] != '2') {
        refused = true;
        return false;
    }
    for (size_t i = 1; i < lines.size(); ++i) {
        capabilities_.push_back(SmtpCapabilityLine(lines[i]));
    }
    return true;
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
        return SmtpExpect(200, 299);
    }
    if (OffersAuth(capabilities_, "LOGIN")) {
        if (!SendLine("AUTH LOGIN") || !SmtpExpect(334, 334)) {
            return false;
        }
        state_.quiet = true;
        bool sent = SendLine(Base64EncodeText(user));
        if (!sent || !SmtpExpect(334, 334)) {
            state_.quiet = false;
            return false;
        }
        sent = SendLine(Base64EncodeText(pass));
        state_.quiet = false;
        if (!sent) {
            return false;
        }
        state_.AddTranscript("(user name and password sent)\n");
        return SmtpExpect(200, 299);
    }
    lastError_ =
        "The SMTP server offers no authentication this program knows (PLAIN or LOGIN); "
        "set the account's SMTP authentication to none, or ask the provider";
    state_.AddTranscript(lastError_ + "\n");
    return false;
}

bool MailSession::ConnectSmtp() {
    state_.ClearTranscript();
    capabilities_.clear();
    if (!Connect(MailServer::kSmtp)) {
        return false;
    }
    // The greeting may have many lines; it is read whole, and only a 2xx
    // one is taken as a mail server ready for us.
    std::optional<std::string_view> greeting = ReadSmtpReply();
    if (!greeting) {
        Disconnect();
        return false;
    }
    if ((*greeting)[0] != '2') {
        lastError_ = std::string(*greeting);
        QuitSmtp();
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
        if (!SmtpExpect(200, 299)) {
            QuitSmtp();
            return false;
        }
        return true;
    }

    bool refused = false;
    bool ehlo = SmtpGreetExtended(refused);
    if (!ehlo) {
        if (!refused) {
            Disconnect();
            return false;
        }
        if (!SendFormat("HELO %s", helloName.c_str()) || !SmtpExpect(200, 299)) {
            QuitSmtp();
            return false;
        }
    }
    if (account_.smtpSecurity == kSmtpSecurityStartTls) {
        if (!ehlo || !HasCapability(capabilities_, "STARTTLS")) {
            // A protected session was asked for: nothing more goes out in
            // clear, least of all a password.
            lastError_ =
                "The SMTP server does not offer STARTTLS, which this account asks for, so "
                "nothing was sent; choose another SMTP security setting for the account";
            state_.AddTranscript(lastError_ + "\n");
            QuitSmtp();
            return false;
        }
        if (!SendLine("STARTTLS")) {
            Disconnect();
            return false;
        }
        if (!SmtpExpect(220, 220)) {
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
    if (!SendLine(command) || !SmtpExpect(200, 299)) {
        return false;
    }
    for (const std::string& recipient : recipients) {
        if (!SendLine("RCPT TO:<" + recipient + ">")) {
            return false;
        }
        if (!SmtpExpect(200, 299)) {
            // The message fails as a whole. DATA is never sent, and the
            // connection is given up rather than risking a QUIT that a
            // server in its data phase would take as message text.
            lastError_ = "recipient refused: " + recipient + " (" + lastError_ + ")";
            Disconnect();
            return false;
        }
    }
    if (!SendLine("DATA")) {
        return false;
    }
    if (!SmtpExpect(300, 399)) {
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
    return SmtpExpect(200, 299);
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
