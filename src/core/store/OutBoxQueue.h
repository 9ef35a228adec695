#pragma once
// The OutBox as the queue of a delivery. A delivery takes every message out
// of the OutBox at once: under the OutBox's folder lock they move to
// "OutBox.bak" (written and synced) and the OutBox is emptied, so a message
// composed meanwhile is appended to the fresh OutBox and never lost. When
// the delivery is done it commits: the messages it did not send go back to
// the front of the OutBox and "OutBox.bak" is removed. A delivery killed in
// between leaves "OutBox.bak"; recovery puts back every message of it that
// is neither in Sent nor in the OutBox, so an interrupted message may go out
// twice but never zero times.
//
// Messages are handled as their stored text (header, blank line, body,
// terminator line "."), exactly as the mailbox file holds them.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace corvina {

inline constexpr const char* kOutBoxBackupFile = "OutBox.bak";

// The messages of a mailbox file's text, each up to and including its line
// "." (CR LF or LF). Trailing bytes without a "." line form a last piece of
// their own, so nothing is dropped.
std::vector<std::string> SplitStoredMessages(const std::string& text);

// The Message-ID of a stored message (value of its "Message-Id:" header
// line, blanks trimmed); empty when it has none.
std::string StoredMessageId(const std::string& piece);

// Takes the OutBox of the mailbox directory `mailboxDir`. Every message
// without a Message-ID gets one first (it is the ID it is sent with, and
// what recovery recognises it by in Sent). Returns the messages taken (none
// when the OutBox is empty or missing; then nothing is written), or nullopt
// with `error` set when the OutBox could not be taken (it is then as it
// was). Refuses while "OutBox.bak" exists: recover it first. The queue
// stays locked until CommitOutBox, so that no other delivery takes it and
// no recovery mistakes its "OutBox.bak" for a leftover.
std::optional<std::vector<std::string>> TakeOutBox(const std::filesystem::path& mailboxDir,
                                                   std::string* error = nullptr);

// Ends a delivery: `unsent` (messages taken and not sent, in their order)
// go back in front of whatever the OutBox holds now, then "OutBox.bak" is
// removed. False, with "OutBox.bak" kept for recovery, when the OutBox
// could not be written.
bool CommitOutBox(const std::filesystem::path& mailboxDir, const std::vector<std::string>& unsent,
                  std::string* error = nullptr);

// Recovers a leftover "OutBox.bak": its messages found neither in Sent nor
// in the OutBox (by Message-ID, else by their whole stored text) go back in
// front of the OutBox; then the file is removed. Returns how many went back
// (0 when there was no leftover, or when the "OutBox.bak" belongs to a
// delivery still running), or -1 with `error` set when the OutBox
// could not be written (the leftover is then kept).
int RecoverOutBoxBackup(const std::filesystem::path& mailboxDir, std::string* error = nullptr);

}  // namespace corvina
