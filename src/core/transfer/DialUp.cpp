#include "transfer/DialUp.h"

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

}  // namespace

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
    for (const LinkEntry& entry : *active) {
        if (LinkLayer::IsDialUpType(entry.type)) {
            return true;
        }
    }
    return false;
}

bool DialUp::BringUpLink(const AccountProfile& account, bool skipError, DialUpHost& host) {
    if (account.dialup == 0) {
        return true;
    }
    if (!LoadRemoteAccess(host)) {
        return false;
    }
    std::optional<bool> active = HasActiveConnection();
    if (!active) {
        if (!skipError) {
            host.ShowSystemError(link_.LastError().text, link_.LastError().code);
        }
        return false;
    }
    if (*active) {
        return true;
    }
    handle_.reset();

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
        if (!wait.aborted && !skipError) {
            host.ShowSystemError(link_.LastError().text, link_.LastError().code);
        }
        host.ShowStatus(LoadString(kStrConnectionAborted));
        return false;
    }
    host.ShowStatus(LoadString(kStrConnectionEstablished));
    lastEntry_ = account.dialupEntry;
    lastTyped_ = credentials;
    haveLastTyped_ = needBoth;
    if (account.autoDisconnect != 0) {
        handle_ = *handle;
    }
    return true;
}

void DialUp::HangUpLink(const AccountProfile& account) {
    if (!handle_ || account.dialup == 0 || !link_.IsLoaded()) {
        return;
    }
    link_.HangUp(*handle_);
    handle_.reset();
}

}  // namespace corvina
