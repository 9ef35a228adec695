#pragma once
// The folder maintenance, export and address book commands of a run
// without windows: --compact, --reorganize, --restore-log, --export,
// --addresses and --add-address.

namespace corvina {

class FolderTree;
struct AppState;
struct BatchOptions;
class MimeTypeTable;
struct BatchStreams;

// The exit status of one of those commands; 2 for any other command.
// `types` is the MIME type table of the settings (attachment types of an
// export).
int RunMaintenanceCommand(const BatchOptions& options, const BatchStreams& streams, AppState& state,
                          FolderTree& tree, const MimeTypeTable& types);

}  // namespace corvina
