#include "store/Compact.h"

#include <system_error>

#include "store/CompactHost.h"
#include "store/MailFolder.h"
#include "store/MailMessage.h"
#include "store/Mailbox.h"
#include "store/StoreHost.h"

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
    if (folder.messages.empty() && !folder.modified && !LoadFolder(folder, context)) {
        return false;
    }
    if (host) {
        host->BeginWait();
    }
    if (backup) {
        std::error_code ec;
        std::filesystem::copy_file(folder.path, CompactBackupPath(folder.path),
                                   std::filesystem::copy_options::overwrite_existing, ec);
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
        const MailMessage* viewed = context.host ? context.host->ViewedMessage() : nullptr;
        for (auto& message : folder.messages) {
            if (message.get() != viewed && !message->bodyLoaded && message->offset >= 0) {
                std::vector<std::string>().swap(message->otherHeaders);
                message->otherHeadersLoaded = message->otherHeaderCount == 0;  // as loaded
            }
        }
    }
    if (host) {
        if (ok) {
            host->FolderRewritten(folder);
        }
        host->EndWait();
    }
    return ok;
}

}  // namespace corvina
