#pragma once
// Receiving mail again from a backup log: the per-day file "%Y%m%d.mol" in
// the mailbox directory, a sequence of retrieved messages each followed by
// a line ".". Every complete message is parsed and delivered to InBox
// unread.

#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <string_view>

namespace corvina {

class MailMessage;
class MaintenanceHost;
struct StoreContext;

// Turns the text of one retrieved message (lines ending in LF, ending with
// the "." line) into `message`. The store does not parse MIME itself; the
// caller binds the message parser with the options of received mail (so the
// store's own lines are not trusted).
using MessageTextParser = std::function<void(MailMessage& message, std::string_view text)>;

// "%Y%m%d.mol" of the local date of `when`.
std::string BackupLogFileName(std::time_t when);

// Filter of the open dialog.
inline constexpr std::string_view kBackupLogFilterName = "Backup Logs (*.mol)";
inline constexpr std::string_view kBackupLogFilterPattern = "*.mol";

// Delivers every message of the log to InBox (DeliverMessage), unread, in
// log order, letting the interface catch up after each one; stops after
// the current message once host->StopRequested(). A trailing part without
// its "." line is ignored. Returns the number of messages delivered (0 for
// a log that cannot be opened or is empty); delivered messages stay when a
// later one cannot be stored.
int ReceiveBackupLog(const std::filesystem::path& log, const StoreContext& context,
                     const MessageTextParser& parse, MaintenanceHost* host);

}  // namespace corvina
