#pragma once
// The remote-access service (dial-up links) of this machine, over
// NetworkManager's command-line tool "nmcli": the phone book is the list
// of connection profiles, dialling brings a profile up, hanging up brings
// it down. The account logic (when to dial, which user and password, the
// logon question) belongs to the mail transfer; this layer only talks to
// the service. Without nmcli, Load() fails and callers treat dial-up as
// unavailable.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvina {

class ProcessHost;

// One phone-book entry or active connection.
struct LinkEntry {
    std::string name;
    std::string uuid;
    std::string type;    // NetworkManager's type: "gsm", "vpn", "pppoe", "802-3-ethernet"...
    std::string device;  // active connections only
};

// A failure of the service, shown to the user as "%s (%d)".
struct LinkError {
    int code = 0;  // nmcli's exit status; -1 when it could not be run
    std::string text;
};

class LinkLayer {
public:
    // program: the tool's name (looked up in PATH) or path.
    explicit LinkLayer(std::string program = "nmcli");

    // Finds the tool; true when it can be run. Repeated calls are cheap.
    bool Load();
    bool IsLoaded() const { return loaded_; }

    // Every connection profile, in the service's order. nullopt on failure
    // (LastError() says why).
    std::optional<std::vector<LinkEntry>> Entries(ProcessHost* host = nullptr);
    // The connections that are up now, of any type.
    std::optional<std::vector<LinkEntry>> ActiveConnections(ProcessHost* host = nullptr);

    // Brings the entry (a profile name) up and returns the handle for
    // HangUp(). A non-empty password is handed to the service through a
    // pipe as the secret of the profile's type, never on a command line;
    // the user name is the profile's own. host may abort the wait.
    std::optional<std::string> Dial(std::string_view entry, std::string_view password,
                                    ProcessHost* host = nullptr);
    // The handle of the profile the last Dial asked the service to bring
    // up, whether or not it came up; empty when it never got that far. An
    // aborted or failed dialling may leave the link coming up behind our
    // back: this is what to hang up then.
    const std::string& LastDialAttempt() const { return lastAttempt_; }
    bool HangUp(std::string_view handle, ProcessHost* host = nullptr);

    const LinkError& LastError() const { return lastError_; }

    // Types that are links one dials rather than a LAN.
    static bool IsDialUpType(std::string_view type);
    // The service's text for an exit status.
    static std::string ErrorText(int code);
    // Splits one line of nmcli's terse output into fields ("\:" is a
    // colon inside a field, "\\" a backslash).
    static std::vector<std::string> SplitTerse(std::string_view line);

private:
    struct Output {
        bool ok = false;
        std::string out;
    };
    Output RunTool(std::vector<std::string> args, ProcessHost* host,
                   const std::string* secrets = nullptr);
    std::optional<std::vector<LinkEntry>> ListConnections(bool active, ProcessHost* host);

    std::string program_;
    std::string resolved_;
    bool loaded_ = false;
    LinkError lastError_;
    std::string lastAttempt_;
};

}  // namespace corvina
