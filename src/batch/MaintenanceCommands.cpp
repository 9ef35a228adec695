#include "batch/MaintenanceCommands.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <unordered_map>

#include "addressbook/AddressBook.h"
#include "app/AppState.h"
#include "batch/BatchOptions.h"
#include "batch/BatchRun.h"
#include "batch/TerminalPrompt.h"
#include "compose/RecipientGroups.h"
#include "message/MailMessage.h"
#include "message/mime/MessageOptions.h"
#include "message/mime/OutgoingText.h"
#include "store/BackupLog.h"
#include "store/Compact.h"
#include "store/CompactHost.h"
#include "store/ExportRun.h"
#include "store/FolderTree.h"
#include "store/MailFolder.h"
#include "store/Mailbox.h"
#include "store/Reorganise.h"
#include "store/ThreadOrder.h"

namespace corvina {

namespace {

int Fail(const BatchStreams& streams, const std::string& text) {
    std::fprintf(streams.err, "corvina: %s\n", text.c_str());
    return 1;
}

MailFolder* UserFolder(FolderTree& tree, const std::string& name, const BatchStreams& streams) {
    FolderNode* node = tree.FindNode(name);
    if (!node || !node->folder || node->folder->kind == 0) {
        Fail(streams, "no folder named " + name + " (corvina --folders lists them)");
        return nullptr;
    }
    return node->folder.get();
}

// A folder nothing was stored in yet has no file: it is empty, not broken.
bool HasNoFile(const MailFolder& folder) {
    std::error_code ec;
    return !std::filesystem::exists(folder.path, ec) && !ec;
}

int Export(const BatchOptions& options, const BatchStreams& streams, AppState& state,
           FolderTree& tree, const MimeTypeTable& types) {
    MailFolder* folder = UserFolder(tree, options.folder, streams);
    if (!folder) {
        return 1;
    }
    std::error_code ec;
    if (std::filesystem::is_directory(options.file, ec)) {
        return Fail(streams, options.file.string() + " is a folder; name a file to export into");
    }
    const StoreContext context = tree.Context();
    if (folder->messages.empty() && !HasNoFile(*folder) && !LoadFolder(*folder, context)) {
        return Fail(streams, "the folder file " + folder->path.string() +
                                 " cannot be read (check its permissions)");
    }
    // Every message, as the list would show them all selected.
    const bool threaded = state.settings.msgThread != 0;
    const std::vector<ThreadEntry> order =
        threaded ? ThreadedOrder(folder->messages)
                 : NewestFirstOrder(static_cast<int>(folder->messages.size()));
    std::vector<MailMessage*> selected;
    for (const ThreadEntry& entry : order) {
        selected.push_back(folder->messages[static_cast<std::size_t>(entry.index)].get());
    }
    ExportSettings settings;
    settings.file = options.file.string();
    settings.separator = options.separator;
    settings.useSeparator = options.hasSeparator ? 1 : 0;
    settings.each = options.each ? 1 : 0;
    settings.insertTop = options.separatorTop ? 1 : 0;
    settings.unix = options.unixExport ? 1 : 0;
    OutgoingOptions outgoing;
    outgoing.groups = AddressBookGroups(AddressBook::DirectoryUnder(state.homeDirectory));
    outgoing.types = &types;
    // A message is named by its number in the folder file, as --list and
    // --show number them, with its subject.
    bool wholeFileFailed = false;
    std::unordered_map<const MailMessage*, std::size_t> numbers;
    auto problem = [&](const MailMessage* message, const std::string& reason) {
        if (message == nullptr) {
            wholeFileFailed = true;
            std::fprintf(streams.err, "corvina: %s\n", reason.c_str());
            return;
        }
        if (numbers.empty()) {
            for (std::size_t i = 0; i < folder->messages.size(); ++i)
                numbers.emplace(folder->messages[i].get(), i + 1);
        }
        const std::size_t number = numbers[message];
        const std::string subject = OutputText(message->subject, streams.utf8Out);
        std::fprintf(streams.err, "corvina: message %zu (\"%s\") was not exported: %s\n", number,
                     subject.c_str(), reason.c_str());
    };
    const int written = RunExport(selected, settings, threaded, outgoing, nullptr, problem);
    std::fprintf(streams.err, "corvina: %d of %zu message(s) exported\n", written, selected.size());
    if (written == static_cast<int>(selected.size()))
        return 0;
    if (!options.each && !wholeFileFailed) {
        std::fprintf(streams.err,
                     "corvina: nothing was written to %s (it is as it was before); mend or "
                     "delete the message(s) named above, or use --each to export the others\n",
                     options.file.c_str());
    }
    return 1;
}

int Addresses(const BatchOptions& options, const BatchStreams& streams, AppState& state) {
    TerminalPrompt prompt(streams.in, streams.err);
    AddressBook book(AddressBook::DirectoryUnder(state.homeDirectory), &prompt);
    book.LoadGroups();
    bool found = options.group.empty();
    const AddressGroup* wanted = found ? nullptr : book.FindGroup(options.group);
    for (const auto& group : book.Groups()) {
        if (!options.group.empty() && group.get() != wanted) {
            continue;
        }
        found = true;
        group->LoadIfChanged();
        for (const AddressEntry& e : group->entries) {
            const std::string line = e.address + "\t" + e.name + "\t" + e.comment + "\t" +
                                     e.nickname + "\t" + e.url + "\t" + e.pgpUserId + "\n";
            const std::string out = OutputText(line, streams.utf8Out);
            std::fwrite(out.data(), 1, out.size(), streams.out);
        }
    }
    return found ? 0
                 : Fail(streams, "no address group " + options.group +
                                     " (corvina --addresses lists every entry of every group; "
                                     "corvina --add-address GROUP ADDRESS makes a group)");
}

int AddAddress(const BatchOptions& options, const BatchStreams& streams, AppState& state) {
    TerminalPrompt prompt(streams.in, streams.err);
    AddressBook book(AddressBook::DirectoryUnder(state.homeDirectory), &prompt);
    if (!book.Open()) {
        return Fail(streams, "the address book folder " +
                                 AddressBook::DirectoryUnder(state.homeDirectory).string() +
                                 " cannot be created (check the home folder's permissions)");
    }
    if (!book.FindGroup(options.group) && !book.NewGroup(options.group, "")) {
        return Fail(streams, "the address group " + options.group + " cannot be created");
    }
    if (!options.nick.empty() && !book.CheckNickname(options.nick)) {
        return 1;
    }
    AddressEntry entry;
    entry.address = options.address;
    entry.name = options.name;
    entry.nickname = options.nick;
    AddressGroup* group = nullptr;
    const AddressBook::AddResult result = book.AddAddress(options.group, entry, &group);
    if (result == AddressBook::AddResult::kKept) {
        return 1;
    }
    if (result == AddressBook::AddResult::kFailed || !group || !book.SaveGroup(*group)) {
        return Fail(streams, "the address could not be stored");
    }
    return 0;
}

// The folder a compaction or reorganisation rewrites; nullptr, with the
// exit status in `status`, when there is no such folder or it holds nothing.
MailFolder* FolderToRewrite(FolderTree& tree, const BatchOptions& options,
                            const BatchStreams& streams, int& status) {
    MailFolder* folder = UserFolder(tree, options.folder, streams);
    if (!folder) {
        status = 1;
        return nullptr;
    }
    if (HasNoFile(*folder)) {
        std::fprintf(streams.err, "corvina: folder %s holds no messages; nothing to do\n",
                     options.folder.c_str());
        status = 0;
        return nullptr;
    }
    return folder;
}

}  // namespace

int RunMaintenanceCommand(const BatchOptions& options, const BatchStreams& streams, AppState& state,
                          FolderTree& tree, const MimeTypeTable& types) {
    MaintenanceHost host;
    switch (options.command) {
        case BatchCommand::kCompact: {
            int status = 0;
            MailFolder* folder = FolderToRewrite(tree, options, streams, status);
            if (!folder) {
                return status;
            }
            const CompactMode mode = options.minimum ? CompactMode::kMinimum : CompactMode::kNormal;
            return CompactFolder(*folder, mode, state.settings.compactBack != 0, tree.Context(),
                                 &host)
                       ? 0
                       : Fail(streams, "the folder could not be compacted");
        }
        case BatchCommand::kReorganize: {
            int status = 0;
            MailFolder* folder = FolderToRewrite(tree, options, streams, status);
            if (!folder) {
                return status;
            }
            return ReorganiseFolder(*folder, tree.Context(), &host)
                       ? 0
                       : Fail(streams, "the folder could not be reorganized");
        }
        case BatchCommand::kRestoreLog: {
            // A log that cannot be read would otherwise end as a success
            // that restored nothing.
            std::FILE* log = std::fopen(options.file.c_str(), "rb");
            std::error_code ec;
            if (!log || std::filesystem::is_directory(options.file, ec)) {
                if (log)
                    std::fclose(log);
                return Fail(streams, "cannot read the backup log " + options.file.string() +
                                         "; nothing was restored");
            }
            std::fclose(log);
            const int delivered =
                ReceiveBackupLog(options.file, tree.Context(), IncomingParseOptions(state), &host);
            std::fprintf(streams.err, "corvina: %d message(s) delivered to InBox\n", delivered);
            return 0;
        }
        case BatchCommand::kExport:
            return Export(options, streams, state, tree, types);
        case BatchCommand::kAddresses:
            return Addresses(options, streams, state);
        case BatchCommand::kAddAddress:
            return AddAddress(options, streams, state);
        default:
            return 2;
    }
}

}  // namespace corvina
