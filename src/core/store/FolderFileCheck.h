#pragma once
// What a folder's index was read from, and whether the file is still that
// file. A rewrite never replaces a folder file that another program
// replaced, cut short or changed inside the part the index covers; what
// another writer appended after that part is kept (and indexed by the next
// catch-up or load).

#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvina {

class MailFolder;
class MailMessage;
struct StoreContext;

// Kept in every MailFolder; set by LoadFolder and by every write of the
// store that leaves the index matching the file.
struct FolderFileIdentity {
    bool known = false;    // the file was read (or found missing) at least once
    bool existed = false;  // it existed then
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    // Where the last complete message the index knows ends: every indexed
    // message lies before it; bytes after it were not parsed.
    std::int64_t knownEnd = 0;
    // A hash of the bytes just before knownEnd.
    std::uint64_t fingerprint = 0;
};

enum class FolderFileChange {
    Unchanged,  // the same file, ending where the index ends
    Grew,       // the same file with bytes after the indexed part
    Changed,    // replaced, removed, cut short or changed inside the indexed part
};

// The hash kept for the bytes just before `end` of `bytes`.
std::uint64_t FolderFileFingerprint(std::string_view bytes, std::int64_t end);

// Records that the index covers `bytes` (the file's contents, `st` its
// status, null when the file is missing) up to `knownEnd`.
void RecordFolderFile(MailFolder& folder, std::string_view bytes, std::int64_t knownEnd,
                      const struct stat* st);

// The same for the folder's file as it is on disk now.
void RecordFolderFileOnDisk(MailFolder& folder, std::int64_t knownEnd);

// Compares the folder's recorded identity with the file as it is now
// (`bytes` its contents, `st` its status or null when missing). A folder
// whose file was missing when read counts an existing file as grown; an
// index built without reading the file is taken as it is.
FolderFileChange CheckFolderFile(const MailFolder& folder, std::string_view bytes,
                                 const struct stat* st);

// Indexes the complete messages that follow the known end of `bytes` (the
// folder file as it is now), counts them and moves the known end past them.
// The new messages are appended to `added` when given.
void IndexAppendedMessages(MailFolder& folder, std::string_view bytes, const struct stat& st,
                           const StoreContext& context, std::vector<MailMessage*>* added);

// Brings a folder's index up to its file, under the folder's lock: loads
// an unloaded folder, indexes what other writers appended to a loaded one
// (telling the host about each message). False, with `error` set, when the
// file was changed in a way the index cannot follow.
bool CatchUpFolder(MailFolder& folder, const StoreContext& context, std::string* error);

// The text that tells the user a folder file changed under a rewrite.
std::string FolderChangedError(const MailFolder& folder, const StoreContext& context,
                               std::string_view consequence);

}  // namespace corvina
