#include "store/BackupLog.h"

#include <algorithm>
#include <string>

#include "common/BufferedFile.h"
#include "message/MailMessage.h"
#include "message/mime/MessageParser.h"
#include "store/CompactHost.h"
#include "store/MailStore.h"
#include "store/Mailbox.h"

namespace corvina {

namespace {

// Lines of a backup log hold at most this many bytes.
constexpr int kLogLineBytes = 65535;

}  // namespace

std::string BackupLogFileName(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    char name[32];
    std::strftime(name, sizeof name, "%Y%m%d.mol", &local);
    return name;
}

int ReceiveBackupLog(const std::filesystem::path& log, const StoreContext& context,
                     const ParseOptions& options, MaintenanceHost* host) {
    BufferedFile in;
    if (!in.Open(log, BufferedFile::kRead)) {
        return 0;
    }
    int delivered = 0;
    std::string text;
    std::string line;
    while (in.ReadLine(line, kLogLineBytes + 1) > 0) {
        text += line;
        if (line != ".\n") {
            continue;
        }
        auto message = std::make_unique<MailMessage>();
        ParseMessage(*message, text, options);
        text.clear();
        message->read = false;
        message->status.erase(std::remove(message->status.begin(), message->status.end(), 'R'),
                              message->status.end());
        if (DeliverMessage(context, "InBox", std::move(message))) {
            ++delivered;
        }
        if (host) {
            host->ProcessPendingInput();
            if (host->StopRequested()) {
                break;
            }
        }
    }
    in.Close();
    if (delivered > 0 && context.store != nullptr) {
        context.store->SyncDeliveries();
    }
    return delivered;
}

}  // namespace corvina
