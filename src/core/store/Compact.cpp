#include "store/Compact.h"

#include <cstring>
#include <optional>
#include <string>

#include "common/AtomicFile.h"
#include "store/FolderFileCheck.h"
#include "store/FolderLock.h"

#include "message/MailMessage.h"
#include "store/CompactHost.h"
#include "store/MailFolder.h"
#include "store/MailStore.h"
#include "store/Mailbox.h"

namespace corvina {

namespace {

// The interface catches up after this many messages.
constexpr int kIdleEvery = 50;

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char a = text[i], b = prefix[i];
        if (a >= 'A' && a <= 'Z')
            a = static_cast<char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z')
            b = static_cast<char>(b - 'A' + 'a');
        if (a != b) {
            return false;
        }
    }
    return true;
}

void Report(const StoreContext& context, const std::string& text) {
    if (context.store != nullptr) {
        context.store->ReportError(text);
    }
}

}  // namespace

std::filesystem::path CompactBackupPath(const std::filesystem::path& mbxPath) {
    const std::string name = mbxPath.filename().string();
    const std::size_t dot = name.rfind('.');
    const std::string backup =
        dot == std::string::npos ? name + ".bak" : name.substr(0, dot + 1) + "bak";
    return mbxPath.parent_path() / backup;
}

std::vector<std::string> CompactHeaderLines(const std::vector<std::string>& lines,
                                            CompactMode mode) {
    std::vector<std::string> kept;
    bool referenceKept = false;
    for (const std::string& line : lines) {
        if (!referenceKept &&
            (StartsWithNoCase(line, "In-Reply-To:") || StartsWithNoCase(line, "References:"))) {
            referenceKept = true;
            kept.push_back(line);
        } else if (StartsWithNoCase(line, "Message-Id:")) {
            kept.push_back(line);
        } else if (mode == CompactMode::kNormal && !StartsWithNoCase(line, "Received:")) {
            kept.push_back(line);
        }
    }
    return kept;
}

bool CompactEnabled(const MailFolder* shown) {
    return shown != nullptr && shown->kind != 0;
}

bool CompactFolder(MailFolder& folder, CompactMode mode, bool backup, const StoreContext& context,
                   MaintenanceHost* host) {
    if (folder.kind == 0) {
        return false;
    }
    // Held from the read of the index to the rewrite: no other writer can
    // append a message the rewrite would not see.
    std::string error;
    const std::optional<FolderLock> lock = FolderLock::Acquire(folder.path, &error);
    if (!lock) {
        Report(context, LockFailureText(error, "it was not compacted", folder.path));
        return false;
    }
    if (!CatchUpFolder(folder, context, &error)) {
        Report(context, error);
        return false;
    }
    if (folder.messages.empty() && !folder.fileIdentity.existed) {
        return false;  // no file to compact
    }
    if (host) {
        host->BeginWait();
    }
    if (backup) {
        // The older backup is replaced only by a complete copy.
        const std::filesystem::path bak = CompactBackupPath(folder.path);
        int err = 0;
        if (!CopyFileAtomically(folder.path, bak, 0600, &err)) {
            Report(context, "The backup copy " + bak.string() + " could not be made (" +
                                std::strerror(err) + "); any older backup was kept.");
        }
    }
    // Every message's new lines are worked out before any is changed, so a
    // message whose text cannot be read leaves the whole index as it was.
    bool ok = true;
    int done = 0;
    std::vector<std::vector<std::string>> compacted;
    compacted.reserve(folder.messages.size());
    for (auto& message : folder.messages) {
        const bool hadHeaders = message->otherHeadersLoaded;
        if (!LoadOtherHeaders(*message)) {
            ok = false;
            break;
        }
        compacted.push_back(CompactHeaderLines(message->otherHeaders, mode));
        if (!hadHeaders && !message->bodyLoaded && message->offset >= 0) {
            std::vector<std::string>().swap(message->otherHeaders);
            message->otherHeadersLoaded = message->otherHeaderCount == 0;
        }
        if (host && ++done % kIdleEvery == 0) {
            host->ProcessPendingInput();
        }
    }
    if (ok) {
        for (std::size_t i = 0; i < folder.messages.size(); ++i) {
            MailMessage& message = *folder.messages[i];
            message.otherHeaders = std::move(compacted[i]);
            message.otherHeadersLoaded = true;
            message.otherHeaderCount = static_cast<int>(message.otherHeaders.size());
            message.dirty = true;
        }
    }
    if (ok) {
        folder.modified = true;
        ok = SaveFolder(folder, false, context);
    }
    if (ok) {
        // The shortened header lines are in the file now; memory need not
        // keep them.
        for (auto& message : folder.messages) {
            const bool keep = context.store != nullptr && context.store->KeepsBodyLoaded(*message);
            if (!keep && !message->bodyLoaded && message->offset >= 0) {
                std::vector<std::string>().swap(message->otherHeaders);
                message->otherHeadersLoaded = message->otherHeaderCount == 0;  // as loaded
            }
        }
    }
    if (ok && context.store != nullptr) {
        context.store->FolderReloaded(folder);
    }
    if (host) {
        host->EndWait();
    }
    return ok;
}

}  // namespace corvina
