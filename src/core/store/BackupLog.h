#pragma once
// Receiving mail again from a backup log: the per-day file "%Y%m%d.mol" in
// the mailbox directory, a sequence of retrieved messages each followed by
// a line ".". Every complete message is parsed and delivered to InBox
// unread.

#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>

namespace corvina {

class MaintenanceHost;
struct ParseOptions;
struct StoreContext;

// "%Y%m%d.mol" of the local date of `when`.
std::string BackupLogFileName(std::time_t when);

// Filter of the open dialog.
inline constexpr std::string_view kBackupLogFilterName = "Backup Logs (*.mol)";
inline constexpr std::string_view kBackupLogFilterPattern = "*.mol";

// Delivers every message of the log to InBox (DeliverMessage), unread, in
// log order, each parsed with `options` (those of received mail, so the
// store's own lines are not trusted), letting the interface catch up after
// each one; stops after the current message once host->StopRequested(). A trailing part without
// its "." line is ignored. Returns the number of messages delivered (0 for
// a log that cannot be opened or is empty); delivered messages stay when a
// later one cannot be stored.
int ReceiveBackupLog(const std::filesystem::path& log, const StoreContext& context,
                     const ParseOptions& options, MaintenanceHost* host);

}  // namespace corvina
