#pragma once
// The command line of a run without windows: one command option with its
// arguments, plus --account N and --verbose.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace corvina {

enum class BatchCommand {
    kReceive,
    kReceiveAll,
    kDeliver,
    kCleanupServer,
    kFolders,
    kList,
    kShow,
    kDeliverFile,
    kCompose,
    kFilter,
    kSetPassword,
    // folder maintenance, export, address book
    kCompact,
    kReorganize,
    kRestoreLog,
    kExport,
    kAddresses,
    kAddAddress,
    kSettings,
};

// Whether a command changes what the running client holds (mail files,
// the settings, the address book, the server's maildrop) or only reads.
enum class CommandAccess { kReads, kWrites };

struct BatchCommandInfo {
    const char* option;  // "--receive"
    BatchCommand command;
    CommandAccess access;
    // What to do in the client's window instead, completing "use its
    // window to ..."; empty for commands that only read.
    const char* inWindow;
};

// Every batch command, one row each.
const BatchCommandInfo& CommandInfo(BatchCommand command);
bool CommandWrites(BatchCommand command);

enum class PasswordSlot { kPop, kSmtp, kDialup };

struct BatchOptions {
    BatchCommand command = BatchCommand::kFolders;
    int account = -1;  // -1: the stored DefUser
    bool verbose = false;
    // --list, --show, --deliver-file
    std::string folder;
    bool threaded = false;
    int sortColumn = -1;  // 0..3, -1 natural order
    bool sortDescending = false;
    int messageNumber = 0;  // --show, 1-based
    std::filesystem::path file;
    // --set-password
    PasswordSlot slot = PasswordSlot::kPop;
    // --compose
    std::vector<std::string> to, cc, bcc;
    std::string subject;
    bool hasSubject = false;
    std::filesystem::path bodyFile;
    std::vector<std::filesystem::path> attachments;
    bool draft = false;
    // --compact, --export, --addresses, --add-address (FILE in `file`)
    bool minimum = false;
    bool unixExport = false, each = false;
    std::string separator;
    bool hasSeparator = false, separatorTop = false;
    std::string group, address, name, nick;
};

struct BatchParse {
    std::optional<BatchOptions> options;  // nullopt: usage error
    std::string error;                    // why, for stderr
};

// True when the arguments name one of the batch commands, so the run needs
// no window at all.
bool IsBatchCommandLine(const std::vector<std::string>& args);

BatchParse ParseBatchOptions(const std::vector<std::string>& args);

// "subject", "sender", "recipient", "date", "lines" (any case) or 1..4.
std::optional<int> ParseSortColumn(const std::string& text);

}  // namespace corvina
