#include "store/Reorganise.h"

#include <algorithm>
#include <ctime>
#include <utility>
#include <vector>

#include "message/MailDate.h"
#include "store/CompactHost.h"
#include "store/MailFolder.h"
#include "store/MailMessage.h"
#include "store/Mailbox.h"

namespace corvina {

bool ReorganiseFolder(MailFolder& folder, const StoreContext& context, MaintenanceHost* host) {
    if (folder.kind == 0) {
        return false;
    }
    if (folder.messages.empty() && !folder.modified && !LoadFolder(folder, context)) {
        return false;
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
    if (host) {
        host->FolderRewritten(folder);
        host->EndWait();
    }
    return ok;
}

}  // namespace corvina
