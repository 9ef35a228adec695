#pragma once
// Receive New and Receive All: what to fetch (by UIDL, or by Message-ID
// with a TOP check when the account keeps mail on the server), the
// journal and lists of what was received, the backup log, parsing,
// filtering and the hand-over to the host, which stores each message.

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "filter/FilterList.h"
#include "message/MailMessage.h"

namespace corvina {

class MailSession;

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

class ReceiveJob {
public:
    explicit ReceiveJob(MailSession& session) : session_(session) {}

    // Logs in, retrieves what is new, hands each message over, deletes it
    // on the server when the account says so, and sends QUIT only after the
    // host made every stored message durable. "UIDL.DAT" and "MsgId.DAT"
    // are rewritten only after a receive without failure. `logFile`
    // replaces the day's backup log (Check All Accounts uses MailLog.TXT).
    ReceiveOutcome Run(bool all, const std::filesystem::path& logFile = {});

    // Message n of the open POP3 session into `text` (see
    // Pop3Client::Retrieve). Returns the length; 0 when it is larger than
    // MaxMessageSize (it stays on the server, see LeftOnServer) or when a
    // TOP check found it received before; -1 on error. Without
    // `deleteMode` its Message-ID joins the seen list.
    long long Retrieve(int n, std::string& text, bool deleteMode);
    // Hands a retrieved text over as a received message: backup log (when
    // LeaveLog is set; to `logFile` when given), parsing, the filters
    // (read once per job), the host. The text is given up as soon as it is
    // parsed, so a large message is not held twice while stored. Returns
    // how the store names the message, nullopt when it was not stored;
    // `folder` and `summary` (subject, sender) tell where it went and what
    // it was.
    std::optional<MessageRef> HandOver(std::string&& text, const std::filesystem::path& logFile,
                                       std::string& folder,
                                       std::pair<std::string, std::string>* summary = nullptr);

    // "%Y%m%d.mol" of today in the mailbox directory.
    std::filesystem::path BackupLogPath() const;
    // Numbers of the messages this job left on the server because they are
    // larger than the MaxMessageSize setting.
    const std::vector<int>& LeftOnServer() const { return leftOnServer_; }
    // The Message-IDs received before ("MsgId.DAT"), and those seen on the
    // server by this job.
    std::vector<std::string>& SavedMessageIds() { return savedMessageIds_; }
    std::vector<std::string>& SeenMessageIds() { return seenMessageIds_; }

private:
    const FilterList& Filters();

    MailSession& session_;
    std::optional<FilterList> filters_;
    std::vector<int> leftOnServer_;
    std::vector<std::string> savedMessageIds_;
    std::vector<std::string> seenMessageIds_;
};

}  // namespace corvina
