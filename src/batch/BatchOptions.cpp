#include "batch/BatchOptions.h"

#include <charconv>
#include <cstring>
#include <string_view>

namespace corvina {

namespace {

using Access = CommandAccess;

// The one table of batch commands: the option, whether it writes, and the
// window's way to do the same while the client runs.
constexpr BatchCommandInfo kCommands[] = {
    {"--receive", BatchCommand::kReceive, Access::kWrites, "receive new mail"},
    {"--receive-all", BatchCommand::kReceiveAll, Access::kWrites, "receive all mail"},
    {"--deliver", BatchCommand::kDeliver, Access::kWrites, "send the OutBox"},
    {"--cleanup-server", BatchCommand::kCleanupServer, Access::kWrites, "clean up the server"},
    {"--folders", BatchCommand::kFolders, Access::kReads, ""},
    {"--list", BatchCommand::kList, Access::kReads, ""},
    {"--show", BatchCommand::kShow, Access::kReads, ""},
    {"--deliver-file", BatchCommand::kDeliverFile, Access::kWrites,
     "open the file and move the message to a folder"},
    {"--compose", BatchCommand::kCompose, Access::kWrites, "write the message"},
    {"--filter", BatchCommand::kFilter, Access::kWrites, "run Manual Filtering"},
    {"--set-password", BatchCommand::kSetPassword, Access::kWrites,
     "change the password in Preferences"},
    {"--compact", BatchCommand::kCompact, Access::kWrites, "compact the folder"},
    {"--reorganize", BatchCommand::kReorganize, Access::kWrites, "reorganize the folder"},
    {"--restore-log", BatchCommand::kRestoreLog, Access::kWrites, "restore the backup log"},
    // Writes only the file named on the command line.
    {"--export", BatchCommand::kExport, Access::kReads, ""},
    {"--addresses", BatchCommand::kAddresses, Access::kReads, ""},
    {"--add-address", BatchCommand::kAddAddress, Access::kWrites,
     "add the address in the address book"},
    {"--settings", BatchCommand::kSettings, Access::kReads, ""},
};

std::optional<BatchCommand> CommandOf(std::string_view arg) {
    for (const BatchCommandInfo& c : kCommands) {
        if (arg == c.option)
            return c.command;
    }
    return std::nullopt;
}

std::optional<int> ParseNumber(std::string_view text) {
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

bool EqualAsciiNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

BatchParse Fail(std::string why) {
    BatchParse parse;
    parse.error = std::move(why);
    return parse;
}

}  // namespace

const BatchCommandInfo& CommandInfo(BatchCommand command) {
    for (const BatchCommandInfo& c : kCommands) {
        if (c.command == command)
            return c;
    }
    // Every enumerator has its row (a test walks them); never reached.
    return kCommands[0];
}

bool CommandWrites(BatchCommand command) {
    return CommandInfo(command).access == CommandAccess::kWrites;
}

bool IsBatchCommandLine(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (CommandOf(arg))
            return true;
    }
    return false;
}

std::optional<int> ParseSortColumn(const std::string& text) {
    static constexpr const char* kNames[] = {"subject", "sender", "date", "lines"};
    for (int i = 0; i < 4; ++i) {
        if (EqualAsciiNoCase(text, kNames[i]))
            return i;
    }
    if (EqualAsciiNoCase(text, "recipient"))
        return 1;
    std::optional<int> n = ParseNumber(text);
    if (n && *n >= 1 && *n <= 4)
        return *n - 1;
    return std::nullopt;
}

BatchParse ParseBatchOptions(const std::vector<std::string>& args) {
    BatchOptions o;
    std::optional<BatchCommand> command;
    std::vector<std::string> positional;
    bool smtp = false, dialup = false;
    std::vector<std::string> maintenanceFlags;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](const char* option) -> const std::string* {
            if (i + 1 >= args.size())
                return nullptr;
            (void)option;
            return &args[++i];
        };
        if (std::optional<BatchCommand> c = CommandOf(arg)) {
            if (command)
                return Fail("give one command only, not both " +
                            std::string(CommandInfo(*command).option) + " and " + arg);
            command = c;
        } else if (arg == "--account") {
            const std::string* v = value("--account");
            std::optional<int> n = v ? ParseNumber(*v) : std::nullopt;
            if (!n || *n < 0 || *n > 9)
                return Fail("--account needs a profile number from 0 to 9");
            o.account = *n;
        } else if (arg == "--verbose") {
            o.verbose = true;
        } else if (arg == "--threaded") {
            o.threaded = true;
        } else if (arg == "--sort") {
            const std::string* v = value("--sort");
            if (!v)
                return Fail("--sort needs a column");
            std::string column = *v;
            if (column.size() > 5 && EqualAsciiNoCase(column.substr(column.size() - 5), ":desc")) {
                o.sortDescending = true;
                column.resize(column.size() - 5);
            }
            std::optional<int> c = ParseSortColumn(column);
            if (!c)
                return Fail("unknown sort column " + column +
                            " (use subject, sender, recipient, date, lines or 1-4)");
            o.sortColumn = *c;
        } else if (arg == "--smtp") {
            smtp = true;
        } else if (arg == "--dialup") {
            dialup = true;
        } else if (arg == "--to" || arg == "--cc" || arg == "--bcc" || arg == "--subject" ||
                   arg == "--body-file" || arg == "--attach") {
            const std::string* v = value(arg.c_str());
            if (!v)
                return Fail(arg + " needs a value");
            if (arg == "--to")
                o.to.push_back(*v);
            else if (arg == "--cc")
                o.cc.push_back(*v);
            else if (arg == "--bcc")
                o.bcc.push_back(*v);
            else if (arg == "--subject") {
                o.subject = *v;
                o.hasSubject = true;
            } else if (arg == "--body-file")
                o.bodyFile = *v;
            else
                o.attachments.emplace_back(*v);
        } else if (arg == "--draft") {
            o.draft = true;
        } else if (arg == "--minimum" || arg == "--unix" || arg == "--each" ||
                   arg == "--separator-top") {
            (arg == "--minimum" ? o.minimum
             : arg == "--unix"  ? o.unixExport
             : arg == "--each"  ? o.each
                                : o.separatorTop) = true;
            maintenanceFlags.push_back(arg);
        } else if (arg == "--separator" || arg == "--name" || arg == "--nick") {
            const std::string* v = value(arg.c_str());
            if (!v)
                return Fail(arg + " needs a value");
            (arg == "--separator" ? o.separator : arg == "--name" ? o.name : o.nick) = *v;
            o.hasSeparator = o.hasSeparator || arg == "--separator";
            maintenanceFlags.push_back(arg);
        } else if (arg.starts_with("--")) {
            return Fail("unknown option " + arg);
        } else {
            positional.push_back(arg);
        }
    }
    if (!command)
        return Fail("no command given; name one, such as --folders");
    o.command = *command;

    const bool isList = o.command == BatchCommand::kList;
    const bool isCompose = o.command == BatchCommand::kCompose;
    const bool isPassword = o.command == BatchCommand::kSetPassword;
    if (!isList && (o.threaded || o.sortColumn >= 0))
        return Fail("--threaded and --sort go with --list only");
    if (!isPassword && (smtp || dialup))
        return Fail("--smtp and --dialup go with --set-password only");
    if (!isCompose && (!o.to.empty() || !o.cc.empty() || !o.bcc.empty() || o.hasSubject ||
                       !o.bodyFile.empty() || !o.attachments.empty() || o.draft))
        return Fail(
            "--to, --cc, --bcc, --subject, --body-file, --attach and --draft go with "
            "--compose only");

    for (const std::string& flag : maintenanceFlags) {
        const bool fits =
            (flag == "--minimum" && o.command == BatchCommand::kCompact) ||
            ((flag == "--unix" || flag == "--each" || flag == "--separator" ||
              flag == "--separator-top") &&
             o.command == BatchCommand::kExport) ||
            ((flag == "--name" || flag == "--nick") && o.command == BatchCommand::kAddAddress);
        if (!fits)
            return Fail(flag + " does not go with " + CommandInfo(o.command).option);
    }
    if (o.separatorTop && !o.hasSeparator)
        return Fail("--separator-top needs --separator");

    switch (o.command) {
        case BatchCommand::kCompact:
        case BatchCommand::kReorganize:
            if (positional.size() != 1)
                return Fail(std::string(CommandInfo(o.command).option) + " needs one FOLDER");
            o.folder = positional[0];
            break;
        case BatchCommand::kRestoreLog:
            if (positional.size() != 1)
                return Fail("--restore-log needs one FILE");
            o.file = positional[0];
            break;
        case BatchCommand::kExport:
            if (positional.size() != 2)
                return Fail("--export needs FOLDER and FILE");
            o.folder = positional[0];
            o.file = positional[1];
            break;
        case BatchCommand::kAddresses:
            if (positional.size() > 1)
                return Fail("--addresses takes at most one GROUP");
            if (positional.size() == 1)
                o.group = positional[0];
            break;
        case BatchCommand::kAddAddress:
            if (positional.size() != 2)
                return Fail("--add-address needs GROUP and ADDRESS");
            o.group = positional[0];
            o.address = positional[1];
            break;
        case BatchCommand::kList:
            if (positional.size() != 1)
                return Fail("--list needs one FOLDER");
            o.folder = positional[0];
            break;
        case BatchCommand::kShow: {
            if (positional.size() != 2)
                return Fail("--show needs FOLDER and N");
            o.folder = positional[0];
            std::optional<int> n = ParseNumber(positional[1]);
            if (!n || *n < 1)
                return Fail("--show needs a message number of 1 or more, not " + positional[1]);
            o.messageNumber = *n;
            break;
        }
        case BatchCommand::kDeliverFile:
            if (positional.empty() || positional.size() > 2)
                return Fail("--deliver-file needs FILE and at most one FOLDER");
            o.file = positional[0];
            if (positional.size() == 2)
                o.folder = positional[1];
            break;
        case BatchCommand::kSetPassword:
            if (smtp && dialup)
                return Fail("--smtp and --dialup exclude each other");
            o.slot = smtp     ? PasswordSlot::kSmtp
                     : dialup ? PasswordSlot::kDialup
                              : PasswordSlot::kPop;
            [[fallthrough]];
        default:
            if (!positional.empty())
                return Fail(std::string(CommandInfo(o.command).option) + " takes no argument " +
                            positional[0]);
            break;
    }
    if (isCompose) {
        if (o.to.empty())
            return Fail("--compose needs --to");
        if (!o.hasSubject)
            return Fail("--compose needs --subject");
    }
    BatchParse parse;
    parse.options = std::move(o);
    return parse;
}

}  // namespace corvina
