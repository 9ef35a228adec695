#pragma once
// Compacting a folder: dropping header lines that the client does not need
// (all Received lines, or everything but the references and the message
// id) and rewriting the whole file, optionally after keeping a ".bak" copy.

#include <filesystem>
#include <string_view>
#include <vector>

namespace corvina {

class MailFolder;
class MaintenanceHost;
struct StoreContext;

enum class CompactMode {
    kNormal,   // remove Received lines
    kMinimum,  // keep only the first In-Reply-To/References line and Message-Id lines
};

// The folder's .mbx path with everything after the last "." of its file
// name replaced by "bak" (".bak" appended when the name has no ".").
std::filesystem::path CompactBackupPath(const std::filesystem::path& mbxPath);

// The other header lines that stay after compaction, in order.
std::vector<std::string> CompactHeaderLines(const std::vector<std::string>& lines,
                                            CompactMode mode);

// Compact is offered for a shown folder that has a file (not an account
// root).
bool CompactEnabled(const MailFolder* shown);

// Compacts `folder` (loading its index first when needed): with `backup`
// its file is copied to CompactBackupPath first (a failed copy does not stop
// the compaction); then every message is marked dirty and the whole file
// is rewritten by SaveFolder. The message fields (From, To, Subject, Date,
// status, the store's own lines) are untouched. False when the folder could
// not be loaded or written (the old file then stays as it was).
bool CompactFolder(MailFolder& folder, CompactMode mode, bool backup, const StoreContext& context,
                   MaintenanceHost* host);

}  // namespace corvina
