#pragma once
// Sending: one message now (Send Now of a compose window), and Deliver,
// which sends the OutBox of the current account and, by SendMode, those of
// the other accounts. Every message sent or refused is filed in Sent with
// status "S" or "E"; a failure puts the notice with the session transcript
// into InBox. The OutBox is taken and committed through the host.

#include <memory>
#include <string>

#include "app/AccountProfile.h"

namespace corvina {

class MailMessage;
class MailSession;

// Whether Deliver sends the OutBox of `account`, one other than the current
// account: with SendMode 0 when it has its own SMTP server, with SendMode 1
// (the current account's server for all) whenever it is in use, with
// SendMode 2 never.
bool DeliversOutBoxOf(const AccountProfile& account, int sendMode);

class DeliverJob {
public:
    explicit DeliverJob(MailSession& session) : session_(session) {}

    // Sends the OutBoxes. True when every message went (or there was none).
    bool Run();
    // Sends a message now: dates it, sends it, files it in that account's
    // Sent with status "S" or "E", and after a failure puts the notice into
    // InBox. 0 on success, -1 on failure.
    int SendOne(int accountIndex, std::unique_ptr<MailMessage> message);
    // One message over the open SMTP connection, or over one opened (and
    // closed) for it. True when the server accepted it.
    bool SendMail(MailMessage& message);

private:
    enum class SendResult { kSent, kFailed, kNotSent };
    // Sends one message and files it in Sent ("S" or "E", with the failure
    // notice). With `queued` (a message of the OutBox) a message the user's
    // abort stopped, or a failed one that could not be filed, is neither
    // filed nor noticed: kNotSent, it goes back to the OutBox.
    // linkUp false: the dial-up link is down, the message is not tried.
    SendResult SendAndFile(int accountIndex, std::unique_ptr<MailMessage> message, bool queued,
                           bool linkUp = true);
    bool FileMessage(int accountIndex, std::string_view folder,
                     std::unique_ptr<MailMessage> message);
    void NotifySendFailure(const std::string& date, const std::string& from, int accountIndex);
    bool DeliverOutBox(int accountIndex, int& writtenBack);

    MailSession& session_;
};

}  // namespace corvina
