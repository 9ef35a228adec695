#pragma once
// One mail server session at a time: the POP3 and SMTP dialogues over a
// LineConnection, the transcript and the status line. The session is plain
// blocking C++; it runs on whichever thread calls it (the mail thread of
// the windows, the batch front end's thread, a test). Other threads touch
// only the TransferState (abort, busy count, progress).

#include <cstdarg>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/AccountProfile.h"
#include "transfer/LineConnection.h"
#include "transfer/TransferHost.h"
#include "transfer/TransferState.h"

namespace corvina {

class DialUp;
class DialUpHost;
class MailMessage;
class MimeTypeTable;
class TransferHost;

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

// What a receive did.
struct ReceiveOutcome {
    bool ok = false;                   // ended without failure
    bool refused = false;              // another transfer was running: nothing done
    int stored = 0;                    // messages handed to the store
    std::vector<std::string> folders;  // the folder of each stored message
    // Subject and sender of each stored message, for the lists of Check
    // All Accounts.
    std::vector<std::pair<std::string, std::string>> summaries;
};

// Whether the account is in use: it has a POP3 or an SMTP server. An
// account that only sends is in use as much as one that only receives.
inline bool UsesAnyServer(const AccountProfile& account) {
    return !account.pop.empty() || !account.smtp.empty();
}

// Whether Deliver sends the OutBox of `account`, one other than the current
// account: with SendMode 0 when it has its own SMTP server, with SendMode 1
// (the current account's server for all) whenever it is in use, with
// SendMode 2 never.
bool DeliversOutBoxOf(const AccountProfile& account, int sendMode);

// Which of the account's two servers a connection goes to.
enum class MailServer { kPop, kSmtp };

class MailSession {
public:
    // Longest reply line kept; longer ones are cut.
    static constexpr size_t kLineMax = 4095;
    // Longest message data line kept (a message line has no such limit in
    // practice, but memory must stay bounded).
    static constexpr size_t kDataLineMax = 1 << 20;
    // What a server may send before the session is ended as broken: one
    // reply line, one whole SMTP or CAPA reply, one line of a multi-line
    // reply, the entries of a LIST or UIDL listing, a TOP header.
    static constexpr size_t kReplyLineCap = 64 * 1024;
    static constexpr size_t kReplyCap = 64 * 1024;
    static constexpr size_t kDataLineCap = 64u << 20;
    static constexpr size_t kListingMaxEntries = 1000000;
    static constexpr long long kHeaderCap = 4ll << 20;

    MailSession(TransferState& state, TransferHost& host);
    ~MailSession();
    MailSession(const MailSession&) = delete;
    MailSession& operator=(const MailSession&) = delete;

    // The account and directories the next commands use. Changing the
    // account forgets the resolved servers.
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
    // The dial-up service through which every job (Receive, Deliver,
    // SendOne, CleanupServer, the remote mailbox) brings up the account's
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
    const SessionSettings& Settings() const { return settings_; }
    const std::filesystem::path& MailboxDirectory() const { return mailboxDirectory_; }
    TransferState& State() { return state_; }
    TransferHost& Host() { return host_; }

    // --- connection and lines ---------------------------------------------

    // Resolves the servers unless already done; with keep false the
    // account's user and password become the session's.
    bool Prepare(bool keep);
    bool ResolveServers();
    void ForgetServers() { resolved_ = false; }
    bool IsPrepared() const { return resolved_; }

    // Opens a connection (with TLS from the start when the account's
    // security for that server says so). Clears the broken flag.
    bool Connect(MailServer server);
    void Disconnect();
    bool IsConnected() const { return connection_.IsOpen(); }
    LineConnection& Connection() { return connection_; }

    // One reply line without CR LF; nullopt when the connection broke, timed
    // out or the user aborted. The view stays valid until the next read.
    std::optional<std::string_view> ReadReply();
    // One line of bulk data (up to kDataLineMax bytes), otherwise as
    // ReadReply.
    std::optional<std::string_view> ReadDataLine();

    enum class MultiLine { kDone, kBroken, kOverCap, kStopped };
    // Reads the body of a multi-line POP3 reply (after its "+OK" line), the
    // one way every listing and message text is read: it ends only at a
    // line that is exactly ".", and a line the server began with a
    // stuffing "." reaches `onLine` without it. More than `maxLines` lines
    // or `maxBytes` bytes as sent (0: no byte cap) give kOverCap with the
    // connection closed; `onLine` returning false gives kStopped with the
    // connection closed (the rest of the reply is never read). Quiet: no
    // line goes to the status or the transcript.
    MultiLine ReadMultiLine(const std::function<bool(std::string_view)>& onLine, size_t maxLines,
                            long long maxBytes);
    // Sends "TOP n 0" and hands each line of the header to `onLine`; false
    // when the command was refused or the reply broke off or passed the
    // header cap (the session then ends with that error).
    bool ReadTopHeader(int n, const std::function<bool(std::string_view)>& onLine);
    // The header of message n by "TOP n 0", unfolded and decoded as a
    // retrieved message's header is (ReceivedTextUnfolder), LF line ends;
    // nullopt as ReadTopHeader fails.
    std::optional<std::string> ReadTopUnfolded(int n);
    // Ends the session after a protocol fault: the text goes to lastError_,
    // the transcript and the status line, and the connection is dropped
    // without QUIT (nothing more is said to such a server).
    void EndBroken(std::string error);
    // Sends text + CR LF; false on failure or abort. Data lines (flush
    // false) collect in the write buffer until the next flushed line.
    bool SendLine(std::string_view text, bool flush = true);
    bool SendFormat(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Status line text (and transcript) unless the quiet flag is set.
    void PostStatus(std::string_view text);
    void ResetReader() { connection_.ResetReader(); }
    // The TLS handshake after a STARTTLS/STLS go-ahead.
    bool StartTls(MailServer server);
    // Why the last connection step failed (certificate problems name the
    // fingerprint), for messages and the transcript.
    const std::string& LastError() const { return lastError_; }

    // Shows a failure message unless SkipError suppresses it.
    void ReportError(int stringId, std::string_view detail = {});

    // --- POP3 -------------------------------------------------------------

    // Logs in (STLS first when the account asks for it). False when the
    // connection, the security step or the login failed.
    bool LoginPop(const std::string& user, const std::string& password);
    void QuitPop();
    void EndPop();
    // Size of the next message of the listing; 0 when there is none or on
    // error. With `summary`/`messageId` given, the header of that message
    // is fetched by TOP: summary = "%d %s %s" (number, from, subject).
    long long NextMessage(std::string* summary = nullptr, std::string* messageId = nullptr);
    // Whether the last NextMessage that returned 0 did so because STAT,
    // LIST or TOP failed (rather than because the listing was done).
    bool ListFailed() const { return listError_; }
    // Numbers of the messages the last receive left on the server because
    // they are larger than the MaxMessageSize setting.
    const std::vector<int>& LeftOnServer() const { return leftOnServer_; }
    // Number of the message the last NextMessage returned the size of.
    int CurrentListNumber() const { return currentNumber_; }
    int ListCount() const { return static_cast<int>(listNumbers_.size()); }
    // -1 not connected, 0 error, 1 done (uidMode tells whether UIDL works).
    int FetchUidl();
    bool UidMode() const { return uidMode_; }
    const std::vector<std::string>& ServerUids() const { return serverUids_; }
    // Retrieves message n into `text` (unfolded, decoded header; LF line
    // ends; lines beginning with "." stuffed with one more; without the
    // terminating "." line, so that the parser need not copy the text).
    // Returns the length, 0 when a TOP check found it already received or
    // it is larger than MaxMessageSize, -1 on error.
    long long RetrieveMessage(int n, std::string& text, bool deleteMode);
    bool DeleteMessage(int n);

    // The Message-ID lists of a receive (see Receive).
    std::vector<std::string>& SavedMessageIds() { return savedMessageIds_; }
    std::vector<std::string>& SeenMessageIds() { return seenMessageIds_; }
    std::vector<std::string>& SavedUids() { return savedUids_; }

    // Receive New (all false) or Receive All: logs in, retrieves what is new
    // (by UIDL, or by Message-ID with a TOP check when the account keeps
    // mail on the server), stores each message through the host, deletes it
    // on the server when the account says so, and sends QUIT only after the
    // host made every stored message durable. "UIDL.DAT" and "MsgId.DAT"
    // are rewritten only after a receive without failure. `logFile`
    // replaces the day's backup log (Check All Accounts uses MailLog.TXT).
    ReceiveOutcome Receive(bool all, const std::filesystem::path& logFile = {});
    // Deletes on the server the messages already received (by UIDL.DAT, or
    // by MsgId.DAT without UIDL); then forgets both lists.
    bool CleanupServer();
    // "%Y%m%d.mol" of today in the mailbox directory.
    std::filesystem::path BackupLogPath() const;
    // The header of message n by "TOP n 0", lines joined with CR LF;
    // nullopt on failure.
    std::optional<std::string> FetchHeader(int n);
    // Hands a retrieved text over as a received message: backup log (when
    // LeaveLog is set; to `logFile` when given), parsing, filters, the
    // store. Returns the stored message or nullptr; `folder` and `summary`
    // (subject, sender) tell where it went and what it was.
    const MailMessage* HandOver(const std::string& text, const std::filesystem::path& logFile,
                                std::string& folder,
                                std::pair<std::string, std::string>* summary = nullptr);
    // The same, giving the text up as soon as it is parsed (it is empty
    // afterwards), so that a large message is not held twice while stored.
    const MailMessage* HandOver(std::string&& text, const std::filesystem::path& logFile,
                                std::string& folder,
                                std::pair<std::string, std::string>* summary = nullptr);

    // --- SMTP -------------------------------------------------------------

    // Connects and greets: HELO as of old, or EHLO (falling back to HELO)
    // with STARTTLS and AUTH when the account's security or authentication
    // asks for them. False on any failure; a required STARTTLS the server
    // does not offer ends the session before any password is sent.
    bool ConnectSmtp();
    void QuitSmtp();
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
    // One message over the open connection, or over one opened (and closed)
    // for it. True when the server accepted it.
    bool SendMail(MailMessage& message);
    // Sends a message now (Send Now of a compose window, or one step of
    // Deliver): dates it, sends it, files it in that account's Sent with
    // status "S" or "E", and after a failure puts the notice with the
    // session transcript into InBox. 0 on success, -1 on failure.
    int SendOne(int accountIndex, std::unique_ptr<MailMessage> message);
    // The notice "Mail sending error!" for a failed message.
    void NotifySendFailure(const std::string& date, const std::string& from, int accountIndex);
    // Sends the OutBox of the current account and, by SendMode, those of the
    // other accounts. True when every message went (or there was none).
    bool Deliver();

    // Reads one whole SMTP reply: "NNN-" lines up to the final "NNN " line,
    // all with the same code, at most kReplyCap bytes. Returns its last
    // line; nullopt when the connection broke, or the reply was malformed
    // or too long (the session is then ended). `lines` gets every line.
    std::optional<std::string_view> ReadSmtpReply(std::vector<std::string>* lines = nullptr);

    // Capabilities from the last EHLO reply, upper-case keywords.
    const std::vector<std::string>& SmtpCapabilities() const { return capabilities_; }

    // The POP3 login of the account being served: the one the session holds
    // (asked for, or set by the last login), else the account's stored one.
    // The session's login always belongs to the account it serves: changing
    // the account forgets it.
    Credentials PopCredentials() const;
    // The SMTP login of the account being served: its own SMTP user and
    // password, or its POP3 login (PopCredentials).
    Credentials SmtpCredentials() const;

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
    bool DeliverOutBox(int accountIndex, int& writtenBack);
    const MimeTypeTable& MimeTypes() const;
    bool PopCommandOk(const char* command);
    bool ReadPopListing();
    const MailMessage* HandOverText(std::string_view text, std::string* release,
                                    const std::filesystem::path& logFile, std::string& folder,
                                    std::pair<std::string, std::string>* summary);
    long long ListedSize(int n) const;
    long long ReadMessageText(int n, std::string& text, bool deleteMode);
    bool SmtpGreetExtended(bool& refused);
    bool SmtpAuthenticate();
    bool PopReplyOk(const char* what);
    bool SmtpExpect(int low, int high);
    uint16_t PortFor(MailServer server) const;
    int SecurityFor(MailServer server) const;

    TransferState& state_;
    TransferHost& host_;
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
    std::string user_;
    std::string password_;
    LineConnection connection_;
    std::string line_;
    std::string lastError_;
    std::vector<SocketAddress> popAddresses_;
    std::vector<SocketAddress> smtpAddresses_;

    // The LIST of the current POP3 connection.
    bool listLoaded_ = false;
    bool listError_ = false;
    std::vector<int> listNumbers_;
    std::vector<long long> listSizes_;
    size_t listCursor_ = 0;
    int currentNumber_ = 0;

    // Numbers of the messages this receive left on the server for their
    // size; their unique ids are not recorded as received.
    std::vector<int> leftOnServer_;

    bool uidMode_ = false;
    std::vector<std::string> serverUids_;
    std::vector<std::string> savedUids_;
    std::vector<std::string> savedMessageIds_;
    std::vector<std::string> seenMessageIds_;

    std::vector<std::string> capabilities_;
};

}  // namespace corvina
