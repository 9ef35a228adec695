#pragma once
// Reorganising a folder: its file rewritten with the messages in the order
// of their dates, oldest first.

namespace corvina {

class MailFolder;
class MaintenanceHost;
struct StoreContext;

// Orders the folder's index by the parsed Date of each message, ascending
// (messages with equal dates keep their order; an unreadable date counts as
// the earliest), marks every message dirty and rewrites the whole file.
// The host is told when the list must refill. False when the folder could
// not be loaded or written; the file then stays as it was.
bool ReorganiseFolder(MailFolder& folder, const StoreContext& context, MaintenanceHost* host);

}  // namespace corvina
