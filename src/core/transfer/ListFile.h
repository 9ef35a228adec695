#pragma once
// The one-entry-per-line files of the mailbox directory ("UIDL.DAT",
// "MsgId.DAT"): read whole, rewritten whole, private to the user (0600).
// Beside them the receive journal: the unique id (and Message-ID) of each
// message is appended to it, and synced, as soon as the store made the
// message durable, so that a receive killed at any moment has recorded
// every message it stored. The end of a receive, and the start of the next
// one after a crash, fold the journal into the two lists.

#include <filesystem>
#include <string>
#include <vector>

namespace corvina {

inline constexpr const char* kUidlFile = "UIDL.DAT";
inline constexpr const char* kMessageIdFile = "MsgId.DAT";
inline constexpr const char* kReceiveJournalFile = "Received.jnl";

// The lines without their ends (CR LF or LF); empty when the file is
// missing. Empty lines are skipped.
std::vector<std::string> ReadListFile(const std::filesystem::path& path);

// Replaces the file with the entries, each ended by CR LF, so that a crash
// leaves the old or the new list, never a mix.
bool WriteListFile(const std::filesystem::path& path, const std::vector<std::string>& entries);

// What a receive journal names.
struct JournalEntries {
    std::vector<std::string> uids;
    std::vector<std::string> messageIds;
};

// The journal of one mailbox directory, appended to by one receive.
class ReceiveJournal {
public:
    explicit ReceiveJournal(std::filesystem::path mailboxDir)
        : path_(std::move(mailboxDir) / kReceiveJournalFile) {}
    ~ReceiveJournal();
    ReceiveJournal(const ReceiveJournal&) = delete;
    ReceiveJournal& operator=(const ReceiveJournal&) = delete;

    // Records a stored message by its unique id and its Message-ID (either
    // may be empty) and syncs the journal. False when it could not be
    // written durably.
    bool Record(std::string_view uid, std::string_view messageId);

    // The entries of the journal of `mailboxDir` (empty when it has none).
    static JournalEntries Read(const std::filesystem::path& mailboxDir);
    // Adds the journal's entries to "UIDL.DAT" and "MsgId.DAT" (those not
    // in them yet) and removes the journal. False, with the journal kept,
    // when a list could not be written.
    static bool Fold(const std::filesystem::path& mailboxDir);
    // Removes the journal (its entries are in the lists already).
    static void Discard(const std::filesystem::path& mailboxDir);

private:
    std::filesystem::path path_;
    int fd_ = -1;
};

}  // namespace corvina
