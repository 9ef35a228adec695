#include "transfer/DialUp.h"

#include <algorithm>

#include "common/StringTable.h"
#include "platform/LinkLayer.h"
#include "platform/Process.h"
#include "transfer/TransferStrings.h"

namespace corvina {

namespace {

class WaitAdapter : public ProcessHost {
public:
    explicit WaitAdapter(DialUpHost& host) : host_(host) {}
    bool KeepWaiting() override {
        if (!host_.KeepWaiting()) {
            aborted = true;
            return false;
        }
        return true;
    }
    bool aborted = false;

private:
    DialUpHost& host_;
};

bool AnyDialUpLink(const std::vector<LinkEntry>& active) {
    return std::any_of(active.begin(), active.end(),
                       [](const LinkEntry& e) { return LinkLayer::IsDialUpType(e.type); });
}

}  // namespace

DialUp& DialUp::Shared() {
    static LinkLayer link;
    static DialUp dialUp(link);
    return dialUp;
}

bool DialUp::LoadRemoteAccess(DialUpHost& host) {
    if (link_.IsLoaded()) {
        return true;
    }
    host.ShowStatus(LoadString(kStrInitializingDialUp));
    bool loaded = link_.Load();
    host.ShowStatus("");
    return loaded;
}

std::optional<bool> DialUp::HasActiveConnection() {
    if (!link_.Load()) {
        return std::nullopt;
    }
    std::optional<std::vector<LinkEntry>> active = link_.ActiveConnections();
    if (!active) {
        return std::nullopt;
    }
    return AnyDialUpLink(*active);
}

bool DialUp::BringUpLink(const AccountProfile& account, bool skipError, DialUpHost& host,
                         std::optional<std::string>& hangUp) {
    hangUp.reset();
    if (account.dialup == 0) {
        return true;
    }
    if (!LoadRemoteAccess(host)) {
        if (!skipError) {
            host.ShowSystemError(LinkLayer::ErrorText(-1), -1);
        }
        return false;
    }
    std::optional<std::vector<LinkEntry>> active = link_.ActiveConnections();
    if (!active) {
        if (!skipError) {
            host.ShowSystemError(link_.LastError().text, link_.LastError().code);
        }
        return false;
    }
    // A link someone else brought up is used and left up. So is the
    // account's own entry when it is up already, whatever its type: taking
    // it down afterwards could cut the machine's only network.
    if (AnyDialUpLink(*active) ||
        std::any_of(active->begin(), active->end(),
                    [&](const LinkEntry& e) { return e.name == account.dialupEntry; })) {
        return true;
    }

    // Mode 0 uses what the service keeps with its profile: it asks for
    // nothing here and passes no secret.
    Credentials credentials;
    bool needBoth = account.dialupMode != kDialupFromNetwork;
    if (account.dialupMode == kDialupSameAsPop) {
        credentials = {account.user, account.pass};
    } else if (account.dialupMode == kDialupOwn) {
        credentials = {account.dialupUser, account.dialupPass};
    }
    if (needBoth && (credentials.user.empty() || credentials.password.empty())) {
        if (haveLastTyped_ && lastEntry_ == account.dialupEntry) {
            credentials = lastTyped_;
        } else {
            std::optional<Credentials> typed = host.AskLogon(account.dialupEntry, credentials);
            if (!typed) {
                return false;
            }
            credentials = *typed;
        }
    }

    host.ShowStatus(LoadString(kStrConnecting));
    WaitAdapter wait(host);
    std::optional<std::string> handle =
        link_.Dial(account.dialupEntry, credentials.password, &wait);
    if (!handle) {
        const LinkError error = link_.LastError();
        // The service may still be bringing the entry up after an abort or
        // a time-out: what this dialling started is taken down again, or
        // the next command would take it for a link made elsewhere and
        // never hang it up.
        if (!link_.LastDialAttempt().empty()) {
            link_.HangUp(link_.LastDialAttempt());
        }
        if (!wait.aborted && !skipError) {
            host.ShowSystemError(error.text, error.code);
        }
        host.ShowStatus(LoadString(kStrConnectionAborted));
        return false;
    }
    host.ShowStatus(LoadString(kStrConnectionEstablished));
    lastEntry_ = account.dialupEntry;
    lastTyped_ = credentials;
    haveLastTyped_ = needBoth;
    if (account.autoDisconnect != 0) {
        hangUp = *handle;
    }
    return true;
}

void DialUp::HangUp(const std::string& handle) {
    // Not abortable: it runs while the user's abort unwinds a job.
    link_.HangUp(handle);
}

DialUpScope::DialUpScope(DialUp& dialUp, const AccountProfile& account, bool skipError,
                         DialUpHost& host)
    : dialUp_(dialUp) {
    up_ = dialUp_.BringUpLink(account, skipError, host, dialled_);
}

void DialUpScope::Release() {
    if (dialled_) {
        dialUp_.HangUp(*dialled_);
        dialled_.reset();
    }
}

}  // namespace corvina
