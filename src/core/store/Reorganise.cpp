#include "store/Reorganise.h"

#include <algorithm>
#include <ctime>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "message/MailDate.h"
#include "message/MailMessage.h"
#include "store/CompactHost.h"
#include "store/FolderFileCheck.h"
#include "store/FolderLock.h"
#include "store/MailFolder.h"
#include "store/MailStore.h"
#include "store/Mailbox.h"

namespace corvina {

bool ReorganiseFolder(MailFolder& folder, const StoreContext& context, MaintenanceHost* host) {
    if (folder.kind == 0) {
        return false;
    }
    // Held from the read of the index to the rewrite: no other writer can
    // append a message the rewrite would not see.
    std::string error;
    const std::optional<FolderLock> lock = FolderLock::Acquire(folder.path, &error);
    if (!lock || !CatchUpFolder(folder, context, &error)) {
        if (context.store != nullptr) {
            context.store->ReportError(
                lock ? error : LockFailureText(error, "it was not reorganised", folder.path));
        }
        return false;
    }
    if (folder.messages.empty() && !folder.fileIdentity.existed) {
        return false;  // no file to put in order
    }
    if (host) {
        host->BeginWait();
    }
    // Dates are parsed once, not at every comparison.
    std::vector<std::pair<std::time_t, std::size_t>> keys;
    keys.reserve(folder.messages.size());
    for (std::size_t i = 0; i < folder.messages.size(); ++i) {
        keys.emplace_back(ParseMailDate(folder.messages[i]->date), i);
    }
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::unique_ptr<MailMessage>> ordered;
    ordered.reserve(keys.size());
    for (const auto& key : keys) {
        ordered.push_back(std::move(folder.messages[key.second]));
        // SaveFolder copies each body from the old file at the message's
        // offset, so bodies need not be held in memory for the rewrite.
        ordered.back()->dirty = true;
    }
    folder.messages = std::move(ordered);
    folder.modified = true;
    const bool ok = SaveFolder(folder, false, context);
    if (!ok) {
        // The file keeps its order; so does the index.
        std::vector<std::unique_ptr<MailMessage>> restored(folder.messages.size());
        for (std::size_t i = 0; i < keys.size(); ++i) {
            restored[keys[i].second] = std::move(folder.messages[i]);
        }
        folder.messages = std::move(restored);
    }
    if (context.store != nullptr) {
        context.store->FolderReloaded(folder);
    }
    if (host) {
        host->EndWait();
    }
    return ok;
}

}  // namespace corvina
