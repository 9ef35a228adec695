#include "batch/BatchCommands.h"

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>
#include "app/AppState.h"
#include "app/Settings.h"
#include "batch/BatchHost.h"
#include "batch/BatchOptions.h"
#include "batch/BatchRun.h"
#include "batch/MaintenanceCommands.h"
#include "common/CodePage.h"
#include "compose/Composition.h"
#include "filter/FilterList.h"
#include "filter/ManualFiltering.h"
#include "message/HeaderUnfold.h"
#include "message/MailMessage.h"
#include "message/mime/MessageOptions.h"
#include "message/mime/MimeTypeTable.h"
#include "platform/ConfigStore.h"
#include "store/FolderNames.h"
#include "store/FolderOps.h"
#include "store/FolderStat.h"
#include "store/FolderTree.h"
#include "store/MailFolder.h"
#include "store/Mailbox.h"
#include "store/MessageList.h"
#include "transfer/CleanUpJob.h"
#include "transfer/DeliverJob.h"
#include "transfer/MailSession.h"
#include "transfer/ReceiveJob.h"
#include "transfer/SessionSetup.h"
#include "transfer/TransferState.h"

namespace corvina {

namespace {

void Print(const BatchStreams& streams, std::string_view text) {
    const std::string out = OutputText(text, streams.utf8Out);
    std::fwrite(out.data(), 1, out.size(), streams.out);
}

int Failure(const BatchStreams& streams, const std::string& text) {
    std::fprintf(streams.err, "corvina: %s\n", text.c_str());
    return 1;
}

// "FILE: why it cannot be read", for a file named by the user.
std::string ReadProblem(const std::filesystem::path& path) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        return path.string() + ": it is a folder, not a file";
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return path.string() + ": " + std::strerror(errno);
    std::fclose(f);
    return path.string();
}

std::string CannotRead(const std::filesystem::path& path) {
    return "cannot read " + ReadProblem(path);
}

MailFolder* FolderOrComplain(const FolderTree& tree, const std::string& name,
                             const BatchStreams& streams) {
    FolderNode* node = tree.FindNode(name);
    if (!node || node->folder->kind == 0) {
        std::fprintf(streams.err, "corvina: no folder named %s (corvina --folders lists them)\n",
                     name.c_str());
        return nullptr;
    }
    return node->folder.get();
}

int Transfer(const BatchOptions& options, const BatchStreams& streams, const ConfigStore& store,
             AppState& state, BatchHost& host) {
    const int profile = state.settings.defUser;
    const std::string section =
        "[Users\\" + std::to_string(profile) + "] of " + store.Path().string();
    if (options.command == BatchCommand::kDeliver && state.current.smtp.empty()) {
        return Failure(streams, "profile " + std::to_string(profile) +
                                    " has no SMTP server to send through; write SMTP = the "
                                    "server (and SMTPPort, SMTPSecurity, SMTPAuth as the README "
                                    "shows) into " +
                                    section);
    }
    if (options.command != BatchCommand::kDeliver && state.current.pop.empty()) {
        return Failure(streams, "profile " + std::to_string(profile) +
                                    " has no POP server to receive from; write POP = the "
                                    "server and User = your login into " +
                                    section +
                                    ", then store the password with corvina --set-password");
    }
    TransferState transferState;
    host.SetEchoStatus(options.verbose);
    // Failures and notices of the transfer go to the error stream, as the
    // store's do.
    MailSession session(transferState, host, host);
    ConfigureSession(session, state);
    bool ok = false;
    switch (options.command) {
        case BatchCommand::kReceive:
        case BatchCommand::kReceiveAll: {
            ReceiveOutcome outcome =
                ReceiveJob(session).Run(options.command == BatchCommand::kReceiveAll);
            ok = outcome.ok && !outcome.refused;
            std::fprintf(streams.err, "corvina: %d message(s) stored\n", outcome.stored);
            break;
        }
        case BatchCommand::kDeliver:
            ok = DeliverJob(session).Run();
            break;
        default:
            ok = CleanUpJob(session).Run();
            break;
    }
    if (!ok) {
        std::fprintf(streams.err, "corvina: the transfer failed");
        if (!options.verbose && !host.LastStatus().empty())
            std::fprintf(streams.err, " (last line: %s)", host.LastStatus().c_str());
        std::fputc('\n', streams.err);
    }
    return ok ? 0 : 1;
}

int Folders(const BatchStreams& streams, FolderTree& tree) {
    const StoreContext context = tree.Context();
    for (FolderNode* node : tree.FolderNodes()) {
        MailFolder& folder = *node->folder;
        if (folder.kind == 0)
            continue;
        // The control file's counts may be stale after outside changes:
        // count from the file itself.
        LoadFolder(folder, context);
        std::string line = tree.FolderNameOf(*node);
        line += '\t' + std::to_string(folder.total < 0 ? 0 : folder.total);
        line += '\t' + std::to_string(folder.unread < 0 ? 0 : folder.unread);
        line += '\n';
        Print(streams, line);
        folder.ClearMessages();
    }
    return 0;
}

int List(const BatchOptions& options, const BatchStreams& streams, AppState& state,
         FolderTree& tree) {
    MailFolder* folder = FolderOrComplain(tree, options.folder, streams);
    if (!folder)
        return 1;
    MessageListContext context;
    context.mailboxDir = state.mailboxDirectory;
    context.profileAddress = state.current.address;
    context.profileAddrGroup = state.current.addrGroup;
    if (FolderNode* trash = tree.Special(SpecialFolder::Trash))
        context.trash = trash->folder.get();
    MessageList list(context);
    list.FillMessageList(folder);
    if (list.Threaded() != options.threaded) {
        // The folder's own threading choice is kept: switch for this run
        // only and put the stored value back.
        const int stored = ReadFolderStat(*folder, "Settings", "Thread", 0);
        list.SwitchThreading(options.threaded);
        WriteFolderStat(*folder, "Settings", "Thread", stored);
    }
    if (options.sortColumn >= 0) {
        list.ClickColumn(options.sortColumn);
        if (options.sortDescending)
            list.ClickColumn(options.sortColumn);
    }
    // Positions in the file, found once: one sorted table of (message,
    // position), which costs far less than a hash node per message.
    std::vector<std::pair<const MailMessage*, size_t>> position;
    position.reserve(folder->messages.size());
    for (size_t i = 0; i < folder->messages.size(); ++i)
        position.emplace_back(folder->messages[i].get(), i + 1);
    std::sort(position.begin(), position.end());
    const auto positionOf = [&position](const MailMessage* message) {
        const auto at =
            std::lower_bound(position.begin(), position.end(), std::make_pair(message, size_t{0}));
        return at != position.end() && at->first == message ? at->second : 0;
    };
    std::string out;
    for (int row = 0; row < list.Count(); ++row) {
        const MessageListItem& item = list.Items()[static_cast<size_t>(row)];
        if (!item.message)
            continue;
        out += std::to_string(positionOf(item.message));
        for (int column = 0; column < 4; ++column) {
            out += '\t';
            out += list.ColumnText(row, column);
        }
        out += '\t';
        out += item.message->status;
        out += '\n';
        if (out.size() > 1 << 16) {
            Print(streams, out);
            out.clear();
        }
    }
    Print(streams, out);
    return 0;
}

int Show(const BatchOptions& options, const BatchStreams& streams, AppState& state,
         FolderTree& tree) {
    MailFolder* folder = FolderOrComplain(tree, options.folder, streams);
    if (!folder)
        return 1;
    // A folder nothing was stored in yet has no file: it is empty.
    std::error_code ec;
    if (!LoadFolder(*folder, tree.Context()) && std::filesystem::exists(folder->path, ec))
        return Failure(streams, "cannot read folder " + options.folder + " (" +
                                    ReadProblem(folder->path) + ")");
    const size_t n = static_cast<size_t>(options.messageNumber);
    if (folder->messages.empty())
        return Failure(streams, "folder " + options.folder + " holds no messages");
    if (n > folder->messages.size())
        return Failure(streams, "folder " + options.folder + " has " +
                                    std::to_string(folder->messages.size()) +
                                    " message(s); give a number from 1 to " +
                                    std::to_string(folder->messages.size()) + " (corvina --list " +
                                    options.folder + " shows them)");
    MailMessage& message = *folder->messages[n - 1];
    LoadMessageBody(message);
    Print(streams, SerializeMessage(message, state.mailboxDirectory));
    return 0;
}

std::optional<std::string> ReadWholeFile(const std::filesystem::path& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return std::nullopt;
    std::string text;
    char buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        text.append(buffer, got);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed)
        return std::nullopt;
    return text;
}

int DeliverFile(const BatchOptions& options, const BatchStreams& streams, AppState& state,
                FolderTree& tree, BatchHost& host) {
    std::optional<std::string> raw = ReadWholeFile(options.file);
    if (!raw)
        return Failure(streams, CannotRead(options.file));
    if (!options.folder.empty() && !FolderOrComplain(tree, options.folder, streams))
        return 1;
    auto message = std::make_unique<MailMessage>();
    const ParseOptions parse = IncomingParseOptions(state);
    ParseMessage(*message, ReceivedForm(*raw), parse);
    message->status.clear();
    std::string folder = options.folder;
    if (folder.empty()) {
        FilterList filters;
        if (!filters.LoadFilters(state.mailboxDirectory))
            return Failure(streams, CannotRead(state.mailboxDirectory / "Filter.DEF"));
        folder = filters.FilterFolder(*message);
    }
    const StoreContext context = tree.Context();
    if (!DeliverMessage(context, folder, std::move(message)))
        return Failure(streams, "the message could not be stored in " + folder);
    if (!host.Store().SyncDeliveries())
        return Failure(streams, "the stored message could not be made durable");
    if (!SaveCurrentStatus(tree))
        return Failure(streams, "the folder counts could not be written");
    return 0;
}

int Filter(const BatchStreams& streams, AppState& state, FolderTree& tree, BatchHost& host) {
    FolderNode* inbox = tree.Special(SpecialFolder::InBox);
    if (!inbox)
        return Failure(streams, "no InBox");
    host.Store().SetShown(inbox->folder.get());
    FilterList filters;
    if (!filters.LoadFilters(state.mailboxDirectory))
        return Failure(streams, CannotRead(state.mailboxDirectory / "Filter.DEF"));
    const int errorsBefore = host.ErrorCount();
    const int moved = ManualFiltering(tree, filters);
    if (moved < 0)
        return Failure(streams, "nothing was filtered");
    std::fprintf(streams.err, "corvina: %d message(s) moved\n", moved);
    return host.ErrorCount() == errorsBefore ? 0 : 1;
}

std::string Joined(const std::vector<std::string>& parts) {
    std::string text;
    for (const std::string& part : parts) {
        if (!text.empty())
            text += ", ";
        text += part;
    }
    return text;
}

int Compose(const BatchOptions& options, const BatchStreams& streams, const ConfigStore& store,
            AppState& state, FolderTree& tree, BatchHost& host) {
    Composition composition(state.settings);
    MailMessage& message = composition.Message();
    message.to = Joined(options.to);
    message.cc = Joined(options.cc);
    message.bcc = Joined(options.bcc);
    composition.AddPermanentRecipients(state.current);
    message.subject = options.subject;
    if (!options.bodyFile.empty()) {
        std::optional<std::string> body = ReadWholeFile(options.bodyFile);
        if (!body)
            return Failure(streams, CannotRead(options.bodyFile) + "; nothing was saved");
        composition.AddBodyText(*body);
    }
    // A new message gets the account's signature, as a new compose window does.
    composition.AppendSignature(state.homeDirectory, state.current.signature);
    const MimeTypeTable& types = MimeTypesOf(state);
    for (const std::filesystem::path& file : options.attachments) {
        // A file that cannot be added would leave an error line in the
        // message: nothing is saved then.
        if (!composition.AddFileToMessage(file, types))
            return Failure(streams, "cannot attach " + ReadProblem(file) + "; nothing was saved");
    }
    if (message.bodyLines.empty())
        message.AddBodyLine("");
    const StoreContext context = tree.Context();
    const bool saved = options.draft ? composition.SaveToDraft(state.current, context)
                                     : composition.SaveToOutbox(state.current, context);
    if (!saved)
        return Failure(streams, options.draft ? "the message could not be saved in Draft"
                                              : "the message could not be saved in OutBox");
    return 0;
}

// The catalogue's values as this run loaded them, section by section in the
// settings file's own form; a stored password shows only as "*".
int PrintSettings(const BatchStreams& streams, const AppState& state) {
    Settings settings = state.settings;  // the accessors take a mutable record
    std::string out;
    std::string_view section;
    for (const SettingEntry& entry : SettingsCatalogue()) {
        if (section != entry.section) {
            section = entry.section;
            out += '[';
            out += section;
            out += "]\n";
        }
        out += entry.name;
        out += '=';
        switch (entry.type) {
            case SettingType::kInt:
                out += std::to_string(entry.intRef(settings));
                break;
            case SettingType::kString:
                out += entry.stringRef(settings);
                break;
            case SettingType::kScrambled:
                out += entry.stringRef(settings).empty() ? "" : "*";
                break;
        }
        out += '\n';
    }
    Print(streams, out);
    return 0;
}

}  // namespace

int RunLoadedCommand(const BatchOptions& options, const BatchStreams& streams,
                     const ConfigStore& store, AppState& state) {
    BatchHost host(streams.err, state.mailboxDirectory);
    FolderTree tree(&host.Store());
    tree.BuildFolderTree(state);
    switch (options.command) {
        case BatchCommand::kReceive:
        case BatchCommand::kReceiveAll:
        case BatchCommand::kDeliver:
        case BatchCommand::kCleanupServer:
            return Transfer(options, streams, store, state, host);
        case BatchCommand::kFolders:
            return Folders(streams, tree);
        case BatchCommand::kList:
            return List(options, streams, state, tree);
        case BatchCommand::kShow:
            return Show(options, streams, state, tree);
        case BatchCommand::kDeliverFile:
            return DeliverFile(options, streams, state, tree, host);
        case BatchCommand::kFilter:
            return Filter(streams, state, tree, host);
        case BatchCommand::kCompose:
            return Compose(options, streams, store, state, tree, host);
        case BatchCommand::kSettings:
            return PrintSettings(streams, state);
        case BatchCommand::kSetPassword:
            break;
        case BatchCommand::kCompact:
        case BatchCommand::kReorganize:
        case BatchCommand::kRestoreLog:
        case BatchCommand::kExport:
        case BatchCommand::kAddresses:
        case BatchCommand::kAddAddress: {
            const MimeTypeTable& types = MimeTypesOf(state);
            return RunMaintenanceCommand(options, streams, state, tree, types);
        }
    }
    return 1;
}

}  // namespace corvina
