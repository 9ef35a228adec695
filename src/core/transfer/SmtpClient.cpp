#include "transfer/SmtpClient.h"

#include "message/Base64.h"
#include "transfer/ReplyParser.h"

namespace corvina {

// Every line of a reply must carry the code of its first line.
std::optional<std::string_view> SmtpClient::ReadSmtpReply(std::vector<std::string>* lines) {
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
bool SmtpClient::Expect(int low, int high) {
    std::optional<std::string_view> reply = ReadSmtpReply();
    if (!reply) {
        return false;
    }
    int code = SmtpCode(*reply);
    if (code < low || code > high) {
        report_.lastError = std::string(*reply);
        return false;
    }
    return true;
}

// EHLO and its capability lines. `refused` tells a negative answer (fall
// back to HELO) from a lost connection.
bool SmtpClient::GreetExtended(const std::string& helloName, bool& refused) {
    refused = false;
    capabilities_.clear();
    if (!SendFormat("EHLO %s", helloName.c_str())) {
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

bool SmtpClient::Authenticate(const Credentials& login) {
    if (OffersAuth(capabilities_, "PLAIN")) {
        std::string token;
        token += '\0';
        token += login.user;
        token += '\0';
        token += login.password;
        return SendSecret("AUTH PLAIN " + Base64EncodeText(token), "AUTH PLAIN ********") &&
               Expect(200, 299);
    }
    if (OffersAuth(capabilities_, "LOGIN")) {
        if (!SendLine("AUTH LOGIN") || !Expect(334, 334)) {
            return false;
        }
        const bool wasQuiet = state_.quiet.exchange(true);
        const bool sent = SendLine(Base64EncodeText(login.user)) && Expect(334, 334) &&
                          SendLine(Base64EncodeText(login.password));
        state_.quiet = wasQuiet;
        if (!sent) {
            return false;
        }
        state_.AddTranscript("(user name and password sent)\n");
        return Expect(200, 299);
    }
    Fail("The SMTP server offers no authentication this program knows (PLAIN or LOGIN); "
         "set the account's SMTP authentication to none, or ask the provider");
    return false;
}

bool SmtpClient::Open(const ServerEndpoint& endpoint, const SmtpGreeting& greeting) {
    phase_ = State::kClosed;
    capabilities_.clear();
    if (!ProtocolClient::Open(endpoint)) {
        return false;
    }
    // The greeting may have many lines; it is read whole, and only a 2xx
    // one is taken as a mail server ready for us.
    std::optional<std::string_view> hello = ReadSmtpReply();
    if (!hello) {
        Disconnect();
        return false;
    }
    if ((*hello)[0] != '2') {
        report_.lastError = std::string(*hello);
        Quit();
        return false;
    }
    if (!greeting.extended) {
        if (!SendFormat("HELO %s", greeting.helloName.c_str())) {
            Disconnect();
            return false;
        }
        if (!Expect(200, 299)) {
            Quit();
            return false;
        }
        phase_ = State::kReady;
        return true;
    }

    bool refused = false;
    bool ehlo = GreetExtended(greeting.helloName, refused);
    if (!ehlo) {
        if (!refused) {
            Disconnect();
            return false;
        }
        if (!SendFormat("HELO %s", greeting.helloName.c_str()) || !Expect(200, 299)) {
            Quit();
            return false;
        }
    }
    if (greeting.startTls) {
        if (!ehlo || !HasCapability(capabilities_, "STARTTLS")) {
            // A protected session was asked for: nothing more goes out in
            // clear, least of all a password.
            Fail("The SMTP server does not offer STARTTLS, which this account asks for, so "
                 "nothing was sent; choose another SMTP security setting for the account");
            Quit();
            return false;
        }
        if (!SendLine("STARTTLS")) {
            Disconnect();
            return false;
        }
        if (!Expect(220, 220)) {
            Quit();
            return false;
        }
        if (!StartTls()) {
            return false;
        }
        if (!GreetExtended(greeting.helloName, refused)) {
            Disconnect();
            return false;
        }
    }
    if (greeting.authenticate && !Authenticate(greeting.login)) {
        Quit();
        return false;
    }
    phase_ = State::kReady;
    return true;
}

void SmtpClient::Quit() {
    if (IsOpen() && !state_.broken) {
        if (SendLine("QUIT")) {
            ReadSmtpReply();
        }
    }
    Disconnect();
}

void SmtpClient::Disconnect() {
    ProtocolClient::Disconnect();
    phase_ = State::kClosed;
}

bool SmtpClient::SendEnvelope(std::string_view sender, const std::vector<std::string>& recipients,
                              const DataWriter& writeData) {
    if (!IsOpen() || state_.broken || recipients.empty()) {
        return false;
    }
    if (!SendLine("RSET") || !ReadSmtpReply()) {
        return false;
    }
    if (!SendLine("MAIL FROM:<" + std::string(sender) + ">") || !Expect(200, 299)) {
        return false;
    }
    for (const std::string& recipient : recipients) {
        if (!SendLine("RCPT TO:<" + recipient + ">")) {
            return false;
        }
        if (!Expect(200, 299)) {
            // The message fails as a whole. DATA is never sent, and the
            // connection is given up rather than risking a QUIT that a
            // server in its data phase would take as message text.
            report_.lastError = "recipient refused: " + recipient + " (" + report_.lastError + ")";
            Disconnect();
            return false;
        }
    }
    if (!SendLine("DATA") || !Expect(300, 399)) {
        return false;
    }
    const bool wasQuiet = state_.quiet.exchange(true);
    bool ok = writeData([this](std::string_view line) { return SendLine(line, false); });
    if (ok) {
        ok = SendLine(".");
    }
    state_.quiet = wasQuiet;
    if (!ok) {
        // Somewhere in the data phase: never QUIT into it.
        Disconnect();
        return false;
    }
    return Expect(200, 299);
}

bool SmtpClient::SendEnvelope(std::string_view sender, const std::vector<std::string>& recipients,
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
