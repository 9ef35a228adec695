#include "batch/BatchOptions.h"

#include <charconv>
#include <cstring>
#include <string_view>

namespace corvina {

namespace {

struct CommandName {
    const char* name;
    BatchCommand command;
};

constexpr CommandName kCommands[] = {
    {"--receive", BatchCommand::kReceive},
    {"--receive-all", BatchCommand::kReceiveAll},
    {"--deliver", BatchCommand::kDeliver},
    {"--cleanup-server", BatchCommand::kCleanupServer},
    {"--folders", BatchCommand::kFolders},
    {"--list", BatchCommand::kList},
    {"--show", BatchCommand::kShow},
    {"--deliver-file", BatchCommand::kDeliverFile},
    {"--compose", BatchCommand::kCompose},
    {"--filter", BatchCommand::kFilter},
    {"--set-password", BatchCommand::kSetPassword},
    {"--compact", BatchCommand::kCompact},
    {"--reorganize", BatchCommand::kReorganize},
    {"--restore-log", BatchCommand::kRestoreLog},
    {"--export", BatchCommand::kExport},
    {"--addresses", BatchCommand::kAddresses},
    {"--add-address", BatchCommand::kAddAddress},
};

std::optional<BatchCommand> CommandOf(std::string_view arg) {
    for (const CommandName& c : kCommands) {
        if (arg == c.name)
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
                return Fail("only one command may be given");
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
                return Fail("unknown sort column " + column);
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
        return Fail("no command given");
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
        const bool fits = (flag == "--minimum" && o.command == BatchCommand::kCompact) ||
                          ((flag == "--unix" || flag == "--each" || flag == "--separator" ||
                            flag == "--separator-top") &&
                           o.command == BatchCommand::kExport) ||
                          ((flag == "--name" || flag == "--nick") &&
                           o.command == BatchCommand::kAddAddress);
        if (!fits)
            return Fail(flag + " does not go with this command");
    }
    if (o.separatorTop && !o.hasSeparator)
        return Fail("--separator-top needs --separator");

    switch (o.command) {
        case BatchCommand::kCompact:
        case BatchCommand::kReorganize:
            if (positional.size() != 1)
                return Fail("this command needs one FOLDER");
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
                return Fail("--show needs a message number from 1");
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
                return Fail("unexpected argument " + positional[0]);
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
