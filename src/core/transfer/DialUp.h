#pragma once
// Bringing a dial-up link up before a transfer and hanging it up after,
// by the account's settings, over the platform's link layer. What the
// user is asked (the logon dialog) and told (status texts, errors) goes
// through a DialUpHost.

#include <optional>
#include <string>
#include <string_view>

#include "app/AccountProfile.h"
#include "transfer/TransferHost.h"

namespace corvina {

class LinkLayer;

class DialUpHost {
public:
    virtual ~DialUpHost() = default;
    // Status-bar text ("Connecting... (ESC key to abort)" and the like).
    virtual void ShowStatus(std::string_view text) = 0;
    // The "Logon" dialog (User ID, Password) for the entry, pre-filled.
    // nullopt = Cancel.
    virtual std::optional<Credentials> AskLogon(std::string_view entry,
                                                const Credentials& prefilled) = 0;
    // "%s (%d)" of the service's error with the caption "System Error".
    virtual void ShowSystemError(std::string_view text, int code) = 0;
    // Asked while the link comes up; false (ESC) aborts the dialling.
    virtual bool KeepWaiting() { return true; }
};

class DialUp {
public:
    explicit DialUp(LinkLayer& link) : link_(link) {}

    // True once the link layer is usable. Shows "Initializinig dial up
    // network..." while it is first looked for.
    bool LoadRemoteAccess(DialUpHost& host);

    // Before a transfer command: nothing to do for a LAN account; with a
    // dial-up link already up (made by anyone) nothing is dialled and
    // nothing will be hung up; otherwise the account's entry is dialled.
    // False when the link could not be brought up (the command must not
    // start).
    bool BringUpLink(const AccountProfile& account, bool skipError, DialUpHost& host);

    // After a command: hangs up the link this program dialled, when the
    // account asks for automatic disconnection.
    void HangUpLink(const AccountProfile& account);

    // Whether any dial-up link is up now; nullopt when that cannot be told.
    std::optional<bool> HasActiveConnection();

    // The link this program dialled and will hang up, if any.
    const std::optional<std::string>& Handle() const { return handle_; }

private:
    LinkLayer& link_;
    std::optional<std::string> handle_;
    // What was typed into the logon dialog, kept for the next dialling of
    // the same entry during this run.
    std::string lastEntry_;
    Credentials lastTyped_;
    bool haveLastTyped_ = false;
};

}  // namespace corvina
