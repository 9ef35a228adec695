#pragma once
// What every transfer job shares: the account being served, the settings,
// the host, the dial-up service, the resolved servers and the login, and
// the two protocol clients (one connection at a time). The jobs
// (ReceiveJob, DeliverJob, CleanUpJob, RemoteMailbox) decide what is done;
// the clients only speak the protocols. Plain blocking C++ that runs on
// whichever thread calls it (the mail thread of the windows, the batch
// front end's thread, a test). Other threads touch only the TransferState
// (abort, busy count, progress).

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/AccountProfile.h"
#include "transfer/Pop3Client.h"
#include "transfer/SmtpClient.h"
#include "transfer/TransferHost.h"
#include "transfer/TransferState.h"

namespace corvina {

class DialUp;
class DialUpHost;
class DialUpScope;
class MimeTypeTable;
class UserPrompt;

// The global settings a session reads.
struct SessionSettings {
    int timeout = 120;  // seconds; 0 = wait forever
    int skipError = 0;
    int leaveLog = 0;
    int autoFilter = 1;
    int eucReceive = 0;
    int autoWrap = 0;  // received long lines are wrapped
    int noMailNotify = 0;
    int sendMode = 0;
    int sendDate = 1;
    // Messages larger than this (bytes, by the server's listing) stay on
    // the server with a notice; 0 = no limit.
    long long maxMessageSize = 0;
};

// Whether the account is in use: it has a POP3 or an SMTP server. An
// account that only sends is in use as much as one that only receives.
inline bool UsesAnyServer(const AccountProfile& account) {
    return !account.pop.empty() || !account.smtp.empty();
}

// Which of the account's two servers a connection goes to.
enum class MailServer { kPop, kSmtp };

class MailSession {
public:
    // `prompt` gets every failure message and notice of the jobs.
    MailSession(TransferState& state, TransferHost& host, UserPrompt& prompt);
    ~MailSession();
    MailSession(const MailSession&) = delete;
    MailSession& operator=(const MailSession&) = delete;

    // The account and directories the next commands use. Another account
    // (or this one with another server or user) forgets the resolved
    // servers and the login.
    void SetAccount(const AccountProfile& account, int accountIndex,
                    const std::filesystem::path& mailboxDirectory);
    void SetSettings(const SessionSettings& settings) { settings_ = settings; }
    // The other accounts, for delivering their OutBoxes (SendMode 0 and 1),
    // and the directory of the address book's group files.
    void SetProfiles(const ProfileTable* profiles, const std::filesystem::path& homeDirectory) {
        profiles_ = profiles;
        homeDirectory_ = homeDirectory;
    }
    void SetAddressBookDirectory(const std::filesystem::path& directory) {
        addressBookDirectory_ = directory;
    }
    // The MIME type table for attachments; null: the built-in rows.
    void SetMimeTypes(const MimeTypeTable* types) { mimeTypes_ = types; }
    // The dial-up service through which every job brings up the account's
    // link first and hangs up after what it dialled; null: the program's
    // own (DialUp::Shared).
    void SetDialUp(DialUp* dialUp) { dialUp_ = dialUp; }
    DialUp& LinkService();
    // The link layer's questions and errors, routed to the host; its wait
    // ends with the user's abort.
    DialUpHost& LinkHost() { return *dialHost_; }
    // Tells the user (status line and transcript) that a job did not start
    // because the account's dial-up link could not be brought up.
    void ReportLinkDown();

    const AccountProfile& Account() const { return account_; }
    int AccountIndex() const { return accountIndex_; }
    const SessionSettings& Settings() const { return settings_; }
    const std::filesystem::path& MailboxDirectory() const { return mailboxDirectory_; }
    const ProfileTable* Profiles() const { return profiles_; }
    const std::filesystem::path& HomeDirectory() const { return homeDirectory_; }
    const std::filesystem::path& AddressBookDirectory() const { return addressBookDirectory_; }
    const MimeTypeTable& MimeTypes() const;
    TransferState& State() { return state_; }
    TransferHost& Host() { return host_; }
    UserPrompt& Prompt() { return prompt_; }
    Pop3Client& Pop() { return pop_; }
    SmtpClient& Smtp() { return smtp_; }

    // Resolves the servers unless already done; with keep false the
    // account's user and password become the session's.
    bool Prepare(bool keep);
    void ForgetServers() { resolved_ = false; }
    bool IsPrepared() const { return resolved_; }

    // Logs in to the account's POP3 server (STLS first when the account asks
    // for it), asking for a missing user name or password. False when the
    // connection, the security step or the login failed.
    bool LoginPop(const Credentials& login);
    // Connects and greets the account's SMTP server: HELO as of old, or
    // EHLO with STARTTLS and AUTH when the account's security or
    // authentication asks for them.
    bool ConnectSmtp();

    // The POP3 login of the account being served: the one the session holds
    // (asked for, or set by the last login), else the account's stored one.
    Credentials PopCredentials() const;
    // The SMTP login of the account being served: its own SMTP user and
    // password, or its POP3 login (PopCredentials).
    Credentials SmtpCredentials() const;
    // Replaces the login the session holds (a delivery serving another
    // account puts the current account's back).
    void SetLogin(const Credentials& login) { login_ = login; }
    // Serves another account's OutBox for a while: account and directory
    // change, the login and the resolved servers are forgotten, the index
    // and the settings stay.
    void ServeOther(const AccountProfile& account, const std::filesystem::path& mailboxDirectory);

    // Why the last step failed (certificate problems name the fingerprint;
    // a server's refusal in its own words), for messages and the
    // transcript.
    const std::string& LastError() const { return report_.lastError; }
    // Keeps `error` as the reason of a failure, in the transcript too.
    void Fail(std::string error);
    // Status line text unless the quiet flag is set.
    void PostStatus(std::string_view text);
    // Shows the failure message `stringId` of the string table unless
    // SkipError suppresses it; `detail` adds what the string cannot know
    // (a certificate fingerprint, the server's reply) in parentheses.
    void ReportError(int stringId, std::string_view detail = {});

private:
    bool ResolveServers();
    ServerEndpoint Endpoint(MailServer server) const;
    uint16_t PortFor(MailServer server) const;

    TransferState& state_;
    TransferHost& host_;
    UserPrompt& prompt_;
    AccountProfile account_;
    int accountIndex_ = 0;
    std::filesystem::path mailboxDirectory_;
    SessionSettings settings_;
    const ProfileTable* profiles_ = nullptr;
    std::filesystem::path homeDirectory_;
    std::filesystem::path addressBookDirectory_;
    const MimeTypeTable* mimeTypes_ = nullptr;
    DialUp* dialUp_ = nullptr;
    std::unique_ptr<DialUpHost> dialHost_;

    bool resolved_ = false;
    Credentials login_;
    std::vector<SocketAddress> popAddresses_;
    std::vector<SocketAddress> smtpAddresses_;

    ClientReport report_;
    Pop3Client pop_;
    SmtpClient smtp_;
};

// Held by every job for its whole run: the busy count (nothing is done
// while another transfer runs) and the account's dial-up link, brought up
// first and hung up after what it dialled. A link that does not come up is
// reported to the user.
class JobScope {
public:
    explicit JobScope(MailSession& session);
    ~JobScope();
    JobScope(const JobScope&) = delete;
    JobScope& operator=(const JobScope&) = delete;

    // Another transfer runs: the job must do nothing.
    bool Refused() const { return !busy_.Entered(); }
    bool LinkUp() const;

private:
    BusyGuard busy_;
    std::unique_ptr<DialUpScope> link_;
};

}  // namespace corvina
