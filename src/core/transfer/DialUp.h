#pragma once
// Bringing a dial-up link up before a transfer and hanging it up after,
// by the account's settings, over the platform's link layer. What the
// user is asked (the logon dialog) and told (status texts, errors) goes
// through a DialUpHost.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/AccountProfile.h"
#include "transfer/TransferHost.h"

namespace corvina {

class LinkLayer;
struct LinkEntry;

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

    // The program's own: the link layer over nmcli, and what was typed into
    // the logon dialog during this run. Used by every transfer job that is
    // not given another.
    static DialUp& Shared();

    // True once the link layer is usable. Shows "Initializinig dial up
    // network..." while it is first looked for.
    bool LoadRemoteAccess(DialUpHost& host);

    // Before a transfer command: nothing to do for a LAN account; with a
    // dial-up link already up (made by anyone), or the account's entry up
    // already, nothing is dialled and nothing will be hung up; otherwise
    // the account's entry is dialled. False when the link could not be
    // brought up (the command must not start); a dialling that was aborted
    // or failed has then hung up whatever it started. `hangUp` receives the
    // handle of the link this call dialled when the account asks for
    // automatic disconnection; it stays empty otherwise.
    bool BringUpLink(const AccountProfile& account, bool skipError, DialUpHost& host,
                     std::optional<std::string>& hangUp);

    // Hangs up a link BringUpLink dialled.
    void HangUp(const std::string& handle);

    // Whether any dial-up link is up now; nullopt when that cannot be told.
    std::optional<bool> HasActiveConnection();

private:
    LinkLayer& link_;
    // What was typed into the logon dialog, kept for the next dialling of
    // the same entry during this run.
    std::string lastEntry_;
    Credentials lastTyped_;
    bool haveLastTyped_ = false;
};

// The link of one transfer job, held from the job's start to its end:
// brings the account's link up when made and hangs up, on every way out,
// exactly the link it dialled itself. A job run inside another one finds
// the outer job's link up and leaves it alone.
class DialUpScope {
public:
    DialUpScope(DialUp& dialUp, const AccountProfile& account, bool skipError, DialUpHost& host);
    ~DialUpScope() { Release(); }
    DialUpScope(const DialUpScope&) = delete;
    DialUpScope& operator=(const DialUpScope&) = delete;

    // False: the link could not be brought up; the job must not start.
    bool Up() const { return up_; }
    // Hangs up now what this scope dialled.
    void Release();

private:
    DialUp& dialUp_;
    bool up_ = false;
    std::optional<std::string> dialled_;
};

}  // namespace corvina
