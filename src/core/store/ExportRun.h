#pragma once
// Exporting messages into plain text files: the six stored settings, the
// target names derived from them, the rules of the dialog's controls, and
// the run that writes the selected messages one by one.

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace corvina {

class ConfigStore;
class MailMessage;
class MaintenanceHost;
struct OutgoingOptions;

struct ExportSettings {
    std::string file;       // "ExportFile"
    std::string separator;  // "ExportSep"
    int useSeparator = 0;   // "ExportUseSep": 0 no separator, 1 separator
    int each = 0;           // "ExportEach": one file per message
    int insertTop = 0;      // "ExportInsertTop": separator before the first message too
    int unix = 0;           // "ExportUnix": UNIX mailbox "From " lines

    // From the "Settings" section (defaults when missing).
    static ExportSettings Load(const ConfigStore& config);
    // Into the "Settings" section (the store writes only changed values).
    void Save(ConfigStore& config) const;

    // The separator text handed to the writer: "ExportSep" and a newline
    // when a separator is chosen and everything goes into one file;
    // otherwise empty.
    std::string SeparatorText() const;
};

// "ExportFile" split at the last "." of its file name (a "." of a directory
// does not count): base name and extension, the extension with its dot.
struct ExportName {
    std::string base;
    std::string extension;
};
ExportName SplitExportName(std::string_view file);

// Which controls of the Export dialog are enabled for the current values.
struct ExportControls {
    bool separatorChoice = true;  // the two radio buttons
    bool separatorText = true;    // the separator edit box
    bool insertTop = true;        // "Insert Separater at Top of Text"
};
ExportControls ExportControlStates(const ExportSettings& settings);

// The directory the Browse dialog starts in: the file name up to and
// including its last "/" (or "\"); empty without one.
std::string ExportBrowseDirectory(std::string_view file);
inline constexpr std::string_view kExportDefaultName = "Export.TXT";

// Told why a message was not exported, or (message nullptr) why the one
// export file could not be written at all.
using ExportProblem = std::function<void(const MailMessage* message, const std::string& reason)>;

// Why `message` could not be written to `target`, as the user can act on
// it: an attachment file that is missing or cannot be read, a target that
// is a folder or cannot be written (with the system's reason), else a
// write that failed (a full disk).
std::string ExportFailureReason(const MailMessage& message, const std::filesystem::path& target);

// Exports `selected` (the message list's selected messages, in list order;
// folder items already left out). In thread mode they are written first to
// last, otherwise last to first. Single-file mode first deletes the target
// (and starts it with the separator line when that goes on top); per-message
// mode writes base.1, base.2, ... each deleted first. Each message goes
// through the export writer of the outgoing assembly (ExportMessage with
// `outgoing`): the separator text after it, and with "ExportUnix" a "From "
// line before it. A message that cannot be written is skipped, and
// `problem` (when set) is told why; in single-file mode the file is then
// left as it was, so it never holds a partial export. Bodies are loaded for the writer and released
// again when they were not loaded before. Returns the number of messages written.
int RunExport(const std::vector<MailMessage*>& selected, const ExportSettings& settings,
              bool threadMode, const OutgoingOptions& outgoing, MaintenanceHost* host,
              const ExportProblem& problem = {});

}  // namespace corvina
