#pragma once
// Reading and writing mailbox files (.mbx): load a folder's index, rewrite
// it, append and deliver messages, load bodies on demand, count unread
// mail cheaply, and make delivered mail durable.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string_view>

namespace corvina {

class BufferedFile;
class MailFolder;
class MailMessage;
class MailStore;
struct ParseOptions;

// What store operations need beyond their arguments.
struct StoreContext {
    std::filesystem::path mailboxDir;  // the current profile's mailbox directory
    // May be null: no questions, no notices, nothing shown, and each
    // append is synced at once.
    MailStore* store = nullptr;
};

// Parses the whole .mbx into folder.messages (header summary only; other
// header lines and bodies stay in the file) and writes the counts to the
// control file. False, with an empty index and counts unchanged, when the
// file cannot be opened.
bool LoadFolder(MailFolder& folder, const StoreContext& context);

enum class SaveResult {
    Written,     // the file was rewritten
    CountsOnly,  // nothing to rewrite; only the counts were written
    Failed,      // the file could not be written; file and index as before
};

// Rewrites the .mbx from the first dirty message on: the new file is written
// beside the old one, synced and renamed over it, so a failure leaves the
// old file and the index untouched (and is reported to the host). Returns
// true only when the file was rewritten; `result` tells the cases apart.
bool SaveFolder(MailFolder& folder, bool keepBodies, const StoreContext& context,
                SaveResult* result = nullptr);

// Appends `message` to the folder's index (loading the folder first if its
// index is empty and unmodified), counts it, marks it dirty with offset -1
// and the folder modified. Returns the message now owned by the folder.
MailMessage* AddMessage(MailFolder& folder, std::unique_ptr<MailMessage> message,
                        const StoreContext& context);

// Writes one message at the file's current position in the mailbox format,
// records that position as its offset and clears dirty. Its other header
// lines and body must be loaded (or it must be new). False on a write error
// (offset and dirty then unchanged).
bool WriteMessage(MailMessage& message, BufferedFile& file,
                  const std::filesystem::path& mailboxDir);

// Reads the other header lines and the body lines from the file at the
// message's offset. Does nothing if the body is loaded or the message has
// no folder or offset; a file that cannot be read gives one empty line.
void LoadMessageBody(MailMessage& message);
// Frees the body (and the other header lines read with it) of a message
// that lives in a file.
void ReleaseMessageBody(MailMessage& message);
// Makes message.otherHeaders hold the other header lines (read from the
// file when they were left there). False if they could not be read.
bool LoadOtherHeaders(MailMessage& message);

// Appends the message to the end of folder `folderName`'s .mbx: the file of
// the folder the tree knows by that name, else the file whose name matches
// at every level ignoring case, else a new file (mode 0600). Counts and
// folder objects are untouched. On failure the file is cut back to its old
// length and false is returned.
bool AppendToFolderFile(MailMessage& message, std::string_view folderName,
                        const StoreContext& context);
// The same for a folder file given by path, under the folder's lock;
// `sizeBefore` (when given) receives the file's length before the append.
bool AppendToFolderPath(MailMessage& message, const std::filesystem::path& path,
                        const StoreContext& context, std::int64_t* sizeBefore);

// Stores a finished message: into the named folder (Sent, Draft and
// Reminder resolve below OutBox), or InBox when that folder does not exist.
// Returns the stored message, or nullptr when it could not be stored
// (no such folder and no InBox, or the file could not be written; the
// message is then not in the index either). Durable after MailStore::SyncDeliveries().
MailMessage* DeliverMessage(const StoreContext& context, std::string_view folderName,
                            std::unique_ptr<MailMessage> message);

// Whether the folder holds unread mail, from the cheapest source: the
// index, the known counts, the control file, or a scan of the file.
bool FolderHasUnread(MailFolder& folder, const StoreContext& context);

// Delivery of a message given as its text (an enclosed message opened from
// the attachment pane) into the folder the store was told is shown, parsed
// with `options` as mail from outside. False when no folder is shown or the
// message could not be stored.
bool DeliverToShownFolder(const StoreContext& context, std::string_view text,
                          const ParseOptions& options);

}  // namespace corvina
