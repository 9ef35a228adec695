#pragma once
// The SMTP client: greeting (HELO, or EHLO with STARTTLS and AUTH PLAIN or
// LOGIN), one message envelope with its dot-stuffed data, QUIT. It knows
// nothing of the OutBox or of folders: a job hands it the sender, the
// recipients and the lines.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "transfer/ProtocolClient.h"

namespace corvina {

// How to open an SMTP session.
struct SmtpGreeting {
    std::string helloName;  // the name after HELO/EHLO
    // EHLO (falling back to HELO) instead of HELO as of old.
    bool extended = false;
    // STARTTLS is required before anything else goes out.
    bool startTls = false;
    // Log in with `login` after the greeting.
    bool authenticate = false;
    Credentials login;
};

class SmtpClient : public ProtocolClient {
public:
    enum class State {
        kClosed,  // no connection
        kReady,   // greeted (and logged in): a message may start
    };

    explicit SmtpClient(ClientReport& report) : ProtocolClient(report) {}

    State CurrentState() const { return IsOpen() ? phase_ : State::kClosed; }

    // Connects and greets. False on any failure; a required STARTTLS the
    // server does not offer ends the session before any password is sent.
    bool Open(const ServerEndpoint& endpoint, const SmtpGreeting& greeting);
    void Quit();
    void Disconnect() override;

    // Writes the DATA lines of one message through `send` (each line without
    // its end, already dot-stuffed); false stops the message.
    using DataWriter = std::function<bool(const std::function<bool(std::string_view)>& send)>;
    // One message over the open connection: RSET, MAIL FROM, RCPT TO for
    // each recipient, DATA, the lines of `writeData`, ".". A refused
    // recipient stops before DATA and closes the connection.
    bool SendEnvelope(std::string_view sender, const std::vector<std::string>& recipients,
                      const DataWriter& writeData);
    // The same with the lines given as they are; those beginning with "."
    // are dot-stuffed here.
    bool SendEnvelope(std::string_view sender, const std::vector<std::string>& recipients,
                      const std::vector<std::string>& lines);

    // Reads one whole reply: "NNN-" lines up to the final "NNN " line, all
    // with the same code, at most kReplyCap bytes. Returns its last line;
    // nullopt when the connection broke, or the reply was malformed or too
    // long (the session is then ended). `lines` gets every line.
    std::optional<std::string_view> ReadSmtpReply(std::vector<std::string>* lines = nullptr);

private:
    bool Expect(int low, int high);
    bool GreetExtended(const std::string& helloName, bool& refused);
    bool Authenticate(const Credentials& login);

    State phase_ = State::kClosed;
    // Capabilities from the last EHLO reply, upper-case keywords.
    std::vector<std::string> capabilities_;
};

}  // namespace corvina
